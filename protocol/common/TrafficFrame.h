#pragma once
// What one frame on an instrument's line means, in one record for both families, so that a
// traffic view can show any exchange without knowing the protocol. Values are written
// without a language: '.' as the decimal point, units as the protocol gives them; the view
// translates the command's name and adds everything else a reader needs.
#include "core/Types.h"

#include <QString>
#include <cstdint>

enum tTrafficDirection : std::uint8_t { tdSent, tdReceived };

// Every request either family sends, detection probes included. A reply carries the command
// of the request it answers. Commands that are the same bytes in both families are one value;
// where the families differ in bytes (status, temperature, firmware) each has its own.
enum tTrafficCommand : std::uint8_t {
  tcUnknown,
  tcReadRangeStart,
  tcReadRangeEnd,
  tcReadEeprom,
  tcWriteEeprom,
  tcReadFlash,
  tcReadIdent,
  tcK40ReadFirmware,
  tcR70ReadFirmware,
  tcReadProductionDate,
  tcReadAccuracy,
  tcSetPollMode,
  tcProbeType,
  tcZeroAdjustOn,
  tcZeroRaise,
  tcZeroLower,
  tcZeroSave,
  tcSpanAdjustOn,
  tcSpanRaise,
  tcSpanLower,
  tcSpanSave,
  tcZeroFactoryReset,
  tcSpanFactoryReset,
  tcSoftwareReset,
  tcK40LiveStatus,
  tcK40LiveTemperature,
  tcR70LiveStatus,
  tcR70LiveTemperature,
  tcLivePressure,
  tcLiveFactoryPressure,
};
constexpr int TrafficCommandCount = tcLiveFactoryPressure + 1;
// The letters of each command as they go on the line ("ER", "MA", "TWH"), shown beside its
// translated name; empty for tcUnknown. Commands sharing letters differ in their parameter.
extern const tEnumTable<tTrafficCommand, QString, TrafficCommandCount> TrafficCommandMnemonics;

// frOutside: received while no request was waiting for a reply.
enum tFrameRole : std::uint8_t { frRequest, frReply, frOutside };

// cvIncomplete: the bytes stop before the frame's checksum and terminator. cvNotApplicable:
// there is no frame to sum (bytes that do not start as expected, or too many of them).
enum tChecksumVerdict : std::uint8_t { cvGood, cvBad, cvNotApplicable, cvIncomplete };

// How the bytes match the frame the protocol expects: exactly, too few, the frame after or
// before ExtraBytes further bytes, a wrong start, or no expectation at all (a frame outside
// any exchange, or a reply to an unknown request).
enum tFrameFit : std::uint8_t {
  ffWhole,
  ffTruncated,
  ffStrayLeading,
  ffTrailing,
  ffWrongStart,
  ffNoExpectation
};

struct tTrafficMeaning {
  tTrafficDirection Direction = tdSent;
  tFrameRole Role = frRequest;
  tTrafficCommand Command = tcUnknown;
  // EEPROM or FLASH address (the command says which); -1 for commands without one.
  int Cell = -1;
  // The decoded value, empty where the frame carries none the protocol layer knows; of a
  // request, what it writes or the size of the step it makes. A reply whose sum is bad is
  // decoded all the same, so that the corrupted byte can be found.
  QString Value;
  bool AutoBaud = false;
  tChecksumVerdict Checksum = cvNotApplicable;
  tFrameFit Fit = ffWhole;
  int ExtraBytes = 0;
};

// Neutral texts of the values both decoders write.
namespace TrafficFrame {

// A number with '.' and up to the seven significant digits a single holds.
QString Number(double pValue);
// Month and two-digit year as the instruments report them: 5 and 12 give "05/12".
QString MonthYear(quint8 pMonth, quint8 pYear);
// pText with a '.' for every character that is not printable, so that it fits one line.
QString PrintableText(QString pText);

} // namespace TrafficFrame
