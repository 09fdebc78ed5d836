#pragma once
// The frame both instrument protocols share. A request is the command bytes, their
// checksum and 0x0D, after the auto-baud byte 0x55 where the instrument needs one to find the
// rate; a reply is the expected start, the data bytes, a checksum and 0x0D, and all its bytes
// add up to 0xF3 (the checksum of a lone 0x0D). The simulators encode on their own, so that a
// fault here cannot hide behind the same fault there.
#include "serial/ComPortIntf.h"

#include <QByteArray>
#include <initializer_list>

namespace FrameCodec {

constexpr quint8 cAutoBaudByte = 0x55;
constexpr quint8 cTerminator = 0x0D;
constexpr quint8 cValidReplySum = 0xF3;

// Command or start bytes written as numbers.
QByteArray Bytes(std::initializer_list<int> pBytes);
// The IEEE single that the four data bytes from pOffset on hold, least significant byte first.
float SingleOf(const QByteArray& pData, int pOffset = 0);
// The request as it goes on the line.
QByteArray Request(const QByteArray& pCommand, bool pAutoBaud);
// Empties both buffers of the port, so that nothing of an earlier exchange is taken for the
// reply, and sends the request.
void SendRequest(iComPort& pPort, const QByteArray& pCommand, bool pAutoBaud);

// Bytes of a whole reply with pStartLength start bytes and pDataLength data bytes.
constexpr qsizetype ReplyLength(qsizetype pStartLength, qsizetype pDataLength) {
  return pStartLength + pDataLength + 2;
}
// True when the bytes of a whole reply add up as they must.
bool SumValid(const QByteArray& pReply);

// A reply as received, judged against what the request expects.
enum class tReply { Incomplete, Valid, WrongStart, WrongLength, WrongSum };
// pReceived holds everything received since the request. Longer than the reply is
// WrongLength: a stray byte in the same read spoils it.
tReply Judge(const QByteArray& pReceived, const QByteArray& pStart, qsizetype pDataLength);
// The data bytes of a valid reply.
QByteArray Data(const QByteArray& pReply, const QByteArray& pStart, qsizetype pDataLength);

} // namespace FrameCodec
