#pragma once
// A K40-family instrument seen from the instrument's side: a K-40-P (status byte, operating
// modes, cyclic output) or an older R-20/R-21 (answers "TYP", has no status and no operating
// parameters). It holds a 256-cell EEPROM, its range, identity and live values, and answers
// the 5-byte request frames of the K40 protocol at 9600 bit/s.
#include "sim/SimInstrument.h"

#include <QByteArray>
#include <QList>
#include <array>

class QTimer;

class tSimK40 : public tSimInstrument {
  Q_OBJECT
public:
  enum class tModel { K40P, R2x };
  // What the instrument sends by itself, chosen from EEPROM cell 101 at power-up.
  enum class tRunMode { rmPoll, rmCyclP, rmCyclPT };

  explicit tSimK40(tModel pModel, QObject* pParent = nullptr);
  ~tSimK40() override;

  void Receive(const QByteArray& pBytes) override;
  void SetLineBaud(int pBaud) override;

  tModel Model() const { return mModel; }

  // Configuration memory. Defaults: 0 … 16 bar gauge, unit code 0xF0 (bar), output code 4
  // (4 … 20 mA) with a neutral calibration block at 111, accuracy 0.10 %, poll mode,
  // interval 100 (1 s), response 1, factory parameters the same.
  quint8 Eeprom(int pAdr) const { return mEeprom[pAdr & 0xFF]; }
  void SetEeprom(int pAdr, quint8 pValue) { mEeprom[pAdr & 0xFF] = pValue; }
  QByteArray EepromImage() const override {
    return QByteArray(reinterpret_cast<const char*>(mEeprom.data()), int(mEeprom.size()));
  }

  // Range as the "MA"/"ME" replies carry it (mantissa and exponent, bit 7 of the start's third
  // byte the absolute flag). SetRange picks the finest exponent that holds the value.
  void SetRange(double pStart, double pEnd, bool pAbsolute);
  void SetRangeBytes(const QByteArray& pStart3, const QByteArray& pEnd3);
  QByteArray RangeStartBytes() const { return mRangeStart; }
  QByteArray RangeEndBytes() const { return mRangeEnd; }
  double RangeStart() const;
  double RangeEnd() const;

  // Identity: head number (4 characters), firmware bytes ("SR"), production month and
  // two-digit year ("HD"), and the type byte of an R-20/R-21 ("TYP").
  void SetIdent(const QByteArray& pIdent4);
  void SetFirmware(quint8 pRevision, quint8 pSecond = 0);
  void SetProductionDate(quint8 pMonth, quint8 pYear);
  void SetTypeByte(quint8 pType) { mTypeByte = pType; }

  // The applied pressure (what "PR" reports, in the range unit) and what "PZ" reports: the
  // applied pressure through the working zero and span calibration and any unsaved step.
  void SetPressure(double pValue) { mPressure = pValue; }
  double Pressure() const { return mPressure; }
  double ReportedPressure() const;
  void SetTemperature(double pCelsius) { mTemperature = pCelsius; }
  double Temperature() const { return mTemperature; }
  // Status byte of "PK" (0: no fault). K-40-P only.
  void SetStatusByte(quint8 pStatus) { mStatus = pStatus; }
  quint8 StatusByte() const { return mStatus; }

  // Unsaved adjustment steps since "NP"/"SP" 0xAA (zero in digits of 1/10000 of the span,
  // span in 1/10000 of the gain), and the working calibration words loaded from cells 88–91
  // at power-up, on saving and on a factory reset.
  int PendingZeroSteps() const { return mPendingZero; }
  int PendingSpanSteps() const { return mPendingSpan; }
  quint16 WorkingZeroWord() const { return mZeroWord; }
  quint16 WorkingSpanWord() const { return mSpanWord; }
  bool AdjustEnabled(bool pSpan) const { return pSpan ? mAdjustSp : mAdjustNp; }

  // Fault: the next pCount adjustment-related requests ("NP", "SP", "RN", "RS" 0x88) are
  // swallowed without effect or reply, as if the instrument had not heard them.
  void FailNextAdjustments(int pCount) { mFailAdjust = pCount; }
  int AdjustFailuresLeft() const { return mFailAdjust; }

  // Fault: the next pCount requests of any kind are not heard at all.
  void IgnoreNextRequests(int pCount) { mIgnoreNext = pCount; }
  // Fault: requests (their three command bytes) for which this returns true are not heard.
  std::function<bool(const QByteArray& pCmd)> DropRequest;

  // Power cycle: run mode from cell 101, calibration words from cells 88–91, no unsaved step.
  void PowerUp();
  tRunMode RunMode() const { return mRunMode; }
  // Cyclic output without a power cycle (a test shortcut); restarts the stream.
  void SetRunMode(tRunMode pMode);

  // The three command bytes of every request the instrument accepted, in order.
  const QList<QByteArray>& Requests() const { return mRequests; }
  void ClearRequests() { mRequests.clear(); }
  int SoftwareResets() const { return mSoftwareResets; }

  // Frame encodings shared with the tests.
  static QByteArray EncodePressure(double pValue);
  static QByteArray EncodeTemperature(double pCelsius);
  static QByteArray EncodeRangeValue(double pValue, bool pStart, bool pAbsolute);

private:
  void HandleFrame(const QByteArray& pCmd);
  void Reply(const QByteArray& pPrefixAndData);
  bool HandleAdjust(const QByteArray& pCmd);
  void RestartCyclic();
  void CyclicTick();
  int Interval10ms() const;

  tModel mModel;
  std::array<quint8, 256> mEeprom{};
  QByteArray mRangeStart;
  QByteArray mRangeEnd;
  QByteArray mIdent = "4711";
  quint8 mFirmware1 = 0x12;
  quint8 mFirmware2 = 0x34;
  quint8 mProdMonth = 5;
  quint8 mProdYear = 12;
  quint8 mTypeByte = 0x20;
  double mPressure = 0.0;
  double mTemperature = 25.0;
  quint8 mStatus = 0;
  bool mAdjustNp = false;
  bool mAdjustSp = false;
  int mPendingZero = 0;
  int mPendingSpan = 0;
  quint16 mZeroWord = 0x8000;
  quint16 mSpanWord = 0x8000;
  int mFailAdjust = 0;
  int mIgnoreNext = 0;
  tRunMode mRunMode = tRunMode::rmPoll;
  QTimer* mCyclicTimer = nullptr;
  QByteArray mRx;
  QList<QByteArray> mRequests;
  int mSoftwareResets = 0;
};
