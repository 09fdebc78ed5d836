#pragma once
// An in-process serial port wired to an instrument model: the protocol layers and the device
// frame run over it exactly as over a real port, without a device or a second process.
//
// Bytes travel through the event loop in both directions, never inside SendBytes: the
// instrument sees the program's bytes when they would have left the line, and the program's
// handler is called from a timer, as QSerialPort's readyRead would be. With
// tSimFaults::PaceAtBaud every byte takes 10 bit times at the rate set on the port, and the
// time either side takes to answer counts on the line as it would on a real one, however
// early or late the event loop's timers hand the bytes over.
#include "serial/ComPortIntf.h"
#include "sim/SimInstrument.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

class tSimPort : public QObject, public iComPort {
  Q_OBJECT
public:
  // How a port that has no instrument to reach fails to open, for tests of the frame's
  // opening messages.
  enum class tOpenFault { ofNone, ofBadId, ofAlreadyOpen, ofOther };

  explicit tSimPort(tSimInstrument* pInstrument = nullptr, QObject* pParent = nullptr);
  ~tSimPort() override;

  // iComPort
  bool AutoOpen() const override { return FAutoOpen; }
  void SetAutoOpen(bool pValue) override { FAutoOpen = pValue; }
  quint16 ComNumber() const override { return FComNumber; }
  void SetComNumber(qint64 pValue) override;
  int Baud() const override { return FBaud; }
  void SetBaud(int pValue) override;
  bool RTS() const override { return FRTS; }
  void SetRTS(bool pValue) override { FRTS = pValue; }
  bool DTR() const override { return FDTR; }
  void SetDTR(bool pValue) override { FDTR = pValue; }
  bool Open() const override { return FOpen; }
  void SetOpen(bool pValue) override;
  TTriggerAvailEvent OnTriggerAvail() const override { return FOnTriggerAvail; }
  void SetOnTriggerAvail(TTriggerAvailEvent pHandler) override;
  void ClearReceive() override;
  void ClearTransmit() override;
  void SendBytes(const QByteArray& pBytes) override;
  void SendByte(quint8 pByte) override;
  quint8 ReadByte() override;

  // Line faults applied to everything the instrument transmits from now on.
  const tSimFaults& Faults() const { return FFaults; }
  void SetFaults(const tSimFaults& pFaults) { FFaults = pFaults; }
  tSimInstrument* Instrument() const { return mInstrument; }

  // Opening then fails this way (ofNone: open normally).
  void SetOpenFault(tOpenFault pFault) { FOpenFault = pFault; }

  // The cable is pulled: bytes in flight are lost, an open port closes and reports the loss
  // once (OnLineLost, a warning), later opening fails with EBadId until Restore.
  void Vanish();
  void Restore() { mVanished = false; }
  bool Vanished() const { return mVanished; }
  // Called once when the line is lost while open (what QSerialPort's ResourceError is to the
  // real port).
  std::function<void(iComPort* CP, const QString& pText)> OnLineLost;

  // Raises a data-available notification on the next pass of the event loop with the count
  // waiting then, 0 when nothing waits: for tests of handlers, which must accept Count 0.
  void RaiseTriggerAvail();

  // Every byte the instrument has received through this port, for checks of the order.
  const QByteArray& SentLog() const { return mSentLog; }
  void ClearSentLog() { mSentLog.clear(); }

private:
  struct tLineByte {
    quint8 Byte;
    int Baud;
    qint64 DueNs; // when its stop bit has left the line, on mClock
  };

  static qint64 LineTime(qint64 pNowNs, qint64 pSawNs, qint64 pHandedNs);
  qint64 ByteNs(int pBaud) const;
  void Transmitted(const QByteArray& pFrame);
  void Schedule(QTimer& pTimer, const std::deque<tLineByte>& pQueue);
  void DeliverToInstrument();
  void DeliverToProgram();
  void Notify();
  void TellBaud(int pBaud);
  void Detach();

  bool FAutoOpen = false;
  quint16 FComNumber = 0;
  int FBaud = 9600;
  bool FRTS = false;
  bool FDTR = false;
  bool FOpen = false;
  TTriggerAvailEvent FOnTriggerAvail;
  tSimFaults FFaults;
  qint64 mRepliesSent = 0;
  tOpenFault FOpenFault = tOpenFault::ofNone;

  QPointer<tSimInstrument> mInstrument;
  bool mVanished = false;
  int mToldBaud = 0;
  QElapsedTimer mClock;
  std::deque<tLineByte> mToInstrument;
  std::deque<tLineByte> mToProgram;
  qint64 mTxLineFreeNs = 0;
  qint64 mRxLineFreeNs = 0;
  // When the last byte each side was handed was due, and when it was handed over: its answers
  // start on the line that long after the first as they come after the second.
  qint64 mInstrumentSawNs = 0;
  qint64 mProgramSawNs = 0;
  qint64 mInstrumentHandedNs = 0;
  qint64 mProgramHandedNs = 0;
  QTimer mTxTimer;
  QTimer mRxTimer;
  QByteArray mReceived; // arrived, not yet read by the program
  QByteArray mSentLog;
  // Cleared on destruction, so that a handler that deletes its port is noticed.
  std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
};

// Hands out a new simulated port on one instrument per connection attempt, as the device
// frame's port factory; tests reach the newest port to pull it or to change its faults.
class tSimPortFactory {
public:
  explicit tSimPortFactory(tSimInstrument* pInstrument, const tSimFaults& pFaults = {})
      : mInstrument(pInstrument), mFaults(pFaults) {}

  tComPortFactory Factory();
  // Applies to the newest port and to every later one.
  void SetFaults(const tSimFaults& pFaults);
  void SetOpenFault(tSimPort::tOpenFault pFault) { mOpenFault = pFault; }
  tSimPort* Last() const { return mLast.data(); }
  int Created() const { return mCreated; }

private:
  QPointer<tSimInstrument> mInstrument;
  tSimFaults mFaults;
  tSimPort::tOpenFault mOpenFault = tSimPort::tOpenFault::ofNone;
  QPointer<tSimPort> mLast;
  int mCreated = 0;
};
