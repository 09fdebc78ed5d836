#include "app/frmExceptDlg.h"

#include "app/ImageLists.h"
#include "app/Pathes.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTextCursor>
#include <cstdlib>

TfrmExceptDlg* frmExceptDlg = nullptr;

namespace {

const QByteArray kBom("\xEF\xBB\xBF");
const QString kSeparator = QStringLiteral("//") + QString(78, QLatin1Char('-'));

std::function<void(TfrmExceptDlg&)>& ShowModalHandler() {
  static std::function<void(TfrmExceptDlg&)> lHandler;
  return lHandler;
}

std::function<void()>& TerminateHandler() {
  static std::function<void()> lHandler;
  return lHandler;
}

// Every line break of a text as CR LF, the line ends of both files.
QByteArray CrLf(const QString& pText) {
  QString lText = pText;
  lText.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  lText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  lText.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return lText.toUtf8();
}

QPushButton* MakeButton(QWidget* pParent, const char* pName, const QString& pCaption,
                        const QString& pPicture, const QRect& pGeometry) {
  auto* lButton = new QPushButton(pCaption, pParent);
  lButton->setObjectName(QLatin1String(pName));
  lButton->setGeometry(pGeometry);
  if (!pPicture.isEmpty()) {
    lButton->setIcon(QIcon(ImageLists::Picture(pPicture, QSize(16, 16))));
    lButton->setIconSize(QSize(16, 16));
  }
  if (pCaption.isEmpty()) lButton->setAccessibleName(QLatin1String(pName));
  return lButton;
}

} // namespace

TfrmExceptDlg::TfrmExceptDlg(QWidget* pParent) : QDialog(pParent) {
  setObjectName(QStringLiteral("frmExceptDlg"));
  setWindowTitle(QStringLiteral("Unbehandelter Softwarefehler"));
  QFont lFont(QStringLiteral("Tahoma"));
  lFont.setPointSize(8);
  setFont(lFont);
  setMinimumWidth(600);
  resize(600, 208);

  imgBomb = new QLabel(this);
  imgBomb->setObjectName(QStringLiteral("imgBomb"));
  imgBomb->setGeometry(8, 8, 128, 128);
  imgBomb->setPixmap(ImageLists::Picture(QStringLiteral(":/images/app_bomb.svg"), QSize(128, 128)));

  lblApplication = new QLabel(this);
  lblApplication->setObjectName(QStringLiteral("lblApplication"));
  QFont lBig = lFont;
  lBig.setPointSize(12);
  lblApplication->setFont(lBig);
  lblApplication->setWordWrap(true);
  lblApplication->setGeometry(157, 9, 422, 22);

  lblInfo = new QLabel(QStringLiteral("Das Programm wird aufgrund eines nicht behandelten Fehlers "
                                      " beendet. Bitte informieren Sie den Softwarebetreuer"),
                       this);
  lblInfo->setObjectName(QStringLiteral("lblInfo"));
  lblInfo->setWordWrap(true);
  lblInfo->setGeometry(157, 32, 427, 29);

  grpbxExceptionMessage = new QGroupBox(QStringLiteral("Fehlermeldung"), this);
  grpbxExceptionMessage->setObjectName(QStringLiteral("grpbxExceptionMessage"));
  grpbxExceptionMessage->setGeometry(157, 67, 427, 67);
  richedtMessage = new QPlainTextEdit(grpbxExceptionMessage);
  richedtMessage->setObjectName(QStringLiteral("richedtMessage"));
  richedtMessage->setAccessibleName(QStringLiteral("Fehlermeldung"));
  richedtMessage->setReadOnly(true);
  richedtMessage->setFrameStyle(QFrame::NoFrame);
  richedtMessage->setBackgroundRole(QPalette::Button);
  richedtMessage->viewport()->setBackgroundRole(QPalette::Button);
  richedtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  richedtMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  richedtMessage->setGeometry(6, 16, 427 - 12, 67 - 22);

  btnDetails =
      MakeButton(this, "btnDetails", QStringLiteral("Details"),
                 QStringLiteral(":/images/app_details_down.svg"), QRect(375, 140, 100, 25));
  connect(btnDetails, &QPushButton::clicked, this, &TfrmExceptDlg::btnDetailsClick);
  btnExit = MakeButton(this, "btnExit", QStringLiteral("Beenden"),
                       QStringLiteral(":/images/app_power.svg"), QRect(484, 140, 100, 25));
  connect(btnExit, &QPushButton::clicked, this, &QDialog::accept);

  grpbxStacktrace = new QGroupBox(QStringLiteral("Stacktrace"), this);
  grpbxStacktrace->setObjectName(QStringLiteral("grpbxStacktrace"));
  btnOuter = MakeButton(grpbxStacktrace, "btnOuter", QStringLiteral("Outer"),
                        QStringLiteral(":/images/app_nav_first.svg"), QRect(7, 16, 65, 25));
  connect(btnOuter, &QPushButton::clicked, this, &TfrmExceptDlg::btnOuterClick);
  btnGoOut = MakeButton(grpbxStacktrace, "btnGoOut", QString(),
                        QStringLiteral(":/images/app_nav_prev.svg"), QRect(83, 16, 25, 25));
  connect(btnGoOut, &QPushButton::clicked, this, &TfrmExceptDlg::btnGoOutClick);
  btnGoIn = MakeButton(grpbxStacktrace, "btnGoIn", QString(),
                       QStringLiteral(":/images/app_nav_next.svg"), QRect(114, 16, 25, 25));
  connect(btnGoIn, &QPushButton::clicked, this, &TfrmExceptDlg::btnGoInClick);
  btnInner = MakeButton(grpbxStacktrace, "btnInner", QStringLiteral("Inner"),
                        QStringLiteral(":/images/app_nav_last.svg"), QRect(153, 16, 65, 25));
  connect(btnInner, &QPushButton::clicked, this, &TfrmExceptDlg::btnInnerClick);
  lblStackTraceInfo = new QLabel(grpbxStacktrace);
  lblStackTraceInfo->setObjectName(QStringLiteral("lblStackTraceInfo"));
  lblStackTraceInfo->setGeometry(244, 21, 200, 16);
  richedtStackTrace = new QPlainTextEdit(grpbxStacktrace);
  richedtStackTrace->setObjectName(QStringLiteral("richedtStackTrace"));
  richedtStackTrace->setAccessibleName(QStringLiteral("Stacktrace"));
  richedtStackTrace->setReadOnly(true);
  QFont lMono(QStringLiteral("Courier New"));
  lMono.setStyleHint(QFont::Monospace);
  lMono.setPointSize(8);
  richedtStackTrace->setFont(lMono);
  richedtStackTrace->setLineWrapMode(QPlainTextEdit::NoWrap);
  richedtStackTrace->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  richedtStackTrace->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  // Starts shown and is toggled once, so that the dialog opens collapsed.
  mDetailsShown = true;
  btnDetailsClick();
}

TfrmExceptDlg::~TfrmExceptDlg() {
  if (frmExceptDlg == this) frmExceptDlg = nullptr;
}

void TfrmExceptDlg::SetOnShowModal(std::function<void(TfrmExceptDlg&)> pHandler) {
  ShowModalHandler() = std::move(pHandler);
}

void TfrmExceptDlg::SetOnTerminate(std::function<void()> pHandler) {
  TerminateHandler() = std::move(pHandler);
}

void TfrmExceptDlg::resizeEvent(QResizeEvent* pEvent) {
  QDialog::resizeEvent(pEvent);
  grpbxStacktrace->setGeometry(8, 175, qMax(0, width() - 16), qMax(0, height() - 175 - 8));
  richedtStackTrace->setGeometry(2, 30 + 16, qMax(0, grpbxStacktrace->width() - 4),
                                 qMax(0, grpbxStacktrace->height() - 30 - 18));
}

QString TfrmExceptDlg::PageText(const eError& pError) {
  return pError.Message() + QStringLiteral("\r\nException-Type: ") + pError.ClassName() +
         QStringLiteral("\r\n\r\n") + pError.StackTrace().join(QStringLiteral("\r\n"));
}

void TfrmExceptDlg::ApplicationEventsException(QObject*, const eError& pError) {
  const QDateTime lNow = QDateTime::currentDateTime();
  mFileStem = lNow.toString(QStringLiteral("yyyyMMdd_hhmmsszzz"));
  mDisplayStamp = lNow.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
  lblApplication->setText(QApplication::applicationName());

  richedtMessage->clear();
  richedtStackTrace->clear();
  richedtMessage->setPlainText(pError.Message().trimmed());
  richedtMessage->moveCursor(QTextCursor::Start);

  mPages.clear();
  for (const eError* lError = &pError; lError; lError = lError->Inner())
    mPages.append(PageText(*lError));
  mPageIndex = 0;
  ShowTracePage();

  AppendErrorLog();
  WriteStackTraceFile(QString());

  if (ShowModalHandler())
    ShowModalHandler()(*this);
  else
    exec();
  if (TerminateHandler())
    TerminateHandler()();
  else
    // Nothing is left to save: both files are written; a regular shutdown could run into
    // the very fault that brought us here.
    std::_Exit(1);
}

QString TfrmExceptDlg::ErrorLogFileName() const {
  return Pathes().ProgramDataFolder() + QLatin1Char('/') + tPathes::ProgramBaseName() +
         QStringLiteral(".err");
}

QString TfrmExceptDlg::StackTraceFileName() const {
  return Pathes().ProgramDataFolder() + QStringLiteral("/Stacktrace/") + mFileStem +
         QStringLiteral(".stc");
}

QByteArray TfrmExceptDlg::ReportHead() const {
  return CrLf(mDisplayStamp + QLatin1Char('\n') + richedtMessage->toPlainText() +
              QLatin1Char('\n'));
}

void TfrmExceptDlg::NoteWriteFailure(const QString& pFileName) {
  richedtMessage->appendPlainText(QStringLiteral("(%1 konnte nicht geschrieben werden)")
                                      .arg(QDir::toNativeSeparators(pFileName)));
  richedtMessage->moveCursor(QTextCursor::Start);
}

void TfrmExceptDlg::AppendErrorLog() {
  QString lFileName;
  try {
    lFileName = ErrorLogFileName();
  } catch (const eError&) {
    NoteWriteFailure(tPathes::ProgramBaseName() + QStringLiteral(".err"));
    return;
  }
  QByteArray lContent;
  QFile lOld(lFileName);
  if (lOld.exists()) {
    if (!lOld.open(QIODevice::ReadOnly)) {
      // Rewriting without the old entries would lose them; keep the file as it is.
      NoteWriteFailure(lFileName);
      return;
    }
    lContent = lOld.readAll();
    lOld.close();
  }
  if (!lContent.startsWith(kBom)) lContent.prepend(kBom);
  if (lContent.size() > kBom.size() && !lContent.endsWith('\n')) lContent += "\r\n";
  lContent += ReportHead();
  lContent += CrLf(QStringLiteral("Detailierte Informationen im Stacktrace-File: ./Stacktrace/") +
                   mFileStem + QStringLiteral(".stc\n\n"));
  QSaveFile lFile(lFileName);
  if (!lFile.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
      lFile.write(lContent) != lContent.size() || !lFile.commit())
    NoteWriteFailure(lFileName);
}

void TfrmExceptDlg::WriteStackTraceFile(const QString& pFileName) {
  QString lFileName = pFileName.trimmed();
  if (lFileName.isEmpty()) {
    try {
      const QString lFolder = Pathes().ProgramDataFolder() + QStringLiteral("/Stacktrace");
      tPathes::EnsureFolder(lFolder);
      lFileName = lFolder + QLatin1Char('/') + mFileStem + QStringLiteral(".stc");
    } catch (const eError&) {
      return;
    }
  }
  QByteArray lContent = kBom + ReportHead();
  lContent += CrLf(kSeparator + QStringLiteral("\n\n"));
  for (const QString& lPage : mPages)
    lContent += CrLf(lPage + QLatin1Char('\n') + kSeparator + QStringLiteral("\n\n"));
  QSaveFile lFile(lFileName);
  if (!lFile.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
      lFile.write(lContent) != lContent.size() || !lFile.commit())
    NoteWriteFailure(lFileName);
}

void TfrmExceptDlg::ShowTracePage() {
  const int lCount = mPages.size();
  btnOuter->setEnabled(lCount >= 2 && mPageIndex >= 1);
  btnGoOut->setEnabled(lCount >= 2 && mPageIndex >= 1);
  btnGoIn->setEnabled(lCount >= 2 && mPageIndex < lCount - 1);
  btnInner->setEnabled(lCount >= 2 && mPageIndex < lCount - 1);
  QString lPage = mPageIndex < lCount ? mPages[mPageIndex] : QString();
  richedtStackTrace->setPlainText(lPage.replace(QLatin1String("\r\n"), QLatin1String("\n")));
  richedtStackTrace->moveCursor(QTextCursor::Start);
  lblStackTraceInfo->setText(QStringLiteral("Stacktrace: %1 / %2").arg(mPageIndex + 1).arg(lCount));
}

void TfrmExceptDlg::btnOuterClick() {
  mPageIndex = 0;
  ShowTracePage();
}

void TfrmExceptDlg::btnGoOutClick() {
  mPageIndex = qMax(0, mPageIndex - 1);
  ShowTracePage();
}

void TfrmExceptDlg::btnGoInClick() {
  mPageIndex = qMax(0, qMin(mPageIndex + 1, mPages.size() - 1));
  ShowTracePage();
}

void TfrmExceptDlg::btnInnerClick() {
  mPageIndex = qMax(0, mPages.size() - 1);
  ShowTracePage();
}

void TfrmExceptDlg::btnDetailsClick() {
  mDetailsShown = !mDetailsShown;
  if (mDetailsShown) {
    btnDetails->setIcon(
        QIcon(ImageLists::Picture(QStringLiteral(":/images/app_details_up.svg"), QSize(16, 16))));
    setMinimumHeight(500);
    setMaximumHeight(QWIDGETSIZE_MAX);
    resize(width(), 500);
    grpbxStacktrace->setVisible(true);
  } else {
    btnDetails->setIcon(
        QIcon(ImageLists::Picture(QStringLiteral(":/images/app_details_down.svg"), QSize(16, 16))));
    setMinimumHeight(208);
    setMaximumHeight(208);
    resize(width(), 208);
    grpbxStacktrace->setVisible(false);
  }
}
