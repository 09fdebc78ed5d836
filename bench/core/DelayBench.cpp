// CPU share and overshoot of Delay: it must wait in the event loop, not spin a core.
#include "core/Utils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <ctime>

namespace {
double CpuMSec() {
  timespec lTime{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &lTime);
  return lTime.tv_sec * 1000.0 + lTime.tv_nsec / 1.0e6;
}
} // namespace

int main(int argc, char** argv) {
  QCoreApplication lApp(argc, argv);
  std::printf("%-28s %10s %12s %12s\n", "case", "wall ms", "overshoot ms", "CPU share");
  for (const bool lResponsive : {true, false}) {
    for (const double lMSec : {3.0, 50.0, 100.0, 1000.0}) {
      const int lRounds = lMSec < 100 ? 20 : 3;
      QElapsedTimer lClock;
      lClock.start();
      const double lCpu = CpuMSec();
      for (int i = 0; i < lRounds; ++i)
        Delay(lMSec, lResponsive);
      const double lWall = lClock.nsecsElapsed() / 1.0e6 / lRounds;
      const double lShare = (CpuMSec() - lCpu) / lRounds / lWall;
      char lName[64];
      std::snprintf(lName, sizeof lName, "Delay(%g, %s)", lMSec, lResponsive ? "true" : "false");
      std::printf("%-28s %10.3f %12.3f %11.1f%%\n", lName, lWall, lWall - lMSec, lShare * 100);
    }
  }
  return 0;
}
