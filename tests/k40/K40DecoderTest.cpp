// The K40 traffic decoder on the frames of every K40 request and reply.
#include "protocol/k40/K40Decoder.h"

#include "support/TrafficCases.h"

#include <gtest/gtest.h>

namespace {

const tExchangeCase cExchanges[] = {
    {"455251180d", "1c51f0a30d", tcReadEeprom, 81, "", "240"},
    {"4d4100720d", "030081007c0d", tcReadRangeStart, -1, "", "-1 rel."},
    {"4d4100720d", "030000807d0d", tcReadRangeStart, -1, "", "0 abs."},
    {"4d45006e0d", "04001942a10d", tcReadRangeEnd, -1, "", "0.25"},
    {"5865fe450d", "1d65fe800d", tcWriteEeprom, 101, "254", "254"},
    {"4b4e00670d", "4b34373131e80d", tcReadIdent, -1, "", "4711"},
    {"5352005b0d", "011234b90d", tcK40ReadFirmware, -1, "", "1.02"},
    {"484400740d", "08050ce70d", tcReadProductionDate, -1, "", "05/12"},
    {"534fff5f0d", "736fff1f0d", tcSetPollMode, -1, "", ""},
    {"545950030d", "0a07ef0d", tcProbeType, -1, "", "7"},
    {"4e50aab80d", "4e50620d", tcZeroAdjustOn, -1, "", ""},
    {"4e5011510d", "4e50620d", tcZeroRaise, -1, "", ""},
    {"4e50441e0d", "4e50620d", tcZeroLower, -1, "", ""},
    {"4e5088da0d", "4e50620d", tcZeroSave, -1, "", ""},
    {"5350aab30d", "4e50620d", tcSpanAdjustOn, -1, "", ""},
    {"5350114c0d", "4e50620d", tcSpanRaise, -1, "", ""},
    {"535055080d", "4e50620d", tcSpanLower, -1, "", ""},
    {"535088d50d", "4e50620d", tcSpanSave, -1, "", ""},
    {"524e88d80d", "524e600d", tcZeroFactoryReset, -1, "", ""},
    {"525388d30d", "524e600d", tcSpanFactoryReset, -1, "", ""},
    {"504b00650d", "6b000004910d", tcK40LiveStatus, -1, "", "4"},
    {"545700550d", "540032007a0d", tcK40LiveTemperature, -1, "", "25 °C"},
    {"545700550d", "54011400970d", tcK40LiveTemperature, -1, "", "-10 °C"},
    {"5052005e0d", "58800500230d", tcLiveFactoryPressure, -1, "", "-5"},
    {"505a00560d", "50006450fc0d", tcLivePressure, -1, "", "1"},
};

} // namespace

TEST(K40Decoder, EveryRequestAndReplyGivesItsCommandCellAndValue) {
  const tK40Decoder decoder;
  for (const tExchangeCase& c : cExchanges)
    ExpectExchange(decoder, c, false);
}

TEST(K40Decoder, SpoiltOrMisplacedFramesAreReportedAsSuch) {
  const tReceivedCase cases[] = {
      {"corrupted checksum", "455251180d", "1c51f0a40d", frReply, ffWhole, 0, cvBad, "240"},
      {"stray leading byte", "455251180d", "001c51f0a30d", frReply, ffStrayLeading, 1, cvGood,
       "240"},
      {"truncated", "455251180d", "1c51f0", frReply, ffTruncated, 0, cvIncomplete, ""},
      {"nothing yet", "455251180d", "", frReply, ffTruncated, 0, cvIncomplete, ""},
      {"byte after the reply", "455251180d", "1c51f0a30d00", frReply, ffTrailing, 1, cvGood, "240"},
      {"another cell's reply", "455251180d", "1c52f0a20d", frReply, ffWrongStart, 0, cvGood, ""},
      // A cyclic pressure frame still arriving before the poll-mode acknowledgement.
      {"cyclic frame first", "534fff5f0d", "50006450fc0d736fff1f0d", frReply, ffStrayLeading, 6,
       cvGood, ""},
      {"after the software reset", "5253005b0d", "4e50620d", frOutside, ffNoExpectation, 0, cvGood,
       ""},
      {"no request waiting", "", "50006450fc0d", frOutside, ffNoExpectation, 0, cvGood, ""},
      {"no request, no terminator", "", "500064", frOutside, ffNoExpectation, 0, cvIncomplete, ""},
      {"unknown request", "5a5a004c0d", "4e50620d", frReply, ffNoExpectation, 0, cvGood, ""},
  };
  const tK40Decoder decoder;
  for (const tReceivedCase& c : cases)
    ExpectReceived(decoder, c);

  const tTrafficMeaning badSum = decoder.DecodeSent(Hex("455251190d"));
  EXPECT_EQ(badSum.Command, tcReadEeprom);
  EXPECT_EQ(badSum.Checksum, cvBad);
  const tTrafficMeaning cut = decoder.DecodeSent(Hex("455251"));
  EXPECT_EQ(cut.Fit, ffTruncated);
  EXPECT_EQ(cut.Checksum, cvIncomplete);
}

TEST(K40Decoder, AnyBytesAreDecodedWithoutReadingBeyondThem) {
  DecodeSpoilt(tK40Decoder(), cExchanges, 40);
}
