#pragma once
// A port that records its traffic: it wraps the port made for a connection attempt (a real
// port, a simulated one, any line) and writes every byte sent and received into the
// instrument's traffic log on its way. Wrapping rather than hooking into each port class
// keeps one recorder for all of them.
//
// It keeps its own data-available handler on the inner port for its whole life and reads
// every byte as it arrives, so bytes that come while no protocol layer listens are recorded
// too; the protocol layers read from what it read, through the same notification contract.
#include "serial/ComPortIntf.h"

#include <memory>
#include <vector>

class tTrafficLog;

class tTrafficTap : public iComPort {
public:
  tTrafficTap(std::unique_ptr<iComPort> pInner, std::shared_ptr<tTrafficLog> pLog);
  ~tTrafficTap() override;
  tTrafficTap(const tTrafficTap&) = delete;
  tTrafficTap& operator=(const tTrafficTap&) = delete;

  iComPort* Inner() const { return mInner.get(); }
  tTrafficLog& Log() const { return *mLog; }

  bool AutoOpen() const override { return mInner->AutoOpen(); }
  void SetAutoOpen(bool pValue) override { mInner->SetAutoOpen(pValue); }
  quint16 ComNumber() const override { return mInner->ComNumber(); }
  void SetComNumber(qint64 pValue) override { mInner->SetComNumber(pValue); }
  int Baud() const override { return mInner->Baud(); }
  void SetBaud(int pValue) override;
  bool RTS() const override { return mInner->RTS(); }
  void SetRTS(bool pValue) override { mInner->SetRTS(pValue); }
  bool DTR() const override { return mInner->DTR(); }
  void SetDTR(bool pValue) override { mInner->SetDTR(pValue); }
  bool Open() const override { return mInner->Open(); }
  void SetOpen(bool pValue) override;
  TTriggerAvailEvent OnTriggerAvail() const override { return FOnTriggerAvail; }
  void SetOnTriggerAvail(TTriggerAvailEvent pHandler) override {
    FOnTriggerAvail = std::move(pHandler);
  }
  void ClearReceive() override;
  void ClearTransmit() override;
  void SendBytes(const QByteArray& pBytes) override;
  void SendByte(quint8 pByte) override;
  quint8 ReadByte() override;

private:
  void InnerTriggerAvail(iComPort* pCP, quint16 pCount);
  void Send(const char* pBytes, qsizetype pCount);
  // Notices a port that closed itself (a lost device) since the last look.
  void CheckLost();

  std::unique_ptr<iComPort> mInner;
  std::shared_ptr<tTrafficLog> mLog;
  TTriggerAvailEvent FOnTriggerAvail;
  // Received and not yet read by the protocol layer.
  std::vector<char> mUnread;
  std::size_t mReadPos = 0;
  std::vector<char> mChunk;
  bool mOpenSeen = false;
};
