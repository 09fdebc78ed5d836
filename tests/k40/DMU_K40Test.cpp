// The K40 command layer against the simulated K-40-P on an in-process port.
#include "protocol/k40/DMU_K40.h"

#include "K40Rig.h"

#include <gtest/gtest.h>

namespace {

QString MessageOf(const std::function<void()>& pAction) {
  try {
    pAction();
  } catch (const eError& e) {
    return e.Message();
  }
  return QStringLiteral("<no error>");
}

} // namespace

TEST(DMU_K40, ReadsCell81WithTheDocumentedFrames) {
  tK40Rig rig;
  rig.Sim.SetEeprom(81, 0xF0);
  tDMU_K40 k40(rig.OpenPort());
  EXPECT_EQ(k40.ReadEEPROM(81), 0xF0);
  EXPECT_EQ(rig.Port->SentLog().toHex(), "455251180d");
}

TEST(DMU_K40, DecodesRangeFirmwareIdentAndDates) {
  struct {
    QByteArray Start, End;
    float MBA, MBE;
    tDruckKennung Kennung;
  } cases[] = {
      {Bytes({0x00, 0x81, 0x00}), Bytes({0x00, 0x19, 0x42}), -1.0f, 0.25f, dkRelativ},
      {Bytes({0x00, 0x00, 0x80}), Bytes({0x00, 0x10, 0x00}), 0.0f, 16.0f, dkAbsolut},
      {Bytes({0x27, 0x10, 0x44}), Bytes({0xFF, 0xFF, 0x01}), 1.0f, 655350.0f, dkRelativ},
  };
  tK40Rig rig;
  rig.Sim.SetEeprom(81, 0x7A); // low nibble is not part of the unit code
  tDMU_K40 k40(rig.OpenPort());
  for (const auto& c : cases) {
    rig.Sim.SetRangeBytes(c.Start, c.End);
    float mba = 99, mbe = 99;
    quint8 unit = 0;
    tDruckKennung kennung = dkNo;
    k40.ReadRange(mba, mbe, unit, kennung);
    EXPECT_FLOAT_EQ(mba, c.MBA);
    EXPECT_FLOAT_EQ(mbe, c.MBE);
    EXPECT_EQ(kennung, c.Kennung);
    EXPECT_EQ(unit, 0x70);
  }
  rig.Sim.SetFirmware(0x12, 0x34);
  EXPECT_EQ(k40.ReadFirmwareRevision(), "1.02");
  rig.Sim.SetFirmware(0xA5, 0x00);
  EXPECT_EQ(k40.ReadFirmwareRevision(), "10.05");
  rig.Sim.SetIdent("A\xC4"
                   "12");
  EXPECT_EQ(k40.ReadIdent(), QString::fromUtf8("AÄ12"));
  rig.Sim.SetProductionDate(11, 9);
  quint8 month = 0, year = 0;
  k40.ReadDateOfProduction(month, year);
  EXPECT_EQ(month, 11);
  EXPECT_EQ(year, 9);
  k40.WriteEEPROM(0x0D, 0x0D); // a 0x0D inside the frame is data, not its end
  EXPECT_EQ(rig.Sim.Eeprom(0x0D), 0x0D);
}

TEST(DMU_K40, SendsTheAdjustmentAndResetCommands) {
  tK40Rig rig;
  tDMU_K40 k40(rig.OpenPort());
  k40.SetAdjustOn(taNp);
  k40.AdjustInc(taNp);
  k40.AdjustDec(taNp);
  k40.AdjustSave(taNp);
  k40.SetAdjustOn(taSp);
  k40.AdjustDec(taSp);
  k40.FactoryReset(taSp);
  k40.FactoryReset(taNp);
  k40.SetToPollMode();
  QStringList sent;
  for (const QByteArray& r : rig.Sim.Requests())
    sent << QString::fromLatin1(r.toHex());
  EXPECT_EQ(sent.join(' '), "4e50aa 4e5011 4e5044 4e5088 5350aa 535055 525388 524e88 534fff");
}

TEST(DMU_K40, SoftwareResetReturnsWithoutWaiting) {
  tK40Rig rig;
  tSimFaults silent;
  silent.Silent = true;
  tDMU_K40 k40(rig.OpenPort(silent));
  QElapsedTimer clock;
  clock.start();
  k40.SoftwareReset();
  EXPECT_LT(clock.elapsed(), 100);
  ASSERT_TRUE(WaitUntil([&] { return rig.Sim.SoftwareResets() == 1; }));
  EXPECT_EQ(rig.Port->SentLog().toHex(), "5253005b0d");
}

TEST(DMU_K40, StrayLeadingByteTimesOutAfter1500ms) {
  tK40Rig rig;
  tSimFaults stray;
  stray.StrayLeadingByte = true;
  tDMU_K40 k40(rig.OpenPort(stray));
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(MessageOf([&] { k40.ReadEEPROM(81); }), "Fehler beim Lesen des EEPROM: Timeout!");
  EXPECT_GE(clock.elapsed(), 1500);
  EXPECT_LT(clock.elapsed(), 2500);
  // With AtEnd only the newest bytes count, so the same line is fine for the poll mode.
  clock.restart();
  EXPECT_NO_THROW(k40.SetToPollMode());
  EXPECT_LT(clock.elapsed(), 500);
  // The object stays usable once the line is clean again.
  rig.SetFaults({});
  EXPECT_EQ(k40.ReadEEPROM(57), 10);
}

TEST(DMU_K40, PollModeIsAcceptedWhileCyclicFramesKeepArriving) {
  tK40Rig rig;
  rig.Sim.SetEeprom(101, 0xFD);
  rig.Sim.SetEeprom(102, 1); // a frame pair every 10 ms: the line is nearly full
  rig.Sim.PowerUp();
  tDMU_K40 k40(rig.OpenPort());
  PumpMs(50);
  EXPECT_NO_THROW(k40.SetToPollMode());
  EXPECT_EQ(rig.Sim.RunMode(), tSimK40::tRunMode::rmPoll);
}

TEST(DMU_K40, CorruptChecksumFailsAtOnceWithEveryOperationsPrefix) {
  tK40Rig rig;
  tDMU_K40 k40(rig.OpenPort());
  k40.SetAdjustOn(taNp);
  k40.SetAdjustOn(taSp);
  tSimFaults corrupt;
  corrupt.CorruptChecksum = true;
  rig.SetFaults(corrupt);
  const QString bad = QStringLiteral("Checksumme fehlerhaft");
  float f1, f2;
  quint8 b1, b2;
  tDruckKennung k;
  struct {
    std::function<void()> Action;
    QString Message;
  } cases[] = {
      {[&] { k40.ReadRange(f1, f2, b1, k); }, bad},
      {[&] { k40.ReadEEPROM(1); }, "Fehler beim Lesen des EEPROM: " + bad},
      {[&] { k40.WriteEEPROM(1, 2); }, "Fehler beim Schreiben des EEPROM: " + bad},
      {[&] { k40.ReadIdent(); }, "Fehler beim Lesen der Kopfnummer: " + bad},
      {[&] { k40.ReadFirmwareRevision(); }, "Fehler beim Lesen der Firmware-Version: " + bad},
      {[&] { k40.ReadDateOfProduction(b1, b2); }, "Fehler beim Lesen des Herstelldatums: " + bad},
      {[&] { k40.SetToPollMode(); }, "Fehler beim Poll-Mode Einstellen: " + bad},
      {[&] { k40.SetAdjustOn(taNp); }, "Fehler beim Einschalten Verstellung NP: " + bad},
      {[&] { k40.AdjustInc(taSp); }, "Fehler beim Anheben der Verstellung SP: " + bad},
      {[&] { k40.AdjustDec(taNp); }, "Fehler beim Absenken der Verstellung NP: " + bad},
      {[&] { k40.AdjustSave(taSp); },
       QString::fromUtf8("Fehler beim Bestätigen der Verstellung SP: ") + bad},
      {[&] { k40.FactoryReset(taNp); }, "Fehler beim Reset NP: " + bad},
  };
  for (const auto& c : cases) {
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(MessageOf(c.Action), c.Message);
    EXPECT_LT(clock.elapsed(), 1000) << qPrintable(c.Message);
  }
  // A target other than zero or span is refused before anything is sent.
  PumpMs(20);
  const qsizetype sent = rig.Port->SentLog().size();
  EXPECT_EQ(MessageOf([&] { k40.FactoryReset(tToAdjust(7)); }),
            "Fehler beim Reset : Falscher Parameter!");
  PumpMs(20);
  EXPECT_EQ(rig.Port->SentLog().size(), sent);
}

TEST(DMU_K40, ReadRangePassesItsRangeErrorsUnwrapped) {
  tK40Rig rig;
  tDMU_K40 k40(rig.OpenPort());
  float f1, f2;
  quint8 unit;
  tDruckKennung k;
  rig.Sim.IgnoreNextRequests(1);
  EXPECT_EQ(MessageOf([&] { k40.ReadRange(f1, f2, unit, k); }), "Timeout!");
  // The third step is a cell read, whose error arrives wrapped by the cell read.
  rig.Sim.DropRequest = [](const QByteArray& pCmd) { return pCmd == "ER\x51"; };
  EXPECT_EQ(MessageOf([&] { k40.ReadRange(f1, f2, unit, k); }),
            "Fehler beim Lesen des EEPROM: Timeout!");
}

TEST(DMU_K40, ReleasesThePortWhenDestroyed) {
  tK40Rig rig;
  {
    tDMU_K40 k40(rig.OpenPort());
    EXPECT_TRUE(rig.Port->Open());
  }
  EXPECT_TRUE(rig.Port.isNull());
  // The instrument is free again for the next connection attempt.
  tDMU_K40 again(rig.OpenPort());
  EXPECT_EQ(again.ReadEEPROM(57), 10);
}
