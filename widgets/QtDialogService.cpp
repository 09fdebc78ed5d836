#include "widgets/QtDialogService.h"

#include "core/NestedLoop.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

bool English() {
  return DialogLanguage() == laEnglish;
}

QString Title(tMsgDlgType pType) {
  const bool en = English();
  switch (pType) {
  case mtError:
    return en ? QStringLiteral("Error") : QStringLiteral("Fehler");
  case mtWarning:
    return en ? QStringLiteral("Warning") : QStringLiteral("Warnung");
  case mtInformation:
    return QStringLiteral("Information");
  case mtConfirmation:
    return en ? QStringLiteral("Confirm") : QString::fromUtf8("Bestätigung");
  }
  return QString();
}

QMessageBox::Icon IconOf(tMsgDlgType pType) {
  switch (pType) {
  case mtError:
    return QMessageBox::Critical;
  case mtWarning:
    return QMessageBox::Warning;
  case mtInformation:
    return QMessageBox::Information;
  case mtConfirmation:
    return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

} // namespace

tModalResult tQtDialogService::MessageBox(tMsgDlgType pType, const QString& pText,
                                          tMsgDlgButtons pButtons, QWidget* pParent) {
  QMessageBox box(IconOf(pType), Title(pType), DialogDisplayText(pText), QMessageBox::NoButton,
                  pParent);
  box.setTextFormat(Qt::PlainText);
  const bool en = English();
  auto add = [&box](QMessageBox::StandardButton pButton, const QString& pText) {
    box.addButton(pButton)->setText(pText);
  };
  switch (pButtons) {
  case mbOK:
    add(QMessageBox::Ok, QStringLiteral("OK"));
    box.setEscapeButton(QMessageBox::Ok);
    break;
  case mbOKCancel:
    add(QMessageBox::Ok, QStringLiteral("OK"));
    add(QMessageBox::Cancel, en ? QStringLiteral("Cancel") : QStringLiteral("Abbrechen"));
    box.setEscapeButton(QMessageBox::Cancel);
    break;
  case mbYesNo:
    add(QMessageBox::Yes, en ? QStringLiteral("Yes") : QStringLiteral("Ja"));
    add(QMessageBox::No, en ? QStringLiteral("No") : QStringLiteral("Nein"));
    box.setEscapeButton(QMessageBox::No);
    break;
  }
  // A page may show this from inside its own handler; removals wait until it is closed.
  const tNestedLoop lNested;
  switch (box.exec()) {
  case QMessageBox::Ok:
    return mrOk;
  case QMessageBox::Cancel:
    return mrCancel;
  case QMessageBox::Yes:
    return mrYes;
  case QMessageBox::No:
    return mrNo;
  default:
    return pButtons == mbOK ? mrOk : pButtons == mbOKCancel ? mrCancel : mrNo;
  }
}

int tQtDialogService::Choice(tMsgDlgType pType, const QString& pText, const QStringList& pButtons,
                             int pEscape, QWidget* pParent) {
  QMessageBox box(IconOf(pType), Title(pType), DialogDisplayText(pText), QMessageBox::NoButton,
                  pParent);
  box.setTextFormat(Qt::PlainText);
  QList<QAbstractButton*> buttons;
  for (const QString& text : pButtons)
    buttons.append(box.addButton(text, QMessageBox::ActionRole));
  if (pEscape >= 0 && pEscape < buttons.size()) box.setEscapeButton(buttons[pEscape]);
  const tNestedLoop lNested;
  box.exec();
  const int index = int(buttons.indexOf(box.clickedButton()));
  return index >= 0 ? index : pEscape;
}

void tQtDialogService::PrepareSaveDialog(QFileDialog& pDialog, const tSaveFileRequest& pRequest) {
  pDialog.setAcceptMode(QFileDialog::AcceptSave);
  pDialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = DialogNameFilters(pRequest.Filter);
  pDialog.setNameFilters(filters);
  // The dialog opens on the first filter unless another is asked for.
  QString selected = filters.value(0);
  if (pRequest.FilterIndex >= 1 && pRequest.FilterIndex <= filters.size()) {
    selected = filters[pRequest.FilterIndex - 1];
    pDialog.selectNameFilter(selected);
  }
  // QFileDialog appends its default suffix to a bare name whatever filter is chosen, so a text
  // file would be named ".csv": the suffix follows the chosen filter instead, before the dialog
  // completes the name and asks about overwriting.
  QFileDialog* dialog = &pDialog;
  const QString defaultExt = pRequest.DefaultExt;
  auto follow = [dialog, defaultExt](const QString& pFilter) {
    dialog->setDefaultSuffix(DialogSuffixForFilter(pFilter, defaultExt));
  };
  follow(selected);
  QObject::connect(dialog, &QFileDialog::filterSelected, dialog, follow);
  if (!pRequest.FileName.isEmpty()) pDialog.selectFile(pRequest.FileName);
}

tSaveFileResult tQtDialogService::SaveFile(const tSaveFileRequest& pRequest, QWidget* pParent) {
  QFileDialog dialog(pParent, pRequest.Title);
  PrepareSaveDialog(dialog, pRequest);
  tSaveFileResult result;
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return result;
  result.Accepted = true;
  result.FileName = dialog.selectedFiles().constFirst();
  result.FilterIndex =
      qMax(1, static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1);
  return result;
}

bool tQtDialogService::Print(QPrinter& pPrinter, QWidget* pParent) {
  QPrintDialog dialog(&pPrinter, pParent);
  return dialog.exec() == QDialog::Accepted;
}
