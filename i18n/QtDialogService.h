#pragma once
// The dialog service on QMessageBox, QFileDialog and QPrintDialog. Titles and button texts
// follow the program's current language.
#include "i18n/DialogService.h"

class tQtDialogService : public iDialogService {
public:
  tModalResult MessageBox(tMsgDlgType pType, const QString& pText, tMsgDlgButtons pButtons,
                          QWidget* pParent = nullptr) override;
  tSaveFileResult SaveFile(const tSaveFileRequest& pRequest, QWidget* pParent = nullptr) override;
  bool Print(QPrinter& pPrinter, QWidget* pParent = nullptr) override;
};
