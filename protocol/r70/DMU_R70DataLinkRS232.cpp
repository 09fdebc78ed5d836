#include "protocol/r70/DMU_R70DataLinkRS232.h"

#include "core/Wait.h"
#include "protocol/common/FrameCodec.h"

namespace {
constexpr quint32 cReplyTimeoutMs = 500;
} // namespace

tDMU_R70DataLinkRS232::tDMU_R70DataLinkRS232(std::unique_ptr<iComPort> pComObj, bool pAutoBaud)
    : mComPort(std::move(pComObj)), mAutoBaudByte(pAutoBaud) {
  mComPort->SetOnTriggerAvail(
      [this](iComPort* pCP, quint16 pCount) { RxTriggerAvail(pCP, pCount); });
}

tDMU_R70DataLinkRS232::~tDMU_R70DataLinkRS232() {
  if (!mComPort) return;
  mComPort->SetOnTriggerAvail({});
  try {
    if (mComPort->Open()) mComPort->SetOpen(false);
  } catch (...) {
    // A vanished device may fail to close; the object is released regardless.
  }
}

void tDMU_R70DataLinkRS232::RxTriggerAvail(iComPort* pCP, quint16 pCount) {
  iComPort* port = pCP ? pCP : mComPort.get();
  for (quint16 i = 0; i < pCount; ++i)
    mRxData.append(char(port->ReadByte()));
}

void tDMU_R70DataLinkRS232::Abort() {
  mAborted = true;
  if (!mComPort) return;
  mComPort->SetOnTriggerAvail({});
  try {
    if (mComPort->Open()) mComPort->SetOpen(false);
  } catch (...) {
    // A vanished device may fail to close; nothing more is sent either way.
  }
}

void tDMU_R70DataLinkRS232::SetIp(quint32) {
  throw eDataLink_R70(QStringLiteral("SetIp Adress über RS232 nicht implementiert"));
}

void tDMU_R70DataLinkRS232::Transfer(const QByteArray& pRequest, const QByteArray& pExpectedStart,
                                     QByteArray& pReply, qint32 pDataLength) {
  pReply.clear();
  if (mAborted) throw eDataLink_R70(QStringLiteral("Verbindung beendet"));
  FrameCodec::SendRequest(*mComPort, pRequest, mAutoBaudByte);
  mRxData.clear();
  // Exact length: a stray byte in the same read as the last one spoils the reply.
  const qsizetype wanted = FrameCodec::ReplyLength(pExpectedStart.size(), pDataLength);
  const bool complete =
      WaitUntil([&] { return mAborted || mRxData.size() == wanted; }, cReplyTimeoutMs);
  if (mAborted) throw eDataLink_R70(QStringLiteral("Verbindung beendet"));
  pReply = mRxData;
  if (!complete || !pReply.startsWith(pExpectedStart))
    throw eDataLink_R70(QStringLiteral("Timeout!"));
  if (pDataLength == -2) return;
  if (!FrameCodec::SumValid(pReply)) throw eDataLink_R70(QStringLiteral("Checksumme fehlerhaft"));
  pReply = FrameCodec::Data(pReply, pExpectedStart, pDataLength);
}
