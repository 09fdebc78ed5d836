// The fatal-error dialog: pages per inner error, navigation, and its two files on disk.
#include "AppTestSupport.h"

#include "app/frmExceptDlg.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

using namespace apptest;

namespace {

struct tNav {
  bool Outer, GoOut, GoIn, Inner;
  const char* Label;
};

void ExpectNav(const TfrmExceptDlg& pDlg, const tNav& pNav) {
  EXPECT_EQ(pDlg.btnOuter->isEnabled(), pNav.Outer);
  EXPECT_EQ(pDlg.btnGoOut->isEnabled(), pNav.GoOut);
  EXPECT_EQ(pDlg.btnGoIn->isEnabled(), pNav.GoIn);
  EXPECT_EQ(pDlg.btnInner->isEnabled(), pNav.Inner);
  EXPECT_EQ(pDlg.lblStackTraceInfo->text(), pNav.Label);
}

CORVANE_DECLARE_ERROR(eDMU_Test)

eError ThreeDeep() {
  const eError lInnermost("Timeout!");
  const eDMU_Test lMiddle("Fehler beim Lesen des EEPROM: Timeout!", lInnermost);
  return eError("Justage gescheitert", lMiddle);
}

QByteArray ReadAll(const QString& pFile) {
  QFile lFile(pFile);
  return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray();
}

} // namespace

class tExceptDlg : public tAppFixture {
protected:
  void SetUp() override {
    tAppFixture::SetUp();
    TfrmExceptDlg::SetOnTerminate([this] { ++mEnded; });
  }
  void TearDown() override {
    TfrmExceptDlg::SetOnShowModal({});
    TfrmExceptDlg::SetOnTerminate({});
    tAppFixture::TearDown();
  }
  int mEnded = 0;
};

TEST_F(tExceptDlg, opens_collapsed_and_details_unfold_the_stack_area) {
  TfrmExceptDlg lDlg;
  EXPECT_FALSE(lDlg.DetailsShown());
  EXPECT_EQ(lDlg.height(), 208);
  EXPECT_EQ(lDlg.minimumHeight(), 208);
  EXPECT_EQ(lDlg.maximumHeight(), 208);
  EXPECT_GE(lDlg.minimumWidth(), 600);
  EXPECT_FALSE(lDlg.grpbxStacktrace->isVisibleTo(&lDlg));
  lDlg.btnDetails->click();
  EXPECT_EQ(lDlg.height(), 500);
  EXPECT_EQ(lDlg.minimumHeight(), 500);
  EXPECT_GT(lDlg.maximumHeight(), 5000);
  EXPECT_TRUE(lDlg.grpbxStacktrace->isVisibleTo(&lDlg));
}

TEST_F(tExceptDlg, error_with_two_inner_errors_gives_three_pages_to_walk) {
  TfrmExceptDlg lDlg;
  bool lShown = false;
  TfrmExceptDlg::SetOnShowModal([&](TfrmExceptDlg& pDlg) {
    lShown = true;
    EXPECT_EQ(pDlg.Pages().size(), 3);
    ExpectNav(pDlg, {false, false, true, true, "Stacktrace: 1 / 3"});
    EXPECT_TRUE(pDlg.richedtStackTrace->toPlainText().startsWith("Justage gescheitert\n"
                                                                 "Exception-Type: Exception"));
    pDlg.btnGoIn->click();
    ExpectNav(pDlg, {true, true, true, true, "Stacktrace: 2 / 3"});
    EXPECT_TRUE(pDlg.richedtStackTrace->toPlainText().contains("Exception-Type: eDMU_Test"));
    pDlg.btnInner->click();
    ExpectNav(pDlg, {true, true, false, false, "Stacktrace: 3 / 3"});
    EXPECT_TRUE(pDlg.richedtStackTrace->toPlainText().startsWith("Timeout!"));
    pDlg.btnGoIn->click();
    EXPECT_EQ(pDlg.PageIndex(), 2);
    pDlg.btnOuter->click();
    ExpectNav(pDlg, {false, false, true, true, "Stacktrace: 1 / 3"});
    pDlg.btnGoOut->click();
    EXPECT_EQ(pDlg.PageIndex(), 0);
    EXPECT_EQ(pDlg.richedtMessage->toPlainText(), "Justage gescheitert");
    EXPECT_EQ(pDlg.lblApplication->text(), "test_app");
    pDlg.grab().save(ScreenshotDir() + "/fatal-error-collapsed.png");
    pDlg.btnDetails->click();
    pDlg.grab().save(ScreenshotDir() + "/fatal-error-details.png");
  });
  lDlg.ApplicationEventsException(nullptr, ThreeDeep());
  EXPECT_TRUE(lShown);
  EXPECT_EQ(mEnded, 1);
}

TEST_F(tExceptDlg, error_without_inner_errors_disables_every_navigation_button) {
  TfrmExceptDlg lDlg;
  TfrmExceptDlg::SetOnShowModal([](TfrmExceptDlg& pDlg) {
    ExpectNav(pDlg, {false, false, false, false, "Stacktrace: 1 / 1"});
    // A page carries the stack captured where the error was made, one line per frame.
    EXPECT_GE(pDlg.Pages().first().count("\r\n"), 4);
  });
  lDlg.ApplicationEventsException(nullptr, eError("  Boom  "));
  EXPECT_EQ(lDlg.richedtMessage->toPlainText(), "Boom");
  EXPECT_EQ(mEnded, 1);
}

TEST_F(tExceptDlg, closing_by_the_close_box_also_ends_the_program) {
  TfrmExceptDlg lDlg;
  TfrmExceptDlg::SetOnShowModal([](TfrmExceptDlg& pDlg) {
    QTimer::singleShot(30, &pDlg, [&pDlg] { pDlg.close(); });
    pDlg.exec();
  });
  lDlg.ApplicationEventsException(nullptr, eError("x"));
  EXPECT_EQ(mEnded, 1);
}

TEST_F(tExceptDlg, two_reports_append_two_entries_to_one_error_log) {
  TfrmExceptDlg::SetOnShowModal([](TfrmExceptDlg&) {});
  QString lFirstStem;
  {
    TfrmExceptDlg lDlg;
    lDlg.ApplicationEventsException(nullptr, eError("Erster Fehler"));
    lFirstStem = lDlg.FileStem();
  }
  PumpFor(5);
  QString lSecondStem;
  QString lLogName;
  {
    TfrmExceptDlg lDlg;
    lDlg.ApplicationEventsException(nullptr, ThreeDeep());
    lSecondStem = lDlg.FileStem();
    lLogName = lDlg.ErrorLogFileName();
  }
  EXPECT_NE(lFirstStem, lSecondStem);
  EXPECT_EQ(lLogName, DataFolder() + "/" + tPathes::ProgramBaseName() + ".err");

  const QByteArray lLog = ReadAll(lLogName);
  ASSERT_TRUE(lLog.startsWith("\xEF\xBB\xBF"));
  EXPECT_EQ(lLog.count("\xEF\xBB\xBF"), 1);
  EXPECT_EQ(lLog.count('\n'), lLog.count("\r\n"));
  EXPECT_EQ(lLog.count("Detailierte Informationen im Stacktrace-File: "), 2);
  const int lFirst = lLog.indexOf("Erster Fehler\r\n");
  const int lSecond = lLog.indexOf("Justage gescheitert\r\n");
  ASSERT_GE(lFirst, 0);
  EXPECT_GT(lSecond, lFirst);
  EXPECT_TRUE(lLog.contains(("./Stacktrace/" + lFirstStem + ".stc\r\n\r\n").toUtf8()));
  EXPECT_TRUE(lLog.endsWith(("./Stacktrace/" + lSecondStem + ".stc\r\n\r\n").toUtf8()));

  for (const QString& lStem : {lFirstStem, lSecondStem}) {
    const QByteArray lStc = ReadAll(DataFolder() + "/Stacktrace/" + lStem + ".stc");
    ASSERT_TRUE(lStc.startsWith("\xEF\xBB\xBF")) << lStem.toStdString();
    EXPECT_EQ(lStc.count('\n'), lStc.count("\r\n"));
  }
  const QByteArray lStc = ReadAll(DataFolder() + "/Stacktrace/" + lSecondStem + ".stc");
  const QByteArray lSeparator = "//" + QByteArray(78, '-') + "\r\n\r\n";
  // Head, then every page closed by the separator.
  EXPECT_EQ(lStc.count(lSeparator), 1 + 3);
  EXPECT_TRUE(lStc.contains("Exception-Type: eDMU_Test\r\n\r\n"));
  EXPECT_TRUE(QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\r\n"
                                 "Justage gescheitert\r\n//-")
                  .match(QString::fromUtf8(lStc.mid(3)))
                  .hasMatch());
}

TEST_F(tExceptDlg, an_existing_error_log_is_kept_whole) {
  QDir().mkpath(DataFolder());
  const QByteArray lOld = "\xEF\xBB\xBF"
                          "01.01.2020 10:00:00\r\nalt\r\n\r\n";
  {
    QFile lFile(DataFolder() + "/" + tPathes::ProgramBaseName() + ".err");
    ASSERT_TRUE(lFile.open(QIODevice::WriteOnly));
    lFile.write(lOld);
  }
  TfrmExceptDlg::SetOnShowModal([](TfrmExceptDlg&) {});
  TfrmExceptDlg lDlg;
  lDlg.ApplicationEventsException(nullptr, eError("neu"));
  const QByteArray lLog = ReadAll(lDlg.ErrorLogFileName());
  EXPECT_TRUE(lLog.startsWith(lOld));
  EXPECT_TRUE(lLog.contains("neu\r\n"));
}
