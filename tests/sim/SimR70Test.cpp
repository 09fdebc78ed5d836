// The R70 instrument model checked byte for byte against the protocol's vectors, so that
// the protocol tests rest on a peer that is right.
#include "sim/SimR70.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

QByteArray B(std::initializer_list<int> pBytes) {
  QByteArray r;
  for (int b : pBytes)
    r.append(char(b));
  return r;
}

// Request frame as the program puts it on the line.
QByteArray Frame(const QByteArray& pRequest, bool pAutoBaud = false) {
  quint8 sum = 0;
  for (char c : pRequest)
    sum = quint8(sum + quint8(c));
  QByteArray f = pAutoBaud ? QByteArray(1, 0x55) : QByteArray();
  return f + pRequest + char(quint8(256 - sum)) + '\r';
}

struct tHarness {
  tSimR70 Sim;
  QList<QByteArray> Replies;
  explicit tHarness(tSimR70::tModel pModel = tSimR70::tModel::R7x, int pBaud = 9600,
                    bool pNeedAutoBaud = false)
      : Sim(pModel, pBaud, pNeedAutoBaud) {
    Sim.OnTransmit = [this](const QByteArray& pFrame) { Replies.append(pFrame); };
    Sim.SetLineBaud(pBaud);
  }
  // The single reply to one request, or empty when the instrument stayed silent.
  QByteArray Ask(const QByteArray& pRequest, bool pAutoBaud = false) {
    Replies.clear();
    Sim.Receive(Frame(pRequest, pAutoBaud));
    return Replies.isEmpty() ? QByteArray() : Replies.last();
  }
};

bool SumsToZero(const QByteArray& pReply) {
  quint8 sum = 0;
  for (qsizetype i = 0; i + 1 < pReply.size(); ++i)
    sum = quint8(sum + quint8(pReply[i]));
  return sum == 0 && pReply.endsWith('\r');
}

} // namespace

TEST(SimR70, RequestFramesOnTheWireMatchTheProtocolVectors) {
  EXPECT_EQ(Frame(B({'G', 'K', 0x00}), true), B({0x55, 0x47, 0x4B, 0x00, 0x6E, 0x0D}));
  EXPECT_EQ(Frame(B({'E', 'R', 0x0A})), B({0x45, 0x52, 0x0A, 0x5F, 0x0D}));
  EXPECT_EQ(Frame(B({'N', 'P', 0xAA})), B({0x4E, 0x50, 0xAA, 0xB8, 0x0D}));
}

TEST(SimR70, RepliesCarryStartDataChecksumAndTerminator) {
  tHarness h;
  h.Sim.SetEeprom(10, 0x21);
  h.Sim.SetSerial('R', 12345, 'A');
  h.Sim.SetFirmware(1, 5);
  h.Sim.SetAccuracyByte(20);
  h.Sim.SetRange(10.0f, 20.0f, 0x02, 0xCB);
  h.Sim.SetProductionDate(7, 3, 24);
  h.Sim.SetStatusByte(0);
  h.Sim.SetTemperatureRaw(0xFFF0);

  struct tCase {
    QByteArray Request;
    QByteArray StartAndData;
  } cases[] = {
      {B({'E', 'R', 0x0A}), B({0x1C, 0x0A, 0x21})},
      {B({'K', 'N', 0x00}), B({'K', 0x39, 0x30, 0x00, 0x00})},
      {"SRH", B({'s', 'r', 1, 5})},
      {B({'G', 'K', 0x00}), B({0x06, 0x00, 20})},
      {B({'M', 'A', 0x00}), B({0x03, 0x00, 0x00, 0x20, 0x41, 0x02})},
      {B({'M', 'E', 0x00}), B({0x04, 0x00, 0x00, 0xA0, 0x41, 0xCB})},
      {B({'H', 'D', 0x00}), B({0x08, 3, 24})},
      {B({'F', 'R', 157}), B({0x1E, 157, 7})},
      {B({'U', 0x00, 0x00}), B({'u', 0x00})},
      {"TWH", B({'t', 0xFF, 0xF0})},
      {B({'N', 'P', 0xAA}), B({'n', 'p', 0xAA})},
  };
  for (const auto& c : cases) {
    const QByteArray reply = h.Ask(c.Request);
    SCOPED_TRACE(c.Request.toHex().toStdString());
    ASSERT_EQ(reply.size(), c.StartAndData.size() + 2);
    EXPECT_EQ(reply.left(c.StartAndData.size()), c.StartAndData);
    EXPECT_TRUE(SumsToZero(reply));
  }
  // The adjust-on reply of the protocol's example, complete.
  EXPECT_EQ(h.Ask(B({'N', 'P', 0xAA})), B({0x6E, 0x70, 0xAA, 0x78, 0x0D}));
}

TEST(SimR70, AnswersOnlyAtItsOwnRateAndWithTheAutoBaudByteWhenItNeedsIt) {
  struct tCase {
    int OwnBaud;
    bool NeedAutoBaud;
    int LineBaud;
    bool SendAutoBaud;
    bool Answers;
  } cases[] = {
      {9600, false, 9600, false, true},    {9600, false, 9600, true, true},
      {9600, false, 115200, false, false}, {115200, false, 115200, false, true},
      {115200, false, 9600, true, false},  {9600, true, 9600, false, false},
      {9600, true, 9600, true, true},
  };
  for (const auto& c : cases) {
    tHarness h(tSimR70::tModel::R7x, c.OwnBaud, c.NeedAutoBaud);
    h.Sim.SetLineBaud(c.LineBaud);
    const QByteArray reply = h.Ask(B({'M', 'A', 0x00}), c.SendAutoBaud);
    EXPECT_EQ(!reply.isEmpty(), c.Answers)
        << c.OwnBaud << " " << c.NeedAutoBaud << " " << c.LineBaud << " " << c.SendAutoBaud;
  }
}

TEST(SimR70, StatusCommandIsToldApartFromTheAutoBaudByte) {
  // "U" is 0x55 itself: with the auto-baud byte the line carries 0x55 0x55 0x00 0x00 ...
  tHarness h(tSimR70::tModel::R7x, 9600, true);
  h.Sim.SetStatusByte(0x04);
  EXPECT_EQ(h.Ask(B({'U', 0x00, 0x00}), true).left(2), B({'u', 0x04}));
  EXPECT_TRUE(h.Ask(B({'U', 0x00, 0x00}), false).isEmpty());
}

TEST(SimR70, IgnoresTheK40ProbesAndGarbage) {
  tHarness h;
  EXPECT_TRUE(h.Ask(B({'S', 'O', 0xFF})).isEmpty());
  EXPECT_TRUE(h.Ask("TYP").isEmpty());
  h.Replies.clear();
  // Noise before a frame does not hide the frame; bytes may come one by one.
  const QByteArray line = B({0x13, 0x37}) + Frame(B({'G', 'K', 0x00}));
  for (char c : line)
    h.Sim.Receive(QByteArray(1, c));
  ASSERT_EQ(h.Replies.size(), 1);
  EXPECT_EQ(h.Replies[0].left(3), B({0x06, 0x00, 20}));
}

TEST(SimR70, AdjustmentStepsMoveThePressureUntilTheLimitRefusesThem) {
  tHarness h;
  h.Sim.SetRange(0, 10, 0xFE, 0xFE);
  h.Sim.SetPressure(5.0f);
  h.Sim.SetAdjustLimit(110);
  // A step before adjustment is switched on is refused with 0x00.
  EXPECT_EQ(h.Ask(B({'N', 'P', 0x11})).left(3), B({'n', 'p', 0x00}));
  h.Ask(B({'N', 'P', 0xAA}));
  EXPECT_EQ(h.Ask(B({'N', 'P', 0x13})).left(3), B({'n', 'p', 0x13}));
  EXPECT_EQ(h.Ask(B({'N', 'P', 0x12})).left(3), B({'n', 'p', 0x12}));
  EXPECT_EQ(h.Sim.ZeroSteps(), 110);
  EXPECT_NEAR(h.Sim.OutputPressure(), 5.0 + 110 * 1e-4 * 10, 1e-5);
  EXPECT_EQ(h.Ask(B({'N', 'P', 0x11})).left(3), B({'n', 'p', 0x00})); // beyond the limit
  EXPECT_EQ(h.Sim.ZeroSteps(), 110);
  EXPECT_EQ(h.Ask(B({'N', 'P', 0x44})).left(3), B({'n', 'p', 0x44}));
  EXPECT_EQ(h.Sim.ZeroSteps(), 109);
  // A software reset drops unsaved steps; a saved step survives it.
  h.Ask(B({'R', 'S', 0x00}));
  EXPECT_EQ(h.Sim.ZeroSteps(), 0);
  h.Ask(B({'S', 'P', 0xAA}));
  h.Ask(B({'S', 'P', 0x45}));
  h.Ask(B({'S', 'P', 0x88}));
  h.Ask(B({'R', 'S', 0x00}));
  EXPECT_EQ(h.Sim.SpanSteps(), -10);
  EXPECT_EQ(h.Ask(B({'R', 'S', 0x88})).left(2), QByteArray("RS"));
  EXPECT_EQ(h.Sim.SpanSteps(), 0);
}

TEST(SimR70, LivePressureRepliesCarryTheAdjustedAndTheFactoryValue) {
  tHarness h;
  h.Sim.SetPressure(-0.5f);
  EXPECT_EQ(h.Ask(B({'P', 'Z', 0x00})).left(6), B({'P', 0x00, 0x00, 0x00, 0xBF, 0x00}));
  EXPECT_EQ(h.Ask(B({'P', 'R', 0x00})).left(6), B({'X', 0x00, 0x00, 0x00, 0xBF, 0x00}));
}

TEST(SimR70, EepromWritesLandInMemoryAndTheCrcCellIsKeptValid) {
  tHarness h;
  EXPECT_TRUE(h.Sim.EepromCrcValid());
  EXPECT_EQ(h.Ask(B({'X', 35, 0x7C})), Frame(B({0x1D, 35, 0x7C})).left(5));
  EXPECT_EQ(h.Sim.Eeprom(35), 0x7C);
  h.Sim.SetEeprom(3, 0x99);
  EXPECT_FALSE(h.Sim.EepromCrcValid());
}

TEST(SimR70, FailedCommandsAreNotExecutedAndLiveRequestsAreSpared) {
  tHarness h;
  h.Sim.FailNextCommands(1, tSimR70::tFailKind::BadChecksum);
  EXPECT_TRUE(SumsToZero(h.Ask(B({'U', 0x00, 0x00}))));
  EXPECT_EQ(h.Sim.PendingFailures(), 1); // the live request did not use it up
  const QByteArray bad = h.Ask(B({'X', 35, 0x7C}));
  EXPECT_EQ(bad.size(), 5);
  EXPECT_FALSE(SumsToZero(bad));
  EXPECT_EQ(h.Sim.Eeprom(35), 0x7F);
  h.Sim.FailNextCommands(1, tSimR70::tFailKind::NoReply);
  EXPECT_TRUE(h.Ask(B({'X', 35, 0x7C})).isEmpty());
  EXPECT_EQ(h.Ask(B({'X', 35, 0x7C})).size(), 5);
  EXPECT_EQ(h.Sim.Eeprom(35), 0x7C);
  // Each failure is used up by exactly one command.
  h.Sim.FailNextCommands(2);
  EXPECT_FALSE(SumsToZero(h.Ask(B({'G', 'K', 0x00}))));
  EXPECT_FALSE(SumsToZero(h.Ask(B({'G', 'K', 0x00}))));
  EXPECT_TRUE(SumsToZero(h.Ask(B({'G', 'K', 0x00}))));
}
