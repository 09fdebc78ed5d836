#include "protocol/r70/R70Decoder.h"

#include "protocol/common/FrameCodec.h"
#include "protocol/r70/R70Values.h"

#include <vector>

namespace {

using FrameCodec::Bytes;
using FrameCodec::SingleOf;
using TrafficFrame::Number;

using tRequest = tTrafficDecoder::tRequest;
constexpr int cNoReply = tTrafficDecoder::cNoReply;
constexpr quint8 cAdjustOn = 0xAA;
constexpr quint8 cAdjustConfirm = 0x88;
// Step codes of the adjustment, for steps of 1, 10 and 100.
constexpr quint8 cRaiseCodes[] = {0x11, 0x12, 0x13};
constexpr quint8 cLowerCodes[] = {0x44, 0x45, 0x46};
const char* const cStepSizes[] = {"1", "10", "100"};

struct tFixedRequest {
  QByteArray Sent;
  tRequest Request;
};

// The requests whose three bytes never vary.
const std::vector<tFixedRequest>& FixedRequests() {
  static const std::vector<tFixedRequest> sTable = {
      {Bytes({'M', 'A', 0x00}), {tcReadRangeStart, Bytes({0x03}), 5}},
      {Bytes({'M', 'E', 0x00}), {tcReadRangeEnd, Bytes({0x04}), 5}},
      {Bytes({'K', 'N', 0x00}), {tcReadIdent, "K", 4}},
      {"SRH", {tcR70ReadFirmware, "sr", 2}},
      {Bytes({'H', 'D', 0x00}), {tcReadProductionDate, Bytes({0x08}), 2}},
      {Bytes({'G', 'K', 0x00}), {tcReadAccuracy, Bytes({0x06, 0x00}), 1}},
      {Bytes({'S', 'O', 0xFF}), {tcSetPollMode, Bytes({'s', 'o', 0xFF}), 0}},
      {Bytes({'R', 'N', 0x88}), {tcZeroFactoryReset, "RN", 0}},
      {Bytes({'R', 'S', 0x88}), {tcSpanFactoryReset, "RS", 0}},
      {Bytes({'R', 'S', 0x00}), {tcSoftwareReset, {}, cNoReply}},
      {Bytes({'U', 0x00, 0x00}), {tcR70LiveStatus, "u", 1}},
      {"TWH", {tcR70LiveTemperature, "t", 2}},
      {Bytes({'P', 'Z', 0x00}), {tcLivePressure, "P", 5}},
      {Bytes({'P', 'R', 0x00}), {tcLiveFactoryPressure, "X", 5}},
  };
  return sTable;
}

// Position of pCode among the three step codes, -1 if it is none of them.
int StepIndex(const quint8 (&pCodes)[3], quint8 pCode) {
  for (int i = 0; i < 3; ++i)
    if (pCodes[i] == pCode) return i;
  return -1;
}

// "NP" or "SP" with its parameter; the reply starts with the name in lower case.
tRequest RecogniseAdjust(const QByteArray& pCommand) {
  const bool lZero = pCommand.startsWith("NP");
  const QByteArray lReplyName = pCommand.left(2).toLower();
  const quint8 lParam = quint8(pCommand[2]);
  if (lParam == cAdjustOn)
    return {lZero ? tcZeroAdjustOn : tcSpanAdjustOn, lReplyName + char(lParam), 0};
  if (lParam == cAdjustConfirm)
    return {lZero ? tcZeroSave : tcSpanSave, lReplyName + char(lParam), 0};
  if (const int i = StepIndex(cRaiseCodes, lParam); i >= 0)
    return {lZero ? tcZeroRaise : tcSpanRaise, lReplyName, 1, -1, cStepSizes[i], lParam};
  if (const int i = StepIndex(cLowerCodes, lParam); i >= 0)
    return {lZero ? tcZeroLower : tcSpanLower, lReplyName, 1, -1, cStepSizes[i], lParam};
  return {};
}

// A range value with the unit its code names; a code the program does not know is shown in
// brackets.
QString RangeText(const QByteArray& pData) {
  const quint8 lCode = quint8(pData[4]);
  QString lUnit;
  if (!FindUnitTextOfR70Code(lCode, lUnit)) lUnit = '[' + Number(lCode) + ']';
  return Number(SingleOf(pData)) + ' ' + lUnit;
}

} // namespace

tTrafficDecoder::tRequest tR70Decoder::Recognise(const QByteArray& pCommand) const {
  const quint8 lAddress = quint8(pCommand[1]);
  const quint8 lParam = quint8(pCommand[2]);
  if (pCommand[0] == 'X')
    return {tcWriteEeprom, Bytes({0x1D, lAddress, lParam}), 0, lAddress, Number(lParam)};
  if (pCommand.startsWith("ER")) return {tcReadEeprom, Bytes({0x1C, lParam}), 1, lParam};
  if (pCommand.startsWith("FR")) return {tcReadFlash, Bytes({0x1E, lParam}), 1, lParam};
  if (pCommand.startsWith("NP") || pCommand.startsWith("SP")) return RecogniseAdjust(pCommand);
  for (const tFixedRequest& lFixed : FixedRequests())
    if (lFixed.Sent == pCommand) return lFixed.Request;
  return {};
}

QString tR70Decoder::ReplyValue(const tRequest& pRequest, const QByteArray& pData) const {
  switch (pRequest.Command) {
  case tcReadRangeStart:
    return RangeText(pData);
  case tcReadRangeEnd:
    // Bit 0 of the end's unit code marks an absolute range.
    return RangeText(pData) + ' ' + DruckKennungText[(pData[4] & 0x01) ? dkAbsolut : dkRelativ];
  case tcReadEeprom:
  case tcReadFlash:
  case tcR70LiveStatus:
    return Number(quint8(pData[0]));
  case tcWriteEeprom:
    // The acknowledgement echoes the value written.
    return pRequest.Value;
  case tcReadIdent:
    return R70Values::SerialDigits(pData);
  case tcR70ReadFirmware:
    return R70Values::FirmwareText(pData);
  case tcReadProductionDate:
    return TrafficFrame::MonthYear(quint8(pData[0]), quint8(pData[1]));
  case tcReadAccuracy:
    return Number(R70Values::Accuracy(quint8(pData[0])));
  case tcZeroRaise:
  case tcZeroLower:
  case tcSpanRaise:
  case tcSpanLower:
    // A step made echoes its code; anything else (0x00 for a refused step) is shown as it is.
    return quint8(pData[0]) == pRequest.Code ? pRequest.Value : Number(quint8(pData[0]));
  case tcR70LiveTemperature:
    return Number(R70Values::Temperature(pData)) + ' ' + TemperatureUnitNames[0];
  case tcLivePressure:
  case tcLiveFactoryPressure:
    return Number(SingleOf(pData));
  default:
    return QString();
  }
}
