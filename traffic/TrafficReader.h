#pragma once
// Reads one frame of a traffic log as a line of the traffic view: the times, the direction,
// the bytes in hex and as text, and what they mean in the family's protocol, in the current
// language. Frames are decoded only here, when a line is shown or saved.
#include "i18n/MessageSlots.h"
#include "protocol/common/TrafficFrame.h"
#include "serial/TrafficLog.h"

#include <QString>
#include <cstdint>

struct tTrafficLine {
  std::uint64_t Seq = 0;
  tTrafficKind Kind = tkSent;
  // Milliseconds since the port was opened, to the microsecond.
  double SinceOpenMs = 0;
  std::int64_t WallMs = 0;
  int Baud = 0;
  QByteArray Bytes;
  QString Meaning;
  QString Phase;
  tTrafficCommand Command = tcUnknown;
  bool Error = false;
};

class tTrafficReader {
public:
  // pTexts: the view's texts in the order of tTrafficText.
  tTrafficReader(const tTrafficLog& pLog, const tMessageSlots& pTexts)
      : mLog(pLog), mTexts(pTexts) {}

  // The frame pSeq, which the log must still keep. pNowUs: the monotonic time to judge a
  // request that is still waiting for its reply.
  tTrafficLine Line(std::uint64_t pSeq, std::int64_t pNowUs) const;

  // The line as the saved file and the clipboard hold it: fields separated by tabs,
  // "<ms since opened> <wall time> <TX|RX|--> <bit/s> <hex bytes> <text> <meaning> <phase>".
  static QString FileLine(const tTrafficLine& pLine);
  static QString HexText(const QByteArray& pBytes);
  // Printable ASCII as it is, every other byte as '.'.
  static QString PrintableText(const QByteArray& pBytes);
  static QString WallText(std::int64_t pWallMs);
  static QString SinceOpenText(double pMs);

  // The direction as the view shows it.
  QString DirectionText(const tTrafficLine& pLine) const;

private:
  QString Text(int pSlot) const { return mTexts[pSlot]; }
  QString CommandText(tTrafficCommand pCommand) const;
  QString PhaseText(const tTrafficContext& pContext) const;
  // Appends the verdicts on the frame's shape and sum; true when one of them is a fault.
  bool AppendVerdicts(QString& pText, const tTrafficMeaning& pMeaning) const;
  void DescribeSent(tTrafficLine& pLine, const tTrafficContext& pContext,
                    std::int64_t pNowUs) const;
  void DescribeReceived(tTrafficLine& pLine, const tTrafficRecord& pRecord,
                        const tTrafficContext& pContext, std::int64_t pNowUs) const;

  const tTrafficLog& mLog;
  const tMessageSlots& mTexts;
};
