#pragma once
// The fatal-error dialog: reports an error that nothing handled, one page per error of its
// inner chain with the stack captured where each was raised, keeps the report in the error
// log and a stack-trace file below the per-program folder, and ends the program when closed.
// It covers the start-up; the main window destroys it once it is created. Its texts are
// fixed German texts, not translated.
#include "core/Error.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class TfrmExceptDlg : public QDialog {
  Q_OBJECT
public:
  explicit TfrmExceptDlg(QWidget* pParent = nullptr);
  ~TfrmExceptDlg() override;

  // Reports pError: stamp, pages, error log, stack-trace file, the dialog, then the end.
  void ApplicationEventsException(QObject* Sender, const eError& pError);
  // Appends one entry to the error log, keeping what the file held.
  void AppendErrorLog();
  // Writes the stack-trace file; an empty name means Stacktrace/<stamp>.stc in the data folder.
  void WriteStackTraceFile(const QString& pFileName);
  void ShowTracePage();

  void btnDetailsClick();
  void btnOuterClick();
  void btnGoOutClick();
  void btnGoInClick();
  void btnInnerClick();

  // The page text of one error: message, its class and its stack, lines ended by CR LF.
  static QString PageText(const eError& pError);

  const QStringList& Pages() const { return mPages; }
  int PageIndex() const { return mPageIndex; }
  bool DetailsShown() const { return mDetailsShown; }
  const QString& FileStem() const { return mFileStem; }
  QString ErrorLogFileName() const;
  QString StackTraceFileName() const;

  // How the dialog is shown and how the program ends afterwards; tests replace both, so
  // that a report neither blocks nor ends the test program.
  static void SetOnShowModal(std::function<void(TfrmExceptDlg&)> pHandler);
  static void SetOnTerminate(std::function<void()> pHandler);

  QLabel* imgBomb = nullptr;
  QLabel* lblApplication = nullptr;
  QLabel* lblInfo = nullptr;
  QGroupBox* grpbxExceptionMessage = nullptr;
  QPlainTextEdit* richedtMessage = nullptr;
  QPushButton* btnDetails = nullptr;
  QPushButton* btnExit = nullptr;
  QGroupBox* grpbxStacktrace = nullptr;
  QPushButton* btnOuter = nullptr;
  QPushButton* btnGoOut = nullptr;
  QPushButton* btnGoIn = nullptr;
  QPushButton* btnInner = nullptr;
  QLabel* lblStackTraceInfo = nullptr;
  QPlainTextEdit* richedtStackTrace = nullptr;

protected:
  void resizeEvent(QResizeEvent* pEvent) override;

private:
  // The display stamp and the message box's lines, the head of both files.
  QByteArray ReportHead() const;
  void NoteWriteFailure(const QString& pFileName);

  QStringList mPages;
  int mPageIndex = 0;
  bool mDetailsShown = false;
  QString mFileStem;
  QString mDisplayStamp;
};

// The dialog of the start-up; nullptr once the main window has destroyed it.
extern TfrmExceptDlg* frmExceptDlg;
