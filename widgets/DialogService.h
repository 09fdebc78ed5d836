#pragma once
// Modal boxes and the standard file-save and print dialogs, behind one interface so that
// forms call the current service and tests install a scripted one. The lines of a message
// are joined with a carriage return ("\r"); every service shows them as separate lines.
#include "core/Types.h"

#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

enum tMsgDlgType { mtError, mtWarning, mtInformation, mtConfirmation };
enum tMsgDlgButtons { mbOK, mbOKCancel, mbYesNo };
enum tModalResult { mrNone, mrOk, mrCancel, mrYes, mrNo };

struct tSaveFileRequest {
  // Filter in the form "Name (*.ext)|*.ext|Other (*.x)|*.x": names and patterns alternate.
  QString Filter;
  // Selected filter, counted from 1.
  int FilterIndex = 1;
  // Appended by the dialog when the user types a name without extension; without a dot.
  QString DefaultExt;
  // The name proposed; may include a folder.
  QString FileName;
  QString Title;
};

struct tSaveFileResult {
  bool Accepted = false;
  QString FileName;
  // The filter the user left selected, counted from 1.
  int FilterIndex = 1;
};

class iDialogService {
public:
  virtual ~iDialogService() = default;

  // A modal box of the given type with one of the fixed button sets; returns the button.
  virtual tModalResult MessageBox(tMsgDlgType pType, const QString& pText, tMsgDlgButtons pButtons,
                                  QWidget* pParent = nullptr) = 0;
  // The file-save dialog; it asks before overwriting an existing file.
  virtual tSaveFileResult SaveFile(const tSaveFileRequest& pRequest,
                                   QWidget* pParent = nullptr) = 0;
  // The print dialog on pPrinter; false when the user cancels.
  virtual bool Print(QPrinter& pPrinter, QWidget* pParent = nullptr) = 0;
  // A modal box with the buttons named in pButtons; returns the index of the one pressed.
  // Closing the box answers pEscape, which should be the harmless choice.
  virtual int Choice(tMsgDlgType pType, const QString& pText, const QStringList& pButtons,
                     int pEscape, QWidget* pParent = nullptr) = 0;

  void Error(const QString& pText, QWidget* pParent = nullptr) {
    MessageBox(mtError, pText, mbOK, pParent);
  }
  void Warning(const QString& pText, QWidget* pParent = nullptr) {
    MessageBox(mtWarning, pText, mbOK, pParent);
  }
  void Information(const QString& pText, QWidget* pParent = nullptr) {
    MessageBox(mtInformation, pText, mbOK, pParent);
  }
  // A question with Yes and No (or another set); true for Yes or OK.
  bool Question(const QString& pText, tMsgDlgButtons pButtons = mbYesNo,
                QWidget* pParent = nullptr) {
    tModalResult r = MessageBox(mtConfirmation, pText, pButtons, pParent);
    return r == mrYes || r == mrOk;
  }
};

// The service forms call: the real one unless a test installed another.
iDialogService& Dialogs();
// Installs pService (not owned; nullptr restores the real one) and returns the previous one.
iDialogService* SetDialogs(iDialogService* pService);

// The language of the dialogs' own titles and buttons; the localisation engine keeps it in
// step with the program's language.
tLanguage DialogLanguage();
void SetDialogLanguage(tLanguage pLanguage);

// Installs a service for the lifetime of a scope and restores the previous one.
class tDialogsScope {
public:
  explicit tDialogsScope(iDialogService& pService) : mPrevious(SetDialogs(&pService)) {}
  ~tDialogsScope() { SetDialogs(mPrevious); }
  tDialogsScope(const tDialogsScope&) = delete;
  tDialogsScope& operator=(const tDialogsScope&) = delete;

private:
  iDialogService* mPrevious;
};

// The message text as separate lines: "\r\n", "\r" and "\n" all end a line.
QString DialogDisplayText(const QString& pText);
// "Name (*.ext)|*.ext|…" as Qt name filters ("Name (*.ext)").
QStringList DialogNameFilters(const QString& pFilter);
// The extension a save dialog gives a name typed without one, for the Qt name filter the user
// chose: its first pattern's ("Textdatei (*.txt)" gives "txt"), or pDefaultExt when that
// pattern names no single extension ("*", "*.*"). Without a dot.
QString DialogSuffixForFilter(const QString& pNameFilter, const QString& pDefaultExt);
