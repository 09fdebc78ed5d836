#pragma once
// The dialog service on QMessageBox, QFileDialog and QPrintDialog. Titles and button texts
// follow the program's current language.
#include "widgets/DialogService.h"

class QFileDialog;

class tQtDialogService : public iDialogService {
public:
  tModalResult MessageBox(tMsgDlgType pType, const QString& pText, tMsgDlgButtons pButtons,
                          QWidget* pParent = nullptr) override;
  tSaveFileResult SaveFile(const tSaveFileRequest& pRequest, QWidget* pParent = nullptr) override;
  bool Print(QPrinter& pPrinter, QWidget* pParent = nullptr) override;
  int Choice(tMsgDlgType pType, const QString& pText, const QStringList& pButtons, int pEscape,
             QWidget* pParent = nullptr) override;

  // Sets pDialog up as SaveFile shows it: filters, proposed name, and a default suffix that
  // follows the filter the user chooses. Apart from SaveFile so that it runs without exec.
  static void PrepareSaveDialog(QFileDialog& pDialog, const tSaveFileRequest& pRequest);
};
