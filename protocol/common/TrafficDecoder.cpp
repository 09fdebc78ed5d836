#include "protocol/common/TrafficDecoder.h"

#include "protocol/common/FrameCodec.h"

namespace {

// Every request of both families carries three command bytes.
constexpr int cCommandLength = 3;
constexpr int cRequestLength = cCommandLength + 2;
// The longest frame the checksum is defined for.
constexpr int cLongestSummed = 255;

tChecksumVerdict SumVerdict(const QByteArray& pFrame) {
  return FrameCodec::SumValid(pFrame) ? cvGood : cvBad;
}

struct tRequestParts {
  // Up to three command bytes, fewer when the frame is cut short.
  QByteArray Command;
  bool AutoBaud = false;
  tChecksumVerdict Checksum = cvIncomplete;
  tFrameFit Fit = ffTruncated;
  int ExtraBytes = 0;
};

tRequestParts SplitRequest(const QByteArray& pFrame) {
  tRequestParts lParts;
  QByteArray lBody = pFrame;
  // Only a frame longer than a request can carry the auto-baud byte: the R70 status request
  // "U" is 0x55 itself.
  if (pFrame.size() > cRequestLength && quint8(pFrame[0]) == FrameCodec::cAutoBaudByte) {
    lParts.AutoBaud = true;
    lBody.remove(0, 1);
  }
  lParts.Command = lBody.left(cCommandLength);
  if (lBody.size() < cRequestLength) return lParts;
  lParts.ExtraBytes = int(lBody.size() - cRequestLength);
  lParts.Fit = lParts.ExtraBytes > 0 ? ffTrailing : ffWhole;
  lParts.Checksum = SumVerdict(lBody.left(cRequestLength));
  return lParts;
}

struct tReplyParts {
  QByteArray Data;
  // The expected start was found with all data bytes after it.
  bool HasData = false;
  tChecksumVerdict Checksum = cvIncomplete;
  tFrameFit Fit = ffTruncated;
  int ExtraBytes = 0;
};

// The reply that starts with pStart and holds pDataLength data bytes, within pFrame.
tReplyParts SplitReply(const QByteArray& pFrame, const QByteArray& pStart, int pDataLength) {
  tReplyParts lParts;
  const qsizetype lLength = FrameCodec::ReplyLength(pStart.size(), pDataLength);
  if (pFrame.size() < lLength) {
    lParts.Fit = pStart.startsWith(pFrame.left(pStart.size())) ? ffTruncated : ffWrongStart;
    return lParts;
  }
  lParts.ExtraBytes = int(pFrame.size() - lLength);
  QByteArray lReply;
  if (lParts.ExtraBytes == 0) {
    lReply = pFrame;
    lParts.Fit = pFrame.startsWith(pStart) ? ffWhole : ffWrongStart;
  } else {
    // Noise before the reply and bytes after it both happen on a real line. The reading
    // whose sum holds is the likelier one; of two that hold, noise before the reply.
    const QByteArray lAfterStray = pFrame.right(lLength);
    const QByteArray lBeforeTrailing = pFrame.left(lLength);
    const bool lStrayFits = lAfterStray.startsWith(pStart);
    const bool lTrailingFits = lBeforeTrailing.startsWith(pStart);
    if (lStrayFits && (FrameCodec::SumValid(lAfterStray) || !lTrailingFits ||
                       !FrameCodec::SumValid(lBeforeTrailing))) {
      lReply = lAfterStray;
      lParts.Fit = ffStrayLeading;
    } else if (lTrailingFits) {
      lReply = lBeforeTrailing;
      lParts.Fit = ffTrailing;
    } else {
      lParts.Fit = ffWrongStart;
      lParts.Checksum = cvNotApplicable;
      return lParts;
    }
  }
  lParts.Checksum = SumVerdict(lReply);
  if (lParts.Fit != ffWrongStart) {
    lParts.Data = FrameCodec::Data(lReply, pStart, pDataLength);
    lParts.HasData = true;
  }
  return lParts;
}

// Received bytes with no reply expected, or a reply of unknown shape.
tTrafficMeaning UnframedMeaning(const QByteArray& pFrame, tFrameRole pRole) {
  tTrafficMeaning lMeaning;
  lMeaning.Direction = tdReceived;
  lMeaning.Role = pRole;
  lMeaning.Fit = ffNoExpectation;
  // Such bytes are judged only when they end like a frame.
  if (pFrame.size() < 2 || quint8(pFrame.back()) != FrameCodec::cTerminator)
    lMeaning.Checksum = cvIncomplete;
  else if (pFrame.size() <= cLongestSummed)
    lMeaning.Checksum = SumVerdict(pFrame);
  return lMeaning;
}

} // namespace

tTrafficDecoder::tRequest tTrafficDecoder::RequestOf(const QByteArray& pCommand) const {
  return pCommand.size() == cCommandLength ? Recognise(pCommand) : tRequest();
}

tTrafficMeaning tTrafficDecoder::DecodeSent(const QByteArray& pFrame) const {
  const tRequestParts lParts = SplitRequest(pFrame);
  const tRequest lRequest = RequestOf(lParts.Command);
  tTrafficMeaning lMeaning;
  lMeaning.Direction = tdSent;
  lMeaning.Role = frRequest;
  lMeaning.Command = lRequest.Command;
  lMeaning.Cell = lRequest.Cell;
  lMeaning.Value = lRequest.Value;
  lMeaning.AutoBaud = lParts.AutoBaud;
  lMeaning.Checksum = lParts.Checksum;
  lMeaning.Fit = lParts.Fit;
  lMeaning.ExtraBytes = lParts.ExtraBytes;
  return lMeaning;
}

tTrafficMeaning tTrafficDecoder::DecodeReceived(const QByteArray& pFrame,
                                                const QByteArray& pRequest) const {
  const tRequest lRequest = RequestOf(SplitRequest(pRequest).Command);
  if (pRequest.isEmpty() || (lRequest.Command != tcUnknown && lRequest.DataLength == cNoReply))
    return UnframedMeaning(pFrame, frOutside);
  if (lRequest.Command == tcUnknown) return UnframedMeaning(pFrame, frReply);
  const tReplyParts lParts = SplitReply(pFrame, lRequest.Start, lRequest.DataLength);
  tTrafficMeaning lMeaning;
  lMeaning.Direction = tdReceived;
  lMeaning.Role = frReply;
  lMeaning.Command = lRequest.Command;
  lMeaning.Cell = lRequest.Cell;
  if (lParts.HasData) lMeaning.Value = ReplyValue(lRequest, lParts.Data);
  lMeaning.Checksum = lParts.Checksum;
  lMeaning.Fit = lParts.Fit;
  lMeaning.ExtraBytes = lParts.ExtraBytes;
  return lMeaning;
}
