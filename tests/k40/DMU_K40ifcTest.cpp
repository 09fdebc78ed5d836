// The K40 device interface against the simulated K-40-P and R-20 on an in-process port.
#include "protocol/k40/DMU_K40ifc.h"

#include "K40Rig.h"
#include "core/Clock.h"

#include <QDate>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

QString Hex(const QByteArray& pCmd) {
  return QString::fromLatin1(pCmd.toHex());
}

QStringList HexList(const QList<QByteArray>& pList, qsizetype pFrom = 0) {
  QStringList out;
  for (qsizetype i = pFrom; i < pList.size(); ++i)
    out << Hex(pList[i]);
  return out;
}

struct tIfcRig {
  explicit tIfcRig(tSimK40::tModel pModel = tSimK40::tModel::K40P) : Rig(pModel) {
    Info.SetDeviceType(pModel == tSimK40::tModel::K40P ? dtK4xP : dtR2x);
  }
  void Connect(const tSimFaults& pFaults = {}) {
    Ifc = std::make_unique<tDMU_K40ifc>(Rig.OpenPort(pFaults));
    Ifc->SetOnNewValue([this](void*) { ++NewValues; });
    Ifc->SetOnTimeOut([this](void*) { ++TimeOuts; });
    Ifc->Initialize(&Info);
    InitRequests = Rig.Sim.Requests().size();
  }
  // Live requests the instrument has seen since Initialize, as hex of their command bytes.
  QStringList Live() const { return HexList(Rig.Sim.Requests(), InitRequests); }
  // The live loop runs: more live requests reach the instrument.
  bool LiveGoesOn() { return WaitLive(int(Live().size()) + 3); }
  bool WaitLive(int pCount, int pBoundMs = 3000) {
    return WaitUntil([&] { return Live().size() >= pCount; }, pBoundMs);
  }

  tK40Rig Rig;
  tDeviceInfo Info;
  std::unique_ptr<tDMU_K40ifc> Ifc;
  qsizetype InitRequests = 0;
  int NewValues = 0;
  int TimeOuts = 0;
};

QString InitializeError(tIfcRig& pRig) {
  try {
    pRig.Connect();
  } catch (const eError& e) {
    return e.Message();
  }
  return QStringLiteral("<no error>");
}

} // namespace

TEST(DMU_K40ifc, InitializeFillsTheRecord) {
  tIfcRig rig;
  rig.Rig.Sim.SetEeprom(102, 0x2C);
  rig.Rig.Sim.SetEeprom(103, 0x01);
  rig.Rig.Sim.SetEeprom(104, 0x33);
  rig.Rig.Sim.SetEeprom(101, 0xFD);
  rig.Rig.Sim.SetEeprom(57, 25);
  rig.Connect();
  const tDeviceInfo& i = rig.Info;
  EXPECT_FLOAT_EQ(i.MBAinUnit(), 0);
  EXPECT_FLOAT_EQ(i.MBEinUnit(), 16);
  EXPECT_FLOAT_EQ(i.MBEinBar(), 16);
  EXPECT_EQ(i.MBAUnitStr(), "bar");
  EXPECT_EQ(i.MBEUnitStr(), "bar");
  EXPECT_EQ(i.Druckkennung(), dkRelativ);
  EXPECT_FLOAT_EQ(i.SBA(), 4);
  EXPECT_FLOAT_EQ(i.SBE(), 20);
  EXPECT_EQ(i.SignalUnitStr(), "mA");
  EXPECT_EQ(i.SignalTypeStr(), "3L");
  EXPECT_FLOAT_EQ(i.Accuracy(), 0.25f);
  EXPECT_EQ(i.SerialNr(), "4711");
  EXPECT_EQ(i.LastCalib(), "03.14");
  EXPECT_EQ(i.DateProduction(), "05.12");
  EXPECT_EQ(i.Tag(), "4711 05/12");
  EXPECT_EQ(i.Ident(), "4711 05/12");
  EXPECT_EQ(i.FirmwareVersion(), "1.02");
  EXPECT_FALSE(i.Updating());
  EXPECT_EQ(rig.Ifc->OperatingMode(), tDMU_K40ifc::omCyclPT);
  EXPECT_EQ(rig.Ifc->OpInterval(), 300);
  EXPECT_EQ(rig.Ifc->OpResponse(), 3);
  // Reading in this order, cell 80 before 79 and 103 before 102; then status, temperature,
  // and the pressure until a second has passed.
  EXPECT_EQ(HexList(rig.Rig.Sim.Requests()).join(' '),
            "4d4100 4d4500 455251 45527f 455239 4b4e00 455250 45524f 484400 535200 "
            "455265 455267 455266 455268");
  ASSERT_TRUE(rig.WaitLive(5));
  EXPECT_EQ(rig.Live().mid(0, 5).join(' '), "504b00 545700 505a00 505a00 505a00");
}

TEST(DMU_K40ifc, AnR20IsNeverAskedForStatusOrParameters) {
  tIfcRig rig(tSimK40::tModel::R2x);
  rig.Rig.Sim.SetEeprom(101, 0xFE);
  rig.Connect();
  EXPECT_EQ(rig.Rig.Sim.Requests().size(), 10);
  EXPECT_EQ(rig.Ifc->OperatingMode(), tDMU_K40ifc::omPoll);
  EXPECT_EQ(rig.Ifc->OpInterval(), 0);
  EXPECT_EQ(rig.Ifc->OpResponse(), 0);
  PumpMs(2300);
  const QStringList live = rig.Live();
  EXPECT_FALSE(live.contains("504b00"));
  EXPECT_GE(live.count("545700"), 2); // temperature once a second
  EXPECT_EQ(live.first(), "545700");
  EXPECT_EQ(rig.TimeOuts, 0);
}

TEST(DMU_K40ifc, ReadRangeIsRetriedOnce) {
  tIfcRig once;
  once.Rig.Sim.IgnoreNextRequests(1);
  once.Connect();
  EXPECT_EQ(HexList(once.Rig.Sim.Requests()).mid(0, 2).join(' '), "4d4100 4d4500");
  EXPECT_FLOAT_EQ(once.Info.MBEinUnit(), 16);

  tIfcRig twice;
  twice.Rig.Sim.IgnoreNextRequests(2);
  EXPECT_EQ(InitializeError(twice), "Timeout!");
  // Timer, command layer and port are released with the failure.
  EXPECT_TRUE(twice.Rig.Port.isNull());
  PumpMs(50);
  EXPECT_TRUE(twice.Rig.Sim.Requests().isEmpty());
}

TEST(DMU_K40ifc, InitializeFailsOnBadInstrumentData) {
  struct {
    int Cell;
    quint8 Value;
    QString Message;
  } cases[] = {
      {81, 0x00, "Unknown Pressure Unit: 0"},
      {81, 0xC0, "Unknown Pressure Unit: 192"},
      {101, 0x00, "Unknown operating Mode: 0"},
      {79, 13, QString::fromUtf8("Ungültiges Argument für Datumsverschlüsselung")},
  };
  for (const auto& c : cases) {
    tIfcRig rig;
    rig.Rig.Sim.SetEeprom(c.Cell, c.Value);
    EXPECT_EQ(InitializeError(rig), c.Message);
    EXPECT_TRUE(rig.Rig.Port.isNull()) << qPrintable(c.Message);
  }
}

TEST(DMU_K40ifc, MonthYearTextFollowsTheShortDateFormat) {
  struct {
    QLocale Locale;
    int Month, Year;
    QString Text;
  } cases[] = {
      {QLocale(QLocale::German, QLocale::Germany), 5, 12, "05.12"},
      {QLocale(QLocale::German, QLocale::Germany), 11, 22, "11.22"},
      {QLocale(QLocale::English, QLocale::UnitedStates), 5, 12, "5/12"},
      {QLocale(QLocale::English, QLocale::UnitedKingdom), 5, 12, "05/12"},
      // A two-digit year format must not lose the year 33 with the century.
      {QLocale(QLocale::English, QLocale::UnitedStates), 12, 33, "12/33"},
      {QLocale(QLocale::German, QLocale::Germany), 3, 33, "03.33"},
  };
  const QLocale saved;
  for (const auto& c : cases) {
    QLocale::setDefault(c.Locale);
    EXPECT_EQ(tDMU_K40ifc::MonthYearText(c.Month, c.Year), c.Text) << c.Locale.name().toStdString();
  }
  QLocale::setDefault(saved);
  EXPECT_THROW(tDMU_K40ifc::MonthYearText(0, 12), eConvertError);
}

TEST(DMU_K40ifc, LiveRepliesAreDecodedIntoTheRecord) {
  tIfcRig rig;
  rig.Rig.Sim.SetEeprom(81, 0x10); // psi
  rig.Rig.Sim.SetPressure(-5.0);
  rig.Rig.Sim.SetTemperature(-10.0);
  rig.Connect();
  ASSERT_TRUE(rig.WaitLive(4));
  ASSERT_TRUE(WaitUntil([&] { return rig.Info.PressureUnit() != 0; }));
  EXPECT_DOUBLE_EQ(rig.Info.PressureUnit(), -5.0);
  EXPECT_DOUBLE_EQ(rig.Info.PressureBar(), -5.0 * 0.06894757);
  EXPECT_DOUBLE_EQ(rig.Info.Temperature(), -10.0);
  rig.Rig.Sim.SetPressure(1.0);
  ASSERT_TRUE(WaitUntil([&] { return rig.Info.PressureUnit() == 1.0; }));
  EXPECT_GT(rig.NewValues, 3);
}

TEST(DMU_K40ifc, OnlyAChangedStatusByteIsReported) {
  tIfcRig rig;
  int statusNotes = 0;
  rig.Connect();
  rig.Ifc->SetOnNewValue([&](void*) {
    if (rig.Rig.Sim.Requests().last() == QByteArray("PK\0", 3)) ++statusNotes;
  });
  PumpMs(2200);
  EXPECT_GE(rig.Live().count("504b00"), 2);
  EXPECT_EQ(statusNotes, 0);
  rig.Rig.Sim.SetStatusByte(0x04);
  ASSERT_TRUE(WaitUntil([&] { return rig.Ifc->StatusByte() == 0x04; }, 2000));
  PumpMs(1200);
  EXPECT_EQ(statusNotes, 1);
}

TEST(DMU_K40ifc, FactoryPressureAlternatesWithThePressureWhileWanted) {
  tIfcRig rig;
  rig.Connect();
  ASSERT_TRUE(rig.WaitLive(3));
  rig.Ifc->SetIsWerksDruckActive(true);
  const qsizetype from = rig.Live().size();
  ASSERT_TRUE(rig.WaitLive(int(from) + 12));
  QStringList pressures = rig.Live().mid(from);
  pressures.removeAll("504b00");
  pressures.removeAll("545700");
  for (qsizetype i = 1; i < pressures.size(); ++i)
    EXPECT_NE(pressures[i], pressures[i - 1]) << qPrintable(pressures.join(' '));
  EXPECT_TRUE(pressures.contains("505200"));
}

TEST(DMU_K40ifc, SilenceFiresOnTimeOutOnceAfter1000ms) {
  tIfcRig rig;
  rig.Connect();
  ASSERT_TRUE(rig.WaitLive(3));
  tSimFaults silent;
  silent.Silent = true;
  rig.Rig.SetFaults(silent);
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(WaitUntil([&] { return rig.TimeOuts > 0; }, 3000));
  EXPECT_GE(clock.elapsed(), 900);
  EXPECT_LT(clock.elapsed(), 1500);
  const qsizetype requests = rig.Live().size();
  PumpMs(700);
  EXPECT_EQ(rig.TimeOuts, 1);
  EXPECT_EQ(rig.Live().size(), requests); // the loop stays stopped
}

TEST(DMU_K40ifc, SpoiltLiveRepliesAreCountedAndOnlyASecondWithoutValidOneTimesOut) {
  // One reply in five spoilt: each is skipped, the next request follows, nothing times out.
  tIfcRig rig;
  rig.Connect();
  ASSERT_TRUE(rig.WaitLive(3));
  tSimFaults noisy;
  noisy.CorruptEvery = 5;
  rig.Rig.SetFaults(noisy);
  const qsizetype from = rig.Live().size();
  ASSERT_TRUE(rig.WaitLive(int(from) + 40));
  EXPECT_GE(rig.Ifc->BadReplies(), 6u);
  EXPECT_EQ(rig.TimeOuts, 0);
  EXPECT_TRUE(rig.LiveGoesOn());

  // Every reply spoilt, or a stray byte before each: a second without a valid reply ends it.
  for (auto lFault : {&tSimFaults::CorruptChecksum, &tSimFaults::StrayLeadingByte}) {
    tIfcRig bad;
    bad.Connect();
    ASSERT_TRUE(bad.WaitLive(3));
    tSimFaults faults;
    faults.*lFault = true;
    bad.Rig.SetFaults(faults);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitUntil([&] { return bad.TimeOuts > 0; }, 3000));
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_GT(bad.Ifc->BadReplies(), 3u) << "requests go on after a spoilt reply";
  }
}

TEST(DMU_K40ifc, AReplyThatStopsHalfwayIsDiscardedAndTheLoopGoesOn) {
  tIfcRig rig;
  rig.Connect();
  ASSERT_TRUE(rig.WaitLive(3));
  tSimFaults lossy;
  lossy.TruncateEvery = 7;
  rig.Rig.SetFaults(lossy);
  const qsizetype from = rig.Live().size();
  ASSERT_TRUE(rig.WaitLive(int(from) + 30));
  EXPECT_GE(rig.Ifc->BadReplies(), 3u);
  EXPECT_EQ(rig.TimeOuts, 0);
}

TEST(DMU_K40ifc, DestroyingTheInterfaceFromItsTimeOutIsSafe) {
  tIfcRig rig;
  rig.Connect();
  rig.Ifc->SetOnTimeOut([&](void*) { rig.Ifc.reset(); });
  tSimFaults silent;
  silent.Silent = true;
  rig.Rig.SetFaults(silent);
  ASSERT_TRUE(WaitUntil([&] { return !rig.Ifc; }, 3000));
  PumpMs(50);
  EXPECT_TRUE(rig.Rig.Port.isNull());
}

TEST(DMU_K40ifc, AdjustmentActionsAreRetriedUpToSixAttempts) {
  tIfcRig rig;
  rig.Connect();
  rig.Rig.Sim.FailNextAdjustments(2);
  EXPECT_TRUE(rig.Ifc->AdjustActionEvent(taNp, aaOn));
  EXPECT_TRUE(rig.Rig.Sim.AdjustEnabled(false));
  EXPECT_EQ(rig.Rig.Port->SentLog().toHex().count("4e50aa"), 3);
  EXPECT_TRUE(rig.LiveGoesOn());

  // The three step sizes send the same single command.
  for (tAdjustAction a : {aaInc1, aaInc10, aaInc100})
    EXPECT_TRUE(rig.Ifc->AdjustActionEvent(taNp, a));
  EXPECT_EQ(rig.Live().count("4e5011"), 3);
  EXPECT_EQ(rig.Rig.Sim.PendingZeroSteps(), 3);
  EXPECT_TRUE(rig.Ifc->AdjustActionEvent(taNp, aaDec100));
  EXPECT_EQ(rig.Rig.Sim.PendingZeroSteps(), 2);

  // Six failures in a row are given up and reported as not done; the live values go on.
  rig.Rig.Sim.FailNextAdjustments(7);
  EXPECT_FALSE(rig.Ifc->AdjustActionEvent(taNp, aaInc1));
  EXPECT_EQ(rig.Rig.Sim.AdjustFailuresLeft(), 1);
  const qsizetype before = rig.Live().size();
  EXPECT_TRUE(rig.WaitLive(int(before) + 3));
  EXPECT_EQ(rig.TimeOuts, 0);
}

TEST(DMU_K40ifc, SavingAndCancellingTheAdjustment) {
  tIfcRig rig;
  rig.Connect();
  rig.Ifc->AdjustActionEvent(taSp, aaOn);
  rig.Ifc->AdjustActionEvent(taSp, aaDec1);
  rig.Ifc->AdjustActionEvent(taSp, aaCancel);
  ASSERT_TRUE(WaitUntil([&] { return rig.Rig.Sim.SoftwareResets() == 1; }));
  EXPECT_EQ(rig.Rig.Sim.PendingSpanSteps(), 0);

  rig.Ifc->AdjustActionEvent(taNp, aaOn);
  rig.Ifc->AdjustActionEvent(taNp, aaInc1);
  const qsizetype from = rig.Live().size();
  rig.Ifc->AdjustActionEvent(taNp, aaOK);
  const QDate today = QDate::currentDate();
  QStringList sent = rig.Live().mid(from);
  EXPECT_EQ(sent.mid(0, 3).join(' '), QString("4e5088 584f%1 5850%2")
                                          .arg(today.month(), 2, 16, QChar('0'))
                                          .arg(today.year() % 100, 2, 16, QChar('0')));
  EXPECT_EQ(rig.Rig.Sim.WorkingZeroWord(), 0x8001);
  EXPECT_EQ(rig.Info.LastCalib(), tDMU_K40ifc::MonthYearText(today.month(), today.year() % 100));
}

TEST(DMU_K40ifc, FactoryResetCopiesTheOutputsCalibrationBlock) {
  const QDate today = QDate::currentDate();
  const QString date = QString("584f%1 5850%2")
                           .arg(today.month(), 2, 16, QChar('0'))
                           .arg(today.year() % 100, 2, 16, QChar('0'));
  struct {
    quint8 Code;
    tToAdjust Target;
    QString Sequence;
  } cases[] = {
      {4, taSp, "45526f 585812 455270 585934 525388 " + date},
      {4, taNp, "455271 585a56 455272 585b78 524e88 " + date},
      {1, taSp, "45527b 585812 45527c 585934 525388 " + date},
      // No calibration block: cells 0–3 are never copied over the working calibration.
      {3, taNp, "524e88 " + date},
      {7, taSp, "525388 " + date},
      {0, taSp, "525388 " + date},
  };
  for (const auto& c : cases) {
    tIfcRig rig;
    rig.Rig.Sim.SetEeprom(127, c.Code);
    const int offs = c.Code == 4 ? 111 : 123;
    rig.Rig.Sim.SetEeprom(offs, 0x12);
    rig.Rig.Sim.SetEeprom(offs + 1, 0x34);
    rig.Rig.Sim.SetEeprom(offs + 2, 0x56);
    rig.Rig.Sim.SetEeprom(offs + 3, 0x78);
    rig.Connect();
    rig.Ifc->SetIsWerksDruckActive(false);
    const quint8 zeroHigh = rig.Rig.Sim.Eeprom(90);
    const qsizetype from = rig.Rig.Sim.Requests().size();
    EXPECT_TRUE(rig.Ifc->AdjustActionEvent(c.Target, aaFactoryReset));
    QStringList sent = HexList(rig.Rig.Sim.Requests(), from);
    sent.removeAll("504b00");
    sent.removeAll("545700");
    sent.removeAll("505a00");
    EXPECT_EQ(sent.mid(0, c.Sequence.count(' ') + 1).join(' '), c.Sequence) << int(c.Code);
    if (c.Code == 3) EXPECT_EQ(rig.Rig.Sim.Eeprom(90), zeroHigh);
  }
}

TEST(DMU_K40ifc, PollingPausesOnlyAfterThePendingReply) {
  tIfcRig rig;
  tSimFaults slow;
  slow.ReplyDelayMs = 200;
  rig.Connect();
  ASSERT_TRUE(rig.WaitLive(3));
  rig.Rig.SetFaults(slow);
  // Catch the moment a live request has just gone out.
  const qsizetype n = rig.Live().size();
  ASSERT_TRUE(WaitUntil([&] { return rig.Live().size() > n; }));
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(rig.Ifc->AdjustActionEvent(taNp, aaOn));
  // The late live reply went to the live parser, so the command succeeded at once.
  EXPECT_EQ(rig.Live().count("4e50aa"), 1);
  EXPECT_LT(clock.elapsed(), 1400);
}

TEST(DMU_K40ifc, OperatingParametersAreEncodedIntoTheirCells) {
  tIfcRig rig;
  rig.Connect();
  rig.Ifc->WriteOperatingParam(tDMU_K40ifc::omCyclP, 3, 300);
  EXPECT_EQ(rig.Rig.Sim.Eeprom(101), 0xFE);
  EXPECT_EQ(rig.Rig.Sim.Eeprom(102), 0x2C);
  EXPECT_EQ(rig.Rig.Sim.Eeprom(103), 0x01);
  EXPECT_EQ(rig.Rig.Sim.Eeprom(104), 0x33);
  EXPECT_EQ(rig.Ifc->OperatingMode(), tDMU_K40ifc::omPoll); // properties are not changed
  EXPECT_TRUE(rig.LiveGoesOn());

  // A response above 15 does not fit both nibbles: refused before any cell is written.
  EXPECT_THROW(rig.Ifc->WriteOperatingParam(tDMU_K40ifc::omCyclPT, 16, 5), eRangeError);
  EXPECT_EQ(rig.Rig.Sim.Eeprom(101), 0xFE);
  EXPECT_EQ(rig.Rig.Sim.Eeprom(102), 0x2C);

  rig.Rig.Sim.SetEeprom(123, 0x2C);
  rig.Rig.Sim.SetEeprom(124, 0x01);
  rig.Rig.Sim.SetEeprom(125, 0x77);
  rig.Rig.Sim.SetEeprom(126, 0xFD);
  rig.Ifc->FactoryOperatingParam();
  EXPECT_EQ(rig.Ifc->OperatingMode(), tDMU_K40ifc::omCyclPT);
  EXPECT_EQ(rig.Ifc->OpInterval(), 300);
  EXPECT_EQ(rig.Ifc->OpResponse(), 7);
  EXPECT_EQ(rig.Rig.Sim.Eeprom(101), 0xFD);
  EXPECT_EQ(rig.Rig.Sim.Eeprom(104), 0x77);
  EXPECT_TRUE(rig.LiveGoesOn());

  EXPECT_EQ(tDMU_K40ifc::GetOperatingModeOfByte(0xFF), tDMU_K40ifc::omPoll);
  EXPECT_EQ(tDMU_K40ifc::GetOperatingModeOfByte(0xFE), tDMU_K40ifc::omCyclP);
  try {
    tDMU_K40ifc::GetOperatingModeOfByte(0xFC);
    ADD_FAILURE();
  } catch (const eError& e) {
    EXPECT_EQ(e.Message(), "Unknown operating Mode: 252");
  }
}

// The wall clock jumps at daylight-saving changes and NTP steps; the live loop must not.
TEST(DMU_K40ifc, WallClockStepsChangeNeitherTimeOutsNorIntervals) {
  qint64 offset = 0;
  SetWallClock([&] { return QDateTime::currentDateTime().addSecs(offset); });
  tIfcRig rig;
  rig.Connect();
  ASSERT_TRUE(rig.WaitLive(3));
  for (qint64 step : {3600, -3600, -3600}) {
    SCOPED_TRACE(step);
    offset += step;
    const qsizetype from = rig.Live().size();
    PumpMs(2200);
    const QStringList after = rig.Live().mid(from);
    EXPECT_EQ(rig.TimeOuts, 0);
    EXPECT_GT(after.size(), 40);
    // Status and temperature once a second, not at once and not after an hour.
    EXPECT_GE(after.count("504b00"), 2);
    EXPECT_LE(after.count("504b00"), 3);
    EXPECT_GE(after.count("545700"), 2);
  }
  tSimFaults silent;
  silent.Silent = true;
  rig.Rig.SetFaults(silent);
  QElapsedTimer clock;
  clock.start();
  offset -= 3600;
  ASSERT_TRUE(WaitUntil([&] { return rig.TimeOuts > 0; }, 3000));
  EXPECT_GE(clock.elapsed(), 800); // a second after the last valid reply
  SetWallClock({});
}
