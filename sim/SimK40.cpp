#include "sim/SimK40.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

// The instrument's own frame sum, kept apart from the program's helper so that a fault
// there cannot be mirrored by the peer that is meant to catch it.
quint8 FrameSum(const QByteArray& pBytes) {
  quint8 sum = 0;
  for (char c : pBytes)
    sum = quint8(sum + quint8(c));
  return quint8(0x100 - sum);
}

constexpr quint8 kModePoll = 0xFF;
constexpr quint8 kModeCyclP = 0xFE;
constexpr quint8 kModeCyclPT = 0xFD;

QByteArray Bytes(std::initializer_list<int> pList) {
  QByteArray b;
  for (int v : pList)
    b.append(char(quint8(v)));
  return b;
}

double DecodeRange(const QByteArray& b, bool pStart) {
  const int b1 = quint8(b[0]), b2 = quint8(b[1]), b3 = quint8(b[2]);
  int mantissa = pStart ? b1 * 256 + (b2 & 0x7F) : b1 * 256 + b2;
  if (pStart && (b2 & 0x80)) mantissa = -mantissa;
  int exponent = b3 & 0x3F;
  if (b3 & 0x40) exponent = -exponent;
  return mantissa * std::pow(10.0, exponent);
}

} // namespace

tSimK40::tSimK40(tModel pModel, QObject* pParent) : tSimInstrument(pParent), mModel(pModel) {
  mEeprom[57] = 10; // 0.10 %
  mEeprom[79] = 3;  // last adjustment 03/14
  mEeprom[80] = 14;
  mEeprom[81] = 0xF0; // bar
  mEeprom[88] = 0x80; // working span and zero: neutral
  mEeprom[89] = 0x00;
  mEeprom[90] = 0x80;
  mEeprom[91] = 0x00;
  for (int offs : {97, 103, 111, 117}) {
    mEeprom[offs] = 0x80;
    mEeprom[offs + 1] = 0x00;
    mEeprom[offs + 2] = 0x80;
    mEeprom[offs + 3] = 0x00;
  }
  mEeprom[101] = kModePoll;
  mEeprom[102] = 100; // 1 s
  mEeprom[103] = 0;
  mEeprom[104] = 1 * 17;
  mEeprom[123] = 100;
  mEeprom[124] = 0;
  mEeprom[125] = 1 * 17;
  mEeprom[126] = kModePoll;
  mEeprom[127] = 4; // 4 … 20 mA, 3-wire
  SetRange(0.0, 16.0, false);
  mCyclicTimer = new QTimer(this);
  mCyclicTimer->setTimerType(Qt::PreciseTimer);
  connect(mCyclicTimer, &QTimer::timeout, this, &tSimK40::CyclicTick);
  PowerUp();
}

tSimK40::~tSimK40() = default;

void tSimK40::SetLineBaud(int pBaud) {
  tSimInstrument::SetLineBaud(pBaud);
  mRx.clear();
}

void tSimK40::SetRange(double pStart, double pEnd, bool pAbsolute) {
  mRangeStart = EncodeRangeValue(pStart, true, pAbsolute);
  mRangeEnd = EncodeRangeValue(pEnd, false, false);
}

void tSimK40::SetRangeBytes(const QByteArray& pStart3, const QByteArray& pEnd3) {
  mRangeStart = pStart3.left(3).leftJustified(3, '\0');
  mRangeEnd = pEnd3.left(3).leftJustified(3, '\0');
}

double tSimK40::RangeStart() const {
  return DecodeRange(mRangeStart, true);
}
double tSimK40::RangeEnd() const {
  return DecodeRange(mRangeEnd, false);
}

void tSimK40::SetIdent(const QByteArray& pIdent4) {
  mIdent = pIdent4.left(4).leftJustified(4, ' ');
}

void tSimK40::SetFirmware(quint8 pRevision, quint8 pSecond) {
  mFirmware1 = pRevision;
  mFirmware2 = pSecond;
}

void tSimK40::SetProductionDate(quint8 pMonth, quint8 pYear) {
  mProdMonth = pMonth;
  mProdYear = pYear;
}

double tSimK40::ReportedPressure() const {
  const double span = RangeEnd() - RangeStart();
  const double gain = 1.0 + (int(mSpanWord) - 0x8000 + mPendingSpan) * 1e-4;
  const double offset = (int(mZeroWord) - 0x8000 + mPendingZero) * span / 10000.0;
  return mPressure * gain + offset;
}

void tSimK40::PowerUp() {
  mAdjustNp = mAdjustSp = false;
  mPendingZero = mPendingSpan = 0;
  mSpanWord = quint16(mEeprom[88] << 8 | mEeprom[89]);
  mZeroWord = quint16(mEeprom[90] << 8 | mEeprom[91]);
  mRunMode = tRunMode::rmPoll;
  if (mModel == tModel::K40P) {
    if (mEeprom[101] == kModeCyclP) mRunMode = tRunMode::rmCyclP;
    if (mEeprom[101] == kModeCyclPT) mRunMode = tRunMode::rmCyclPT;
  }
  RestartCyclic();
}

void tSimK40::SetRunMode(tRunMode pMode) {
  mRunMode = pMode;
  RestartCyclic();
}

int tSimK40::Interval10ms() const {
  return mEeprom[103] * 256 + mEeprom[102];
}

void tSimK40::RestartCyclic() {
  if (mRunMode == tRunMode::rmPoll) {
    mCyclicTimer->stop();
    return;
  }
  // An interval of 0 would flood the line; the instrument's fastest output is every 10 ms.
  mCyclicTimer->start(std::max(1, Interval10ms()) * 10);
}

void tSimK40::CyclicTick() {
  if (mRunMode == tRunMode::rmPoll) return;
  QByteArray burst;
  QByteArray p = "P" + EncodePressure(ReportedPressure());
  burst += p + char(FrameSum(p)) + '\r';
  if (mRunMode == tRunMode::rmCyclPT) {
    QByteArray t = "T" + EncodeTemperature(mTemperature);
    burst += t + char(FrameSum(t)) + '\r';
  }
  Transmit(burst);
}

void tSimK40::Receive(const QByteArray& pBytes) {
  // The instrument runs at 9600 bit/s only; at another rate it sees framing noise.
  if (LineBaud() != 9600) return;
  for (char c : pBytes) {
    mRx.append(c);
    if (mRx.size() > 64) mRx.remove(0, mRx.size() - 64);
    if (quint8(c) != 0x0D || mRx.size() < 5) continue;
    // A request is 3 command bytes, their sum and 0x0D; anything before it (an auto-baud
    // byte, line noise) is ignored. A 0x0D inside a frame fails the sum and is kept.
    const QByteArray frame = mRx.right(5);
    if (FrameSum(frame.left(3)) != quint8(frame[3])) continue;
    mRx.clear();
    if (mIgnoreNext > 0) {
      --mIgnoreNext;
      continue;
    }
    if (DropRequest && DropRequest(frame.left(3))) continue;
    HandleFrame(frame.left(3));
  }
}

void tSimK40::Reply(const QByteArray& pPrefixAndData) {
  Transmit(pPrefixAndData + char(FrameSum(pPrefixAndData)) + '\r');
}

void tSimK40::HandleFrame(const QByteArray& pCmd) {
  const bool k40 = mModel == tModel::K40P;
  const quint8 p = quint8(pCmd[2]);
  const QByteArray name = pCmd.left(2);
  if (pCmd[0] == 'X') { // write one cell: 'X', address, value
    mRequests.append(pCmd);
    mEeprom[quint8(pCmd[1])] = p;
    Reply(Bytes({0x1D, quint8(pCmd[1]), p}));
    return;
  }
  if (name == "ER") {
    mRequests.append(pCmd);
    Reply(Bytes({0x1C, p, mEeprom[p]}));
    return;
  }
  if (pCmd == "TYP") {
    if (k40) return; // a K-40-P must not be taken for an R-20
    mRequests.append(pCmd);
    Reply(Bytes({0x0A, mTypeByte}));
    return;
  }
  if (p == 0x00) {
    if (name == "MA") {
      mRequests.append(pCmd);
      Reply(char(0x03) + mRangeStart);
      return;
    }
    if (name == "ME") {
      mRequests.append(pCmd);
      Reply(char(0x04) + mRangeEnd);
      return;
    }
    if (name == "KN") {
      mRequests.append(pCmd);
      Reply("K" + mIdent);
      return;
    }
    if (name == "SR") {
      mRequests.append(pCmd);
      Reply(Bytes({0x01, mFirmware1, mFirmware2}));
      return;
    }
    if (name == "HD") {
      mRequests.append(pCmd);
      Reply(Bytes({0x08, mProdMonth, mProdYear}));
      return;
    }
    if (name == "PZ") {
      mRequests.append(pCmd);
      Reply("P" + EncodePressure(ReportedPressure()));
      return;
    }
    if (name == "PR") {
      mRequests.append(pCmd);
      Reply("X" + EncodePressure(mPressure));
      return;
    }
    if (name == "TW") {
      mRequests.append(pCmd);
      Reply("T" + EncodeTemperature(mTemperature));
      return;
    }
    if (name == "PK") {
      if (!k40) return; // no status byte on an
      mRequests.append(pCmd);
      Reply(Bytes({'k', 0, 0, mStatus}));
      return;
    }
    if (name == "RS") { // software reset: leaves adjustment unsaved, no reply
      mRequests.append(pCmd);
      ++mSoftwareResets;
      mAdjustNp = mAdjustSp = false;
      mPendingZero = mPendingSpan = 0;
      return;
    }
  }
  if (name == "SO" && p == 0xFF) {
    if (!k40) return; // the has no operating modes
    mRequests.append(pCmd);
    mRunMode = tRunMode::rmPoll;
    RestartCyclic();
    Reply(Bytes({'s', 'o', 0xFF}));
    return;
  }
  if (HandleAdjust(pCmd)) mRequests.append(pCmd);
}

bool tSimK40::HandleAdjust(const QByteArray& pCmd) {
  const QByteArray name = pCmd.left(2);
  const quint8 p = quint8(pCmd[2]);
  const bool np = name == "NP", sp = name == "SP";
  const bool reset = (name == "RN" || name == "RS") && p == 0x88;
  if (!np && !sp && !reset) return false;
  const bool known =
      reset || p == 0xAA || p == 0x11 || p == 0x88 || (np && p == 'D') || (sp && p == 'U');
  if (!known) return false;
  if (mFailAdjust > 0) {
    --mFailAdjust;
    return false;
  }
  if (reset) {
    // The program copies the factory block into cells 88–91 first; the reset loads them.
    if (name == "RN") {
      mZeroWord = quint16(mEeprom[90] << 8 | mEeprom[91]);
      mPendingZero = 0;
      mAdjustNp = false;
    } else {
      mSpanWord = quint16(mEeprom[88] << 8 | mEeprom[89]);
      mPendingSpan = 0;
      mAdjustSp = false;
    }
    Reply("RN");
    return true;
  }
  bool& enabled = np ? mAdjustNp : mAdjustSp;
  int& pending = np ? mPendingZero : mPendingSpan;
  if (p == 0xAA) {
    enabled = true;
    pending = 0;
  } else {
    // Steps and saving are heard only after the adjustment was switched on.
    if (!enabled) return false;
    if (p == 0x11) {
      ++pending;
    } else if (p == 0x88) {
      quint16& word = np ? mZeroWord : mSpanWord;
      word = quint16(std::clamp(int(word) + pending, 0, 0xFFFF));
      const int cell = np ? 90 : 88;
      mEeprom[cell] = quint8(word >> 8);
      mEeprom[cell + 1] = quint8(word);
      pending = 0;
      enabled = false;
    } else {
      --pending;
    }
  }
  Reply("NP"); // both targets acknowledge with "NP"
  return true;
}

QByteArray tSimK40::EncodePressure(double pValue) {
  const double magnitude = std::fabs(pValue);
  int exponent = -7;
  while (exponent < 7 && std::lround(magnitude / std::pow(10.0, exponent)) > 0x7FFF)
    ++exponent;
  long m = std::min(0x7FFFL, std::lround(magnitude / std::pow(10.0, exponent)));
  quint8 d1 = quint8((m >> 8) & 0x7F);
  if (pValue < 0 && m != 0) d1 |= 0x80;
  quint8 d3 = quint8((std::abs(exponent) & 0x07) << 3);
  if (exponent < 0) d3 |= 0x40;
  return Bytes({d1, quint8(m & 0xFF), d3});
}

QByteArray tSimK40::EncodeTemperature(double pCelsius) {
  // Half degrees; bit 0 of the first byte is the sign, so the magnitude skips bit 8.
  long m = std::lround(std::fabs(pCelsius) * 2.0);
  m = std::min(m, 0xFEFFL);
  quint8 d1 = quint8((m >> 8) & 0xFE);
  if (pCelsius < 0 && m != 0) d1 |= 0x01;
  return Bytes({d1, quint8(m & 0xFF), 0});
}

QByteArray tSimK40::EncodeRangeValue(double pValue, bool pStart, bool pAbsolute) {
  // The start's second byte carries the sign in bit 7, so its mantissa cannot use that bit.
  const double magnitude = std::fabs(pValue);
  auto representable = [&](long m) { return m <= 0xFFFF && (!pStart || (m & 0x80) == 0); };
  auto mantissa = [&](int e) { return std::lround(magnitude / std::pow(10.0, e)); };
  // Prefer the coarsest exponent that holds the value exactly (25 x 10^-2 for 0.25), else the
  // finest one that holds it at all.
  int best = 0;
  bool found = magnitude == 0.0;
  for (int e = 9; e >= -9 && !found; --e) {
    const long m = mantissa(e);
    if (m > 0 && representable(m) &&
        std::fabs(m * std::pow(10.0, e) - magnitude) <= 1e-9 * magnitude) {
      best = e;
      found = true;
    }
  }
  for (int e = -9; e <= 9 && !found; ++e) {
    if (representable(mantissa(e))) {
      best = e;
      found = true;
    }
  }
  const long m = found ? mantissa(best) : 0;
  quint8 b1 = quint8(m >> 8);
  quint8 b2 = quint8(m & 0xFF);
  if (pStart && pValue < 0 && m != 0) b2 |= 0x80;
  quint8 b3 = quint8(std::abs(best) & 0x3F);
  if (best < 0) b3 |= 0x40;
  if (pStart && pAbsolute) b3 |= 0x80;
  return Bytes({b1, b2, b3});
}
