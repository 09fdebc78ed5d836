// The Telnet layer of a network port on any bytes from the wire, fed in pieces whose sizes
// the first input byte chooses: no input may make it read beyond what it is given or loop.
// Escaped data must come back unchanged however it is cut.
#include "serial/TelnetCodec.h"

#include <cstdint>
#include <cstdlib>

namespace {
QByteArray DecodeInPieces(tTelnetCodec& pCodec, const QByteArray& pWire, int pPiece) {
  QByteArray lData;
  for (qsizetype lAt = 0; lAt < pWire.size(); lAt += pPiece)
    (void)pCodec.Decode(pWire.constData() + lAt, std::min<qsizetype>(pPiece, pWire.size() - lAt),
                        lData);
  return lData;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  if (pSize < 1) return 0;
  const int lPiece = pData[0] % 16 + 1;
  const QByteArray lBytes(reinterpret_cast<const char*>(pData + 1), qsizetype(pSize - 1));
  tTelnetCodec lAny;
  lAny.Start();
  lAny.OnSubnegotiation = [](quint8, const QByteArray&) {};
  (void)DecodeInPieces(lAny, lBytes, lPiece);

  tTelnetCodec lClean;
  bool lSub = false;
  lClean.OnSubnegotiation = [&](quint8, const QByteArray&) { lSub = true; };
  if (DecodeInPieces(lClean, tTelnetCodec::Escape(lBytes), lPiece) != lBytes || lSub) abort();
  return 0;
}
