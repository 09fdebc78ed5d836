#pragma once
// A serial port whose instrument is the fuzzer: every request frame is answered with the next
// chunk of the fuzz input, through the event loop as a real port would. Before the fuzz input
// is switched on, an instrument model can answer instead, so that a device interface gets past
// its reading of the instrument and into the live exchange.
#include "serial/ComPortIntf.h"
#include "sim/SimInstrument.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class tFuzzPort : public QObject, public iComPort {
  Q_OBJECT
public:
  explicit tFuzzPort(tSimInstrument* pInstrument = nullptr);
  ~tFuzzPort() override;

  // From now on every request is answered from pData (not copied: it must outlive its use).
  // Each chunk is one length byte (low 4 bits: 0 to 15 bytes follow; bit 4: delivered in two
  // notifications) and the bytes; an exhausted input answers nothing.
  void SetFuzzInput(const quint8* pData, size_t pSize);
  // Back to the instrument model (or silence without one).
  void StopFuzzInput();
  bool FuzzInputUsedUp() const { return mFuzzing && mPos >= mSize && mPending.isEmpty(); }
  int Requests() const { return mRequests; }

  bool AutoOpen() const override { return FAutoOpen; }
  void SetAutoOpen(bool pValue) override { FAutoOpen = pValue; }
  quint16 ComNumber() const override { return FComNumber; }
  void SetComNumber(qint64 pValue) override;
  int Baud() const override { return FBaud; }
  void SetBaud(int pValue) override { FBaud = pValue; }
  bool RTS() const override { return FRTS; }
  void SetRTS(bool pValue) override { FRTS = pValue; }
  bool DTR() const override { return FDTR; }
  void SetDTR(bool pValue) override { FDTR = pValue; }
  bool Open() const override { return FOpen; }
  void SetOpen(bool pValue) override { FOpen = pValue; }
  TTriggerAvailEvent OnTriggerAvail() const override { return FOnTriggerAvail; }
  void SetOnTriggerAvail(TTriggerAvailEvent pHandler) override {
    FOnTriggerAvail = std::move(pHandler);
  }
  void ClearReceive() override { mReceived.clear(); }
  void ClearTransmit() override {}
  void SendBytes(const QByteArray& pBytes) override;
  void SendByte(quint8 pByte) override;
  quint8 ReadByte() override;

private:
  void FrameSent();
  void Deliver(const QByteArray& pBytes);
  void Notify();

  QPointer<tSimInstrument> mInstrument;
  bool FAutoOpen = false;
  quint16 FComNumber = 0;
  int FBaud = 9600;
  bool FRTS = false;
  bool FDTR = false;
  bool FOpen = false;
  TTriggerAvailEvent FOnTriggerAvail;

  QByteArray mFrame;           // the request being sent
  int mBytesAfterCommand = -1; // SendByte calls since the command bytes
  QByteArray mReceived;        // arrived, not yet read
  QByteArray mPending;         // second half of a split chunk
  bool mFuzzing = false;
  const quint8* mData = nullptr;
  size_t mSize = 0;
  size_t mPos = 0;
  int mRequests = 0;
  std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
};

// Runs the event loop without spinning until pDone holds or pRealMs have passed.
void FuzzPump(const std::function<bool()>& pDone, int pRealMs);

// Ratio of the program's clock to the real one inside the fuzz targets: time-outs of a second
// pass in about 10 ms, so an input that makes a layer wait costs little.
constexpr double cFuzzClockScale = 100.0;

// One QApplication (offscreen) for a target; called from LLVMFuzzerInitialize.
void FuzzInitApplication(int* argc, char*** argv);
