#pragma once
// An instrument of the R70 protocol family (R-70/R-71 or VQ-5), seen from the instrument's
// side: it parses the request frames the program sends, keeps FLASH and EEPROM cells, and
// answers with reply frames. Pacing and line faults belong to the attachment.
#include "sim/SimInstrument.h"

#include <QByteArray>
#include <QList>
#include <array>

class tSimR70 : public tSimInstrument {
  Q_OBJECT
public:
  enum class tModel { R7x, VQ5 };
  // How a request chosen by FailNextCommands fails; the request is never executed.
  enum class tFailKind { NoReply, BadChecksum };

  // pOwnBaud: the only rate the instrument understands; pNeedAutoBaud: it answers a request
  // only when the auto-baud byte 0x55 came right before it.
  tSimR70(tModel pModel, int pOwnBaud = 9600, bool pNeedAutoBaud = false,
          QObject* parent = nullptr);

  void Receive(const QByteArray& pBytes) override;
  void SetLineBaud(int pBaud) override;

  tModel Model() const { return mModel; }
  int OwnBaud() const { return mOwnBaud; }
  void SetOwnBaud(int pBaud) { mOwnBaud = pBaud; }
  bool NeedAutoBaud() const { return mNeedAutoBaud; }
  void SetNeedAutoBaud(bool pValue) { mNeedAutoBaud = pValue; }

  // Memory cells (addresses 0..255). Writing EEPROM through the protocol ("X") also lands here.
  quint8 Eeprom(int pAddress) const;
  void SetEeprom(int pAddress, quint8 pValue);
  QByteArray EepromImage() const override {
    return QByteArray(reinterpret_cast<const char*>(mEeprom.data()), int(mEeprom.size()));
  }
  quint8 Flash(int pAddress) const;
  void SetFlash(int pAddress, quint8 pValue);
  // The CRC the instrument expects in EEPROM 240 over cells 0..15, and whether it matches.
  quint8 EepromCrc() const;
  bool EepromCrcValid() const { return Eeprom(240) == EepromCrc(); }
  void UpdateEepromCrc() { SetEeprom(240, EepromCrc()); }

  // Identity. Range: the singles of "MA"/"ME" with their unit codes (bit 0 set = absolute).
  void SetRange(float pStart, float pEnd, quint8 pStartCode, quint8 pEndCode);
  float RangeStart() const { return mRangeStart; }
  float RangeEnd() const { return mRangeEnd; }
  // Bar per range unit, stored in FLASH 149 and 153.
  void SetBarFactors(float pStart, float pEnd);
  // Output kind in FLASH 166 (0 digital, 1 V, 2 mA two-wire, 3 mA three-wire, 5 USB);
  // signal start and end in FLASH 160 and 163 (upper three bytes of a single).
  void SetOutputKind(quint8 pKind) { SetFlash(166, pKind); }
  void SetSignalRange(float pStart, float pEnd);
  // Serial-number text: FLASH 133, the digits of "KN", FLASH 138.
  void SetSerial(char pFirst, qint32 pDigits, char pLast);
  void SetProductNr(qint32 pValue);
  void SetAccuracyByte(quint8 pValue) { mAccuracyByte = pValue; }
  void SetFirmware(quint8 pMajor, quint8 pMinor);
  // Production date: day in FLASH 157, month and year-2000 answered by "HD".
  void SetProductionDate(quint8 pDay, quint8 pMonth, quint8 pYear2000);
  // Adjustment date in EEPROM 10..12 (the CRC at 240 is updated).
  void SetCalibrationDate(quint8 pDay, quint8 pMonth, quint8 pYear2000);
  // Operating parameters (EEPROM 35..37) and the factory copies (179..181).
  void SetOperatingParam(quint8 pCode, quint16 pInterval);
  void SetFactoryOperatingParam(quint8 pCode, quint16 pInterval);
  quint8 OperatingModeCode() const { return Eeprom(35); }
  quint16 OpInterval() const { return quint16(Eeprom(37) << 8 | Eeprom(36)); }

  // Live values. Pressure: the factory-adjusted value ("PR") in the range unit; "PZ" answers
  // it with the instrument's own zero and span adjustment applied.
  void SetPressure(float pValue) { mPressure = pValue; }
  float Pressure() const { return mPressure; }
  float OutputPressure() const;
  void SetTemperature(double pCelsius);
  void SetTemperatureRaw(quint16 pSixteenths) { mTemperatureRaw = pSixteenths; }
  quint16 TemperatureRaw() const { return mTemperatureRaw; }
  // Non-zero: the instrument reports an internal fault.
  void SetStatusByte(quint8 pValue) { mStatusByte = pValue; }
  quint8 StatusByte() const { return mStatusByte; }

  // Adjustment: working steps of the zero point and the span (one step is 1/10000 of the
  // span, resp. of the gain); a step that would leave +-AdjustLimit is refused.
  int ZeroSteps() const { return mAdjust[0]; }
  int SpanSteps() const { return mAdjust[1]; }
  int SavedZeroSteps() const { return mAdjustSaved[0]; }
  int SavedSpanSteps() const { return mAdjustSaved[1]; }
  void SetAdjustLimit(int pSteps) { mAdjustLimit = pSteps; }
  int AdjustLimit() const { return mAdjustLimit; }
  bool AdjustOn() const { return mAdjustOn; }
  int ResetCount() const { return mResetCount; }

  // The next pCount command requests (live requests "U", "TWH", "PZ", "PR" excluded) fail.
  void FailNextCommands(int pCount, tFailKind pKind = tFailKind::BadChecksum);
  int PendingFailures() const { return mFailCount; }
  // Requests starting with one of these bytes are heard but never answered.
  void SetUnanswered(const QList<QByteArray>& pCommandStarts) { mUnanswered = pCommandStarts; }

  // Every request understood, without 0x55, checksum and terminator, in arrival order.
  const QList<QByteArray>& Requests() const { return mRequests; }
  void ClearRequests() { mRequests.clear(); }
  // How many of them were preceded by 0x55.
  int AutoBaudCount() const { return mAutoBaudCount; }

signals:
  void RequestReceived(const QByteArray& pRequest);

private:
  void HandleRequest(const QByteArray& pRequest);
  void Reply(const QByteArray& pStartAndData);
  void Adjust(int pTarget, const QByteArray& pName, quint8 pCode);
  static bool IsLiveRequest(const QByteArray& pRequest);
  void StoreFloatInFlash(int pAddress, float pValue);

  tModel mModel;
  int mOwnBaud;
  bool mNeedAutoBaud;
  QByteArray mBuffer;
  bool mSawAutoBaud = false;

  std::array<quint8, 256> mEeprom{};
  std::array<quint8, 256> mFlash{};
  float mRangeStart = 0;
  float mRangeEnd = 10;
  quint8 mStartCode = 0xFE;
  quint8 mEndCode = 0xFE;
  qint32 mSerialDigits = 0;
  quint8 mAccuracyByte = 20;
  quint8 mFirmwareMajor = 1;
  quint8 mFirmwareMinor = 5;
  quint8 mProdMonth = 1;
  quint8 mProdYear = 24;

  float mPressure = 0;
  quint16 mTemperatureRaw = 0;
  quint8 mStatusByte = 0;

  std::array<int, 2> mAdjust{};
  std::array<int, 2> mAdjustSaved{};
  int mAdjustLimit = 1000;
  bool mAdjustOn = false;
  int mResetCount = 0;

  int mFailCount = 0;
  tFailKind mFailKind = tFailKind::BadChecksum;
  bool mWorkingOutReply = false;
  QList<QByteArray> mUnanswered;

  QList<QByteArray> mRequests;
  int mAutoBaudCount = 0;
};
