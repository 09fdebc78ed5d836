#include "protocol/k40/K40Decoder.h"

#include "protocol/common/FrameCodec.h"
#include "protocol/k40/K40Values.h"

#include <vector>

namespace {

using FrameCodec::Bytes;
using TrafficFrame::Number;

using tRequest = tTrafficDecoder::tRequest;
constexpr int cNoReply = tTrafficDecoder::cNoReply;

struct tFixedRequest {
  QByteArray Sent;
  tRequest Request;
};

// The requests whose three bytes never vary.
const std::vector<tFixedRequest>& FixedRequests() {
  static const std::vector<tFixedRequest> sTable = {
      {Bytes({'M', 'A', 0x00}), {tcReadRangeStart, Bytes({0x03}), 3}},
      {Bytes({'M', 'E', 0x00}), {tcReadRangeEnd, Bytes({0x04}), 3}},
      {Bytes({'K', 'N', 0x00}), {tcReadIdent, "K", 4}},
      {Bytes({'S', 'R', 0x00}), {tcK40ReadFirmware, Bytes({0x01}), 2}},
      {Bytes({'H', 'D', 0x00}), {tcReadProductionDate, Bytes({0x08}), 2}},
      {Bytes({'S', 'O', 0xFF}), {tcSetPollMode, Bytes({'s', 'o', 0xFF}), 0}},
      {"TYP", {tcProbeType, Bytes({0x0A}), 1}},
      // Every adjustment step is acknowledged with "NP", the span's too; the span is lowered
      // with "U".
      {Bytes({'N', 'P', 0xAA}), {tcZeroAdjustOn, "NP", 0}},
      {Bytes({'N', 'P', 0x11}), {tcZeroRaise, "NP", 0}},
      {"NPD", {tcZeroLower, "NP", 0}},
      {Bytes({'N', 'P', 0x88}), {tcZeroSave, "NP", 0}},
      {Bytes({'S', 'P', 0xAA}), {tcSpanAdjustOn, "NP", 0}},
      {Bytes({'S', 'P', 0x11}), {tcSpanRaise, "NP", 0}},
      {"SPU", {tcSpanLower, "NP", 0}},
      {Bytes({'S', 'P', 0x88}), {tcSpanSave, "NP", 0}},
      // Both factory resets are acknowledged with "RN".
      {Bytes({'R', 'N', 0x88}), {tcZeroFactoryReset, "RN", 0}},
      {Bytes({'R', 'S', 0x88}), {tcSpanFactoryReset, "RN", 0}},
      {Bytes({'R', 'S', 0x00}), {tcSoftwareReset, {}, cNoReply}},
      {Bytes({'P', 'K', 0x00}), {tcK40LiveStatus, "k", 3}},
      {Bytes({'T', 'W', 0x00}), {tcK40LiveTemperature, "T", 3}},
      {Bytes({'P', 'R', 0x00}), {tcLiveFactoryPressure, "X", 3}},
      {Bytes({'P', 'Z', 0x00}), {tcLivePressure, "P", 3}},
  };
  return sTable;
}

} // namespace

tTrafficDecoder::tRequest tK40Decoder::Recognise(const QByteArray& pCommand) const {
  const quint8 lAddress = quint8(pCommand[1]);
  const quint8 lParam = quint8(pCommand[2]);
  if (pCommand[0] == 'X')
    return {tcWriteEeprom, Bytes({0x1D, lAddress, lParam}), 0, lAddress, Number(lParam)};
  if (pCommand.startsWith("ER")) return {tcReadEeprom, Bytes({0x1C, lParam}), 1, lParam};
  for (const tFixedRequest& lFixed : FixedRequests())
    if (lFixed.Sent == pCommand) return lFixed.Request;
  return {};
}

QString tK40Decoder::ReplyValue(const tRequest& pRequest, const QByteArray& pData) const {
  switch (pRequest.Command) {
  case tcReadRangeStart:
    return Number(K40Values::RangeValue(pData, true)) + ' ' +
           DruckKennungText[K40Values::RangeKennung(pData)];
  case tcReadRangeEnd:
    return Number(K40Values::RangeValue(pData, false));
  case tcReadEeprom:
  case tcProbeType:
    return Number(quint8(pData[0]));
  case tcWriteEeprom:
    // The acknowledgement echoes the value written.
    return pRequest.Value;
  case tcReadIdent:
    return TrafficFrame::PrintableText(K40Values::IdentText(pData));
  case tcK40ReadFirmware:
    return K40Values::FirmwareText(quint8(pData[0]));
  case tcReadProductionDate:
    return TrafficFrame::MonthYear(quint8(pData[0]), quint8(pData[1]));
  case tcK40LiveStatus:
    return Number(K40Values::Status(pData));
  case tcK40LiveTemperature:
    return Number(K40Values::Temperature(pData)) + ' ' + TemperatureUnitNames[0];
  case tcLivePressure:
  case tcLiveFactoryPressure:
    return Number(K40Values::Pressure(pData));
  default:
    return QString();
  }
}
