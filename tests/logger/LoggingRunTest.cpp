// The logging run: start checks, the sampling tick, end conditions, renames and units.
#include "LoggerFixture.h"

#include "logger/LogChart.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

namespace {
const QString CR = "\r";
}

TEST_F(tLoggerFixture, CountOf100TakesExactly100SamplesAnd50MoreWhenContinued) {
  AddFrame({});
  Start();
  ASSERT_TRUE(mLogger->IsLogging());
  for (int i = 0; i < 130 && mLogger->IsLogging(); ++i)
    DeliverAndTick();
  EXPECT_EQ(mLogger->LogCnt(), 100);
  EXPECT_EQ(mLogger->LogEntryCnt(), 100);
  EXPECT_FALSE(mLogger->IsLogging());
  EXPECT_EQ(mFrames[0]->DeviceStatus(), dsConnected);

  // Continue with a count of 50.
  mLogger->findChild<QSpinBox*>("SpinEditCountLog")->setValue(50);
  Start();
  ASSERT_TRUE(mLogger->IsLogging()) << mDialogs.LastMessage().Text.toStdString();
  for (int i = 0; i < 80 && mLogger->IsLogging(); ++i)
    DeliverAndTick();
  EXPECT_EQ(mLogger->LogCnt(), 150);
  EXPECT_EQ(mLogger->LogEntryCnt(), 150);
}

TEST_F(tLoggerFixture, ContinuingWithTheLargestCountNeitherOverflowsNorEndsTheRun) {
  AddFrame({});
  auto* count = mLogger->findChild<QSpinBox*>("SpinEditCountLog");
  count->setValue(1);
  Start();
  DeliverAndTick();
  DeliverAndTick();
  ASSERT_FALSE(mLogger->IsLogging());
  count->setValue(count->maximum());
  Start();
  ASSERT_TRUE(mLogger->IsLogging());
  for (int i = 0; i < 3; ++i)
    DeliverAndTick();
  EXPECT_EQ(mLogger->LogCnt(), 4);
  EXPECT_TRUE(mLogger->IsLogging());
}

TEST_F(tLoggerFixture, TickWithoutNewValueTakesNoSampleAndDoesNotCount) {
  AddFrame({});
  mLogger->findChild<QSpinBox*>("SpinEditCountLog")->setValue(3);
  Start();
  DeliverAndTick();
  Tick();
  Tick();
  EXPECT_EQ(mLogger->LogCnt(), 1);
  EXPECT_TRUE(mLogger->IsLogging());
  DeliverAndTick();
  DeliverAndTick();
  EXPECT_EQ(mLogger->LogCnt(), 3);
  // The run ends at the next tick, which takes no sample.
  DeliverAndTick();
  EXPECT_EQ(mLogger->LogCnt(), 3);
  EXPECT_FALSE(mLogger->IsLogging());
}

TEST_F(tLoggerFixture, RowsOfASampleAndTheirTexts) {
  AddFrame({1, "T1", "A"});
  AddFrame({2, "T2", "B", 0, 16, "bar", "bar", dtVQ5});
  Start();
  DeliverAndTick(1.5, 21.25);
  ASSERT_EQ(mLogger->LogEntryCnt(), 2);
  EXPECT_EQ(Cell(0, 0), "Druck [bar]");
  EXPECT_EQ(Cell(1, 0), "Temperatur [°C]");
  EXPECT_EQ(Cell(2, 0), "Zeit");
  EXPECT_EQ(Cell(3, 0), "Messstelle");
  EXPECT_EQ(Cell(0, 1), "1,500");
  EXPECT_EQ(Cell(1, 1), "21,3");
  EXPECT_EQ(Cell(3, 1), "T1");
  // The VQ-5 has no temperature: empty cell and no temperature point.
  EXPECT_EQ(Cell(1, 2), "");
  EXPECT_EQ(Cell(3, 2), "T2");
  const tDevice* vq5 = mLogger->DeviceListLog()[1];
  EXPECT_EQ(mLogger->Chart()->PointCount(vq5->SeriesP), 1);
  EXPECT_EQ(mLogger->Chart()->PointCount(vq5->SeriesT), 0);
  // The time stamp: default date-time text, ",", three digits of milliseconds.
  QDateTime stamp = ToQDateTime(mFrames[0]->DeviceInfo()->LastPressureTime());
  EXPECT_EQ(Cell(2, 1), QLocale().toString(stamp, "dd.MM.yy HH:mm:ss") + "," +
                            QString("%1").arg(stamp.time().msec(), 3, 10, QChar('0')));
}

TEST_F(tLoggerFixture, DeviceNoLongerLoggingGetsSlashRowsWithItsTag) {
  AddFrame({1, "T1", "A"});
  TFrameDevice* second = AddFrame({2, "T2", "B"});
  Start();
  DeliverAndTick();
  second->SetDeviceStatus(dsDisconnected);
  DeliverAndTick();
  ASSERT_EQ(mLogger->LogEntryCnt(), 4);
  EXPECT_EQ(Cell(0, 3), "1,500");
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(Cell(c, 4), "/");
  EXPECT_EQ(Cell(3, 4), "T2");
}

TEST_F(tLoggerFixture, RemovedDeviceIsNeverReachedAgainAndWritesSlashes) {
  AddFrame({1, "T1", "A"});
  AddFrame({2, "T2", "B"});
  Start();
  DeliverAndTick();
  // The main window removes the second device while the run goes on.
  mFrames[1]->SetDeviceStatus(dsConnected);
  mLogger->DelDevice(mFrames[1].get());
  mFrames.pop_back();
  DeliverAndTick();
  ASSERT_EQ(mLogger->LogEntryCnt(), 4);
  EXPECT_EQ(Cell(0, 4), "/");
  EXPECT_EQ(Cell(3, 4), "T2");
  // Continuing is refused: the device was deleted.
  mLogger->BitBtnStopLogClick();
  Start();
  EXPECT_EQ(mDialogs.LastMessage().Text,
            mLogger->LoggerText(8) + CR + "COM2: T2 " + mLogger->LoggerText(14) + CR);
}

TEST_F(tLoggerFixture, TagRenameChangesTheRowsOfThatDeviceOnly) {
  AddFrame({1, "T1", "A"});
  TFrameDevice* second = AddFrame({2, "T2", "B"});
  AddFrame({3, "T3", "C"});
  Start();
  for (int i = 0; i < 4; ++i)
    DeliverAndTick();
  second->DeviceInfo()->SetTag("Neu");
  for (int r = 1; r <= 12; ++r)
    EXPECT_EQ(Cell(3, r), (r % 3 == 2) ? "Neu" : QString("T%1").arg((r - 1) % 3 + 1)) << r;
  const tDevice* d = mLogger->DeviceList()[1];
  EXPECT_EQ(d->SeriesP->name(), "Neu (p)");
  EXPECT_EQ(d->SeriesT->name(), "Neu (T)");
}

TEST_F(tLoggerFixture, InactiveDeviceOfTheRunDoesNotShiftTheRenamedRows) {
  TFrameDevice* first = AddFrame({1, "T1", "A"});
  AddFrame({2, "T2", "B"});
  AddFrame({3, "T3", "C"});
  first->SetDeviceStatus(dsDisconnected);
  mDialogs.PushAnswer(mrYes);
  Start();
  for (int i = 0; i < 3; ++i)
    DeliverAndTick();
  ASSERT_EQ(mLogger->LogEntryCnt(), 6);
  mFrames[2]->DeviceInfo()->SetTag("X");
  for (int r = 1; r <= 6; ++r)
    EXPECT_EQ(Cell(3, r), r % 2 == 0 ? "X" : "T2") << r;
}

TEST_F(tLoggerFixture, StartChecksInTheirOrder) {
  // No device ready: message 327.
  TFrameDevice* first = AddFrame({1, "T1", "A"});
  first->SetDeviceStatus(dsAdjusting);
  Start();
  EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
  EXPECT_EQ(mDialogs.LastMessage().Text, mLogger->LoggerText(10));
  EXPECT_FALSE(mLogger->IsLogging());

  // Some not ready: message 326 with the ready list, No changes nothing.
  first->SetDeviceStatus(dsConnected);
  AddFrame({2, "T2", "B"})->SetDeviceStatus(dsDisconnected);
  mDialogs.PushAnswer(mrNo);
  Start();
  EXPECT_EQ(mDialogs.LastMessage().Type, mtWarning);
  EXPECT_EQ(mDialogs.LastMessage().Buttons, mbYesNo);
  EXPECT_EQ(mDialogs.LastMessage().Text, mLogger->LoggerText(9) + CR + "COM1: T1" + CR);
  EXPECT_FALSE(mLogger->IsLogging());

  mDialogs.PushAnswer(mrYes);
  Start();
  ASSERT_TRUE(mLogger->IsLogging());
  DeliverAndTick();
  mLogger->BitBtnStopLogClick();

  // Continuing after changes: the second device is ready now, a third was added.
  mFrames[1]->SetDeviceStatus(dsConnected);
  AddFrame({4, "T4", "D"});
  int before = mDialogs.MessageCount();
  Start();
  EXPECT_EQ(mDialogs.MessageCount(), before + 1);
  EXPECT_EQ(mDialogs.LastMessage().Text, mLogger->LoggerText(8) + CR + "COM2: T2 " +
                                             mLogger->LoggerText(11) + CR + "COM4: T4 " +
                                             mLogger->LoggerText(13) + CR);
  EXPECT_FALSE(mLogger->IsLogging());
}

TEST_F(tLoggerFixture, ReplacedInstrumentIsListedWithMessage333) {
  TFrameDevice* frame = AddFrame({5, "T1", "K-40-P 1001"});
  Start();
  DeliverAndTick();
  mLogger->BitBtnStopLogClick();
  frame->DeviceInfo()->SetIdent("K-40-P 2002");
  frame->DeviceInfo()->SetTag("T9");
  Start();
  EXPECT_EQ(mDialogs.LastMessage().Text,
            mLogger->LoggerText(8) + CR + "COM5: T1 " + mLogger->LoggerText(15) + " T9" + CR);
  EXPECT_FALSE(mLogger->IsLogging());
  // The recorded rows keep the old name.
  EXPECT_EQ(Cell(3, 1), "T1");
}

TEST_F(tLoggerFixture, ContinuingWithAnotherUnitIsRefused) {
  AddFrame({});
  Start();
  DeliverAndTick();
  mLogger->BitBtnStopLogClick();
  mLogger->findChild<QComboBox*>("ComboBoxTempUnit")->setCurrentIndex(1);
  Start();
  EXPECT_EQ(mDialogs.LastMessage().Text, mLogger->LoggerText(4));
  EXPECT_FALSE(mLogger->IsLogging());
}

TEST_F(tLoggerFixture, RenamingTheOnlyDeviceDuringARunKeepsTheRunsUnits) {
  AddFrame({1, "T1", "A", 0, 16, "bar", "bar"});
  auto* unitA = mLogger->findChild<QComboBox*>("ComboBoxUnitMBA");
  auto* unitE = mLogger->findChild<QComboBox*>("ComboBoxUnitMBE");
  unitA->setCurrentIndex(unitA->findText("mbar"));
  unitE->setCurrentIndex(unitE->findText("mbar"));
  Start();
  DeliverAndTick(1.5);
  // A new tag notifies the logger, which picks a single device's range units while idle.
  mFrames[0]->DeviceInfo()->SetTag("T9");
  DeliverAndTick(1.5);
  ASSERT_EQ(mLogger->LogEntryCnt(), 2);
  EXPECT_EQ(Cell(0, 2), Cell(0, 1));
  EXPECT_EQ(unitA->currentText(), "mbar");
  const tDevice* d = mLogger->DeviceListLog()[0];
  double low = 0;
  double high = 0;
  ASSERT_TRUE(mLogger->Chart()->SeriesMinMax(d->SeriesP, low, high));
  EXPECT_DOUBLE_EQ(low, 1500);
  EXPECT_DOUBLE_EQ(high, 1500);
}

TEST_F(tLoggerFixture, TimedEndChecks) {
  AddFrame({});
  auto* endDate = mLogger->findChild<QDateEdit*>("dtpEndDate");
  auto* endTime = mLogger->findChild<QTimeEdit*>("dtpEndTime");
  mLogger->findChild<QRadioButton*>("RadioButtonEndLogDate")->setChecked(true);
  mLogger->RadioButtonEndLogClick();
  // End before start: 321, and the duration shows 0 days 00:00:00.
  endDate->setDate(QDate::currentDate().addDays(-1));
  EXPECT_EQ(mLogger->findChild<QSpinBox*>("SpinEditDuration")->value(), 0);
  EXPECT_EQ(mLogger->findChild<QTimeEdit*>("dtpDuration")->time(), QTime(0, 0));
  Start();
  EXPECT_EQ(mDialogs.LastMessage().Text, mLogger->LoggerText(5));
  EXPECT_FALSE(mLogger->IsLogging());
  // End after the start but already past: 322 (start in the past with a timed start).
  mLogger->findChild<QRadioButton*>("RadioButtonStartLogDate")->setChecked(true);
  mLogger->findChild<QDateEdit*>("dtpStartDate")->setDate(QDate::currentDate().addDays(-2));
  Start();
  EXPECT_EQ(mDialogs.LastMessage().Text, mLogger->LoggerText(6));
  EXPECT_FALSE(mLogger->IsLogging());
  // End in the future: the run starts.
  endDate->setDate(QDate::currentDate().addDays(1));
  endTime->setTime(QTime(12, 0));
  Start();
  EXPECT_TRUE(mLogger->IsLogging());
}

TEST_F(tLoggerFixture, TimedStartRecordsOnlyAfterTheStartTime) {
  AddFrame({});
  mLogger->findChild<QRadioButton*>("RadioButtonStartLogDate")->setChecked(true);
  mLogger->RadioButtonStartLogDateClick();
  QDateTime start = QDateTime::currentDateTime().addSecs(2);
  mLogger->findChild<QDateEdit*>("dtpStartDate")->setDate(start.date());
  mLogger->findChild<QTimeEdit*>("dtpStartTime")->setTime(start.time());
  Start();
  EXPECT_TRUE(mLogger->IsLogging());
  EXPECT_EQ(mFrames[0]->DeviceStatus(), dsLogging);
  DeliverAndTick();
  EXPECT_EQ(mLogger->LogCnt(), 0);
  QElapsedTimer waited;
  waited.start();
  while (QDateTime::currentDateTime() <= start.addMSecs(20) && waited.elapsed() < 5000)
    QThread::msleep(20);
  DeliverAndTick();
  EXPECT_EQ(mLogger->LogCnt(), 1);
}

TEST_F(tLoggerFixture, CompoundRangeShowsNegativeInMbarAndPositiveInBar) {
  AddFrame({1, "T1", "A", -1, 1, "bar", "bar"});
  auto* unitA = mLogger->findChild<QComboBox*>("ComboBoxUnitMBA");
  auto* unitE = mLogger->findChild<QComboBox*>("ComboBoxUnitMBE");
  unitE->show();
  unitA->setCurrentIndex(unitA->findText("mbar"));
  unitE->setCurrentIndex(unitE->findText("bar"));
  Start();
  DeliverAndTick(-0.5);
  DeliverAndTick(0.25);
  EXPECT_EQ(Cell(0, 0), "Druck [mbar | bar]");
  int digitsA = 0;
  int digitsE = 0;
  mFrames[0]->DeviceInfo()->GetPressureInAUnit(-0.5, "mbar", "bar", digitsA);
  mFrames[0]->DeviceInfo()->GetPressureInAUnit(0.25, "mbar", "bar", digitsE);
  EXPECT_EQ(Cell(0, 1), FormatFixed(-500, digitsA));
  EXPECT_EQ(Cell(0, 2), FormatFixed(0.25, digitsE));
  // The pressure axis: 0.5 % of the largest span on either side (2000 mbar, 2 bar).
  EXPECT_NEAR(mLogger->Chart()->yAxis->range().lower, -500 - 10, 1e-9);
  EXPECT_NEAR(mLogger->Chart()->yAxis->range().upper, 0.25 + 0.01, 1e-9);
}

TEST_F(tLoggerFixture, ConversionErrorIsShownOnceAndTheRunGoesOn) {
  AddFrame({1, "T1", "A", 0, 0, "bar", "bar"}); // range not read: no conversion applies
  AddFrame({2, "T2", "B"});
  Start();
  for (int i = 0; i < 5; ++i)
    DeliverAndTick();
  QCoreApplication::processEvents();
  EXPECT_EQ(mLogger->LogCnt(), 5);
  EXPECT_EQ(Cell(0, 9), "/");
  EXPECT_EQ(Cell(0, 10), "1,500");
  int errors = 0;
  for (const tDialogRecord& r : mDialogs.Records())
    if (r.Kind == dkMessage && r.Type == mtError) ++errors;
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(mLogger->IsLogging());
}

TEST_F(tLoggerFixture, HeadersFollowTheLanguage) {
  AddFrame({});
  Start();
  DeliverAndTick();
  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(Cell(0, 0), "Pressure [bar]");
  EXPECT_EQ(Cell(1, 0), "Temperature [°C]");
  EXPECT_EQ(Cell(2, 0), "Time");
  EXPECT_EQ(mLogger->Chart()->yAxis->label(), "Pressure [bar]");
  Resources().SetLanguage(laGerman);
  EXPECT_EQ(Cell(0, 0), "Druck [bar]");
}

TEST_F(tLoggerFixture, ColumnsAndDeviceCountFollowTheActivePressureCurves) {
  int reported = -1;
  mLogger->SetOnDeviceCountChanged([&](std::int32_t n) { reported = n; });
  AddFrame({1, "T1", "A"});
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(mLogger->Table().ColCount(), 3);
  AddFrame({2, "T2", "B"});
  EXPECT_EQ(reported, 2);
  EXPECT_EQ(mLogger->Table().ColCount(), 4);
  mLogger->DelDevice(mFrames[1].get());
  mFrames.pop_back();
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(mLogger->Table().ColCount(), 3);
  mLogger->SetOnDeviceCountChanged({});
}

TEST_F(tLoggerFixture, ColumnsFitTheirHeadersAndTimeStampsInBothLanguages) {
  AddFrame({1, "T1", "A"});
  AddFrame({2, "T2", "B", 0, 16, "mbar", "bar"});
  Start();
  DeliverAndTick();
  QTableView* grid = mLogger->Grid();
  for (tLanguage language : {laGerman, laEnglish}) {
    Resources().SetLanguage(language);
    const QFontMetrics heads(grid->horizontalHeader()->font());
    const QFontMetrics cells(grid->font());
    int total = 0;
    for (int c = 0; c < mLogger->Table().ColCount(); ++c) {
      EXPECT_GT(grid->columnWidth(c), heads.horizontalAdvance(Cell(c, 0)))
          << c << qPrintable(Cell(c, 0));
      total += grid->columnWidth(c);
    }
    EXPECT_GT(grid->columnWidth(2), cells.horizontalAdvance(Cell(2, 1))) << qPrintable(Cell(2, 1));
    // The grid is as wide as its columns, so the last one is not cut by the frame.
    EXPECT_GE(grid->width(), total + grid->verticalScrollBar()->sizeHint().width());
  }
  Resources().SetLanguage(laGerman);
}
