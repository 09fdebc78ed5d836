#pragma once
// Everything that went over one instrument's line, as frames in a ring of bounded size: the
// requests sent, what came back, and when the port was opened and closed. Recording only
// copies bytes and a time stamp, so it may stay on while nobody looks; what a frame means is
// worked out by whoever reads it, and only for the frames read.
//
// A frame sent is one request (an auto-baud byte before it belongs to it). Bytes received
// within the reply window after a request form its reply; bytes after a pause inside a
// reply, after the window, or with no request before them are received outside any exchange.
#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <deque>
#include <vector>

enum tTrafficFamily : std::uint8_t { tfNone, tfK40, tfR70 };

enum tTrafficKind : std::uint8_t { tkSent, tkReceived, tkOpened, tkClosed, tkLost };

// Flags of a received frame.
enum tTrafficFlag : std::uint8_t {
  // No request was waiting for these bytes.
  tgOutside = 1,
  // They follow other received bytes after a pause (a reply that stalled, a late rest).
  tgAfterGap = 2,
};

// What the program was doing on the line, told by the device frame.
struct tTrafficContext {
  tTrafficFamily Family = tfNone;
  // The try of the family search (1 to 5) and its cycle; 0 once a family's page talks.
  std::uint8_t Try = 0;
  std::uint16_t Cycle = 0;
  // How long after a request its reply may begin.
  std::uint32_t ReplyWindowMs = 1000;

  bool operator==(const tTrafficContext&) const = default;
};

// A stretch of frames with one context within one opening of a port.
struct tTrafficSegment {
  std::uint32_t Serial = 0;
  tTrafficContext Context;
  std::int64_t OpenedUs = 0;
  // The wall clock at that opening: the wall time of a frame is counted on from it.
  std::int64_t OpenedWallMs = 0;
};

struct tTrafficRecord {
  std::int64_t TimeUs = 0; // monotonic, at the first byte
  std::uint64_t ByteStart = 0;
  std::int32_t Baud = 0;
  std::uint32_t Segment = 0;
  // From the first byte to the last, as they were handed over.
  std::uint32_t SpanUs = 0;
  std::uint16_t Length = 0;
  tTrafficKind Kind = tkSent;
  std::uint8_t Flags = 0;
};

class tTrafficLog {
public:
  // At least 100 000 frames are kept while frames average up to 16 bytes; a line with longer
  // frames keeps fewer, and the memory stays bounded either way (about 6 MiB).
  static constexpr std::uint64_t cFrameCapacity = 1u << 17;
  static constexpr std::uint64_t cByteCapacity = 2u << 20;
  // Longer runs of bytes are cut into several frames.
  static constexpr int cMaxFrameBytes = 4096;
  // A pause this long ends a received frame: the protocol layers give a reply up after it.
  static constexpr std::int64_t cGapMs = 50;

  // --- Recording ---------------------------------------------------------------------------
  void Opened(int pBaud);
  // pLost: the line went away while the port was open.
  void Closed(bool pLost);
  void Sent(const char* pBytes, qsizetype pCount, int pBaud);
  void Received(const char* pBytes, qsizetype pCount, int pBaud);
  // The port's buffers are cleared or its rate changes: the next bytes start new frames.
  void Boundary();
  // Applies to the frames from now on, until the next opening or the next context.
  void SetContext(const tTrafficContext& pContext);
  // Forgets every frame kept so far.
  void Clear();

  // --- Reading -----------------------------------------------------------------------------
  // Frames [FirstSeq, EndSeq) are kept; sequence numbers never repeat.
  std::uint64_t FirstSeq() const { return mFirstSeq; }
  std::uint64_t EndSeq() const { return mEndSeq; }
  const tTrafficRecord& Record(std::uint64_t pSeq) const { return mRecords[pSeq % cFrameCapacity]; }
  QByteArray Bytes(std::uint64_t pSeq) const;
  const tTrafficSegment& Segment(std::uint32_t pSerial) const;
  // Changes with every frame added, every byte appended and every clearing.
  std::uint64_t Revision() const { return mRevision; }
  // Whether the newest frame may still grow.
  bool NewestOpen() const { return mSentOpen || mReceivedOpen; }

private:
  std::uint64_t Add(tTrafficKind pKind, std::int64_t pTimeUs, int pBaud, std::uint8_t pFlags);
  void Append(const char* pBytes, qsizetype pCount);
  // Adds what fits of pBytes to the newest frame, which then spans until pNowUs; the count taken.
  qsizetype AppendToNewest(const char* pBytes, qsizetype pCount, std::int64_t pNowUs);
  void DropOldest();
  void NewSegment(std::int64_t pOpenedUs, std::int64_t pOpenedWallMs);

  std::vector<tTrafficRecord> mRecords;
  std::vector<char> mBytes;
  std::uint64_t mFirstSeq = 0;
  std::uint64_t mEndSeq = 0;
  std::uint64_t mByteEnd = 0;
  std::uint64_t mRevision = 0;
  std::deque<tTrafficSegment> mSegments;
  tTrafficContext mContext;

  // Frame assembly.
  bool mSentOpen = false;
  bool mReceivedOpen = false;
  // The last request and whether bytes may still be its reply.
  bool mRequestWaits = false;
  std::int64_t mRequestUs = 0;
  std::int64_t mLastReceivedUs = 0;
};
