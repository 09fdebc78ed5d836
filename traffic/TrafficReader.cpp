#include "traffic/TrafficReader.h"

#include "protocol/k40/K40Decoder.h"
#include "protocol/r70/R70Decoder.h"
#include "traffic/TrafficTexts.h"

#include <QDateTime>
#include <algorithm>

namespace {

const tTrafficDecoder& DecoderOf(tTrafficFamily pFamily) {
  static const tK40Decoder sK40;
  static const tR70Decoder sR70;
  // Before the search has named a family only unframed bytes arrive, which both read alike.
  return pFamily == tfR70 ? static_cast<const tTrafficDecoder&>(sR70) : sK40;
}

QString FamilyName(tTrafficFamily pFamily) {
  switch (pFamily) {
  case tfK40:
    return QStringLiteral("K40");
  case tfR70:
    return QStringLiteral("R70");
  default:
    return QString();
  }
}

void Join(QString& pText, const QString& pPart) {
  if (pPart.isEmpty()) return;
  if (!pText.isEmpty()) pText += QStringLiteral(", ");
  pText += pPart;
}

QString WithNumber(const QString& pText, qint64 pNumber) {
  return QString(pText).replace(QLatin1String("%1"), QString::number(pNumber));
}

} // namespace

QString tTrafficReader::CommandText(tTrafficCommand pCommand) const {
  QString lText = Text(ttCommands + int(pCommand));
  const QString& lMnemonic = TrafficCommandMnemonics[pCommand];
  if (!lMnemonic.isEmpty()) lText += QStringLiteral(" (") + lMnemonic + QLatin1Char(')');
  return lText;
}

QString tTrafficReader::PhaseText(const tTrafficContext& pContext) const {
  const QString lFamily = FamilyName(pContext.Family);
  if (pContext.Try == 0) return lFamily;
  QString lText = WithNumber(Text(ttTry), pContext.Try);
  if (pContext.Cycle > 1) Join(lText, WithNumber(Text(ttCycle), pContext.Cycle));
  if (!lFamily.isEmpty()) lText += QStringLiteral(" (") + lFamily + QLatin1Char(')');
  return lText;
}

bool tTrafficReader::AppendVerdicts(QString& pText, const tTrafficMeaning& pMeaning) const {
  bool lFault = true;
  switch (pMeaning.Fit) {
  case ffTruncated:
    Join(pText, Text(ttIncomplete));
    break;
  case ffStrayLeading:
    Join(pText, WithNumber(Text(ttStray), pMeaning.ExtraBytes));
    break;
  case ffTrailing:
    Join(pText, WithNumber(Text(ttExtra), pMeaning.ExtraBytes));
    break;
  case ffWrongStart:
    Join(pText, Text(ttWrongStart));
    break;
  default:
    lFault = false;
  }
  switch (pMeaning.Checksum) {
  case cvGood:
    Join(pText, Text(ttChecksumGood));
    break;
  case cvBad:
    Join(pText, Text(ttChecksumBad));
    lFault = true;
    break;
  case cvIncomplete:
    if (pMeaning.Fit != ffTruncated) Join(pText, Text(ttIncomplete));
    lFault = true;
    break;
  case cvNotApplicable:
    break;
  }
  return lFault;
}

void tTrafficReader::DescribeSent(tTrafficLine& pLine, const tTrafficContext& pContext,
                                  std::int64_t pNowUs) const {
  const tTrafficDecoder& lDecoder = DecoderOf(pContext.Family);
  const tTrafficMeaning lMeaning = lDecoder.DecodeSent(pLine.Bytes);
  pLine.Command = lMeaning.Command;
  QString lText = CommandText(lMeaning.Command);
  if (lMeaning.Cell >= 0) Join(lText, WithNumber(Text(ttCell), lMeaning.Cell));
  if (!lMeaning.Value.isEmpty()) lText += QStringLiteral(" = ") + lMeaning.Value;
  if (lMeaning.AutoBaud) Join(lText, Text(ttAutoBaud));
  pLine.Error = AppendVerdicts(lText, lMeaning);

  // A request that awaits a reply and got none within its window, or none before the next
  // request, says so.
  const bool lAwaitsReply = lDecoder.DecodeReceived(QByteArray(), pLine.Bytes).Role == frReply;
  if (lAwaitsReply) {
    const tTrafficRecord& lRecord = mLog.Record(pLine.Seq);
    const std::int64_t lWindowUs = std::int64_t(pContext.ReplyWindowMs) * 1000;
    std::int64_t lSilenceUs = -1;
    if (pLine.Seq + 1 < mLog.EndSeq()) {
      const tTrafficRecord& lNext = mLog.Record(pLine.Seq + 1);
      if (lNext.Kind != tkReceived || (lNext.Flags & tgOutside))
        lSilenceUs = lNext.TimeUs - lRecord.TimeUs;
    } else if (pNowUs - lRecord.TimeUs > lWindowUs) {
      lSilenceUs = pNowUs - lRecord.TimeUs;
    }
    if (lSilenceUs >= 0) {
      lText += QStringLiteral("; ") +
               WithNumber(Text(ttNoReply), std::min(lSilenceUs, lWindowUs) / 1000);
      pLine.Error = true;
    }
  }
  pLine.Meaning = lText;
}

void tTrafficReader::DescribeReceived(tTrafficLine& pLine, const tTrafficRecord& pRecord,
                                      const tTrafficContext& pContext, std::int64_t pNowUs) const {
  QByteArray lRequest;
  if (!(pRecord.Flags & tgOutside) && pLine.Seq > mLog.FirstSeq() &&
      mLog.Record(pLine.Seq - 1).Kind == tkSent)
    lRequest = mLog.Bytes(pLine.Seq - 1);
  const tTrafficMeaning lMeaning = DecoderOf(pContext.Family).DecodeReceived(pLine.Bytes, lRequest);
  pLine.Command = lMeaning.Command;
  QString lText;
  if (lMeaning.Role == frOutside) {
    lText = Text(ttOutside);
    pLine.Error = true;
  } else {
    lText = CommandText(lMeaning.Command);
    if (lMeaning.Cell >= 0) Join(lText, WithNumber(Text(ttCell), lMeaning.Cell));
    if (!lMeaning.Value.isEmpty()) lText += QStringLiteral(" = ") + lMeaning.Value;
  }
  if ((pRecord.Flags & tgAfterGap) && pLine.Seq > mLog.FirstSeq()) {
    const tTrafficRecord& lBefore = mLog.Record(pLine.Seq - 1);
    const std::int64_t lPauseUs = pRecord.TimeUs - lBefore.TimeUs - std::int64_t(lBefore.SpanUs);
    Join(lText, WithNumber(Text(ttAfterPause), std::max<std::int64_t>(lPauseUs, 0) / 1000));
  }
  // A reply still arriving is judged once it is complete or has stalled.
  const bool lArriving =
      pLine.Seq + 1 == mLog.EndSeq() && mLog.NewestOpen() &&
      pNowUs - pRecord.TimeUs - std::int64_t(pRecord.SpanUs) <= tTrafficLog::cGapMs * 1000;
  if (lArriving && (lMeaning.Fit == ffTruncated || lMeaning.Checksum == cvIncomplete)) {
    pLine.Meaning = lText;
    return;
  }
  if (AppendVerdicts(lText, lMeaning)) pLine.Error = true;
  pLine.Meaning = lText;
}

tTrafficLine tTrafficReader::Line(std::uint64_t pSeq, std::int64_t pNowUs) const {
  tTrafficLine lLine;
  lLine.Seq = pSeq;
  if (pSeq < mLog.FirstSeq() || pSeq >= mLog.EndSeq()) return lLine;
  const tTrafficRecord& lRecord = mLog.Record(pSeq);
  const tTrafficSegment& lSegment = mLog.Segment(lRecord.Segment);
  lLine.Kind = lRecord.Kind;
  lLine.SinceOpenMs = double(lRecord.TimeUs - lSegment.OpenedUs) / 1000.0;
  lLine.WallMs = lSegment.OpenedWallMs + (lRecord.TimeUs - lSegment.OpenedUs) / 1000;
  lLine.Baud = lRecord.Baud;
  lLine.Bytes = mLog.Bytes(pSeq);
  lLine.Phase = PhaseText(lSegment.Context);
  switch (lRecord.Kind) {
  case tkSent:
    DescribeSent(lLine, lSegment.Context, pNowUs);
    break;
  case tkReceived:
    DescribeReceived(lLine, lRecord, lSegment.Context, pNowUs);
    break;
  case tkOpened:
    lLine.Meaning = Text(ttOpened);
    break;
  case tkClosed:
    lLine.Meaning = Text(ttClosed);
    break;
  case tkLost:
    lLine.Meaning = Text(ttLost);
    lLine.Error = true;
    break;
  }
  return lLine;
}

QString tTrafficReader::DirectionText(const tTrafficLine& pLine) const {
  switch (pLine.Kind) {
  case tkSent:
    return Text(ttSent);
  case tkReceived:
    return Text(ttReceived);
  default:
    return QString();
  }
}

QString tTrafficReader::HexText(const QByteArray& pBytes) {
  return QString::fromLatin1(pBytes.toHex(' ').toUpper());
}

QString tTrafficReader::PrintableText(const QByteArray& pBytes) {
  QString lText(pBytes.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < pBytes.size(); ++i) {
    const quint8 c = quint8(pBytes[i]);
    lText[i] = c >= 0x20 && c < 0x7F ? QChar(c) : QLatin1Char('.');
  }
  return lText;
}

QString tTrafficReader::WallText(std::int64_t pWallMs) {
  return QDateTime::fromMSecsSinceEpoch(pWallMs).toString(
      QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

QString tTrafficReader::SinceOpenText(double pMs) {
  return QString::number(pMs, 'f', 3);
}

QString tTrafficReader::FileLine(const tTrafficLine& pLine) {
  const QChar lTab = QLatin1Char('\t');
  QString lDirection;
  switch (pLine.Kind) {
  case tkSent:
    lDirection = QStringLiteral("TX");
    break;
  case tkReceived:
    lDirection = QStringLiteral("RX");
    break;
  default:
    lDirection = QStringLiteral("--");
  }
  return SinceOpenText(pLine.SinceOpenMs) + lTab + WallText(pLine.WallMs) + lTab + lDirection +
         lTab + QString::number(pLine.Baud) + lTab + HexText(pLine.Bytes) + lTab +
         PrintableText(pLine.Bytes) + lTab + pLine.Meaning + lTab + pLine.Phase;
}
