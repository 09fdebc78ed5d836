#pragma once
// A minimal instrument for tests of the attachments: it collects requests up to their 0x0D
// and answers each with the reply a test gave for it (or with its request, when echoing).
#include "sim/SimInstrument.h"

#include <QByteArray>
#include <QHash>
#include <QList>

class tSimScripted : public tSimInstrument {
  Q_OBJECT
public:
  explicit tSimScripted(QObject* pParent = nullptr) : tSimInstrument(pParent) {}

  // The whole request including its 0x0D, and the whole reply frame.
  void SetReply(const QByteArray& pRequest, const QByteArray& pReply) {
    mReplies.insert(pRequest, pReply);
  }
  // Answer every request without a scripted reply with the request itself.
  void SetEcho(bool pValue) { mEcho = pValue; }
  // Bytes sent at another rate are heard as noise and ignored (0: any rate).
  void SetOwnBaud(int pBaud) { mOwnBaud = pBaud; }

  void Receive(const QByteArray& pBytes) override;
  // Sends a frame unasked, as an instrument in cyclic output does.
  void Emit(const QByteArray& pFrame) { Transmit(pFrame); }

  const QList<QByteArray>& Requests() const { return mRequests; }
  const QList<int>& BaudChanges() const { return mBaudChanges; }
  void SetLineBaud(int pBaud) override {
    tSimInstrument::SetLineBaud(pBaud);
    mBaudChanges.append(pBaud);
  }

private:
  QHash<QByteArray, QByteArray> mReplies;
  bool mEcho = false;
  int mOwnBaud = 0;
  QByteArray mPending;
  QList<QByteArray> mRequests;
  QList<int> mBaudChanges;
};
