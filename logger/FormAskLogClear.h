#pragma once
// Asks which recorded data (table, chart or both) is to be deleted.
#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class tBitButton;

class TFormAskLogClear : public QDialog {
  Q_OBJECT
public:
  explicit TFormAskLogClear(QWidget* pOwner = nullptr);
  ~TFormAskLogClear() override;

  // Shows the dialog modally, both boxes checked; true when closed with OK.
  bool Execute();

  QLabel* Label1 = nullptr;
  QCheckBox* CheckBoxTable = nullptr;
  QCheckBox* CheckBoxChart = nullptr;
  tBitButton* BitBtnOK = nullptr;
  tBitButton* BitBtnCancel = nullptr;

  // Answers Execute instead of the modal loop while set (tests: the dialog is modal).
  using tExecuteHook = std::function<bool(TFormAskLogClear& pForm)>;
  static void SetExecuteHook(tExecuteHook pHook);
};

// Creates the dialog, runs it and frees it; the result of Execute and the two choices.
bool AskLogClear(QWidget* pOwner, bool& pClearTable, bool& pClearChart);
