#pragma once
// The data link of the R70 protocol as the command layer sees it: one request out, the data
// bytes of its reply back.
#include "core/Error.h"

#include <QByteArray>
#include <QtGlobal>

CORVANE_DECLARE_ERROR(eDataLink_R70)

class iR70_DataLink {
public:
  virtual ~iR70_DataLink() = default;

  // Sends pRequest framed, waits for a reply starting with pExpectedStart followed by
  // pDataLength data bytes, checksum and terminator, and leaves the data bytes in pReply.
  // Data length -2: no checksum test, no trimming; with an empty start no wait at all.
  virtual void Transfer(const QByteArray& pRequest, const QByteArray& pExpectedStart,
                        QByteArray& pReply, qint32 pDataLength) = 0;
  // Two members the interface carries for other link variants; nothing here calls them.
  virtual qint32 Reserved() = 0;
  virtual qint32 Reserved(quint32 pValue) = 0;
  virtual void SetIp(quint32 pAddress) = 0;
  // Closes the link for good: a transfer waiting now and every later one fail at once. For
  // an instrument that is being removed.
  virtual void Abort() {}
};
