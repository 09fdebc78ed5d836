// The R70 command layer against the simulated instrument: requests and results of every
// operation, the plausibility tests and the error prefixes.
#include "protocol/r70/DMU_R70.h"

#include "R70TestSupport.h"

#include <gtest/gtest.h>

using namespace r70test;

namespace {

QString ErrorOf(const std::function<void()>& pWork) {
  try {
    pWork();
  } catch (const eDMU_R70& e) {
    return e.Message();
  }
  return QString();
}

} // namespace

TEST(R70CommandLayer, IdentityOperationsDecodeTheInstrumentsReplies) {
  tR70Bench bench;
  bench.Sim.SetSerial('R', 12345, 'A');
  bench.Sim.SetFirmware(1, 5);
  bench.Sim.SetRange(10.0f, 20.0f, 0x02, 0xCB);
  bench.Sim.SetProductionDate(9, 11, 23);
  bench.Sim.SetEeprom(10, 0x21);
  bench.Sim.SetFlash(129, 0x7B);
  tDMU_R70 r70(bench.Take(), false);

  EXPECT_EQ(r70.ReadSerialDigits(), "0012345");
  EXPECT_EQ(r70.ReadSerialNumber(), "R0012345A");
  EXPECT_EQ(r70.ReadFirmwareRevision(), "1.5");
  const tR70Range range = r70.ReadRange();
  EXPECT_EQ(range.Start, 10.0f);
  EXPECT_EQ(range.StartCode, 0x02);
  EXPECT_EQ(range.End, 20.0f);
  EXPECT_EQ(range.EndCode, 0xCB);
  const tR70ProductionDate date = r70.ReadDateOfProduction();
  EXPECT_EQ(date.Month, 11);
  EXPECT_EQ(date.Year, 23);
  EXPECT_EQ(r70.ReadEEPROM(10), 0x21);
  EXPECT_EQ(r70.ReadFLASH(129), 0x7B);
  EXPECT_EQ(r70.ReadFLASH(157), 9);
}

TEST(R70CommandLayer, NumbersAreWrittenAsTheInstrumentMeansThem) {
  struct tCase {
    qint32 Digits;
    quint8 Major, Minor;
    quint8 Accuracy;
    QString Serial, Firmware;
    double Percent;
  } cases[] = {
      {12345, 1, 5, 20, "0012345", "1.5", 0.1},
      {123456789, 2, 15, 255, "123456789", "2.15", 1.275},
      {-5, 0, 0, 0, "-0000005", "0.0", 0.0},
  };
  for (const auto& c : cases) {
    tR70Bench bench;
    bench.Sim.SetSerial('X', c.Digits, 'Y');
    bench.Sim.SetFirmware(c.Major, c.Minor);
    bench.Sim.SetAccuracyByte(c.Accuracy);
    tDMU_R70 r70(bench.Take(), false);
    EXPECT_EQ(r70.ReadSerialDigits(), c.Serial);
    EXPECT_EQ(r70.ReadFirmwareRevision(), c.Firmware);
    EXPECT_DOUBLE_EQ(r70.ReadAccuracy(), c.Percent);
  }
}

TEST(R70CommandLayer, WritingTheEepromLandsInTheInstrument) {
  tR70Bench bench;
  tDMU_R70 r70(bench.Take(), false);
  r70.WriteEEPROM(36, 0xC8);
  EXPECT_EQ(bench.Sim.Eeprom(36), 0xC8);
  EXPECT_EQ(bench.Sim.Requests().last(), B({'X', 36, 0xC8}));
}

TEST(R70CommandLayer, AdjustmentCommandsSendTheTablesCodes) {
  struct tCase {
    tToAdjust Target;
    bool Raise;
    quint8 Step;
    QByteArray Request;
    int ZeroSteps, SpanSteps;
  } cases[] = {
      {taNp, true, 0, B({'N', 'P', 0x11}), 1, 0},    {taNp, true, 1, B({'N', 'P', 0x12}), 10, 0},
      {taNp, true, 2, B({'N', 'P', 0x13}), 100, 0},  {taNp, false, 0, B({'N', 'P', 0x44}), -1, 0},
      {taSp, false, 1, B({'S', 'P', 0x45}), 0, -10}, {taSp, false, 2, B({'S', 'P', 0x46}), 0, -100},
      {taSp, true, 2, B({'S', 'P', 0x13}), 0, 100},
  };
  for (const auto& c : cases) {
    tR70Bench bench;
    tDMU_R70 r70(bench.Take(), false);
    r70.SetAdjustOn(c.Target);
    EXPECT_EQ(bench.Sim.Requests().last(),
              c.Target == taNp ? B({'N', 'P', 0xAA}) : B({'S', 'P', 0xAA}));
    EXPECT_TRUE(c.Raise ? r70.AdjustInc(c.Target, c.Step) : r70.AdjustDec(c.Target, c.Step));
    EXPECT_EQ(bench.Sim.Requests().last(), c.Request);
    EXPECT_EQ(bench.Sim.ZeroSteps(), c.ZeroSteps);
    EXPECT_EQ(bench.Sim.SpanSteps(), c.SpanSteps);
  }
}

TEST(R70CommandLayer, SavingAndFactoryResetUseTheirOwnCommands) {
  tR70Bench bench;
  tDMU_R70 r70(bench.Take(), false);
  r70.SetAdjustOn(taSp);
  r70.AdjustInc(taSp, 1);
  r70.AdjustSave(taSp);
  EXPECT_EQ(bench.Sim.Requests().last(), B({'S', 'P', 0x88}));
  EXPECT_EQ(bench.Sim.SavedSpanSteps(), 10);
  r70.FactoryReset(taSp);
  EXPECT_EQ(bench.Sim.Requests().last(), B({'R', 'S', 0x88}));
  EXPECT_EQ(bench.Sim.SavedSpanSteps(), 0);
  r70.FactoryReset(taNp);
  EXPECT_EQ(bench.Sim.Requests().last(), B({'R', 'N', 0x88}));
  r70.SoftwareReset();
  EXPECT_TRUE(WaitUntil([&] { return bench.Sim.ResetCount() == 1; }));
  EXPECT_EQ(bench.Sim.Requests().last(), B({'R', 'S', 0x00}));
}

TEST(R70CommandLayer, RefusedStepIsAnInvalidReturnValue) {
  tR70Bench bench;
  bench.Sim.SetAdjustLimit(5);
  tDMU_R70 r70(bench.Take(), false);
  // Not switched on yet: the instrument answers 0x00 instead of the code.
  EXPECT_EQ(ErrorOf([&] { r70.AdjustDec(taNp, 0); }),
            QString::fromUtf8("Fehler beim Absenken der Verstellung NP: Ungültiger Rückgabewert"));
  r70.SetAdjustOn(taSp);
  EXPECT_EQ(ErrorOf([&] { r70.AdjustInc(taSp, 1); }),
            QString::fromUtf8("Fehler beim Anheben der Verstellung SP: Ungültiger Rückgabewert"));
  EXPECT_EQ(bench.Sim.SpanSteps(), 0);
}

TEST(R70CommandLayer, ParametersOutsideTheTablesAreRefused) {
  tR70Bench bench;
  tDMU_R70 r70(bench.Take(), false);
  bench.Sim.ClearRequests();
  EXPECT_EQ(ErrorOf([&] { r70.FactoryReset(tToAdjust(2)); }), "Falscher Parameter!");
  EXPECT_EQ(ErrorOf([&] { r70.SetAdjustOn(tToAdjust(7)); }), "Falscher Parameter!");
  EXPECT_EQ(ErrorOf([&] { r70.AdjustInc(taNp, 3); }), "Falscher Parameter!");
  PumpMs(20);
  EXPECT_TRUE(bench.Sim.Requests().isEmpty());
}

TEST(R70CommandLayer, EveryFailureNamesItsOperation) {
  tR70Bench bench;
  // A corrupted checksum fails at once, so the whole table runs without waiting.
  bench.SetFaults([](tSimFaults& f) { f.CorruptChecksum = true; });
  tDMU_R70 r70(bench.Take(), false);
  const QString bad = "Checksumme fehlerhaft";
  struct tCase {
    std::function<void()> Work;
    QString Prefix;
  } cases[] = {
      {[&] { r70.ReadEEPROM(1); }, "Fehler beim Lesen des EEPROM: "},
      {[&] { r70.ReadFLASH(1); }, "Fehler beim Lesen des FLASH: "},
      {[&] { r70.WriteEEPROM(1, 2); }, "Fehler beim Schreiben des EEPROM: "},
      {[&] { r70.ReadFirmwareRevision(); }, "Fehler beim Lesen der Firmware-Version: "},
      {[&] { r70.ReadSerialDigits(); }, "Fehler beim Lesen der Seriennummer: "},
      {[&] { r70.ReadRange(); }, "Fehler beim Lesen des MBA: "},
      {[&] { r70.ReadDateOfProduction(); }, "Fehler beim Lesen des Herstelldatums: "},
      {[&] { r70.ReadAccuracy(); }, "Fehler beim Lesen der Genauigkeit: "},
      {[&] { r70.SetAdjustOn(taNp); }, "Fehler beim Einschalten Verstellung NP: "},
      {[&] { r70.AdjustInc(taSp, 0); }, "Fehler beim Anheben der Verstellung SP: "},
      {[&] { r70.AdjustDec(taNp, 2); }, "Fehler beim Absenken der Verstellung NP: "},
      {[&] { r70.AdjustSave(taSp); },
       QString::fromUtf8("Fehler beim Bestätigen der Verstellung SP: ")},
      {[&] { r70.FactoryReset(taNp); }, "Fehler beim Reset NP: "},
      {[&] { r70.FactoryReset(taSp); }, "Fehler beim Reset SP: "},
      {[&] { r70.ReadSerialNumber(); },
       "Fehler beim Lesen der Seriennummer: Fehler beim Lesen des FLASH: "},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ErrorOf(c.Work), c.Prefix + bad);
}

TEST(R70CommandLayer, NestedTimeOutCarriesTheSerialNumberPrefixTwice) {
  tR70Bench bench;
  bench.Sim.SetUnanswered({"KN"});
  tDMU_R70 r70(bench.Take(), false);
  EXPECT_EQ(ErrorOf([&] { r70.ReadSerialNumber(); }),
            "Fehler beim Lesen der Seriennummer: Fehler beim Lesen der Seriennummer: Timeout!");
}

TEST(R70CommandLayer, RangeEndIsNotAskedWhenTheStartFails) {
  tR70Bench bench;
  bench.Sim.SetUnanswered({"MA"});
  tDMU_R70 r70(bench.Take(), false);
  EXPECT_EQ(ErrorOf([&] { r70.ReadRange(); }), "Fehler beim Lesen des MBA: Timeout!");
  EXPECT_EQ(bench.Sim.Requests(), QList<QByteArray>{B({'M', 'A', 0x00})});
  bench.Sim.SetUnanswered({"ME"});
  EXPECT_EQ(ErrorOf([&] { r70.ReadRange(); }), "Fehler beim Lesen des MBE: Timeout!");
}

TEST(R70CommandLayer, ReleasingTheCommandLayerReleasesLinkAndPort) {
  tR70Bench bench;
  auto counts = bench.Counts;
  { tDMU_R70 r70(bench.Take(), true); }
  EXPECT_EQ(counts->Closed, 1);
  EXPECT_EQ(counts->Destroyed, 1);
}
