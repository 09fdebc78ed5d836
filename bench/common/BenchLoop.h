#pragma once
// What every benchmark measures with: this process's CPU time, and running the event loop for
// a while without spinning (a 50 ms timer wakes the wait so the deadline is seen).
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <sys/resource.h>

inline double CpuSeconds() {
  rusage lUsage{};
  getrusage(RUSAGE_SELF, &lUsage);
  return double(lUsage.ru_utime.tv_sec + lUsage.ru_stime.tv_sec) +
         double(lUsage.ru_utime.tv_usec + lUsage.ru_stime.tv_usec) / 1e6;
}

inline void RunEventsFor(int pMs) {
  QDeadlineTimer lDeadline(pMs);
  QTimer lWake;
  lWake.start(50);
  while (!lDeadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// An R70 live exchange: "PZ", 0x00, checksum, 0x0D out; "P", four bytes, one byte, checksum,
// 0x0D back. LineLimit is how many of them the line carries a second at 10 bits a byte.
constexpr int cPzRequestBytes = 5;
constexpr int cPzReplyBytes = 8;
inline double LineLimit(int pBaud) {
  return pBaud / ((cPzRequestBytes + cPzReplyBytes) * 10.0);
}
