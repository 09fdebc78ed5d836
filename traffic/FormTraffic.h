#pragma once
// The traffic view of one instrument: a window of its own with one line per frame that went
// over the line, from the first probe of the family search on, decoded for the family. A
// window rather than a tab of the device page: hex lines are wide, and several instruments'
// traffic can be laid side by side and compared while the device page stays in view.
#include "core/Types.h"
#include "protocol/common/TrafficFrame.h"

#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;
class tRichEdit;
class tTrafficLog;
class tTrafficModel;

class TFormTraffic : public QWidget {
  Q_OBJECT
public:
  // pTitle names the instrument (COM number, type, tag) and is asked again as it changes.
  TFormTraffic(std::shared_ptr<tTrafficLog> pLog, std::function<QString()> pTitle,
               QWidget* pOwner = nullptr);
  ~TFormTraffic() override;

  // The paint rate: the model takes new frames this often while a batch is cheap. The view
  // shares the window's thread with the live exchange, so a batch that costs more stretches
  // the interval until the view takes at most one part in cCostShare of the thread.
  static constexpr int cRefreshMs = 100;
  static constexpr int cMaxRefreshMs = 1000;
  static constexpr int cCostShare = 80;

  tTrafficModel& Model() const { return *mModel; }
  // The filter entries: all frames, errors only, then one per command.
  void SelectFilter(int pIndex);
  // The selected lines in the saved file's format, one per line.
  QString SelectedLines() const;
  void CopySelection();
  // Asks for a file name and saves the lines shown; errors are reported in a box.
  void Save();
  // Saves without asking; false (and a box) on failure.
  bool SaveTo(const QString& pFileName);
  QString Title() const;

  QPushButton* ButtonPause = nullptr;
  QPushButton* ButtonClear = nullptr;
  QLabel* LabelFilter = nullptr;
  QComboBox* ComboBoxFilter = nullptr;
  QPushButton* ButtonCopy = nullptr;
  QPushButton* ButtonSave = nullptr;
  QLabel* LabelCount = nullptr;
  QTableView* TableTraffic = nullptr;
  QTimer* TimerRefresh = nullptr;
  tRichEdit* RichEditTransOutText = nullptr;

private:
  void BuildComponents();
  void Translated();
  void FillFilterChoices();
  void TimerRefreshTimer();
  void UpdateCaption();

  std::unique_ptr<tTrafficModel> mModel;
  std::function<QString()> mTitle;
  QString mShownTitle;
  bool mFollow = true;
};
