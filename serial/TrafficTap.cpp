#include "serial/TrafficTap.h"

#include "serial/TrafficLog.h"

#include <algorithm>

namespace {
// What a port keeps for a reader that does not read (the receive buffer of the port
// component); older bytes are dropped, as a full buffer drops them.
constexpr std::size_t cReceiveBuffer = 4096;
} // namespace

tTrafficTap::tTrafficTap(std::unique_ptr<iComPort> pInner, std::shared_ptr<tTrafficLog> pLog)
    : mInner(std::move(pInner)), mLog(std::move(pLog)) {
  mInner->SetOnTriggerAvail(
      [this](iComPort* pCP, quint16 pCount) { InnerTriggerAvail(pCP, pCount); });
  mOpenSeen = mInner->Open();
}

tTrafficTap::~tTrafficTap() {
  try {
    mInner->SetOnTriggerAvail({});
    // The inner port closes as it goes; the log hears it here.
    if (mOpenSeen) mLog->Closed(!mInner->Open());
  } catch (...) {
    // A port that fails while going away is released all the same.
  }
}

void tTrafficTap::CheckLost() {
  if (mOpenSeen && !mInner->Open()) {
    mOpenSeen = false;
    mLog->Closed(true);
  }
}

void tTrafficTap::SetBaud(int pValue) {
  const int lBefore = mInner->Baud();
  mInner->SetBaud(pValue);
  if (pValue != lBefore) mLog->Boundary();
}

void tTrafficTap::SetOpen(bool pValue) {
  if (pValue) {
    mInner->SetOpen(true);
    if (mInner->Open() && !mOpenSeen) {
      mOpenSeen = true;
      mUnread.clear();
      mReadPos = 0;
      mLog->Opened(mInner->Baud());
    }
    return;
  }
  const bool lWasOpen = mInner->Open();
  mInner->SetOpen(false);
  mUnread.clear();
  mReadPos = 0;
  if (mOpenSeen) {
    mOpenSeen = false;
    mLog->Closed(!lWasOpen);
  }
}

void tTrafficTap::ClearReceive() {
  mUnread.clear();
  mReadPos = 0;
  mLog->Boundary();
  mInner->ClearReceive();
}

void tTrafficTap::ClearTransmit() {
  mLog->Boundary();
  mInner->ClearTransmit();
}

void tTrafficTap::Send(const char* pBytes, qsizetype pCount) {
  CheckLost();
  // Bytes for a closed port never reach the line.
  if (mInner->Open()) mLog->Sent(pBytes, pCount, mInner->Baud());
}

void tTrafficTap::SendBytes(const QByteArray& pBytes) {
  Send(pBytes.constData(), pBytes.size());
  mInner->SendBytes(pBytes);
}

void tTrafficTap::SendByte(quint8 pByte) {
  const char lByte = char(pByte);
  Send(&lByte, 1);
  mInner->SendByte(pByte);
}

quint8 tTrafficTap::ReadByte() {
  if (mReadPos >= mUnread.size()) return 0;
  const quint8 lByte = quint8(mUnread[mReadPos++]);
  if (mReadPos == mUnread.size()) {
    mUnread.clear();
    mReadPos = 0;
  }
  return lByte;
}

void tTrafficTap::InnerTriggerAvail(iComPort* pCP, quint16 pCount) {
  mChunk.resize(pCount);
  for (quint16 i = 0; i < pCount; ++i)
    mChunk[i] = char(pCP->ReadByte());
  if (pCount > 0) {
    mLog->Received(mChunk.data(), pCount, mInner->Baud());
    mUnread.insert(mUnread.end(), mChunk.begin(), mChunk.end());
    if (mUnread.size() - mReadPos > cReceiveBuffer) {
      mUnread.erase(mUnread.begin(), mUnread.end() - qsizetype(cReceiveBuffer));
      mReadPos = 0;
    }
  }
  if (!FOnTriggerAvail) return;
  // A copy: the handler may replace itself or release this port; nothing here is touched
  // after it ran.
  const TTriggerAvailEvent lHandler = FOnTriggerAvail;
  const quint16 lWaiting = quint16(std::min<std::size_t>(mUnread.size() - mReadPos, 65535));
  DeliverTriggerAvail(lHandler, this, lWaiting);
}
