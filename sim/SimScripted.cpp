#include "sim/SimScripted.h"

void tSimScripted::Receive(const QByteArray& pBytes) {
  if (mOwnBaud != 0 && LineBaud() != mOwnBaud) {
    mPending.clear();
    return;
  }
  for (char lByte : pBytes) {
    mPending.append(lByte);
    if (lByte != '\r') continue;
    const QByteArray lRequest = mPending;
    mPending.clear();
    mRequests.append(lRequest);
    if (mReplies.contains(lRequest))
      Transmit(mReplies.value(lRequest));
    else if (mEcho)
      Transmit(lRequest);
  }
}
