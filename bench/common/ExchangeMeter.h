#pragma once
// A port wrapper that times every request/reply exchange a protocol stack runs through it:
// when the request was sent, when the last byte of its reply was handed to the stack, and
// when the next request followed. From these come the program's own turnaround (complete
// reply to next request), the time a request takes to be answered, and how much of the
// wall time the line was busy with answered exchanges (the ratio to the line's limit, which
// counts status and temperature exchanges at their own length).
#include "serial/ComPortIntf.h"

#include <QElapsedTimer>
#include <algorithm>
#include <memory>
#include <vector>

class tExchangeLog {
public:
  explicit tExchangeLog(int pBaud) : mBaud(pBaud) { mClock.start(); }

  // Forgets what was measured: from now on only whole exchanges count.
  void Reset() {
    ReplyToRequestNs.clear();
    RequestToReplyNs.clear();
    ReplyExcessNs.clear();
    LineBusyNs = 0;
    Exchanges = 0;
    Requests = 0;
    mSentAt = -1;
    mStart = mClock.nsecsElapsed();
  }
  double WallSeconds() const { return (mClock.nsecsElapsed() - mStart) / 1e9; }
  // Fraction of the wall time the line carried answered exchanges; 1.0 is the line's limit.
  double LineRatio() const { return LineBusyNs / 1e9 / WallSeconds(); }
  double ExchangesPerSecond() const { return Exchanges / WallSeconds(); }
  static double MedianUs(std::vector<qint64> pNs) {
    if (pNs.empty()) return 0;
    auto lMid = pNs.begin() + std::ptrdiff_t(pNs.size() / 2);
    std::nth_element(pNs.begin(), lMid, pNs.end());
    return *lMid / 1e3;
  }
  double MedianReplyToRequestUs() const { return MedianUs(ReplyToRequestNs); }
  // The mean counts what the line loses; a few long turns weigh in it, unlike in the median.
  double MeanReplyToRequestUs() const {
    if (ReplyToRequestNs.empty()) return 0;
    double lSum = 0;
    for (qint64 lNs : ReplyToRequestNs)
      lSum += double(lNs);
    return lSum / double(ReplyToRequestNs.size()) / 1e3;
  }
  // Request sent to its reply's last byte, less the line time of the exchange.
  double MedianReplyExcessUs() const { return MedianUs(ReplyExcessNs); }

  void Sent(qsizetype pBytes) {
    const qint64 lNow = mClock.nsecsElapsed();
    if (mSentAt >= 0 && mReplyBytes > 0) {
      const qint64 lLineNs = qint64(mRequestBytes + mReplyBytes) * 10'000'000'000LL / mBaud;
      ReplyToRequestNs.push_back(lNow - mLastRx);
      RequestToReplyNs.push_back(mLastRx - mSentAt);
      ReplyExcessNs.push_back(mLastRx - mSentAt - lLineNs);
      LineBusyNs += lLineNs;
      ++Exchanges;
    }
    ++Requests;
    mSentAt = lNow;
    mRequestBytes = pBytes;
    mReplyBytes = 0;
  }
  void Arrived(quint16 pCount) {
    if (pCount == 0) return;
    mLastRx = mClock.nsecsElapsed();
    mReplyBytes += pCount;
  }

  std::vector<qint64> ReplyToRequestNs, RequestToReplyNs, ReplyExcessNs;
  qint64 LineBusyNs = 0;
  qint64 Exchanges = 0;
  qint64 Requests = 0;

private:
  int mBaud;
  QElapsedTimer mClock;
  qint64 mStart = 0;
  qint64 mSentAt = -1;
  qint64 mLastRx = 0;
  qsizetype mRequestBytes = 0;
  qsizetype mReplyBytes = 0;
};

// Forwards every member to the port it wraps and tells the log what passes.
class tMeteredPort : public iComPort {
public:
  tMeteredPort(std::unique_ptr<iComPort> pPort, std::shared_ptr<tExchangeLog> pLog)
      : mPort(std::move(pPort)), mLog(std::move(pLog)) {}
  bool AutoOpen() const override { return mPort->AutoOpen(); }
  void SetAutoOpen(bool p) override { mPort->SetAutoOpen(p); }
  quint16 ComNumber() const override { return mPort->ComNumber(); }
  void SetComNumber(qint64 p) override { mPort->SetComNumber(p); }
  int Baud() const override { return mPort->Baud(); }
  void SetBaud(int p) override { mPort->SetBaud(p); }
  bool RTS() const override { return mPort->RTS(); }
  void SetRTS(bool p) override { mPort->SetRTS(p); }
  bool DTR() const override { return mPort->DTR(); }
  void SetDTR(bool p) override { mPort->SetDTR(p); }
  bool Open() const override { return mPort->Open(); }
  void SetOpen(bool p) override { mPort->SetOpen(p); }
  TTriggerAvailEvent OnTriggerAvail() const override { return mHandler; }
  void SetOnTriggerAvail(TTriggerAvailEvent p) override {
    mHandler = std::move(p);
    if (!mHandler) return mPort->SetOnTriggerAvail({});
    mPort->SetOnTriggerAvail([this](iComPort*, quint16 pCount) {
      mLog->Arrived(pCount);
      const TTriggerAvailEvent lHandler = mHandler;
      lHandler(this, pCount);
    });
  }
  void ClearReceive() override { mPort->ClearReceive(); }
  void ClearTransmit() override { mPort->ClearTransmit(); }
  void SendBytes(const QByteArray& p) override {
    mLog->Sent(p.size());
    mPort->SendBytes(p);
  }
  void SendByte(quint8 p) override { mPort->SendByte(p); }
  quint8 ReadByte() override { return mPort->ReadByte(); }

private:
  std::unique_ptr<iComPort> mPort;
  std::shared_ptr<tExchangeLog> mLog;
  TTriggerAvailEvent mHandler;
};
