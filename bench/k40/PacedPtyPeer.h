#pragma once
// An instrument model served on a pseudo-terminal from a child process, paced at the line
// rate with sub-millisecond precision: a byte reaches the instrument 10 bit times after the
// previous one has, and each reply byte is written when it would have left the line. Being
// a separate process, its pacing and its work do not count in the measured process's CPU.
#include <QString>
#include <functional>
#include <sys/types.h>

class tSimInstrument;

class tPacedPtyPeer {
public:
  // pMakeInstrument runs in the child; the instrument lives there.
  tPacedPtyPeer(std::function<tSimInstrument*()> pMakeInstrument, int pBaud);
  ~tPacedPtyPeer();
  bool Ok() const { return mChild > 0; }
  const QString& SlavePath() const { return mSlavePath; }

private:
  pid_t mChild = -1;
  int mSlave = -1;
  QString mSlavePath;
};
