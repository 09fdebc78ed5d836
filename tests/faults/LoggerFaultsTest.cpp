// The logger under faults: one of two logged instruments is pulled away mid-run, and saving
// goes to targets that cannot be written while the run goes on. No recorded row is lost.
#include "FaultRig.h"

#include "logger/FrameLoggingOvvw.h"
#include "logger/LogTableModel.h"

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>

using namespace faults;

namespace {

class LoggerFaults : public tFaultFixture {
protected:
  void SetUp() override {
    tFaultFixture::SetUp();
    mK40 = std::make_unique<tSimK40>(tSimK40::tModel::K40P);
    mR70 = std::make_unique<tSimR70>(tSimR70::tModel::R7x);
    mK40Ports = std::make_unique<tSimPortFactory>(mK40.get());
    mR70Ports = std::make_unique<tSimPortFactory>(mR70.get());
    // The R-70 sits behind the maker's bridge on COM8, the K-40-P on the ordinary COM7.
    tUSB_CP210x::SetBackendFactory([]() -> std::shared_ptr<iCP210xBackend> {
      return std::make_shared<tCP210xFake>(
          QList<tCP210xFake::tBridge>{{QStringLiteral("HALVEX_R-7X_0815"), 8}});
    });
    mLogger = std::make_unique<TFrameLoggingOvvw>();
    mFrameK40 = Connect(7, *mK40Ports);
    mFrameR70 = Connect(8, *mR70Ports);
    mDialogs.Clear();
  }
  void TearDown() override {
    if (mLogger && mLogger->IsLogging()) mLogger->BitBtnStopLogClick();
    for (TFrameDevice* f : {mFrameK40.get(), mFrameR70.get()})
      if (f && mLogger) mLogger->DelDevice(f);
    mLogger.reset();
    mFrameK40.reset();
    mFrameR70.reset();
    tFaultFixture::TearDown();
  }
  std::unique_ptr<TFrameDevice> Connect(int pComNr, tSimPortFactory& pPorts) {
    TFrameDevice::SetComPortFactory(pPorts.Factory());
    auto lFrame = std::make_unique<TFrameDevice>();
    mLogger->AddDevice(lFrame.get());
    lFrame->Initialize(pComNr);
    lFrame->Connect();
    EXPECT_TRUE(WaitFor([&] { return lFrame->DeviceStatus() == dsConnected; }, 15000))
        << "COM" << pComNr << " status " << int(lFrame->DeviceStatus());
    return lFrame;
  }
  void StartRun() {
    mLogger->BitBtnStartLogClick();
    ASSERT_TRUE(mLogger->IsLogging()) << qPrintable(Errors().join(" | "));
  }
  QStringList RowTexts(int pFrom, int pTo) const {
    QStringList lRows;
    const tLogTableModel& t = mLogger->Table();
    for (int r = pFrom; r <= pTo; ++r) {
      QStringList lCells;
      for (int c = 0; c < t.ColCount(); ++c)
        lCells << t.Cell(c, r);
      lRows << lCells.join(';');
    }
    return lRows;
  }

  std::unique_ptr<tSimK40> mK40;
  std::unique_ptr<tSimR70> mR70;
  std::unique_ptr<tSimPortFactory> mK40Ports;
  std::unique_ptr<tSimPortFactory> mR70Ports;
  std::unique_ptr<TFrameLoggingOvvw> mLogger;
  std::unique_ptr<TFrameDevice> mFrameK40;
  std::unique_ptr<TFrameDevice> mFrameR70;
};

int CountLines(const QString& pFileName) {
  QFile lFile(pFileName);
  if (!lFile.open(QIODevice::ReadOnly)) return -1;
  return int(lFile.readAll().count('\n'));
}

} // namespace

// The R-70's cable is pulled while both instruments are logged: its frame drops to
// dsDisconnected, the run goes on with "/" in its columns, the K-40-P's values keep coming,
// and every row recorded before stays as it was.
TEST_F(LoggerFaults, device_vanishing_mid_log_continues_the_run_for_the_other_with_slash_rows) {
  ASSERT_EQ(mFrameK40->DeviceStatus(), dsConnected);
  ASSERT_EQ(mFrameR70->DeviceStatus(), dsConnected);
  StartRun();
  // Recorded rows, not the grid's: the grid starts with 50 empty ones.
  ASSERT_TRUE(WaitFor([&] { return mLogger->LogEntryCnt() >= 10; }, 5000));
  const int lBefore = mLogger->LogEntryCnt();
  const QStringList lEarlyRows = RowTexts(1, lBefore);
  ASSERT_FALSE(lEarlyRows.back().contains('/')) << qPrintable(lEarlyRows.back());

  mR70Ports->Last()->Vanish();
  ASSERT_TRUE(WaitFor([&] { return mFrameR70->DeviceStatus() == dsDisconnected; }, 4000));
  const int lAtLoss = mLogger->LogEntryCnt();
  ASSERT_TRUE(WaitFor([&] { return mLogger->LogEntryCnt() >= lAtLoss + 10; }, 5000))
      << "the run stopped with the lost instrument";
  EXPECT_TRUE(mLogger->IsLogging());
  EXPECT_EQ(mFrameK40->DeviceStatus(), dsLogging);

  // Rows are kept whatever the order the table shows them in: every early row is still
  // there, rows after the loss carry "/" for the R-70 and values for the K-40-P.
  const int lLast = mLogger->LogEntryCnt();
  const QStringList lAll = RowTexts(1, lLast);
  for (const QString& lRow : lEarlyRows)
    EXPECT_TRUE(lAll.contains(lRow)) << "row lost or changed: " << qPrintable(lRow);
  int lSlashRows = 0, lValueRows = 0;
  for (const QString& lRow : lAll) {
    if (lEarlyRows.contains(lRow)) continue;
    if (lRow.startsWith(QLatin1String("/;")))
      ++lSlashRows;
    else if (lRow.contains(QRegularExpression("^-?\\d+,\\d+;")))
      ++lValueRows;
  }
  EXPECT_GE(lSlashRows, 5) << qPrintable(lAll.mid(lAll.size() - 6).join(" | "));
  EXPECT_GE(lValueRows, 5) << qPrintable(lAll.mid(lAll.size() - 6).join(" | "));
  mLogger->BitBtnStopLogClick();
  EXPECT_GE(mLogger->LogEntryCnt(), lLast);
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));
}

// Saving to a read-only folder and to a name that is a folder fails with an error box
// naming the file; the run goes on, the data stays unsaved, and the next save to a good
// target holds every row.
TEST_F(LoggerFaults, unwritable_save_targets_mid_log_report_and_lose_no_row) {
  QTemporaryDir lDir;
  ASSERT_TRUE(lDir.isValid());
  const QString lLocked = lDir.path() + "/locked";
  QDir().mkpath(lLocked);
  QDir().mkpath(lDir.path() + "/a-folder.csv");
  StartRun();
  ASSERT_TRUE(WaitFor([&] { return mLogger->LogCnt() >= 10; }, 5000));

  struct tTarget {
    const char* What;
    QString FileName;
    bool ReadOnlyFolder;
  };
  for (const tTarget& t : {tTarget{"read-only folder", lLocked + "/log.csv", true},
                           tTarget{"name of a folder", lDir.path() + "/a-folder.csv", false}}) {
    SCOPED_TRACE(t.What);
    mDialogs.Clear();
    std::unique_ptr<tNoPermissionOverride> lNoOverride;
    if (t.ReadOnlyFolder) {
      lNoOverride = std::make_unique<tNoPermissionOverride>();
      if (!lNoOverride->Usable()) continue;
      ASSERT_TRUE(QFile::setPermissions(lLocked, QFile::ReadOwner | QFile::ExeOwner));
    }
    const int lRows = mLogger->LogCnt();
    mDialogs.PushSaveFile(t.FileName, 1);
    mLogger->ButtonSaveTableClick();
    lNoOverride.reset();
    QFile::setPermissions(lLocked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(Errors().size(), 1);
    EXPECT_TRUE(Errors().front().contains(t.FileName)) << qPrintable(Errors().front());
    EXPECT_FALSE(QFileInfo(t.FileName).isFile()) << qPrintable(t.FileName);
    EXPECT_TRUE(mLogger->IsLogging());
    EXPECT_TRUE(mLogger->HasDataToSave());
    EXPECT_GE(mLogger->LogCnt(), lRows);
  }

  // The chart to a folder's name fails the same way.
  mDialogs.Clear();
  mDialogs.PushSaveFile(lDir.path() + "/a-folder.csv", 2);
  mLogger->ButtonSaveChartClick();
  EXPECT_EQ(Errors().size(), 1);

  ASSERT_TRUE(WaitFor([&] { return mLogger->LogCnt() >= 20; }, 5000));
  mLogger->BitBtnStopLogClick();
  const int lRows = mLogger->LogCnt();
  mDialogs.Clear();
  const QString lGood = lDir.path() + "/good.csv";
  mDialogs.PushSaveFile(lGood, 1);
  mLogger->ButtonSaveTableClick();
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));
  QFile lFile(lGood);
  ASSERT_TRUE(lFile.open(QIODevice::ReadOnly));
  const QByteArray lSaved = lFile.readAll();
  EXPECT_GE(CountLines(lGood), lRows + 1)
      << "rows missing from the saved table: " << lSaved.left(400).constData();
}

// A noisy line spoils one live reply in a few on both instruments for half a minute of
// logging: the spoilt replies are skipped, both instruments stay in the run, no box appears,
// and a row misses a value only where no fresh one arrived since the last tick.
TEST_F(LoggerFaults, noisy_lines_lose_single_samples_never_an_instrument) {
  for (tSimPortFactory* lPorts : {mK40Ports.get(), mR70Ports.get()}) {
    ASSERT_NE(lPorts->Last(), nullptr);
    tSimFaults lNoisy;
    lNoisy.CorruptEvery = 7;
    lNoisy.TruncateEvery = 11;
    lPorts->Last()->SetFaults(lNoisy);
  }
  // Ends by count, well after the half minute watched here.
  mLogger->findChild<QRadioButton*>("RadioButtonEndLogCount")->click();
  mLogger->findChild<QSpinBox*>("SpinEditCountLog")->setValue(100000);
  StartRun();
  PumpFor(30000);
  EXPECT_EQ(mFrameK40->DeviceStatus(), dsLogging);
  EXPECT_EQ(mFrameR70->DeviceStatus(), dsLogging);
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));
  const int lRows = mLogger->LogEntryCnt();
  EXPECT_GE(lRows, 250) << "the run did not keep its pace";
  int lGaps = 0;
  QString lPrevious;
  for (const QString& lRow : RowTexts(1, lRows)) {
    const QStringList lCells = lRow.split(';');
    for (const QString& lCell : lCells)
      if (lCell == QLatin1String("/")) ++lGaps;
    // Two missing samples in a row would be a lost instrument, not a lost reply.
    if (lRow.startsWith(QLatin1String("/;")))
      EXPECT_FALSE(lPrevious.startsWith(QLatin1String("/;"))) << qPrintable(lRow);
    lPrevious = lRow;
  }
  EXPECT_LE(lGaps, lRows / 20) << "more gaps than spoilt replies explain";
  mLogger->BitBtnStopLogClick();
}
