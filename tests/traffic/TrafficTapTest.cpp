// The tap on a device frame's ports: what the view shows of a family search, of an
// instrument's live traffic and of line faults, in-process and through a pseudo-terminal
// against the simulators, compared with what the simulator itself logged.
#include "TrafficTestSupport.h"

#include "core/IniFile.h"
#include "protocol/common/FrameCodec.h"
#include "serial/PortMap.h"
#include "sim/PtyAttachment.h"
#include "sim/SimK40.h"
#include "sim/SimR70.h"
#include "tests/pages/FrameTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

using namespace traffictest;

namespace {

constexpr int cComNr = 7;

class TrafficTap : public frametest::tFrameFixture {
protected:
  // An R70-family instrument behind the maker's bridge: its probes start at once.
  void BehindBridge() { UseBridges({{QStringLiteral("HALVEX_R-7X_0815"), cComNr}}); }
  std::unique_ptr<TFrameDevice> Connected(int pBoundMs) {
    auto lFrame = std::make_unique<TFrameDevice>();
    lFrame->Initialize(cComNr);
    lFrame->Connect();
    EXPECT_TRUE(WaitFor([&] { return lFrame->DeviceStatus() == dsConnected; }, pBoundMs))
        << "status " << int(lFrame->DeviceStatus());
    return lFrame;
  }
};

// The lines of a log whose meaning contains pText.
std::vector<tTrafficLine> Containing(const std::vector<tTrafficLine>& pLines,
                                     const QString& pText) {
  std::vector<tTrafficLine> lFound;
  for (const tTrafficLine& l : pLines)
    if (l.Meaning.contains(pText)) lFound.push_back(l);
  return lFound;
}

QStringList Described(const std::vector<tTrafficLine>& pLines) {
  QStringList lTexts;
  for (const tTrafficLine& l : pLines)
    lTexts << tTrafficReader::HexText(l.Bytes) + " | " + l.Meaning + " | " + l.Phase;
  return lTexts;
}

} // namespace

TEST_F(TrafficTap, shows_an_r70_search_from_its_first_probe_and_then_the_live_values) {
  tSimR70 lSim(tSimR70::tModel::R7x);
  tSimPortFactory lPorts(&lSim);
  UsePorts(lPorts);
  BehindBridge();
  auto lFrame = Connected(10000);
  PumpFor(300);
  const std::vector<tTrafficLine> lLines = Lines(*lFrame->TrafficLog());
  ASSERT_GE(lLines.size(), 8u);

  EXPECT_EQ(lLines[0].Kind, tkOpened);
  EXPECT_EQ(lLines[0].Meaning, "Schnittstelle geöffnet");
  EXPECT_EQ(lLines[0].Baud, 9600);
  // The first probe: up to three poll-mode requests with the auto-baud byte, which wake a
  // sleeping instrument and go unanswered by an awake one, then the range start.
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(lLines[i].Bytes, FrameCodec::Request(QByteArray("SO\xFF", 3), true));
    EXPECT_EQ(lLines[i].Meaning, "Poll-Mode einstellen (SO), Autobaud-Byte, Prüfsumme gut; "
                                 "keine Antwort nach 100 ms");
    EXPECT_EQ(lLines[i].Phase, "Suche, Versuch 1 (R70)");
  }
  EXPECT_EQ(lLines[4].Meaning, "Messbereichsanfang lesen (MA), Autobaud-Byte, Prüfsumme gut");
  EXPECT_EQ(lLines[4].Phase, "Suche, Versuch 1 (R70)");
  EXPECT_EQ(lLines[5].Kind, tkReceived);
  EXPECT_TRUE(lLines[5].Meaning.startsWith("Messbereichsanfang lesen (MA) = "))
      << qPrintable(lLines[5].Meaning);
  EXPECT_TRUE(lLines[5].Meaning.endsWith(", Prüfsumme gut")) << qPrintable(lLines[5].Meaning);

  // Then the page reads the instrument and polls its live values, every frame sound.
  const auto lPressure = Containing(lLines, "Druck lesen (PZ)");
  EXPECT_GE(lPressure.size(), 4u);
  for (std::size_t i = 4; i < lLines.size(); ++i)
    EXPECT_FALSE(lLines[i].Error) << qPrintable(lLines[i].Meaning);
  EXPECT_EQ(lLines.back().Phase, "R70");
  // Time runs on from the opening and never backwards.
  for (std::size_t i = 1; i < lLines.size(); ++i)
    EXPECT_GE(lLines[i].SinceOpenMs, lLines[i - 1].SinceOpenMs);
}

// An instrument of the K40 family on an ordinary port: nothing for 5 s, then the three R70
// tries go unanswered, "TYP" too, and the poll-mode request of try 5 finds it.
TEST_F(TrafficTap, numbers_every_try_of_the_family_search) {
  tSimK40 lSim(tSimK40::tModel::K40P);
  tSimPortFactory lPorts(&lSim);
  UsePorts(lPorts);
  auto lFrame = Connected(15000);
  const std::vector<tTrafficLine> lLines = Lines(*lFrame->TrafficLog());
  ASSERT_GE(lLines.size(), 3u);
  // Nothing went out before the first probe, 5 s after the opening.
  ASSERT_EQ(lLines[1].Kind, tkSent);
  EXPECT_GE(lLines[1].SinceOpenMs, 5000.0);

  QStringList lPhases;
  for (const tTrafficLine& l : lLines)
    if (l.Kind == tkSent && !l.Phase.isEmpty() && !lPhases.contains(l.Phase)) lPhases << l.Phase;
  EXPECT_EQ(lPhases, QStringList({"Suche, Versuch 1 (R70)", "Suche, Versuch 2 (R70)",
                                  "Suche, Versuch 3 (R70)", "Suche, Versuch 4 (K40)",
                                  "Suche, Versuch 5 (K40)", "K40"}));
  const auto lType = Containing(lLines, "Typ abfragen (TYP)");
  ASSERT_EQ(lType.size(), 1u) << qPrintable(Described(lLines).join('\n'));
  EXPECT_EQ(lType[0].Meaning, "Typ abfragen (TYP), Prüfsumme gut; keine Antwort nach 100 ms");
  EXPECT_TRUE(lType[0].Error);
  // The try that found it: its request answered soundly.
  bool lFound = false;
  for (std::size_t i = 0; i + 1 < lLines.size(); ++i)
    if (lLines[i].Phase == "Suche, Versuch 5 (K40)" && lLines[i].Kind == tkSent) {
      EXPECT_EQ(lLines[i + 1].Meaning, "Poll-Mode einstellen (SO), Prüfsumme gut");
      lFound = true;
    }
  EXPECT_TRUE(lFound) << qPrintable(Described(lLines).join('\n'));
}

// Faults that start while the live values run show on the lines they spoil.
TEST_F(TrafficTap, shows_a_corrupted_checksum_a_stray_byte_and_silence_as_such) {
  struct tCase {
    const char* Name;
    tSimFaults Faults;
    const char* Expected;
    tTrafficKind Kind;
  };
  tSimFaults lCorrupt, lStray, lSilent;
  lCorrupt.CorruptChecksum = true;
  lStray.StrayLeadingByte = true;
  lSilent.Silent = true;
  const tCase lCases[] = {
      {"corrupted checksum", lCorrupt, "Prüfsumme falsch", tkReceived},
      {"stray byte", lStray, "1 fremde Bytes davor", tkReceived},
      {"silence", lSilent, "keine Antwort nach 1000 ms", tkSent},
  };
  for (const tCase& c : lCases) {
    SCOPED_TRACE(c.Name);
    tSimR70 lSim(tSimR70::tModel::R7x);
    tSimPortFactory lPorts(&lSim);
    UsePorts(lPorts);
    BehindBridge();
    auto lFrame = Connected(10000);
    const std::uint64_t lBefore = lFrame->TrafficLog()->EndSeq();
    lPorts.SetFaults(c.Faults);
    PumpFor(1300);
    std::vector<tTrafficLine> lAfter;
    for (const tTrafficLine& l : Lines(*lFrame->TrafficLog()))
      if (l.Seq >= lBefore) lAfter.push_back(l);
    const auto lFaulty = Containing(lAfter, QString::fromUtf8(c.Expected));
    ASSERT_FALSE(lFaulty.empty()) << qPrintable(Described(lAfter).join('\n'));
    EXPECT_EQ(lFaulty.front().Kind, c.Kind);
    EXPECT_TRUE(lFaulty.front().Error);
    lFrame.reset();
    PumpFor(20);
  }
}

// The real port on a pseudo-terminal: the frames the view has are the frames the simulator
// logged at its end of the line, in the same order with the same bytes.
TEST_F(TrafficTap, over_a_pseudo_terminal_holds_the_same_frames_as_the_simulators_log) {
  QTemporaryDir lDir;
  ASSERT_TRUE(lDir.isValid());
  tIniFile lIni(lDir.path() + "/ports.ini");
  tPortMap lMap(lIni);
  lMap.SetDeviceLister([] { return QList<tPortMap::tSerialDevice>{}; });
  tSimR70 lSim(tSimR70::tModel::R7x);
  tPtyAttachment lAttachment(&lSim);
  QString lError;
  ASSERT_TRUE(lAttachment.SetLogFile(lDir.path() + "/sim.log", &lError)) << qPrintable(lError);
  ASSERT_TRUE(lAttachment.Start(lDir.path() + "/r70", &lError)) << qPrintable(lError);
  ASSERT_TRUE(lMap.SetEntry(cComNr, lAttachment.LinkPath()));
  TFrameDevice::SetComPortFactory(lMap.ComPortFactory());
  BehindBridge();

  auto lFrame = Connected(10000);
  PumpFor(500);
  lFrame->Disconnect();
  PumpFor(100);
  const std::shared_ptr<tTrafficLog> lLog = lFrame->TrafficLog();
  lFrame.reset();
  lAttachment.Stop();

  // The simulator logs from the instrument's side: what it received (RX) the program sent.
  QFile lFile(lDir.path() + "/sim.log");
  ASSERT_TRUE(lFile.open(QIODevice::ReadOnly));
  QStringList lSimWire;
  for (const QByteArray& lRaw : lFile.readAll().split('\n')) {
    const QList<QByteArray> lFields = lRaw.trimmed().split(' ');
    if (lFields.size() < 4) continue;
    const QString lDirection = lFields[1] == "RX" ? "TX" : "RX";
    lSimWire << lDirection + " " + QString::fromLatin1(lRaw.trimmed().split(' ').mid(3).join(' '));
  }
  // The simulator cuts received bytes at every 0x0D; the view at each request. Runs of one
  // direction are compared as they went over the line.
  const auto lJoined = [](const QStringList& pWire) {
    QStringList lRuns;
    for (const QString& lFrameText : pWire) {
      if (!lRuns.isEmpty() && lRuns.last().left(2) == lFrameText.left(2))
        lRuns.last() += lFrameText.mid(2);
      else
        lRuns << lFrameText;
    }
    return lRuns;
  };
  const QStringList lViewWire = Wire(Lines(*lLog));
  ASSERT_GE(lViewWire.size(), 20);
  QStringList lSimRuns = lJoined(lSimWire);
  QStringList lViewRuns = lJoined(lViewWire);
  // A reply still on its way when the port closed reached the simulator's log, whole or in
  // part, but not the program.
  if (lSimRuns.size() == lViewRuns.size() + 1 && lSimRuns.last().startsWith("RX"))
    lSimRuns.removeLast();
  if (lSimRuns.size() == lViewRuns.size() && lViewRuns.last().startsWith("RX") &&
      lSimRuns.last().startsWith(lViewRuns.last()))
    lSimRuns.last() = lViewRuns.last();
  EXPECT_EQ(lViewRuns, lSimRuns);
  const std::vector<tTrafficLine> lLines = Lines(*lLog);
  EXPECT_EQ(lLines.front().Kind, tkOpened);
  EXPECT_EQ(lLines.back().Kind, tkClosed);
}

// The terminal goes away while the live values run: the view says the line was lost.
TEST_F(TrafficTap, marks_a_line_lost_on_a_pseudo_terminal) {
  QTemporaryDir lDir;
  tIniFile lIni(lDir.path() + "/ports.ini");
  tPortMap lMap(lIni);
  lMap.SetDeviceLister([] { return QList<tPortMap::tSerialDevice>{}; });
  tSimR70 lSim(tSimR70::tModel::R7x);
  tPtyAttachment lAttachment(&lSim);
  QString lError;
  ASSERT_TRUE(lAttachment.Start(lDir.path() + "/r70", &lError)) << qPrintable(lError);
  ASSERT_TRUE(lMap.SetEntry(cComNr, lAttachment.LinkPath()));
  TFrameDevice::SetComPortFactory(lMap.ComPortFactory());
  BehindBridge();
  auto lFrame = Connected(10000);
  lAttachment.Stop();
  ASSERT_TRUE(WaitFor([&] { return lFrame->DeviceStatus() == dsDisconnected; }, 5000));
  PumpFor(50);
  const auto lLines = Lines(*lFrame->TrafficLog());
  const auto lLost = Containing(lLines, "Verbindung zum Gerät verloren");
  ASSERT_EQ(lLost.size(), 1u) << qPrintable(Described(lLines).join('\n'));
  EXPECT_TRUE(lLost.front().Error);
  // Nothing is recorded as sent once the port had closed itself.
  EXPECT_NE(lLines.back().Kind, tkSent);
}
