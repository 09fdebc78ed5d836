#include "protocol/common/FrameCodec.h"

#include "core/Utils.h"

#include <QtEndian>
#include <cstring>

namespace FrameCodec {

QByteArray Bytes(std::initializer_list<int> pBytes) {
  QByteArray result;
  for (int b : pBytes)
    result.append(char(b));
  return result;
}

float SingleOf(const QByteArray& pData, int pOffset) {
  const quint32 bits = qFromLittleEndian<quint32>(pData.constData() + pOffset);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

QByteArray Request(const QByteArray& pCommand, bool pAutoBaud) {
  QByteArray lFrame;
  lFrame.reserve(pCommand.size() + 3);
  if (pAutoBaud) lFrame.append(char(cAutoBaudByte));
  lFrame.append(pCommand);
  lFrame.append(char(CalcChecksum(pCommand)));
  lFrame.append(char(cTerminator));
  return lFrame;
}

void SendRequest(iComPort& pPort, const QByteArray& pCommand, bool pAutoBaud) {
  pPort.ClearReceive();
  pPort.ClearTransmit();
  pPort.SendBytes(Request(pCommand, pAutoBaud));
}

bool SumValid(const QByteArray& pReply) {
  return CalcChecksum(pReply) == cValidReplySum;
}

tReply Judge(const QByteArray& pReceived, const QByteArray& pStart, qsizetype pDataLength) {
  const qsizetype lLength = ReplyLength(pStart.size(), pDataLength);
  if (pReceived.size() < lLength) return tReply::Incomplete;
  if (pReceived.size() > lLength) return tReply::WrongLength;
  if (!pReceived.startsWith(pStart)) return tReply::WrongStart;
  return SumValid(pReceived) ? tReply::Valid : tReply::WrongSum;
}

QByteArray Data(const QByteArray& pReply, const QByteArray& pStart, qsizetype pDataLength) {
  return pReply.mid(pStart.size(), pDataLength);
}

} // namespace FrameCodec
