#pragma once
// An instrument model served on a pseudo-terminal from a child process, paced at the line
// rate with sub-millisecond precision: a byte reaches the instrument 10 bit times after the
// previous one has, and each reply byte is written when it would have left the line. Being
// a separate process, its pacing and its work do not count in the measured process's CPU.
#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/types.h>

class tSimInstrument;

class tPacedPtyPeer {
public:
  // pMakeInstrument runs in the child; the instrument lives there (a pty carries no rate:
  // the instrument is told the line's rate by pMakeInstrument). pBaud paces the bytes; 0
  // lets every byte pass at once.
  tPacedPtyPeer(std::function<tSimInstrument*()> pMakeInstrument, int pBaud);
  ~tPacedPtyPeer();
  tPacedPtyPeer(const tPacedPtyPeer&) = delete;
  tPacedPtyPeer& operator=(const tPacedPtyPeer&) = delete;
  bool Ok() const { return mChild > 0; }
  const QString& SlavePath() const { return mSlavePath; }

private:
  pid_t mChild = -1;
  int mSlave = -1;
  QString mSlavePath;
};

// What the pty and the peer allow by themselves: a client without an event loop that writes
// one request frame, blocks until its reply is in, and starts over at once.
struct tPtyCeiling {
  // Line time of the answered exchanges against the wall time.
  double Ratio = 0;
  // Median of request written to reply read, less the line time of the exchange.
  double MedianExcessUs = 0;
  long Exchanges = 0;
};
tPtyCeiling MeasurePtyCeiling(const QString& pSlavePath, int pBaud, const QByteArray& pFrame,
                              int pReplyBytes, double pSeconds);

// An R-70 that answers at pBaud and expects it on its line: the peer most benchmarks serve.
tSimInstrument* R70PeerAt(int pBaud);
