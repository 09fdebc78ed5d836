#pragma once
// Shared pieces of the R70 protocol tests: byte strings, an R70 instrument on an in-process
// port, and a port wrapper that counts how often it is closed and released.
#include "serial/ComPortIntf.h"
#include "sim/SimPort.h"
#include "sim/SimR70.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <memory>

namespace r70test {

inline QByteArray B(std::initializer_list<int> pBytes) {
  QByteArray r;
  for (int b : pBytes)
    r.append(char(b));
  return r;
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

// How often a port was closed and destroyed, kept outside the port so it outlives it.
struct tPortCounts {
  int Closed = 0;
  int Destroyed = 0;
};

// Forwards every member to a simulated port and counts closing and release.
class tCountingPort : public iComPort {
public:
  tCountingPort(std::unique_ptr<tSimPort> pInner, std::shared_ptr<tPortCounts> pCounts)
      : mInner(std::move(pInner)), mCounts(std::move(pCounts)) {}
  ~tCountingPort() override { ++mCounts->Destroyed; }

  bool AutoOpen() const override { return mInner->AutoOpen(); }
  void SetAutoOpen(bool p) override { mInner->SetAutoOpen(p); }
  quint16 ComNumber() const override { return mInner->ComNumber(); }
  void SetComNumber(qint64 p) override { mInner->SetComNumber(p); }
  int Baud() const override { return mInner->Baud(); }
  void SetBaud(int p) override { mInner->SetBaud(p); }
  bool RTS() const override { return mInner->RTS(); }
  void SetRTS(bool p) override { mInner->SetRTS(p); }
  bool DTR() const override { return mInner->DTR(); }
  void SetDTR(bool p) override { mInner->SetDTR(p); }
  bool Open() const override { return mInner->Open(); }
  void SetOpen(bool p) override {
    if (!p && mInner->Open()) ++mCounts->Closed;
    mInner->SetOpen(p);
  }
  TTriggerAvailEvent OnTriggerAvail() const override { return mHandler; }
  void SetOnTriggerAvail(TTriggerAvailEvent p) override {
    mHandler = std::move(p);
    if (!mHandler) {
      mInner->SetOnTriggerAvail({});
      return;
    }
    // The handler sees this wrapper as the port, as it would see the real one.
    mInner->SetOnTriggerAvail([this](iComPort*, quint16 pCount) {
      const TTriggerAvailEvent handler = mHandler;
      if (handler) handler(this, pCount);
    });
  }
  void ClearReceive() override { mInner->ClearReceive(); }
  void ClearTransmit() override { mInner->ClearTransmit(); }
  void SendBytes(const QByteArray& p) override { mInner->SendBytes(p); }
  void SendByte(quint8 p) override { mInner->SendByte(p); }
  quint8 ReadByte() override { return mInner->ReadByte(); }

  tSimPort* Inner() const { return mInner.get(); }

private:
  std::unique_ptr<tSimPort> mInner;
  std::shared_ptr<tPortCounts> mCounts;
  TTriggerAvailEvent mHandler;
};

// An R70 instrument behind an open in-process port at the given rate. The port is handed to
// the protocol stack with Take(); Port() keeps a reference for faults and the byte log.
struct tR70Bench {
  tSimR70 Sim;
  std::shared_ptr<tPortCounts> Counts = std::make_shared<tPortCounts>();
  std::unique_ptr<tCountingPort> Owned;
  tSimPort* Port = nullptr;

  explicit tR70Bench(tSimR70::tModel pModel = tSimR70::tModel::R7x, int pBaud = 9600,
                     bool pNeedAutoBaud = false, bool pPaced = false)
      : Sim(pModel, pBaud, pNeedAutoBaud) {
    auto port = std::make_unique<tSimPort>(&Sim);
    Port = port.get();
    tSimFaults faults;
    // Unpaced by default: the protocol tests are about bytes, not about the line's speed.
    faults.PaceAtBaud = pPaced;
    Port->SetFaults(faults);
    Port->SetBaud(pBaud);
    Port->SetOpen(true);
    Owned = std::make_unique<tCountingPort>(std::move(port), Counts);
  }
  std::unique_ptr<iComPort> Take() { return std::move(Owned); }
  void SetFaults(const std::function<void(tSimFaults&)>& pChange) {
    tSimFaults f = Port->Faults();
    pChange(f);
    Port->SetFaults(f);
  }
};

} // namespace r70test
