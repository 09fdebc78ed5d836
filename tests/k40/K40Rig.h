#pragma once
// A K40-family instrument on an in-process simulated port, opened at 9600 bit/s, for the
// protocol tests. The port is handed to the layer under test; the rig keeps a raw view of it
// to set line faults and to read what the instrument received.
#include "sim/SimK40.h"
#include "sim/SimPort.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

struct tK40Rig {
  explicit tK40Rig(tSimK40::tModel pModel = tSimK40::tModel::K40P) : Sim(pModel) {}

  std::unique_ptr<iComPort> OpenPort(const tSimFaults& pFaults = {}) {
    auto port = std::make_unique<tSimPort>(&Sim);
    port->SetFaults(pFaults);
    port->SetComNumber(5);
    port->SetBaud(9600);
    port->SetOpen(true);
    Port = port.get();
    return port;
  }
  void SetFaults(const tSimFaults& pFaults) {
    if (Port) Port->SetFaults(pFaults);
  }

  tSimK40 Sim;
  QPointer<tSimPort> Port;
};

inline QByteArray Bytes(std::initializer_list<int> pList) {
  QByteArray b;
  for (int v : pList)
    b.append(char(quint8(v)));
  return b;
}

inline bool WaitUntil(const std::function<bool()>& pDone, int pBoundMs = 3000) {
  QDeadlineTimer deadline(pBoundMs);
  QTimer tick;
  tick.start(1);
  while (!pDone()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

inline void PumpMs(int pMs) {
  WaitUntil([] { return false; }, pMs);
}
