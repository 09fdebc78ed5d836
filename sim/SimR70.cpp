#include "sim/SimR70.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace {

constexpr char cAutoBaudByte = 0x55;
constexpr int cFrameLength = 5; // three request bytes, checksum, 0x0D

QByteArray FloatBytes(float pValue) {
  quint32 bits;
  std::memcpy(&bits, &pValue, sizeof bits);
  QByteArray result(4, '\0');
  qToLittleEndian(bits, result.data());
  return result;
}

QByteArray Bytes(std::initializer_list<int> pBytes) {
  QByteArray result;
  for (int b : pBytes)
    result.append(char(b));
  return result;
}

// Step size of each raise and lower code of the adjustment commands.
int StepOfCode(quint8 pCode) {
  switch (pCode) {
  case 0x11:
    return 1;
  case 0x12:
    return 10;
  case 0x13:
    return 100;
  case 0x44:
    return -1;
  case 0x45:
    return -10;
  case 0x46:
    return -100;
  default:
    return 0;
  }
}

} // namespace

tSimR70::tSimR70(tModel pModel, int pOwnBaud, bool pNeedAutoBaud, QObject* parent)
    : tSimInstrument(parent), mModel(pModel), mOwnBaud(pOwnBaud), mNeedAutoBaud(pNeedAutoBaud) {
  if (pModel == tModel::R7x) {
    SetRange(0, 10, 0xFE, 0xFE);
    SetOutputKind(2);
    SetSignalRange(4, 20);
    SetSerial('R', 12345, 'A');
    SetProductNr(70123);
    SetAccuracyByte(20);
    SetFirmware(1, 5);
  } else {
    SetRange(0, 1000, 0xFE, 0xFE);
    SetOutputKind(5);
    SetSignalRange(0, 1000);
    SetSerial('V', 54321, 'Q');
    SetProductNr(50001);
    SetAccuracyByte(50);
    SetFirmware(2, 15);
  }
  SetBarFactors(1, 1);
  SetProductionDate(15, 3, 24);
  SetOperatingParam(0x7F, 100);
  SetFactoryOperatingParam(0x7F, 100);
  SetCalibrationDate(1, 6, 25);
  SetTemperature(25.0);
}

quint8 tSimR70::Eeprom(int pAddress) const {
  return mEeprom.at(size_t(pAddress & 0xFF));
}
void tSimR70::SetEeprom(int pAddress, quint8 pValue) {
  mEeprom.at(size_t(pAddress & 0xFF)) = pValue;
}
quint8 tSimR70::Flash(int pAddress) const {
  return mFlash.at(size_t(pAddress & 0xFF));
}
void tSimR70::SetFlash(int pAddress, quint8 pValue) {
  mFlash.at(size_t(pAddress & 0xFF)) = pValue;
}

quint8 tSimR70::EepromCrc() const {
  // CRC-8, polynomial 0x9B, MSB first, no reflection, no final XOR.
  quint8 crc = 0;
  for (int a = 0; a < 16; ++a) {
    crc ^= mEeprom[size_t(a)];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80) ? quint8((crc << 1) ^ 0x9B) : quint8(crc << 1);
  }
  return crc;
}

void tSimR70::SetRange(float pStart, float pEnd, quint8 pStartCode, quint8 pEndCode) {
  mRangeStart = pStart;
  mRangeEnd = pEnd;
  mStartCode = pStartCode;
  mEndCode = pEndCode;
}

void tSimR70::StoreFloatInFlash(int pAddress, float pValue) {
  const QByteArray b = FloatBytes(pValue);
  for (int i = 0; i < 4; ++i)
    SetFlash(pAddress + i, quint8(b[i]));
}

void tSimR70::SetBarFactors(float pStart, float pEnd) {
  StoreFloatInFlash(149, pStart);
  StoreFloatInFlash(153, pEnd);
}

void tSimR70::SetSignalRange(float pStart, float pEnd) {
  // Only the upper three bytes of each single are kept; the lowest is taken as 0.
  const QByteArray s = FloatBytes(pStart);
  const QByteArray e = FloatBytes(pEnd);
  for (int i = 0; i < 3; ++i) {
    SetFlash(160 + i, quint8(s[i + 1]));
    SetFlash(163 + i, quint8(e[i + 1]));
  }
}

void tSimR70::SetSerial(char pFirst, qint32 pDigits, char pLast) {
  SetFlash(133, quint8(pFirst));
  SetFlash(138, quint8(pLast));
  mSerialDigits = pDigits;
}

void tSimR70::SetProductNr(qint32 pValue) {
  for (int i = 0; i < 4; ++i)
    SetFlash(129 + i, quint8(quint32(pValue) >> (8 * i)));
}

void tSimR70::SetFirmware(quint8 pMajor, quint8 pMinor) {
  mFirmwareMajor = pMajor;
  mFirmwareMinor = pMinor;
}

void tSimR70::SetProductionDate(quint8 pDay, quint8 pMonth, quint8 pYear2000) {
  SetFlash(157, pDay);
  mProdMonth = pMonth;
  mProdYear = pYear2000;
}

void tSimR70::SetCalibrationDate(quint8 pDay, quint8 pMonth, quint8 pYear2000) {
  SetEeprom(10, pDay);
  SetEeprom(11, pMonth);
  SetEeprom(12, pYear2000);
  UpdateEepromCrc();
}

void tSimR70::SetOperatingParam(quint8 pCode, quint16 pInterval) {
  SetEeprom(35, pCode);
  SetEeprom(36, quint8(pInterval & 0xFF));
  SetEeprom(37, quint8(pInterval >> 8));
}

void tSimR70::SetFactoryOperatingParam(quint8 pCode, quint16 pInterval) {
  SetEeprom(179, pCode);
  SetEeprom(180, quint8(pInterval & 0xFF));
  SetEeprom(181, quint8(pInterval >> 8));
}

float tSimR70::OutputPressure() const {
  const double span = double(mRangeEnd) - double(mRangeStart);
  return float(double(mPressure) * (1.0 + mAdjust[1] * 1e-4) + mAdjust[0] * 1e-4 * span);
}

void tSimR70::SetTemperature(double pCelsius) {
  mTemperatureRaw = quint16(qint16(std::lround(pCelsius * 16.0)));
}

void tSimR70::FailNextCommands(int pCount, tFailKind pKind) {
  mFailCount = pCount;
  mFailKind = pKind;
}

void tSimR70::SetLineBaud(int pBaud) {
  tSimInstrument::SetLineBaud(pBaud);
  // A rate change garbles whatever was half received.
  mBuffer.clear();
  mSawAutoBaud = false;
}

void tSimR70::Receive(const QByteArray& pBytes) {
  // At a foreign rate the instrument sees only noise.
  if (LineBaud() != mOwnBaud) return;
  mBuffer.append(pBytes);
  while (!mBuffer.isEmpty()) {
    if (mBuffer[0] == cAutoBaudByte) {
      // 0x55 is also the status command "U"; that one is followed by 0x00.
      if (mBuffer.size() < 2) break;
      if (mBuffer[1] != '\0') {
        mBuffer.remove(0, 1);
        mSawAutoBaud = true;
        continue;
      }
    }
    if (mBuffer.size() < cFrameLength) break;
    quint8 sum = 0;
    for (int i = 0; i < 4; ++i)
      sum = quint8(sum + quint8(mBuffer[i]));
    if (sum != 0 || mBuffer[4] != '\r') {
      // Not a frame start: resynchronise one byte later.
      mBuffer.remove(0, 1);
      mSawAutoBaud = false;
      continue;
    }
    const QByteArray request = mBuffer.left(3);
    mBuffer.remove(0, cFrameLength);
    const bool autoBaud = mSawAutoBaud;
    mSawAutoBaud = false;
    if (mNeedAutoBaud && !autoBaud) continue; // cannot measure the rate: stays silent
    if (autoBaud) ++mAutoBaudCount;
    mRequests.append(request);
    emit RequestReceived(request);
    HandleRequest(request);
  }
}

bool tSimR70::IsLiveRequest(const QByteArray& pRequest) {
  return pRequest.startsWith('U') || pRequest == "TWH" || pRequest.startsWith("PZ") ||
         pRequest.startsWith("PR");
}

void tSimR70::HandleRequest(const QByteArray& pRequest) {
  for (const QByteArray& start : mUnanswered)
    if (pRequest.startsWith(start)) return;
  if (mFailCount > 0 && !mWorkingOutReply && !IsLiveRequest(pRequest)) {
    --mFailCount;
    if (mFailKind == tFailKind::NoReply) return;
    // Work out the reply the command would give, without keeping its effect.
    const auto eeprom = mEeprom;
    const auto adjust = mAdjust;
    const auto saved = mAdjustSaved;
    const bool on = mAdjustOn;
    const int resets = mResetCount;
    const auto transmit = OnTransmit;
    QByteArray captured;
    OnTransmit = [&captured](const QByteArray& pFrame) { captured = pFrame; };
    mWorkingOutReply = true;
    HandleRequest(pRequest);
    mWorkingOutReply = false;
    OnTransmit = transmit;
    mEeprom = eeprom;
    mAdjust = adjust;
    mAdjustSaved = saved;
    mAdjustOn = on;
    mResetCount = resets;
    if (captured.size() >= 2) {
      captured[captured.size() - 2] = char(captured[captured.size() - 2] ^ 0x5A);
      Transmit(captured);
    }
    return;
  }

  const QByteArray cmd = pRequest.left(2);
  const quint8 p = quint8(pRequest[2]);
  if (cmd == "ER") {
    Reply(Bytes({0x1C, p, Eeprom(p)}));
  } else if (cmd == "FR") {
    Reply(Bytes({0x1E, p, Flash(p)}));
  } else if (pRequest[0] == 'X') {
    const quint8 value = p;
    const quint8 address = quint8(pRequest[1]);
    SetEeprom(address, value);
    Reply(Bytes({0x1D, address, value}));
  } else if (cmd == "RS") {
    if (p == 0x00) {
      // Software reset: unsaved adjustment steps are lost; no reply.
      mAdjust = mAdjustSaved;
      mAdjustOn = false;
      ++mResetCount;
    } else if (p == 0x88) {
      mAdjust[1] = mAdjustSaved[1] = 0;
      Reply("RS");
    }
  } else if (cmd == "RN") {
    if (p == 0x88) {
      mAdjust[0] = mAdjustSaved[0] = 0;
      Reply("RN");
    }
  } else if (pRequest == "SRH") {
    Reply(QByteArray("sr") + char(mFirmwareMajor) + char(mFirmwareMinor));
  } else if (cmd == "KN") {
    QByteArray digits(4, '\0');
    qToLittleEndian(quint32(mSerialDigits), digits.data());
    Reply(QByteArray("K") + digits);
  } else if (cmd == "MA") {
    Reply(QByteArray(1, 0x03) + FloatBytes(mRangeStart) + char(mStartCode));
  } else if (cmd == "ME") {
    Reply(QByteArray(1, 0x04) + FloatBytes(mRangeEnd) + char(mEndCode));
  } else if (cmd == "HD") {
    Reply(Bytes({0x08, mProdMonth, mProdYear}));
  } else if (cmd == "GK") {
    Reply(Bytes({0x06, 0x00, mAccuracyByte}));
  } else if (cmd == "NP" || cmd == "SP") {
    const int target = cmd == "NP" ? 0 : 1;
    const QByteArray lower = cmd.toLower();
    if (p == 0xAA) {
      mAdjustOn = true;
      Reply(lower + char(0xAA));
    } else if (p == 0x88) {
      mAdjustSaved[size_t(target)] = mAdjust[size_t(target)];
      mAdjustOn = false;
      Reply(lower + char(0x88));
    } else {
      Adjust(target, lower, p);
    }
  } else if (pRequest[0] == 'U') {
    Reply(Bytes({'u', mStatusByte}));
  } else if (pRequest == "TWH") {
    Reply(Bytes({'t', mTemperatureRaw >> 8, mTemperatureRaw & 0xFF}));
  } else if (cmd == "PZ") {
    Reply(QByteArray("P") + FloatBytes(OutputPressure()) + '\0');
  } else if (cmd == "PR") {
    Reply(QByteArray("X") + FloatBytes(mPressure) + '\0');
  }
  // Anything else (the K40 "SO"/"TYP" probes among them) is not an R70 command: no answer.
}

void tSimR70::Adjust(int pTarget, const QByteArray& pName, quint8 pCode) {
  const int step = StepOfCode(pCode);
  if (step == 0) return;
  int& steps = mAdjust[size_t(pTarget)];
  // A refused step is answered with 0x00 instead of the code.
  if (!mAdjustOn || std::abs(steps + step) > mAdjustLimit) {
    Reply(pName + '\0');
    return;
  }
  steps += step;
  Reply(pName + char(pCode));
}

void tSimR70::Reply(const QByteArray& pStartAndData) {
  quint8 sum = 0;
  for (char c : pStartAndData)
    sum = quint8(sum + quint8(c));
  QByteArray frame = pStartAndData;
  frame.append(char(quint8(256 - sum)));
  frame.append('\r');
  Transmit(frame);
}
