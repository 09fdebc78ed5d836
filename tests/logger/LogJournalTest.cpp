// The recording journal: a run written to it and restored into a fresh logger gives the same
// table, curves and saved file; a cut-off tail is dropped, a damaged or foreign file refused and
// left as it is; the journal goes with the data; a failing disk is reported once.
#include "LoggerFixture.h"
#include "support/WaitFor.h"

#include "logger/LogChart.h"
#include "logger/LogJournal.h"
#include <QCoreApplication>
#include <QFile>
#include <csignal>
#include <sys/resource.h>

namespace {
QByteArray ReadAll(const QString& pFile) {
  QFile file(pFile);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void WriteAll(const QString& pFile, const QByteArray& pData) {
  QFile file(pFile);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(pData);
}

// Everything of a logger that restoring must bring back, as text.
std::string Snapshot(TFrameLoggingOvvw& pLogger) {
  QStringList lines;
  const tLogTableModel& table = pLogger.Table();
  lines << QString("cols %1 rows %2 samples %3 data %4")
               .arg(table.ColCount())
               .arg(table.EntryCount())
               .arg(pLogger.LogCnt())
               .arg(pLogger.HasDataToSave());
  for (int r = 0; r <= table.EntryCount(); ++r) {
    QStringList cells;
    for (int c = 0; c <= tLogTableModel::ColTag; ++c)
      cells << table.Cell(c, r);
    lines << cells.join('|');
  }
  tLogChart* chart = pLogger.Chart();
  for (tLogSeries* series : chart->Series()) {
    if (!chart->SeriesActive(series)) continue;
    QString text = series->name() + (chart->SeriesOnRightAxis(series) ? " right:" : " left:");
    const tLogSeriesData& data = series->Data();
    for (std::size_t i = 0; i < data.Count(); ++i)
      text += QString(" %1=%2").arg(data.Key(i), 0, 'g', 17).arg(data.Value(i), 0, 'g', 17);
    lines << text;
  }
  lines << QString("left %1 %2 right %3 %4")
               .arg(chart->yAxis->range().lower, 0, 'g', 17)
               .arg(chart->yAxis->range().upper, 0, 'g', 17)
               .arg(chart->yAxis2->range().lower, 0, 'g', 17)
               .arg(chart->yAxis2->range().upper, 0, 'g', 17);
  return lines.join('\n').toStdString();
}

// Counts what a replay delivers.
class tCountingSink : public iLogJournalSink {
public:
  void Run(const tJournalRun&, const std::vector<tJournalDevice>& pDevices) override {
    Devices = int(pDevices.size());
  }
  void Tag(int, const QString&) override {}
  void Tick(double, const std::vector<tLogRow>& pRows, const QStringList&) override {
    ++Ticks;
    Rows += int(pRows.size());
  }
  void ClearTable() override {}
  void ClearChart() override {}
  int Devices = 0;
  int Ticks = 0;
  int Rows = 0;
};
} // namespace

class tLogJournalTest : public tLoggerFixture {
protected:
  void SetUp() override {
    tLoggerFixture::SetUp();
    mFolder = OutputDir(
        "logger-journal/" +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    QDir(mFolder).removeRecursively();
    QDir().mkpath(mFolder);
    mLogger->SetJournalFolder(mFolder + "/Recording");
  }

  // Three devices, one a VQ-5; a continued run in which one is renamed and another removed.
  void RecordRun() {
    AddFrame({1, "A", "K-40-P 1"});
    AddFrame({2, "B", "VQ-5 2", 0, 10, "bar", "bar", dtVQ5});
    AddFrame({3, "C", "K-40-P 3", -1, 30, "bar", "bar"});
    Start();
    DeliverAndTick(1.5, 20.04);
    DeliverAndTick(-0.123456789, 19.96);
    mLogger->BitBtnStopLogClick();
    Start();
    DeliverAndTick(2.25, 21);
    mFrames[0]->DeviceInfo()->SetTag("A renamed");
    DeliverAndTick(3.0000001, 22.5);
    mLogger->DelDevice(mFrames[2].get());
    mFrames.erase(mFrames.begin() + 2);
    DeliverAndTick(4, 23);
    DeliverAndTick(5, 24);
    mLogger->BitBtnStopLogClick();
  }

  QString SaveCsv(TFrameLoggingOvvw& pLogger, const QString& pName) {
    const QString file = mFolder + "/" + pName + ".csv";
    mDialogs.PushSaveFile(file, 1);
    pLogger.ButtonSaveTableClick();
    return file;
  }

  QString mFolder;
};

TEST_F(tLogJournalTest, RestoredRunGivesTheSameTableCurvesAndSavedFile) {
  RecordRun();
  const QString journal = mLogger->JournalFileName();
  ASSERT_FALSE(journal.isEmpty());
  EXPECT_TRUE(journal.startsWith(mFolder + "/Recording/"));
  const QString copy = mFolder + "/copy.journal";
  ASSERT_TRUE(QFile::copy(journal, copy));
  const std::string expected = Snapshot(*mLogger);
  const QByteArray expectedCsv = ReadAll(SaveCsv(*mLogger, "original"));
  ASSERT_FALSE(expectedCsv.isEmpty());
  ASSERT_EQ(mLogger->Table().EntryCount(), 18);
  EXPECT_EQ(mLogger->Table().Cell(0, 18), "/") << "the removed device's rows";

  TFrameLoggingOvvw restored;
  QString error;
  ASSERT_TRUE(restored.RestoreJournal(copy, error)) << error.toStdString();
  EXPECT_EQ(Snapshot(restored), expected);
  EXPECT_EQ(ReadAll(SaveCsv(restored, "restored")), expectedCsv);
  EXPECT_EQ(restored.JournalFileName(), copy) << "the restored data keeps its journal";
  EXPECT_EQ(mDialogs.MessageCount(), 0);
}

TEST_F(tLogJournalTest, CutOffTailDropsOnlyTheIncompleteRecords) {
  RecordRun();
  const QByteArray full = ReadAll(mLogger->JournalFileName());
  // Where the last three lines begin.
  qsizetype start = full.size() - 1;
  for (int n = 0; n < 3; ++n)
    start = full.lastIndexOf('\n', start - 1);
  ++start;
  const int fullTicks = 6;
  const QString cut = mFolder + "/cut.journal";
  for (qsizetype size = start; size <= full.size(); ++size) {
    SCOPED_TRACE(size);
    WriteAll(cut, full.left(size));
    const tJournalSummary summary = tLogJournalReader::Scan(cut);
    ASSERT_TRUE(summary.Valid) << summary.Error.toStdString();
    EXPECT_EQ(summary.Torn, size < full.size() && full[size - 1] != '\n');
    tCountingSink sink;
    ASSERT_TRUE(tLogJournalReader::Replay(cut, summary.ValidBytes, sink));
    // Lines still complete in the cut: everything up to its last line end.
    const qsizetype complete = full.lastIndexOf('\n', size - 1) + 1;
    const int dropped = int(full.mid(complete).count("\nR ") + full.mid(complete).startsWith("R "));
    EXPECT_EQ(sink.Ticks, fullTicks - dropped);
    EXPECT_EQ(summary.Samples, sink.Ticks);
    EXPECT_EQ(sink.Rows, 3 * sink.Ticks);
    EXPECT_EQ(ReadAll(cut), full.left(size)) << "reading changes nothing";
  }
  // A restored cut journal fills the logger with its complete samples and goes on after them.
  WriteAll(cut, full.left(full.size() - 5));
  TFrameLoggingOvvw restored;
  QString error;
  ASSERT_TRUE(restored.RestoreJournal(cut, error)) << error.toStdString();
  EXPECT_EQ(restored.Table().EntryCount(), 3 * (fullTicks - 1));
  EXPECT_TRUE(ReadAll(cut).endsWith('\n')) << "the torn line is cut off before writing on";
}

TEST_F(tLogJournalTest, DamagedOrForeignFileIsRefusedAndLeftAsItIs) {
  RecordRun();
  const QByteArray full = ReadAll(mLogger->JournalFileName());
  QByteArray flipped = full;
  flipped[full.indexOf("\nR ") + 5] ^= 1; // inside the first sample, valid lines follow
  const struct {
    const char* Name;
    QByteArray Content;
  } cases[] = {
      {"foreign text", "Messstelle;A;\r\n1,500;20,0;\r\n"},
      {"empty", ""},
      {"changed version line", full.left(full.indexOf('\n')).replace(" 1 ", " 2 ") + "\n"},
      {"damaged in the middle", flipped},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const QString file = mFolder + "/bad.journal";
    WriteAll(file, c.Content);
    TFrameLoggingOvvw logger;
    QString error;
    EXPECT_FALSE(logger.RestoreJournal(file, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(logger.HasDataToSave());
    EXPECT_EQ(logger.Table().EntryCount(), 0);
    EXPECT_EQ(ReadAll(file), c.Content);
  }
}

TEST_F(tLogJournalTest, JournalLivesAsLongAsTheRecordedData) {
  AddFrame({1, "A", "K-40-P 1"});
  EXPECT_TRUE(mLogger->JournalFileName().isEmpty()) << "no journal before a run";
  Start();
  DeliverAndTick();
  const QString journal = mLogger->JournalFileName();
  ASSERT_TRUE(QFile::exists(journal));
  // Another instance of the program must not take a journal that is being written.
  EXPECT_TRUE(tLogJournalReader::InUse(journal));
  {
    TFrameLoggingOvvw other;
    QString error;
    EXPECT_FALSE(other.RestoreJournal(journal, error));
    EXPECT_FALSE(other.HasDataToSave());
  }
  mLogger->BitBtnStopLogClick();
  mLogger->ButtonClearTableChartClick(mLogger.get());
  EXPECT_FALSE(QFile::exists(journal)) << "cleared both";
  Start();
  DeliverAndTick();
  const QString second = mLogger->JournalFileName();
  ASSERT_TRUE(QFile::exists(second));
  mLogger->BitBtnStopLogClick();
  mLogger->DelDevice(mFrames[0].get());
  mFrames.clear();
  mLogger.reset();
  EXPECT_FALSE(QFile::exists(second)) << "closed normally";
}

TEST_F(tLogJournalTest, FullDiskIsReportedOnceAndTheRunGoesOnInMemory) {
  AddFrame({1, "A", "K-40-P 1"});
  AddFrame({2, "B", "K-40-P 2"});
  Start();
  DeliverAndTick(1, 20);
  // Samples reach the file in batches.
  const auto written = [] { PumpFor(tLogJournal::WritePeriodMs + 100); };
  written();
  const QString journal = mLogger->JournalFileName();
  const qint64 before = QFileInfo(journal).size();
  {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = rlim_t(before + 20);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 0; i < 5; ++i)
      DeliverAndTick(2 + i, 21);
    written();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
  }
  QCoreApplication::processEvents();
  DeliverAndTick(9, 25);
  QCoreApplication::processEvents();
  ASSERT_EQ(mDialogs.MessageCount(), 1);
  EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
  EXPECT_TRUE(mDialogs.LastMessage().Text.startsWith(Resources().CatalogueText(507)));
  EXPECT_EQ(mLogger->Table().EntryCount(), 14) << "every sample kept in memory";
  mLogger->BitBtnStopLogClick();
  const QByteArray csv = ReadAll(SaveCsv(*mLogger, "after-full-disk"));
  EXPECT_EQ(csv.count("\r\n"), 2 + 7);
  // What reached the disk before it was full is still a readable journal.
  EXPECT_TRUE(tLogJournalReader::Scan(journal).Valid);
}
