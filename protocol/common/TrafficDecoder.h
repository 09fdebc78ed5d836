#pragma once
// A family's reader of its own traffic. It only looks at bytes: it sends nothing, keeps no
// state and takes any input, however short, long or garbled. The framing is the same for
// both families; each family says what its requests are and what their data bytes mean.
#include "protocol/common/TrafficFrame.h"

#include <QByteArray>
#include <QString>
#include <utility>

class tTrafficDecoder {
public:
  // DataLength of a request that awaits no reply.
  static constexpr int cNoReply = -1;

  // A request as its family reads it, and the reply it expects.
  struct tRequest {
    tRequest() = default;
    tRequest(tTrafficCommand pCommand, QByteArray pStart, int pDataLength, int pCell = -1,
             QString pValue = QString(), int pCode = -1)
        : Command(pCommand), Start(std::move(pStart)), DataLength(pDataLength), Cell(pCell),
          Value(std::move(pValue)), Code(pCode) {}

    tTrafficCommand Command = tcUnknown;
    QByteArray Start;
    int DataLength = cNoReply;
    int Cell = -1;
    QString Value;
    // The parameter byte where the reply's data refers to it, else -1.
    int Code = -1;
  };

  virtual ~tTrafficDecoder() = default;

  // A frame as it was sent, auto-baud byte included.
  tTrafficMeaning DecodeSent(const QByteArray& pFrame) const;
  // Everything received since pRequest (as sent) went out. An empty pRequest means no request
  // was waiting; a request that awaits no reply counts the same: the bytes arrived outside
  // any exchange.
  tTrafficMeaning DecodeReceived(const QByteArray& pFrame, const QByteArray& pRequest) const;

protected:
  // The request of three command bytes; Command stays tcUnknown for one of another family.
  virtual tRequest Recognise(const QByteArray& pCommand) const = 0;
  // The value of a reply to pRequest whose pData holds all its data bytes.
  virtual QString ReplyValue(const tRequest& pRequest, const QByteArray& pData) const = 0;

private:
  tRequest RequestOf(const QByteArray& pCommand) const;
};
