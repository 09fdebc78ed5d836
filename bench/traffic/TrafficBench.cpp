// What the traffic tap and the traffic view cost the live exchange. Each row runs the same
// stack on the same line three ways in turn, round after round, so that the machine's load
// falls on all of them alike: the bare port, the port behind the tap (recording always on,
// no view: what every instrument row runs), and the tap with the traffic view open (the
// model taking new frames at its paint rate and the table painting them, offscreen). The
// tapped runs start with a full ring, the state of a row after a while.
//
//   bench_traffic [seconds per run, default 4] [rounds, default 2]
#include "bench/common/BenchLoop.h"
#include "bench/common/ExchangeMeter.h"
#include "bench/common/PacedPtyPeer.h"
#include "bench/common/RealPort.h"
#include "core/DeviceInfo.h"
#include "core/IniFile.h"
#include "protocol/k40/DMU_K40ifc.h"
#include "protocol/r70/DMU_R70ifc.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"
#include "serial/TrafficLog.h"
#include "serial/TrafficTap.h"
#include "sim/SimK40.h"
#include "sim/SimPort.h"
#include "sim/SimR70.h"
#include "traffic/FormTraffic.h"
#include "traffic/TrafficModel.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

enum tMode { moBare, moTap, moView, moCount };
const char* const cModeNames[moCount] = {"bare port", "tap, no view", "tap, view open"};

struct tFigures {
  double Ratio = 0;
  double PerSecond = 0;
  double Cpu = 0;
  std::uint64_t Frames = 0;
};

using tMakePort = std::function<std::unique_ptr<iComPort>()>;

tFigures Measure(bool pK40, const tMakePort& pMakePort, int pBaud, tMode pMode, int pSeconds) {
  auto lExchanges = std::make_shared<tExchangeLog>(pBaud);
  auto lTraffic = std::make_shared<tTrafficLog>();
  std::unique_ptr<iComPort> lPort = pMakePort();
  if (pMode != moBare) {
    // A row that has recorded for a while: the ring is full, so every new frame pushes the
    // oldest out, and an open view holds its full length and drops lines at the top.
    lTraffic->Opened(pBaud);
    const QByteArray lOld = QByteArray::fromHex("505A00560D");
    while (lTraffic->EndSeq() < tTrafficLog::cFrameCapacity) {
      lTraffic->Boundary();
      lTraffic->Sent(lOld.constData(), lOld.size(), pBaud);
    }
    lPort = std::make_unique<tTrafficTap>(std::move(lPort), lTraffic);
  }
  auto lMetered = std::make_unique<tMeteredPort>(std::move(lPort), lExchanges);
  tDeviceInfo lInfo;
  std::unique_ptr<tDMU_K40ifc> lK40;
  std::unique_ptr<tDMU_R70ifc> lR70;
  try {
    if (pK40) {
      lInfo.SetDeviceType(dtK4xP);
      lK40 = std::make_unique<tDMU_K40ifc>(std::move(lMetered));
      lK40->Initialize(&lInfo);
    } else {
      lR70 = std::make_unique<tDMU_R70ifc>(std::move(lMetered), false);
      lR70->Initialize(&lInfo);
    }
  } catch (const eError& e) {
    // A loaded machine may miss a start-up reply; the run is repeated.
    std::printf("  (start-up failed: %s)\n", qPrintable(e.Message()));
    return tFigures();
  }
  std::unique_ptr<TFormTraffic> lView;
  if (pMode == moView) {
    lView = std::make_unique<TFormTraffic>(lTraffic, [] { return QStringLiteral("COM9"); });
    lView->show();
  }
  RunEventsFor(1200); // past the first status and temperature requests
  lExchanges->Reset();
  const std::uint64_t lFrames0 = lTraffic->EndSeq();
  const double lCpu0 = CpuSeconds();
  RunEventsFor(pSeconds * 1000);
  tFigures f;
  f.Ratio = lExchanges->LineRatio();
  f.PerSecond = lExchanges->ExchangesPerSecond();
  f.Cpu = (CpuSeconds() - lCpu0) / lExchanges->WallSeconds();
  f.Frames = lTraffic->EndSeq() - lFrames0;
  if (lView && lView->Model().rowCount() + 200 < int(lTraffic->EndSeq() - lTraffic->FirstSeq()))
    std::printf("  (the view fell behind: %d rows of %llu frames)\n", lView->Model().rowCount(),
                static_cast<unsigned long long>(lTraffic->EndSeq() - lTraffic->FirstSeq()));
  return f;
}

// A port maker over the real port class: each run opens the path afresh.
tMakePort Maker(tRealPort& pReal, const QString& pPath, int pBaud) {
  return [&pReal, pPath, pBaud] { return pReal.Open(pPath, pBaud); };
}

// One line, the modes in turn for pRounds rounds; prints each run and the ratios of the
// modes to the bare port within each round.
void Row(const char* pName, bool pK40, const tMakePort& pMakePort, int pBaud, bool pWithView,
         int pSeconds, int pRounds) {
  const int lModes = pWithView ? moCount : moView;
  for (int r = 1; r <= pRounds; ++r) {
    tFigures lF[moCount];
    for (int m = 0; m < lModes; ++m) {
      for (int lTry = 0; lTry < 3 && lF[m].Ratio <= 0; ++lTry)
        lF[m] = Measure(pK40, pMakePort, pBaud, tMode(m), pSeconds);
      std::printf("%-34s %6d  round %d  %-15s %7.1f/s  ratio %5.3f  cpu %5.1f %%  %6llu frames\n",
                  pName, pBaud, r, cModeNames[m], lF[m].PerSecond, lF[m].Ratio, lF[m].Cpu * 100,
                  static_cast<unsigned long long>(lF[m].Frames));
    }
    std::printf("%-34s %6d  round %d  tap/bare rate %.3f cpu %+.2f points", pName, pBaud, r,
                lF[moTap].Ratio / lF[moBare].Ratio, (lF[moTap].Cpu - lF[moBare].Cpu) * 100);
    if (pWithView)
      std::printf("; view open/closed rate %.3f cpu %+.2f points",
                  lF[moView].Ratio / lF[moTap].Ratio, (lF[moView].Cpu - lF[moTap].Cpu) * 100);
    std::printf("\n");
  }
}

} // namespace

int main(int argc, char** argv) {
  const int lSeconds = argc > 1 ? qMax(1, atoi(argv[1])) : 4;
  const int lRounds = argc > 2 ? qMax(1, atoi(argv[2])) : 2;
  // The peers are forked before the application exists.
  tPacedPtyPeer lR70Fast([] { return R70PeerAt(115200); }, 115200);
  tPacedPtyPeer lR70Slow([] { return R70PeerAt(9600); }, 9600);
  tPacedPtyPeer lK40([] { return new tSimK40(tSimK40::tModel::K40P); }, 9600);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication lApp(argc, argv);
  std::printf("Live exchange with and without the traffic tap and view: exchanges per second, "
              "ratio to the line's limit, CPU share of this process; %d s per run, %d rounds\n",
              lSeconds, lRounds);
  {
    tRealPort lReal;
    Row("R70 pty, real port class", false, Maker(lReal, lR70Fast.SlavePath(), 115200), 115200, true,
        lSeconds, lRounds);
  }
  {
    tSimR70 lSim(tSimR70::tModel::R7x, 115200);
    const tMakePort lMaker = [&]() -> std::unique_ptr<iComPort> {
      auto lPort = std::make_unique<tSimPort>(&lSim);
      lPort->SetBaud(115200);
      lPort->SetOpen(true);
      return lPort;
    };
    Row("R70 in-process simulated port", false, lMaker, 115200, true, lSeconds, lRounds);
  }
  {
    tRealPort lReal;
    Row("R70 pty, real port class", false, Maker(lReal, lR70Slow.SlavePath(), 9600), 9600, false,
        lSeconds, lRounds);
  }
  {
    tRealPort lReal;
    Row("K40 pty, real port class", true, Maker(lReal, lK40.SlavePath(), 9600), 9600, false,
        lSeconds, lRounds);
  }
  return 0;
}
