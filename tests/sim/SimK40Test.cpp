// The K40-family simulator checked byte for byte against the protocol's vectors, fed
// directly (no port), so that the protocol tests rest on a peer that is right.
#include "sim/SimK40.h"

#include "support/WaitFor.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

QByteArray B(std::initializer_list<int> pList) {
  QByteArray b;
  for (int v : pList)
    b.append(char(quint8(v)));
  return b;
}

// A request frame: three command bytes, their sum, 0x0D.
QByteArray Frame(const QByteArray& pCmd) {
  quint8 sum = 0;
  for (char c : pCmd)
    sum = quint8(sum + quint8(c));
  return pCmd + char(quint8(0x100 - sum)) + '\r';
}

struct tWire {
  explicit tWire(tSimK40& pSim) : Sim(pSim) {
    Sim.OnTransmit = [this](const QByteArray& pFrame) { Out += pFrame; };
  }
  QByteArray Ask(const QByteArray& pRaw) {
    Out.clear();
    Sim.Receive(pRaw);
    return Out;
  }
  tSimK40& Sim;
  QByteArray Out;
};

double DecodePressure(const QByteArray& d) {
  const int d1 = quint8(d[0]), d2 = quint8(d[1]), d3 = quint8(d[2]);
  int e = (d3 & 0x38) >> 3;
  if (d3 & 0x40) e = -e;
  const double v = ((d1 & 0x7F) * 256 + d2) * std::pow(10.0, e);
  return (d1 & 0x80) ? -v : v;
}

} // namespace

TEST(SimK40, AnswersTheProtocolVectors) {
  tSimK40 sim(tSimK40::tModel::K40P);
  tWire wire(sim);
  sim.SetEeprom(81, 0xF0);
  sim.SetFirmware(0x12, 0x34);
  struct {
    const char* Name;
    QByteArray Request;
    QByteArray Reply;
  } cases[] = {
      {"cell 81", B({0x45, 0x52, 0x51, 0x18, 0x0D}), B({0x1C, 0x51, 0xF0, 0xA3, 0x0D})},
      {"firmware", Frame(B({'S', 'R', 0})), B({0x01, 0x12, 0x34, 0xB9, 0x0D})},
      {"poll mode", Frame(B({'S', 'O', 0xFF})), B({'s', 'o', 0xFF, 0x1F, 0x0D})},
      {"write cell", Frame(B({'X', 102, 0x2C})), B({0x1D, 102, 0x2C, 0x51, 0x0D})},
  };
  for (const auto& c : cases)
    EXPECT_EQ(wire.Ask(c.Request).toHex(), c.Reply.toHex()) << c.Name;
  EXPECT_EQ(sim.Eeprom(102), 0x2C);

  sim.SetRangeBytes(B({0x00, 0x81, 0x00}), B({0x00, 0x19, 0x42}));
  EXPECT_EQ(wire.Ask(Frame("MA" + QByteArray(1, 0))).left(4).toHex(), "03008100");
  EXPECT_EQ(wire.Ask(Frame("ME" + QByteArray(1, 0))).left(4).toHex(), "04001942");
  EXPECT_DOUBLE_EQ(sim.RangeStart(), -1.0);
  EXPECT_DOUBLE_EQ(sim.RangeEnd(), 0.25);
}

TEST(SimK40, EncodesRangeValuesLikeTheInstrument) {
  EXPECT_EQ(tSimK40::EncodeRangeValue(0.25, false, false).toHex(), "001942");
  EXPECT_EQ(tSimK40::EncodeRangeValue(-1, true, false).toHex(), "008100");
  EXPECT_EQ(tSimK40::EncodeRangeValue(0, true, true).toHex(), "000080");
  EXPECT_EQ(tSimK40::EncodeRangeValue(16, false, false).toHex(), "001000");
  // 131 would need bit 7 of the start's second byte, which is the sign there: 1310 x 10^-1.
  EXPECT_EQ(tSimK40::EncodeRangeValue(131, true, false).toHex(), "051e41");
  EXPECT_EQ(tSimK40::EncodeRangeValue(131, false, false).toHex(), "008300");
}

TEST(SimK40, LiveRepliesCarryThePressureAndTemperatureEncodings) {
  tSimK40 sim(tSimK40::tModel::K40P);
  tWire wire(sim);
  for (double p : {1.0, -5.0, 16.0, 0.0125, -0.9876}) {
    sim.SetPressure(p);
    const QByteArray reply = wire.Ask(Frame("PZ" + QByteArray(1, 0)));
    ASSERT_EQ(reply.size(), 6);
    EXPECT_EQ(reply[0], 'P');
    EXPECT_NEAR(DecodePressure(reply.mid(1, 3)), p, 1e-4) << p;
    const QByteArray factory = wire.Ask(Frame("PR" + QByteArray(1, 0)));
    EXPECT_EQ(factory[0], 'X');
  }
  sim.SetTemperature(25.0);
  EXPECT_EQ(wire.Ask(Frame("TW" + QByteArray(1, 0))).left(3).toHex(), "540032");
  sim.SetTemperature(-10.0);
  EXPECT_EQ(wire.Ask(Frame("TW" + QByteArray(1, 0))).left(3).toHex(), "540114");
  sim.SetStatusByte(0x21);
  EXPECT_EQ(wire.Ask(Frame("PK" + QByteArray(1, 0))).left(4).toHex(), "6b000021");
}

TEST(SimK40, EachModelAnswersOnlyItsOwnProbe) {
  tSimK40 k40(tSimK40::tModel::K40P);
  tSimK40 r20(tSimK40::tModel::R2x);
  tWire wk(k40), wr(r20);
  r20.SetTypeByte(0x21);
  // A K-40-P must not be taken for an R-20, and an R-20 has no status or operating mode.
  EXPECT_TRUE(wk.Ask(Frame("TYP")).isEmpty());
  EXPECT_EQ(wr.Ask(Frame("TYP")).toHex(), B({0x0A, 0x21, 0xD5, 0x0D}).toHex());
  EXPECT_TRUE(wr.Ask(Frame("PK" + QByteArray(1, 0))).isEmpty());
  EXPECT_TRUE(wr.Ask(Frame(B({'S', 'O', 0xFF}))).isEmpty());
  // The R70 probe wants 0x03 + 5 data bytes + 2; a K40 range start is shorter.
  EXPECT_EQ(wk.Ask(Frame("MA" + QByteArray(1, 0))).size(), 6);
  // An auto-baud byte before a frame is noise to the instrument; at 115200 it hears nothing.
  EXPECT_EQ(wk.Ask(char(0x55) + Frame(B({'S', 'O', 0xFF}))).size(), 5);
  k40.SetLineBaud(115200);
  EXPECT_TRUE(wk.Ask(Frame(B({'S', 'O', 0xFF}))).isEmpty());
  // A longer frame with its sum over four bytes (R70 style) is not a K40 request.
  EXPECT_TRUE(wk.Ask(Frame(B({'E', 'R', 0x0A, 0x01}))).isEmpty());
}

TEST(SimK40, AdjustmentStepsMoveThePressureUntilSavedOrReset) {
  tSimK40 sim(tSimK40::tModel::K40P);
  tWire wire(sim);
  sim.SetPressure(8.0);
  // A step before the adjustment is switched on is not heard.
  EXPECT_TRUE(wire.Ask(Frame(B({'N', 'P', 0x11}))).isEmpty());
  EXPECT_EQ(wire.Ask(Frame(B({'N', 'P', 0xAA}))).left(2), "NP");
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(wire.Ask(Frame(B({'N', 'P', 0x11}))).left(2), "NP");
  EXPECT_EQ(wire.Ask(Frame("NPD")).left(2), "NP");
  EXPECT_EQ(sim.PendingZeroSteps(), 2);
  EXPECT_NEAR(sim.ReportedPressure(), 8.0 + 2 * 16.0 / 10000, 1e-9);
  EXPECT_DOUBLE_EQ(sim.Pressure(), 8.0); // "PR" stays unadjusted
  // Software reset drops unsaved steps and sends nothing.
  EXPECT_TRUE(wire.Ask(Frame("RS" + QByteArray(1, 0))).isEmpty());
  EXPECT_EQ(sim.PendingZeroSteps(), 0);
  EXPECT_DOUBLE_EQ(sim.ReportedPressure(), 8.0);

  // Span: lowered with "U", acknowledged with "NP", saved into cells 88/89.
  EXPECT_EQ(wire.Ask(Frame(B({'S', 'P', 0xAA}))).left(2), "NP");
  EXPECT_EQ(wire.Ask(Frame("SPU")).left(2), "NP");
  EXPECT_EQ(wire.Ask(Frame(B({'S', 'P', 0x88}))).left(2), "NP");
  EXPECT_EQ(sim.Eeprom(88) * 256 + sim.Eeprom(89), 0x7FFF);
  // A factory reset loads the working calibration from the cells the program has restored.
  sim.SetEeprom(88, 0x80);
  sim.SetEeprom(89, 0x00);
  EXPECT_EQ(wire.Ask(Frame(B({'R', 'S', 0x88}))).left(2), "RN");
  EXPECT_EQ(sim.WorkingSpanWord(), 0x8000);
  EXPECT_EQ(wire.Ask(Frame(B({'R', 'N', 0x88}))).left(2), "RN");
}

TEST(SimK40, FailsTheRequestedNumberOfAdjustmentAttempts) {
  tSimK40 sim(tSimK40::tModel::K40P);
  tWire wire(sim);
  sim.FailNextAdjustments(2);
  EXPECT_TRUE(wire.Ask(Frame(B({'N', 'P', 0xAA}))).isEmpty());
  EXPECT_TRUE(wire.Ask(Frame(B({'N', 'P', 0xAA}))).isEmpty());
  EXPECT_EQ(wire.Ask(Frame(B({'N', 'P', 0xAA}))).left(2), "NP");
  // Other requests are not affected.
  sim.FailNextAdjustments(1);
  EXPECT_EQ(wire.Ask(Frame(B({'E', 'R', 57}))).size(), 5);
}

TEST(SimK40, StreamsFramesInTheCyclicModesUntilSetToPollMode) {
  tSimK40 sim(tSimK40::tModel::K40P);
  QByteArray out;
  sim.OnTransmit = [&](const QByteArray& f) { out += f; };
  sim.SetEeprom(101, 0xFD); // pressure and temperature
  sim.SetEeprom(102, 2);    // every 20 ms
  sim.SetEeprom(103, 0);
  sim.PowerUp();
  ASSERT_TRUE(WaitFor([&] { return out.size() >= 36; }));
  EXPECT_EQ(out[0], 'P');
  EXPECT_EQ(out[6], 'T');
  sim.Receive(Frame(B({'S', 'O', 0xFF})));
  EXPECT_EQ(sim.RunMode(), tSimK40::tRunMode::rmPoll);
  out.clear();
  PumpFor(100);
  EXPECT_TRUE(out.isEmpty());
  // An has no cyclic output whatever its cell 101 says.
  tSimK40 r20(tSimK40::tModel::R2x);
  r20.SetEeprom(101, 0xFE);
  r20.PowerUp();
  EXPECT_EQ(r20.RunMode(), tSimK40::tRunMode::rmPoll);
}
