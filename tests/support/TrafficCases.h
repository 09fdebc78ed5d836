#pragma once
// The checks both families' traffic decoders go through, on tables of frames written in hex.
#include "protocol/common/TrafficDecoder.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <random>

inline QByteArray Hex(const char* pHex) {
  return QByteArray::fromHex(pHex);
}

// A request and its well-formed reply.
struct tExchangeCase {
  const char* Request;
  const char* Reply;
  tTrafficCommand Command;
  int Cell;
  const char* SentValue;
  const char* ReplyValue;
};

inline void ExpectExchange(const tTrafficDecoder& pDecoder, const tExchangeCase& pCase,
                           bool pAutoBaud) {
  SCOPED_TRACE(pCase.Reply);
  const QByteArray lRequest = (pAutoBaud ? Hex("55") : QByteArray()) + Hex(pCase.Request);
  const tTrafficMeaning lSent = pDecoder.DecodeSent(lRequest);
  EXPECT_EQ(lSent.Direction, tdSent);
  EXPECT_EQ(lSent.Role, frRequest);
  EXPECT_EQ(lSent.Command, pCase.Command);
  EXPECT_EQ(lSent.Cell, pCase.Cell);
  EXPECT_EQ(lSent.Value, QString::fromUtf8(pCase.SentValue));
  EXPECT_EQ(lSent.Checksum, cvGood);
  EXPECT_EQ(lSent.AutoBaud, pAutoBaud);

  const tTrafficMeaning lReply = pDecoder.DecodeReceived(Hex(pCase.Reply), lRequest);
  EXPECT_EQ(lReply.Direction, tdReceived);
  EXPECT_EQ(lReply.Role, frReply);
  EXPECT_EQ(lReply.Command, pCase.Command);
  EXPECT_EQ(lReply.Cell, pCase.Cell);
  EXPECT_EQ(lReply.Value, QString::fromUtf8(pCase.ReplyValue));
  EXPECT_EQ(lReply.Checksum, cvGood);
  EXPECT_EQ(lReply.Fit, ffWhole);
  EXPECT_FALSE(lReply.AutoBaud);
}

// Bytes received after a request (hex, empty for none) that are not its well-formed reply.
struct tReceivedCase {
  const char* Name;
  const char* Request;
  const char* Received;
  tFrameRole Role;
  tFrameFit Fit;
  int ExtraBytes;
  tChecksumVerdict Checksum;
  const char* Value;
};

inline void ExpectReceived(const tTrafficDecoder& pDecoder, const tReceivedCase& pCase) {
  SCOPED_TRACE(pCase.Name);
  const tTrafficMeaning lMeaning = pDecoder.DecodeReceived(Hex(pCase.Received), Hex(pCase.Request));
  EXPECT_EQ(lMeaning.Role, pCase.Role);
  EXPECT_EQ(lMeaning.Fit, pCase.Fit);
  EXPECT_EQ(lMeaning.ExtraBytes, pCase.ExtraBytes);
  EXPECT_EQ(lMeaning.Checksum, pCase.Checksum);
  EXPECT_EQ(lMeaning.Value, QString::fromUtf8(pCase.Value));
}

// pFrame with one byte changed, cut short, doubled, or followed by noise beyond the length a
// checksum is defined for; or left as it is.
inline void SpoilAtRandom(QByteArray& pFrame, std::mt19937& pRandom) {
  switch (pRandom() % 5) {
  case 0:
    pFrame[pRandom() % pFrame.size()] = char(pRandom());
    break;
  case 1:
    pFrame.truncate(pRandom() % pFrame.size());
    break;
  case 2:
    pFrame += pFrame;
    break;
  case 3:
    for (int i = pRandom() % 600; i > 0; --i)
      pFrame.append(char(pRandom()));
    break;
  default:
    break;
  }
}

// Decodes the exchanges of pCases spoilt at random; under the sanitizers any read beyond the
// bytes given fails the test.
template <std::size_t N>
void DecodeSpoilt(const tTrafficDecoder& pDecoder, const tExchangeCase (&pCases)[N],
                  unsigned pSeed) {
  std::mt19937 lRandom(pSeed);
  for (int lRound = 0; lRound < 4000; ++lRound) {
    const tExchangeCase& lCase = pCases[lRandom() % N];
    QByteArray lRequest = Hex(lCase.Request);
    QByteArray lReceived = Hex(lCase.Reply);
    SpoilAtRandom(lRequest, lRandom);
    SpoilAtRandom(lReceived, lRandom);
    const tTrafficMeaning lSent = pDecoder.DecodeSent(lRequest);
    const tTrafficMeaning lReply = pDecoder.DecodeReceived(lReceived, lRequest);
    EXPECT_GE(lSent.ExtraBytes, 0);
    EXPECT_GE(lReply.ExtraBytes, 0);
    if (lReply.Fit == ffTruncated || lReply.Fit == ffWrongStart) {
      EXPECT_TRUE(lReply.Value.isEmpty());
    }
  }
}
