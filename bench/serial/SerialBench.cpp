// Serial access measured: request/reply round trips over a real pseudo-terminal and over the
// in-process port, unpaced (latency of the machinery) and paced at the line rate (share of
// the line's limit that a request/reply exchange reaches), with the CPU share of each.
#include "core/IniFile.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"
#include "sim/PtyAttachment.h"
#include "sim/SimPort.h"
#include "sim/SimScripted.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {
const QByteArray kRequest("PZ\x00\xAE\r", 5);
const QByteArray kReply("pz\x12\x34\x56\x2A\r", 7);

double CpuMs() {
  timespec lTime{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &lTime);
  return lTime.tv_sec * 1000.0 + lTime.tv_nsec / 1.0e6;
}

// Waits as the protocol layers do: blocking passes of the event loop, a 1 ms tick.
bool WaitFor(const std::function<bool()>& pDone, int pBoundMs) {
  QDeadlineTimer lDeadline(pBoundMs);
  QTimer lTick;
  lTick.start(1);
  while (!pDone()) {
    if (lDeadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

struct tResult {
  int Exchanges = 0;
  double MedianUs = 0, P99Us = 0, WallMs = 0, CpuShare = 0;
};

// Request/reply exchanges for pDurationMs on an open port whose peer answers kRequest.
tResult Exchange(iComPort& pPort, int pDurationMs) {
  int lReceived = 0;
  pPort.SetOnTriggerAvail([&](iComPort* pCP, quint16 pCount) {
    for (int i = 0; i < pCount; ++i)
      pCP->ReadByte();
    lReceived += pCount;
  });
  std::vector<double> lTimes;
  QElapsedTimer lWall, lOne;
  lWall.start();
  const double lCpu = CpuMs();
  while (lWall.elapsed() < pDurationMs) {
    lReceived = 0;
    lOne.start();
    pPort.ClearReceive();
    pPort.ClearTransmit();
    pPort.SendBytes(kRequest);
    if (!WaitFor([&] { return lReceived >= kReply.size(); }, 1000)) break;
    lTimes.push_back(lOne.nsecsElapsed() / 1000.0);
  }
  tResult lResult;
  lResult.WallMs = lWall.nsecsElapsed() / 1.0e6;
  lResult.CpuShare = (CpuMs() - lCpu) / lResult.WallMs;
  lResult.Exchanges = int(lTimes.size());
  if (!lTimes.empty()) {
    std::sort(lTimes.begin(), lTimes.end());
    lResult.MedianUs = lTimes[lTimes.size() / 2];
    lResult.P99Us = lTimes[std::min(lTimes.size() - 1, lTimes.size() * 99 / 100)];
  }
  pPort.SetOnTriggerAvail({});
  return lResult;
}

void Print(const char* pName, int pBaud, const tResult& pResult) {
  // Per exchange the line carries request and reply: 10 bit times per byte.
  const double lLineUs = (kRequest.size() + kReply.size()) * 10.0e6 / pBaud;
  const double lRatio =
      pResult.Exchanges > 0 ? lLineUs / (pResult.WallMs * 1000.0 / pResult.Exchanges) : 0;
  std::printf("%-34s %7d %8d %10.1f %10.1f %10.3f %9.1f%%\n", pName, pBaud, pResult.Exchanges,
              pResult.MedianUs, pResult.P99Us, lRatio, pResult.CpuShare * 100);
}

tResult OverPty(int pBaud, bool pPaced, int pDurationMs) {
  QTemporaryDir lDir;
  tIniFile lIni(lDir.filePath("Corvane.ini"));
  tPortMap lMap(lIni);
  lMap.SetDeviceLister([] { return QList<tPortMap::tSerialDevice>(); });
  tSimScripted lInstrument;
  lInstrument.SetReply(kRequest, kReply);
  tPtyAttachment lAttachment(&lInstrument);
  tSimFaults lFaults;
  lFaults.PaceAtBaud = pPaced;
  lAttachment.SetFaults(lFaults);
  lAttachment.Start(lDir.filePath("sim"));
  lMap.SetEntry(1, lDir.filePath("sim"));
  TApdComPort lPort(&lMap);
  lPort.SetComNumber(1);
  lPort.SetBaud(pBaud);
  lPort.SetOpen(true);
  WaitFor([&] { return lAttachment.ProgramBaud() == pBaud; }, 500);
  return Exchange(lPort, pDurationMs);
}

tResult InProcess(int pBaud, bool pPaced, int pDurationMs) {
  tSimScripted lInstrument;
  lInstrument.SetReply(kRequest, kReply);
  tSimPort lPort(&lInstrument);
  tSimFaults lFaults;
  lFaults.PaceAtBaud = pPaced;
  lPort.SetFaults(lFaults);
  lPort.SetBaud(pBaud);
  lPort.SetOpen(true);
  return Exchange(lPort, pDurationMs);
}
} // namespace

int main(int argc, char** argv) {
  QCoreApplication lApp(argc, argv);
  const int lMs = argc > 1 ? std::max(200, atoi(argv[1])) : 2000;
  std::printf("%-34s %7s %8s %10s %10s %10s %10s\n", "request/reply exchange", "baud", "count",
              "median us", "p99 us", "of line", "CPU");
  Print("pty, unpaced", 115200, OverPty(115200, false, lMs));
  Print("pty, paced", 9600, OverPty(9600, true, lMs));
  Print("pty, paced", 115200, OverPty(115200, true, lMs));
  Print("in-process, unpaced", 115200, InProcess(115200, false, lMs));
  Print("in-process, paced", 9600, InProcess(9600, true, lMs));
  Print("in-process, paced", 115200, InProcess(115200, true, lMs));

  // Waiting through silence, as a layer waiting for a reply that never comes.
  tSimScripted lSilent;
  tSimPort lPort(&lSilent);
  lPort.SetOpen(true);
  QElapsedTimer lWall;
  lWall.start();
  const double lCpu = CpuMs();
  WaitFor([] { return false; }, lMs / 2);
  std::printf("%-34s %54.1f%%\n", "waiting 1 ms-tick loop, silence",
              (CpuMs() - lCpu) / (lWall.nsecsElapsed() / 1.0e6) * 100);
  return 0;
}
