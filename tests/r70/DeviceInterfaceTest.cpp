// The R70 device interface against the simulated instruments: reading the identity, the
// live exchange with its decodings and time-out, adjustment and parameter sequences.
#include "protocol/r70/DMU_R70ifc.h"

#include "R70TestSupport.h"
#include "core/Clock.h"
#include "core/DeviceInfo.h"
#include "core/Format.h"

#include <QDate>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace r70test;

namespace {

const QByteArray cStatus = B({'U', 0x00, 0x00});
const QByteArray cTemp = "TWH";
const QByteArray cPZ = B({'P', 'Z', 0x00});
const QByteArray cPR = B({'P', 'R', 0x00});

bool IsLive(const QByteArray& pRequest) {
  return pRequest == cStatus || pRequest == cTemp || pRequest == cPZ || pRequest == cPR;
}

// An instrument, its port, the record and the interface, ready to initialise.
struct tIfcBench {
  tR70Bench Line;
  tDeviceInfo Info;
  std::unique_ptr<tDMU_R70ifc> Ifc;

  explicit tIfcBench(tSimR70::tModel pModel = tSimR70::tModel::R7x, int pBaud = 9600,
                     bool pNeedAutoBaud = false, bool pPaced = false)
      : Line(pModel, pBaud, pNeedAutoBaud, pPaced) {}
  tSimR70& Sim() { return Line.Sim; }
  void Create(bool pAutoBaud = false) {
    Ifc = std::make_unique<tDMU_R70ifc>(Line.Take(), pAutoBaud);
  }
  void Initialize(bool pAutoBaud = false) {
    Create(pAutoBaud);
    Ifc->Initialize(&Info);
  }
  QString InitializeError() {
    Create();
    try {
      Ifc->Initialize(&Info);
    } catch (const std::exception& e) {
      if (auto* err = dynamic_cast<const eError*>(&e)) return err->Message();
      return QString::fromUtf8(e.what());
    }
    return QString();
  }
  // Requests after the first live request (the identity reading left out).
  QList<QByteArray> LiveRequests() const {
    QList<QByteArray> live;
    for (const QByteArray& r : Line.Sim.Requests())
      if (IsLive(r)) live.append(r);
    return live;
  }
  int Count(const QByteArray& pRequest) const { return int(Line.Sim.Requests().count(pRequest)); }
};

QString Date(int pYear, int pMonth, int pDay) {
  return FormatShortDate(FromQDate(QDate(pYear, pMonth, pDay)));
}

} // namespace

TEST(R70DeviceInterface, InitializeReadsTheIdentityIntoTheRecord) {
  tIfcBench b;
  b.Sim().SetRange(-1.0f, 16.0f, 0xCA, 0xFE);
  b.Sim().SetBarFactors(0.001f, 1.0f);
  b.Sim().SetSignalRange(4, 20);
  b.Sim().SetSerial('R', 12345, 'A');
  b.Sim().SetProductNr(70123);
  b.Sim().SetAccuracyByte(20);
  b.Sim().SetFirmware(1, 5);
  b.Sim().SetCalibrationDate(1, 6, 25);
  b.Sim().SetProductionDate(15, 3, 24);
  b.Initialize();

  EXPECT_FALSE(b.Info.Updating());
  EXPECT_EQ(b.Info.MBAUnitStr(), "mbar");
  EXPECT_EQ(b.Info.MBEUnitStr(), "bar");
  EXPECT_EQ(b.Info.MBAinUnit(), -1.0f);
  EXPECT_EQ(b.Info.MBEinUnit(), 16.0f);
  EXPECT_FLOAT_EQ(b.Info.MBAinBar(), -0.001f);
  EXPECT_FLOAT_EQ(b.Info.MBEinBar(), 16.0f);
  EXPECT_EQ(b.Info.Druckkennung(), dkRelativ);
  EXPECT_EQ(b.Info.SignalUnitStr(), "mA");
  EXPECT_EQ(b.Info.SignalTypeStr(), "2L");
  EXPECT_EQ(b.Info.SBA(), 4.0f);
  EXPECT_EQ(b.Info.SBE(), 20.0f);
  EXPECT_FLOAT_EQ(b.Info.Accuracy(), 0.1f);
  EXPECT_EQ(b.Info.SerialNr(), "0012345");
  EXPECT_EQ(b.Info.Tag(), "0012345");
  EXPECT_EQ(b.Info.Ident(), "0012345");
  EXPECT_EQ(b.Info.ProductNr(), "70123");
  EXPECT_EQ(b.Info.LastCalib(), Date(2025, 6, 1));
  EXPECT_EQ(b.Info.DateProduction(), Date(2024, 3, 15));
  EXPECT_EQ(b.Info.LastCalib(), "01.06.25"); // German short date
  EXPECT_EQ(b.Info.FirmwareVersion(), "1.5");
  EXPECT_EQ(b.Ifc->OperatingMode(), tDMU_R70ifc::omPoll);
  EXPECT_EQ(b.Ifc->OpInterval(), 0);
}

TEST(R70DeviceInterface, RangeIsAbsoluteWhenBitZeroOfTheEndsUnitCodeIsSet) {
  for (auto [startCode, endCode, expected] :
       {std::tuple{0xFE, 0xFF, dkAbsolut}, {0xFF, 0xFE, dkRelativ}, {0xCB, 0xCB, dkAbsolut}}) {
    tIfcBench b;
    b.Sim().SetRange(0, 10, quint8(startCode), quint8(endCode));
    b.Initialize();
    EXPECT_EQ(b.Info.Druckkennung(), expected) << startCode << " " << endCode;
  }
}

TEST(R70DeviceInterface, OutputKindSetsSignalTexts) {
  struct tCase {
    quint8 Kind;
    QString Unit, Type;
    float Sba, Sbe;
  } cases[] = {
      {0, "", "Digit", 0, 0}, // signal start and end are not read
      {1, "V", "2L", 0, 10},  {2, "mA", "2L", 4, 20}, {3, "mA", "3L", 4, 20}, {5, "", "USB", 0, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.Kind));
    tIfcBench b;
    b.Sim().SetOutputKind(c.Kind);
    b.Sim().SetSignalRange(c.Kind == 0 ? 4 : c.Sba, c.Kind == 0 ? 20 : c.Sbe);
    b.Initialize();
    EXPECT_EQ(b.Info.SignalUnitStr(), c.Unit);
    EXPECT_EQ(b.Info.SignalTypeStr(), c.Type);
    EXPECT_EQ(b.Info.SBA(), c.Sba);
    EXPECT_EQ(b.Info.SBE(), c.Sbe);
  }
}

TEST(R70DeviceInterface, OperatingParametersAreReadOnlyFromUsbInstruments) {
  struct tCase {
    quint8 Kind;
    quint8 Code;
    quint16 Interval;
    tDMU_R70ifc::tOperatingMode Mode;
    quint16 OpInterval;
  } cases[] = {
      {5, 0x7C, 0x0102, tDMU_R70ifc::omCyclPz, 0x0102},
      {5, 0x7D, 500, tDMU_R70ifc::omCyclPkT, 500},
      {5, 0x00, 7, tDMU_R70ifc::omPoll, 7}, // unknown code reads as polled
      {2, 0x7C, 0x0102, tDMU_R70ifc::omPoll, 0},
  };
  for (const auto& c : cases) {
    tIfcBench b(tSimR70::tModel::VQ5);
    b.Sim().SetOutputKind(c.Kind);
    b.Sim().SetOperatingParam(c.Code, c.Interval);
    b.Initialize();
    EXPECT_EQ(b.Ifc->OperatingMode(), c.Mode);
    EXPECT_EQ(b.Ifc->OpInterval(), c.OpInterval);
    EXPECT_EQ(b.Count(B({'E', 'R', 35})), c.Kind == 5 ? 1 : 0);
  }
}

TEST(R70DeviceInterface, BadIdentityFailsInitializeAndReleasesThePortOnce) {
  struct tCase {
    const char* Name;
    std::function<void(tSimR70&)> Setup;
    QString Error;
  } cases[] = {
      {"output kind 4", [](tSimR70& s) { s.SetOutputKind(4); }, "Unknown Output: 4"},
      {"unit code 0", [](tSimR70& s) { s.SetRange(0, 10, 0x00, 0xFE); },
       "Unknown Pressure Unit: 0"},
      {"month 13 of the adjustment date", [](tSimR70& s) { s.SetCalibrationDate(1, 13, 25); },
       QString::fromUtf8("Ungültiges Datum: 1.13.2025")},
      {"day 31 of a production month with 30", [](tSimR70& s) { s.SetProductionDate(31, 4, 24); },
       QString::fromUtf8("Ungültiges Datum: 31.4.2024")},
      {"both range requests fail", [](tSimR70& s) { s.FailNextCommands(2); },
       "Fehler beim Lesen des MBA: Checksumme fehlerhaft"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    tIfcBench b;
    c.Setup(b.Sim());
    auto counts = b.Line.Counts;
    EXPECT_EQ(b.InitializeError(), c.Error);
    EXPECT_EQ(counts->Closed, 1);
    EXPECT_EQ(counts->Destroyed, 1);
    EXPECT_EQ(b.Ifc->ComPort(), nullptr);
    EXPECT_TRUE(b.Info.Updating()); // stays set until the record is next reset
    const int requests = int(b.Sim().Requests().size());
    PumpMs(30); // no timer left behind
    EXPECT_EQ(b.Sim().Requests().size(), requests);
    b.Ifc.reset();
    EXPECT_EQ(counts->Destroyed, 1);
  }
}

TEST(R70DeviceInterface, ReadRangeIsRepeatedOnceAfterAFailure) {
  tIfcBench b;
  b.Sim().FailNextCommands(1);
  b.Initialize();
  EXPECT_EQ(b.Count(B({'M', 'A', 0x00})), 2);
  EXPECT_EQ(b.Info.MBEUnitStr(), "bar");
}

TEST(R70DeviceInterface, FirstLiveRequestsAreStatusTemperatureThenPressure) {
  for (bool autoBaud : {false, true}) {
    tIfcBench b(tSimR70::tModel::R7x, 9600, autoBaud);
    b.Initialize(autoBaud);
    ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().size() >= 5; }));
    const QList<QByteArray> live = b.LiveRequests();
    EXPECT_EQ(live[0], cStatus);
    EXPECT_EQ(live[1], cTemp);
    EXPECT_EQ(live[2], cPZ);
    EXPECT_EQ(live[3], cPZ);
  }
}

TEST(R70DeviceInterface, LiveRepliesAreDecodedIntoTheRecord) {
  struct tCase {
    quint16 Raw;
    double Celsius;
    float Pressure;
    double Bar;
  } cases[] = {
      {0xFFF0, -1.0, -0.5f, -0.5 * double(0.001f)}, // below zero: the range start's factor
      {0x0190, 25.0, 0.5f, 0.5 * 2.0},              // otherwise the range end's factor
  };
  for (const auto& c : cases) {
    tIfcBench b;
    b.Sim().SetRange(-1, 10, 0xCA, 0xFE);
    b.Sim().SetBarFactors(0.001f, 2.0f);
    b.Sim().SetTemperatureRaw(c.Raw);
    b.Sim().SetPressure(c.Pressure);
    b.Initialize();
    ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().count(cPZ) >= 2; }));
    EXPECT_DOUBLE_EQ(b.Info.Temperature(), c.Celsius);
    EXPECT_DOUBLE_EQ(b.Info.PressureUnit(), c.Pressure);
    EXPECT_DOUBLE_EQ(b.Info.PressureBar(), c.Bar);
  }
}

TEST(R70DeviceInterface, FactoryPressureAlternatesWithPressureWhileWanted) {
  tIfcBench b;
  b.Sim().SetPressure(3.0f);
  b.Initialize();
  b.Ifc->SetIsWerksDruckActive(true);
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().count(cPR) >= 3; }));
  const QList<QByteArray> live = b.LiveRequests();
  // After the first pressure, every pressure request is followed by a factory one.
  const qsizetype first = live.indexOf(cPR);
  for (qsizetype i = first; i + 1 < live.size(); ++i)
    if (live[i] == cPR) {
      EXPECT_NE(live[i + 1], cPR) << i;
    }
  EXPECT_DOUBLE_EQ(b.Info.PressureWerkUnit(), 3.0);
  b.Ifc->SetIsWerksDruckActive(false);
  const qsizetype before = b.LiveRequests().count(cPR);
  PumpMs(50);
  EXPECT_LE(b.LiveRequests().count(cPR), before + 1);
}

TEST(R70DeviceInterface, RepeatedStatusRaisesNoNewValue) {
  tIfcBench b;
  b.Initialize();
  QList<QByteArray> notified;
  b.Ifc->SetOnNewValue([&] { notified.append(b.Sim().Requests().last()); });
  // Status 0 equals the initial status byte: no notification for it.
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().count(cStatus) >= 2; }, 3000));
  EXPECT_EQ(notified.count(cStatus), 0);
  EXPECT_GT(notified.count(cPZ), 0);
  b.Sim().SetStatusByte(0x04);
  ASSERT_TRUE(WaitUntil([&] { return b.Ifc->StatusByte() == 0x04; }, 3000));
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().count(cStatus) >= 4; }, 3000));
  EXPECT_EQ(notified.count(cStatus), 1);
}

TEST(R70DeviceInterface, SilentInstrumentRaisesTheTimeOutOnceAndStopsAsking) {
  tIfcBench b;
  b.Initialize();
  int timeOuts = 0;
  b.Ifc->SetOnTimeOut([&] { ++timeOuts; });
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().size() >= 3; }));
  b.Line.SetFaults([](tSimFaults& f) { f.Silent = true; });
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(WaitUntil([&] { return timeOuts > 0; }, 3000));
  EXPECT_GE(clock.elapsed(), 950);
  const qsizetype requests = b.Sim().Requests().size();
  PumpMs(1200);
  EXPECT_EQ(timeOuts, 1);
  EXPECT_EQ(b.Sim().Requests().size(), requests);
}

TEST(R70DeviceInterface, TimeOutHandlerMayReleaseTheInterface) {
  // The page disconnects on the time-out, releasing the interface from inside its timer.
  tIfcBench b;
  b.Initialize();
  auto counts = b.Line.Counts;
  b.Ifc->SetOnTimeOut([&] { b.Ifc.reset(); });
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().size() >= 3; }));
  b.Line.SetFaults([](tSimFaults& f) { f.Silent = true; });
  ASSERT_TRUE(WaitUntil([&] { return !b.Ifc; }, 3000));
  PumpMs(30);
  EXPECT_EQ(counts->Closed, 1);
  EXPECT_EQ(counts->Destroyed, 1);
}

TEST(R70DeviceInterface, NewValueHandlerMayReleaseTheInterface) {
  tIfcBench b;
  b.Initialize();
  b.Ifc->SetOnNewValue([&] { b.Ifc.reset(); });
  ASSERT_TRUE(WaitUntil([&] { return !b.Ifc; }, 3000));
  PumpMs(30);
  EXPECT_EQ(b.Line.Counts->Destroyed, 1);
}

TEST(R70DeviceInterface, SpoiltLiveRepliesAreSkippedAndOnlyASecondWithoutValidOneTimesOut) {
  // A noisy line: every fifth reply spoilt, every seventh cut short. Each is counted and
  // followed by the next request; the connection stays.
  tIfcBench b;
  b.Initialize();
  int timeOuts = 0;
  b.Ifc->SetOnTimeOut([&] { ++timeOuts; });
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().size() >= 3; }));
  b.Line.SetFaults([](tSimFaults& f) {
    f.CorruptEvery = 5;
    f.TruncateEvery = 7;
  });
  const qsizetype from = b.LiveRequests().size();
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().size() >= from + 40; }, 5000));
  EXPECT_GE(b.Ifc->BadReplies(), 8u);
  EXPECT_EQ(timeOuts, 0);

  // Every reply spoilt: a second without a valid one ends the connection.
  b.Line.SetFaults([](tSimFaults& f) {
    f.TruncateEvery = 0;
    f.CorruptEvery = 0;
    f.CorruptChecksum = true;
  });
  const quint32 before = b.Ifc->BadReplies();
  ASSERT_TRUE(WaitUntil([&] { return timeOuts > 0; }, 3000));
  EXPECT_GT(b.Ifc->BadReplies(), before + 3);
}

TEST(R70DeviceInterface, AdjustmentStepsReachTheInstrumentUntilItsLimit) {
  tIfcBench b;
  b.Sim().SetAdjustLimit(150);
  b.Initialize();
  EXPECT_TRUE(b.Ifc->AdjustActionEvent(taNp, aaOn));
  EXPECT_TRUE(b.Ifc->AdjustActionEvent(taNp, aaInc100));
  EXPECT_TRUE(b.Ifc->AdjustActionEvent(taNp, aaInc10));
  EXPECT_TRUE(b.Ifc->AdjustActionEvent(taNp, aaDec1));
  EXPECT_EQ(b.Sim().ZeroSteps(), 109);
  // The next 100 would pass the limit: refused twice, and reported as not done.
  EXPECT_FALSE(b.Ifc->AdjustActionEvent(taNp, aaInc100));
  EXPECT_EQ(b.Count(B({'N', 'P', 0x13})), 3);
  EXPECT_EQ(b.Sim().ZeroSteps(), 109);
  // The live exchange runs again after every action.
  const qsizetype live = b.LiveRequests().size();
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().size() > live + 2; }));
}

TEST(R70DeviceInterface, AdjustActionIsTriedTwiceAndReportedNotDoneWhenBothFail) {
  tIfcBench b;
  b.Initialize();
  EXPECT_TRUE(b.Ifc->AdjustActionEvent(taSp, aaOn));
  b.Sim().FailNextCommands(2);
  EXPECT_FALSE(b.Ifc->AdjustActionEvent(taSp, aaInc10));
  EXPECT_EQ(b.Count(B({'S', 'P', 0x12})), 2);
  EXPECT_EQ(b.Sim().SpanSteps(), 0);
  b.Sim().FailNextCommands(1);
  EXPECT_TRUE(b.Ifc->AdjustActionEvent(taSp, aaDec100));
  EXPECT_EQ(b.Count(B({'S', 'P', 0x46})), 2);
  EXPECT_EQ(b.Sim().SpanSteps(), -100);
}

TEST(R70DeviceInterface, ConfirmingWritesTodayAndAValidEepromChecksum) {
  for (tAdjustAction action : {aaOK, aaFactoryReset}) {
    tIfcBench b;
    b.Sim().SetCalibrationDate(1, 6, 20);
    b.Initialize();
    b.Ifc->AdjustActionEvent(taNp, aaOn);
    b.Ifc->AdjustActionEvent(taNp, aaInc1);
    b.Sim().ClearRequests();
    EXPECT_TRUE(b.Ifc->AdjustActionEvent(taNp, action));
    const QDate today = QDate::currentDate();
    EXPECT_EQ(b.Sim().Eeprom(10), today.day());
    EXPECT_EQ(b.Sim().Eeprom(11), today.month());
    EXPECT_EQ(b.Sim().Eeprom(12), today.year() % 100);
    EXPECT_TRUE(b.Sim().EepromCrcValid());
    EXPECT_EQ(b.Info.LastCalib(), Date(today.year(), today.month(), today.day()));
    EXPECT_EQ(b.Sim().SavedZeroSteps(), action == aaOK ? 1 : 0);
    QList<QByteArray> commands;
    for (const QByteArray& r : b.Sim().Requests())
      if (!IsLive(r)) commands.append(r);
    ASSERT_GE(commands.size(), 21);
    EXPECT_EQ(commands[0], action == aaOK ? B({'N', 'P', 0x88}) : B({'R', 'N', 0x88}));
    EXPECT_EQ(commands[1], B({'X', 10, today.day()}));
    EXPECT_EQ(commands[4], B({'E', 'R', 0}));
    EXPECT_EQ(commands[19], B({'E', 'R', 15}));
    EXPECT_EQ(commands[20], B({'X', 240, b.Sim().EepromCrc()}));
  }
}

TEST(R70DeviceInterface, AConfirmThatFailsTwiceIsReportedAsNotDone) {
  // Attempts: the first fails and the second stores; then both fail and the user must hear.
  struct tCase {
    int Failures;
    bool Done;
  } cases[] = {{1, true}, {60, false}};
  for (tAdjustAction action : {aaOK, aaFactoryReset})
    for (const auto& c : cases) {
      tIfcBench b;
      b.Initialize();
      b.Ifc->AdjustActionEvent(taNp, aaOn);
      b.Sim().FailNextCommands(c.Failures);
      EXPECT_EQ(b.Ifc->AdjustActionEvent(taNp, action), c.Done) << action << " " << c.Failures;
      if (c.Done) EXPECT_TRUE(b.Sim().EepromCrcValid());
    }
}

TEST(R70DeviceInterface, CancelResetsTheInstrument) {
  tIfcBench b;
  b.Initialize();
  b.Ifc->AdjustActionEvent(taNp, aaOn);
  b.Ifc->AdjustActionEvent(taNp, aaInc10);
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(b.Ifc->AdjustActionEvent(taNp, aaCancel));
  EXPECT_GE(clock.elapsed(), 100); // the instrument is given time to restart
  EXPECT_EQ(b.Sim().ResetCount(), 1);
  EXPECT_EQ(b.Sim().ZeroSteps(), 0);
}

TEST(R70DeviceInterface, CommandWaitsOutAnOutstandingLiveReply) {
  tIfcBench b;
  b.Initialize();
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().size() >= 3; }));
  // Replies now take 300 ms, so the adjustment finds a live request outstanding.
  b.Line.SetFaults([](tSimFaults& f) { f.ReplyDelayMs = 300; });
  PumpMs(20);
  EXPECT_TRUE(b.Ifc->AdjustActionEvent(taNp, aaOn));
  EXPECT_TRUE(b.Sim().AdjustOn());
  // Exactly one live request went out before the command, and none between.
  const QList<QByteArray> all = b.Sim().Requests();
  const qsizetype at = all.lastIndexOf(B({'N', 'P', 0xAA}));
  ASSERT_GT(at, 0);
  EXPECT_TRUE(IsLive(all[at - 1]));
  EXPECT_EQ(all.count(B({'N', 'P', 0xAA})), 1);
}

TEST(R70DeviceInterface, OperatingParametersAreWrittenWithTheirRepeats) {
  tIfcBench b(tSimR70::tModel::VQ5);
  b.Initialize();
  b.Sim().ClearRequests();
  b.Ifc->WriteOperatingParam(tDMU_R70ifc::omCyclPk, 0x0203);
  EXPECT_EQ(b.Sim().OperatingModeCode(), 0x7E);
  EXPECT_EQ(b.Sim().OpInterval(), 0x0203);
  QList<QByteArray> commands;
  for (const QByteArray& r : b.Sim().Requests())
    if (!IsLive(r)) commands.append(r);
  EXPECT_EQ(commands, (QList<QByteArray>{B({'X', 35, 0x7E}), B({'X', 35, 0x7E}), B({'X', 36, 0x03}),
                                         B({'X', 36, 0x03}), B({'X', 37, 0x02})}));
  EXPECT_EQ(b.Ifc->OperatingMode(), tDMU_R70ifc::omCyclPk);
  EXPECT_EQ(b.Ifc->OpInterval(), 0x0203);
}

TEST(R70DeviceInterface, SixthFailedAttemptIsPassedOnAndLiveStaysStopped) {
  struct tCase {
    int Failures;
    bool Succeeds;
  } cases[] = {{5, true}, {6, false}};
  for (const auto& c : cases) {
    tIfcBench b(tSimR70::tModel::VQ5);
    b.Initialize();
    b.Sim().FailNextCommands(c.Failures);
    QString error;
    try {
      b.Ifc->WriteOperatingParam(tDMU_R70ifc::omCyclPz, 250);
    } catch (const eError& e) {
      error = e.Message();
    }
    EXPECT_EQ(error.isEmpty(), c.Succeeds) << c.Failures;
    EXPECT_EQ(b.Count(B({'X', 35, 0x7C})), c.Failures + (c.Succeeds ? 2 : 0));
    const qsizetype live = b.LiveRequests().size();
    PumpMs(50);
    if (c.Succeeds) {
      EXPECT_EQ(b.Sim().OpInterval(), 250);
      EXPECT_TRUE(WaitUntil([&] { return b.LiveRequests().size() > live; }));
    } else {
      EXPECT_EQ(error, "Fehler beim Schreiben des EEPROM: Checksumme fehlerhaft");
      EXPECT_EQ(b.LiveRequests().size(), live);
    }
  }
}

TEST(R70DeviceInterface, FactoryParametersAreCopiedToTheWorkingOnes) {
  tIfcBench b(tSimR70::tModel::VQ5);
  b.Sim().SetOperatingParam(0x7C, 20);
  b.Sim().SetFactoryOperatingParam(0x7D, 0x0410);
  b.Initialize();
  b.Ifc->FactoryOperatingParam();
  EXPECT_EQ(b.Sim().OperatingModeCode(), 0x7D);
  EXPECT_EQ(b.Sim().OpInterval(), 0x0410);
  EXPECT_EQ(b.Ifc->OperatingMode(), tDMU_R70ifc::omCyclPkT);
  EXPECT_EQ(b.Ifc->OpInterval(), 0x0410);
  // Cell 181 is read before 180.
  const QList<QByteArray> all = b.Sim().Requests();
  EXPECT_LT(all.indexOf(B({'E', 'R', 181})), all.indexOf(B({'E', 'R', 180})));
}

TEST(R70DeviceInterface, Crc8MatchesItsCheckValue) {
  EXPECT_EQ(tDMU_R70ifc::Crc8("123456789"), 0xEA);
  EXPECT_EQ(tDMU_R70ifc::Crc8(QByteArray()), 0x00);
  EXPECT_EQ(tDMU_R70ifc::GetOperatingModeOfByte(0x7B), tDMU_R70ifc::omCyclPzT);
  EXPECT_EQ(tDMU_R70ifc::GetOperatingModeOfByte(0x7F), tDMU_R70ifc::omPoll);
}

TEST(R70DeviceInterface, BothRatesAndTheAutoBaudRequirementAreServed) {
  struct tCase {
    int Baud;
    bool NeedAutoBaud;
  } cases[] = {{9600, false}, {115200, false}, {9600, true}};
  for (const auto& c : cases) {
    tIfcBench b(tSimR70::tModel::R7x, c.Baud, c.NeedAutoBaud, true);
    b.Initialize(c.NeedAutoBaud);
    EXPECT_EQ(b.Info.SerialNr(), "0012345");
    ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().count(cPZ) >= 3; }));
  }
}

TEST(R70DeviceInterface, ReleasingTheInterfaceClosesAndReleasesThePortOnce) {
  tIfcBench b;
  b.Initialize();
  auto counts = b.Line.Counts;
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().size() >= 3; }));
  b.Ifc.reset();
  EXPECT_EQ(counts->Closed, 1);
  EXPECT_EQ(counts->Destroyed, 1);
  PumpMs(30);
}

// The wall clock jumps at daylight-saving changes and NTP steps; the live exchange must not.
TEST(R70DeviceInterface, WallClockStepsChangeNeitherTimeOutsNorIntervals) {
  qint64 offset = 0;
  SetWallClock([&] { return QDateTime::currentDateTime().addSecs(offset); });
  tIfcBench b;
  b.Initialize();
  int timeOuts = 0;
  b.Ifc->SetOnTimeOut([&] { ++timeOuts; });
  ASSERT_TRUE(WaitUntil([&] { return b.LiveRequests().size() >= 3; }));
  for (qint64 step : {3600, -3600, -3600}) {
    SCOPED_TRACE(step);
    offset += step;
    const qsizetype from = b.LiveRequests().size();
    PumpMs(2200);
    const QList<QByteArray> after = b.LiveRequests().mid(from);
    EXPECT_EQ(timeOuts, 0);
    EXPECT_GT(after.size(), 40);
    EXPECT_GE(after.count(cStatus), 2);
    EXPECT_LE(after.count(cStatus), 3);
    EXPECT_GE(after.count(cTemp), 2);
  }
  b.Line.SetFaults([](tSimFaults& f) { f.Silent = true; });
  QElapsedTimer clock;
  clock.start();
  offset -= 3600;
  ASSERT_TRUE(WaitUntil([&] { return timeOuts > 0; }, 3000));
  EXPECT_GE(clock.elapsed(), 800); // a second after the last valid reply
  SetWallClock({});
}
