// Saving the table and the chart, the extension rule, clearing and the temperature curves.
#include "LoggerFixture.h"

#include "logger/FormAskLogClear.h"
#include "logger/LogChart.h"
#include <QCheckBox>
#include <QFile>
#include <QImageReader>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray ReadAll(const QString& pFile) {
  QFile file(pFile);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// The text of a cell as the tick writes it, for building expected files.
QString Row(const QStringList& pFields, QChar pSeparator) {
  return pFields.join(pSeparator);
}
} // namespace

class tLogSaveTest : public tLoggerFixture {
protected:
  QString Dir() { return OutputDir("logger-save"); }
  // Saves through the dialog with the given name and filter (1 CSV, 2 text).
  void Save(const QString& pName, int pFilter) {
    mDialogs.PushSaveFile(pName, pFilter);
    mLogger->ButtonSaveTableClick();
  }
};

TEST_F(tLogSaveTest, SavedFileByteForByteForOneAndTwoDevicesInBothSeparators) {
  struct tCase {
    int Devices;
    int Filter;
    QChar Separator;
    QString Extension;
  };
  const tCase cases[] = {
      {1, 1, ';', ".csv"}, {1, 2, '\t', ".txt"}, {2, 1, ';', ".csv"}, {2, 2, '\t', ".txt"}};
  for (const tCase& c : cases) {
    SCOPED_TRACE(c.Devices * 10 + c.Filter);
    TearDown();
    SetUp();
    AddFrame({1, "T1", "A"});
    if (c.Devices == 2) AddFrame({2, "T2", "B", 0, 16, "bar", "bar", dtVQ5});
    Start();
    DeliverAndTick(1.5, 20);
    DeliverAndTick(-0.25, 19.96);
    QString base = Dir() + QString("/table%1%2").arg(c.Devices).arg(c.Filter);
    QFile::remove(base + c.Extension);
    Save(base, c.Filter);
    const QChar s = c.Separator;
    QString expected;
    if (c.Devices == 1) {
      expected += "Messstelle" + QString(s) + "T1" + QString(s) + "\r\n";
      expected += Row({"Druck [bar]", "Temperatur [°C]", "Zeit"}, s) + "\r\n";
      expected += Row({"1,500", "20,0", Cell(2, 1)}, s) + "\r\n";
      expected += Row({"-0,250", "20,0", Cell(2, 2)}, s) + "\r\n";
    } else {
      expected += Row({"Messstelle", "T1", "", "Messstelle", "T2", ""}, s) + "\r\n";
      expected +=
          Row({"Druck [bar]", "Temperatur [°C]", "Zeit", "Druck [bar]", "Temperatur [°C]", "Zeit"},
              s) +
          "\r\n";
      expected += Row({"1,500", "20,0", Cell(2, 1), "1,500", "", Cell(2, 2)}, s) + "\r\n";
      expected += Row({"-0,250", "20,0", Cell(2, 3), "-0,250", "", Cell(2, 4)}, s) + "\r\n";
    }
    EXPECT_EQ(ReadAll(base + c.Extension), expected.toLocal8Bit());
  }
}

TEST_F(tLogSaveTest, ExtensionRule) {
  AddFrame({});
  Start();
  DeliverAndTick();
  // A name without extension gets the filter's; a name with one keeps it, whatever the filter.
  struct tCase {
    QString Name;
    int Filter;
    QString Written;
    char Separator;
  };
  const tCase cases[] = {{"plain", 1, "plain.csv", ';'},
                         {"plain2", 2, "plain2.txt", '\t'},
                         {"typed.csv", 2, "typed.csv", '\t'},
                         {"typed.txt", 1, "typed.txt", ';'}};
  for (const tCase& c : cases) {
    QFile::remove(Dir() + "/" + c.Written);
    Save(Dir() + "/" + c.Name, c.Filter);
    QByteArray bytes = ReadAll(Dir() + "/" + c.Written);
    ASSERT_FALSE(bytes.isEmpty()) << c.Written.toStdString();
    EXPECT_TRUE(bytes.split('\n')[1].contains(c.Separator)) << c.Written.toStdString();
  }
  // The dialog is asked with the catalogue filter and the name proposed without extension.
  const tDialogRecord last = mDialogs.Records().last();
  EXPECT_EQ(last.SaveRequest.Filter, mLogger->LoggerText(7));
  EXPECT_EQ(last.SaveRequest.FileName, Dir() + "/typed");
}

TEST_F(tLogSaveTest, CancelledDialogWritesNothing) {
  AddFrame({});
  Start();
  DeliverAndTick();
  QFile::remove(Dir() + "/cancelled.csv");
  mDialogs.PushSaveCancel();
  mLogger->ButtonSaveTableClick();
  EXPECT_FALSE(QFile::exists(Dir() + "/cancelled.csv"));
}

TEST_F(tLogSaveTest, FailedSaveKeepsTheOldFileAndReportsTheError) {
  AddFrame({});
  Start();
  for (int i = 0; i < 100; ++i)
    DeliverAndTick();
  // Two ways a save fails: a folder the program may not write into (not for root, who may),
  // and a write that breaks off half-way (the file size limit stands for a full disk).
  enum tFailure { fReadOnlyFolder, fWriteBreaksOff };
  for (tFailure failure : {fReadOnlyFolder, fWriteBreaksOff}) {
    SCOPED_TRACE(int(failure));
    if (failure == fReadOnlyFolder && geteuid() == 0) continue;
    QString dir = Dir() + "/locked";
    QDir().mkpath(dir);
    chmod(dir.toLocal8Bit().constData(), 0755);
    for (const QString& f : QDir(dir).entryList(QDir::Files))
      QFile::remove(dir + "/" + f);
    QString file = dir + "/old.csv";
    QFile::remove(file);
    {
      QFile old(file);
      ASSERT_TRUE(old.open(QIODevice::WriteOnly));
      old.write("old content\r\n");
    }
    int before = mDialogs.MessageCount();
    if (failure == fReadOnlyFolder) {
      chmod(dir.toLocal8Bit().constData(), 0555);
      Save(file, 1);
      chmod(dir.toLocal8Bit().constData(), 0755);
    } else {
      struct rlimit saved;
      getrlimit(RLIMIT_FSIZE, &saved);
      struct rlimit small = saved;
      small.rlim_cur = 1024;
      auto previous = signal(SIGXFSZ, SIG_IGN);
      ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
      Save(file, 1);
      setrlimit(RLIMIT_FSIZE, &saved);
      signal(SIGXFSZ, previous);
    }
    EXPECT_EQ(ReadAll(file), QByteArray("old content\r\n"));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 1) << "no temporary file left";
    ASSERT_EQ(mDialogs.MessageCount(), before + 1);
    EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
    EXPECT_TRUE(mDialogs.LastMessage().Text.contains(file));
    EXPECT_EQ(mLogger->LogEntryCnt(), 100);
    EXPECT_TRUE(mLogger->HasDataToSave());
  }
}

TEST_F(tLogSaveTest, ChartSavedAsBitmapOrPngWithoutAddedExtension) {
  AddFrame({});
  mLogger->resize(1000, 600);
  mLogger->show();
  Start();
  DeliverAndTick(1);
  DeliverAndTick(2);
  QString bmp = Dir() + "/chart";
  QFile::remove(bmp);
  mDialogs.PushSaveFile(bmp, 1);
  mLogger->ButtonSaveChartClick();
  QImageReader bmpReader(bmp);
  EXPECT_EQ(bmpReader.format(), "bmp");
  EXPECT_FALSE(bmpReader.read().isNull());
  mDialogs.PushSaveFile(Dir() + "/chart.png", 2);
  mLogger->ButtonSaveChartClick();
  QImageReader pngReader(Dir() + "/chart.png");
  EXPECT_EQ(pngReader.format(), "png");
}

class tLogClearTest : public tLoggerFixture {
protected:
  void Answer(bool pOk, bool pTable, bool pChart) {
    TFormAskLogClear::SetExecuteHook([=, this](TFormAskLogClear& pForm) {
      mAskedCaption = pForm.windowTitle();
      EXPECT_TRUE(pForm.CheckBoxTable->isChecked());
      EXPECT_TRUE(pForm.CheckBoxChart->isChecked());
      pForm.CheckBoxTable->setChecked(pTable);
      pForm.CheckBoxChart->setChecked(pChart);
      return pOk;
    });
  }
  void TearDown() override {
    TFormAskLogClear::SetExecuteHook({});
    tLoggerFixture::TearDown();
  }
  QPushButton* Button(const char* pName) { return mLogger->findChild<QPushButton*>(pName); }
  QString mAskedCaption;
};

TEST_F(tLogClearTest, ClearingOnlyTheChartKeepsTheTableAndTheRunContinues) {
  AddFrame({});
  Start();
  DeliverAndTick();
  DeliverAndTick();
  mLogger->BitBtnStopLogClick();
  Answer(true, false, true);
  mLogger->ButtonClearTableChartClick(Button("ButtonClearChart"));
  EXPECT_EQ(mAskedCaption, "Bestätigung");
  EXPECT_FALSE(mLogger->Chart()->HasData());
  EXPECT_EQ(mLogger->LogEntryCnt(), 2);
  EXPECT_TRUE(mLogger->HasDataToSave());
  EXPECT_TRUE(Button("ButtonSaveTable")->isEnabled());
  EXPECT_FALSE(Button("ButtonSaveChart")->isEnabled());
  // Continue: rows are appended to the same table.
  Start();
  ASSERT_TRUE(mLogger->IsLogging());
  DeliverAndTick();
  EXPECT_EQ(mLogger->LogEntryCnt(), 3);
  EXPECT_EQ(mLogger->LogCnt(), 3);
}

TEST_F(tLogClearTest, ClearingTheTableDuringARunRestartsAtRowOne) {
  AddFrame({});
  Start();
  DeliverAndTick();
  DeliverAndTick();
  Answer(true, true, false);
  mLogger->ButtonClearTableChartClick(Button("ButtonClearTable"));
  EXPECT_EQ(mLogger->LogEntryCnt(), 0);
  EXPECT_EQ(mLogger->Table().RowCount(), 50);
  EXPECT_TRUE(mLogger->IsLogging());
  DeliverAndTick();
  EXPECT_EQ(mLogger->LogEntryCnt(), 1);
  EXPECT_EQ(Cell(0, 1), "1,500");
}

TEST_F(tLogClearTest, ClearingTheTableDuringACountedRunKeepsTheSamplesStillToTake) {
  AddFrame({});
  mLogger->findChild<QSpinBox*>("SpinEditCountLog")->setValue(10);
  Start();
  for (int i = 0; i < 4; ++i)
    DeliverAndTick();
  Answer(true, true, false);
  mLogger->ButtonClearTableChartClick(Button("ButtonClearTable"));
  for (int i = 0; i < 20 && mLogger->IsLogging(); ++i)
    DeliverAndTick();
  EXPECT_EQ(mLogger->LogCnt(), 6);
  EXPECT_EQ(mLogger->LogEntryCnt(), 6);
  EXPECT_FALSE(mLogger->IsLogging());
}

TEST_F(tLogClearTest, UnitChangeIsRefusedWhileTheChartStillHoldsTheRunsPoints) {
  // The table alone was cleared: the chart's curves are in the recorded units.
  struct tCase {
    const char* Box;
    QString Unit;
  };
  const tCase cases[] = {{"ComboBoxUnitMBA", "mbar"}, {"ComboBoxTempUnit", "K"}};
  for (const tCase& c : cases) {
    SCOPED_TRACE(c.Box);
    TearDown();
    SetUp();
    AddFrame({});
    Start();
    DeliverAndTick();
    mLogger->BitBtnStopLogClick();
    Answer(true, true, false);
    mLogger->ButtonClearTableChartClick(Button("ButtonClearTable"));
    ASSERT_EQ(mLogger->LogEntryCnt(), 0);
    ASSERT_TRUE(mLogger->Chart()->HasData());
    auto* box = mLogger->findChild<QComboBox*>(c.Box);
    box->setCurrentIndex(box->findText(c.Unit));
    Start();
    EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
    EXPECT_EQ(mDialogs.LastMessage().Text, mLogger->LoggerText(4));
    EXPECT_FALSE(mLogger->IsLogging());
  }
}

TEST_F(tLogClearTest, CancelClearsNothing) {
  AddFrame({});
  Start();
  DeliverAndTick();
  Answer(false, true, true);
  mLogger->ButtonClearTableChartClick(Button("ButtonClearTable"));
  EXPECT_EQ(mLogger->LogEntryCnt(), 1);
  EXPECT_TRUE(mLogger->Chart()->HasData());
}

TEST_F(tLogClearTest, RecordsOfRemovedDevicesGoWhenBothAreEmptyAndNobodyLogs) {
  AddFrame({1, "T1", "A"});
  AddFrame({2, "T2", "B"});
  Start();
  DeliverAndTick();
  mLogger->BitBtnStopLogClick();
  mLogger->DelDevice(mFrames[1].get());
  mFrames.pop_back();
  EXPECT_EQ(mLogger->DeviceListLog().size(), 2u);
  EXPECT_EQ(mLogger->Chart()->graphCount(), 4);
  Answer(true, true, false);
  mLogger->ButtonClearTableChartClick(Button("ButtonClearTable"));
  EXPECT_EQ(mLogger->DeviceListLog().size(), 2u);
  Answer(true, false, true);
  mLogger->ButtonClearTableChartClick(Button("ButtonClearChart"));
  EXPECT_FALSE(mLogger->HasDataToSave());
  EXPECT_EQ(mLogger->DeviceListLog().size(), 0u);
  EXPECT_EQ(mLogger->Chart()->graphCount(), 2);
  EXPECT_EQ(mLogger->DeviceList()[0]->SeriesP->name(), "T1 (p)");
  // A new run begins.
  Start();
  EXPECT_TRUE(mLogger->IsLogging());
}

TEST_F(tLogClearTest, DeviceAddedWhileDataExistsGetsHiddenCurves) {
  AddFrame({1, "T1", "A"});
  Start();
  DeliverAndTick();
  mLogger->BitBtnStopLogClick();
  AddFrame({2, "T2", "B"});
  const tDevice* added = mLogger->DeviceList()[1];
  EXPECT_FALSE(mLogger->Chart()->SeriesActive(added->SeriesP));
  EXPECT_FALSE(mLogger->Chart()->SeriesActive(added->SeriesT));
}

TEST_F(tLogClearTest, TemperatureCurvesOnAndOff) {
  AddFrame({1, "T1", "A"});
  TFrameDevice* second = AddFrame({2, "T2", "B"});
  second->SetDeviceStatus(dsDisconnected);
  mDialogs.PushAnswer(mrYes);
  Start();
  DeliverAndTick();
  auto* box = mLogger->findChild<QCheckBox*>("CheckBoxTempSeries");
  box->setChecked(false);
  mLogger->CheckBoxTempSeriesClick();
  const auto& list = mLogger->DeviceListLog();
  EXPECT_FALSE(mLogger->Chart()->SeriesActive(list[0]->SeriesT));
  box->setChecked(true);
  mLogger->CheckBoxTempSeriesClick();
  EXPECT_TRUE(mLogger->Chart()->SeriesActive(list[0]->SeriesT));
  // A device that is not part of the run keeps its temperature curve hidden.
  EXPECT_FALSE(mLogger->Chart()->SeriesActive(list[1]->SeriesT));
}

TEST_F(tLogClearTest, ZoomHelpInEnglishShowsFourLines) {
  Resources().SetLanguage(laEnglish);
  mLogger->BitBtnHlpZoomClick();
  QStringList lines = mDialogs.LastMessage().Text.split("\r");
  EXPECT_EQ(mDialogs.LastMessage().Type, mtInformation);
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], "Zoom:");
  Resources().SetLanguage(laGerman);
}

TEST_F(tLogClearTest, ChartDragsZoomRestoreAndMove) {
  AddFrame({});
  mLogger->resize(1000, 600);
  mLogger->show();
  Start();
  DeliverAndTick(1);
  DeliverAndTick(3);
  tLogChart* chart = mLogger->Chart();
  chart->replot();
  const QCPRange home = chart->yAxis->range();
  QRect plot = chart->axisRect()->rect();
  QPoint a = plot.topLeft() + QPoint(20, 20);
  QPoint b = plot.center();
  QTest::mousePress(chart, Qt::LeftButton, {}, a);
  QTest::mouseMove(chart, b);
  QTest::mouseRelease(chart, Qt::LeftButton, {}, b);
  EXPECT_TRUE(chart->IsZoomed());
  EXPECT_LT(chart->yAxis->range().size(), home.size());
  // Dragging towards the upper left returns to the full view.
  QTest::mousePress(chart, Qt::LeftButton, {}, b);
  QTest::mouseMove(chart, a);
  QTest::mouseRelease(chart, Qt::LeftButton, {}, a);
  EXPECT_FALSE(chart->IsZoomed());
  EXPECT_DOUBLE_EQ(chart->yAxis->range().lower, home.lower);
  // The right button moves the chart.
  QTest::mousePress(chart, Qt::RightButton, {}, b);
  QTest::mouseMove(chart, b + QPoint(0, 40));
  QTest::mouseRelease(chart, Qt::RightButton, {}, b + QPoint(0, 40));
  EXPECT_GT(chart->yAxis->range().lower, home.lower);
}
