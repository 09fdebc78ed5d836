// The traffic decoders of both families on any bytes: the first input byte splits the rest
// into a request as sent and what was received after it. No input may make a decoder read
// beyond the bytes it is given.
#include "protocol/k40/K40Decoder.h"
#include "protocol/r70/R70Decoder.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  if (pSize < 1) return 0;
  const size_t lSplit = std::min<size_t>(pData[0], pSize - 1);
  const char* lBytes = reinterpret_cast<const char*>(pData + 1);
  const QByteArray lRequest(lBytes, qsizetype(lSplit));
  const QByteArray lReceived(lBytes + lSplit, qsizetype(pSize - 1 - lSplit));
  static const tK40Decoder sK40;
  static const tR70Decoder sR70;
  const tTrafficDecoder* const lDecoders[] = {&sK40, &sR70};
  for (const tTrafficDecoder* lDecoder : lDecoders) {
    (void)lDecoder->DecodeSent(lRequest);
    (void)lDecoder->DecodeReceived(lReceived, lRequest);
    (void)lDecoder->DecodeReceived(lReceived, QByteArray());
  }
  return 0;
}
