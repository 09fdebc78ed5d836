#pragma once
// Serves an instrument model on a pseudo-terminal, so that a separate program reaches it
// through the operating system's serial layer exactly as through a cable. A link at a
// chosen path names the terminal; the program's rate is read back from the terminal (a pty
// ignores it) and told to the instrument, and the instrument's bytes are paced at that rate
// when tSimFaults::PaceAtBaud is set. The program's bytes are paced the same way before the
// instrument hears them. Line faults are applied to every frame the instrument sends.
#include "sim/SimInstrument.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>

class QSocketNotifier;

class tPtyAttachment : public QObject {
  Q_OBJECT
public:
  explicit tPtyAttachment(tSimInstrument* pInstrument, QObject* pParent = nullptr);
  ~tPtyAttachment() override;

  // Creates the terminal and the link; a stale link (to nothing) is replaced, anything else
  // at the path is left alone and reported. False with pError set on failure.
  bool Start(const QString& pLinkPath, QString* pError = nullptr);
  // Removes the link and closes the terminal: the program sees the device vanish.
  void Stop();
  bool Running() const { return mMaster >= 0; }

  const QString& SlavePath() const { return mSlavePath; }
  const QString& LinkPath() const { return mLinkPath; }
  // The rate the program set last (0 before it set any).
  int ProgramBaud() const { return mProgramBaud; }

  const tSimFaults& Faults() const { return FFaults; }
  void SetFaults(const tSimFaults& pFaults) { FFaults = pFaults; }

  // Every byte the instrument received, and every frame it sent, one line per frame in
  // hex: "<ms> RX <baud> 55 53 52 48 A3 0D" / "<ms> TX <baud> …". Lines are written when a
  // frame ends (0x0D), the rate changes or the line has been quiet for 20 ms.
  bool SetLogFile(const QString& pFileName, QString* pError = nullptr);

private:
  struct tLineByte {
    quint8 Byte;
    int Baud;
    qint64 DueNs;
  };

  void Readable();
  void PollBaud();
  void Transmitted(const QByteArray& pFrame);
  void DeliverToInstrument();
  void WriteToProgram();
  void Schedule(QTimer& pTimer, const std::deque<tLineByte>& pQueue);
  void LogBytes(const char* pDirection, int pBaud, const QByteArray& pBytes, bool pWholeFrame);
  void FlushLog();
  qint64 ByteNs(int pBaud) const { return pBaud > 0 ? 10'000'000'000LL / pBaud : 0; }

  QPointer<tSimInstrument> mInstrument;
  tSimFaults FFaults;
  qint64 mRepliesSent = 0;
  int mMaster = -1;
  int mSlave = -1; // kept open so that the master never reads EIO while no program is attached
  QString mSlavePath;
  QString mLinkPath;
  QSocketNotifier* mNotifier = nullptr;
  QTimer mBaudTimer;
  QTimer mRxTimer;
  QTimer mTxTimer;
  QTimer mLogTimer;
  QElapsedTimer mClock;
  int mProgramBaud = 0;
  int mToldBaud = 0;
  std::deque<tLineByte> mToInstrument;
  std::deque<tLineByte> mToProgram;
  qint64 mRxLineFreeNs = 0;
  qint64 mTxLineFreeNs = 0;
  // When the last byte each side was handed was due: its answers cannot start earlier.
  qint64 mInstrumentSawNs = 0;
  qint64 mProgramSawNs = 0;
  QFile mLog;
  QByteArray mLogPending; // received bytes of a frame not yet complete
  int mLogPendingBaud = 0;
  qint64 mLogPendingMs = 0;
};
