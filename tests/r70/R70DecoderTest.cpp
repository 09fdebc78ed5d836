// The R70 traffic decoder on the frames of every R70 request and reply and of the probes.
#include "protocol/r70/R70Decoder.h"

#include "support/TrafficCases.h"

#include <gtest/gtest.h>

namespace {

const tExchangeCase cExchanges[] = {
    {"45520a5f0d", "1c0a2ab00d", tcReadEeprom, 10, "", "42"},
    {"4652a6c20d", "1ea605370d", tcReadFlash, 166, "", "5"},
    {"58237c090d", "1d237c440d", tcWriteEeprom, 35, "124", "124"},
    {"4b4e00670d", "4b393000004c0d", tcReadIdent, -1, "", "0012345"},
    {"535248130d", "73720105150d", tcR70ReadFirmware, -1, "", "1.5"},
    {"535248130d", "7372020f0a0d", tcR70ReadFirmware, -1, "", "2.15"},
    {"4d4100720d", "03000080bffec00d", tcReadRangeStart, -1, "", "-1 bar"},
    // A unit code the program does not know is shown as the code.
    {"4d4100720d", "0300002041029a0d", tcReadRangeStart, -1, "", "10 [2]"},
    {"4d45006e0d", "0400008041ff3c0d", tcReadRangeEnd, -1, "", "16 bar abs."},
    {"484400740d", "08050ce70d", tcReadProductionDate, -1, "", "05/12"},
    {"474b006e0d", "060014e60d", tcReadAccuracy, -1, "", "0.1"},
    {"474b006e0d", "0600fffb0d", tcReadAccuracy, -1, "", "1.275"},
    {"4e50aab80d", "6e70aa780d", tcZeroAdjustOn, -1, "", ""},
    {"535088d50d", "737088950d", tcSpanSave, -1, "", ""},
    {"5350134a0d", "7370130a0d", tcSpanRaise, -1, "100", "100"},
    {"4e50441e0d", "6e7044de0d", tcZeroLower, -1, "1", "1"},
    // A refused step echoes 0x00 instead of its code.
    {"4e50451d0d", "6e7000220d", tcZeroLower, -1, "10", "0"},
    {"524e88d80d", "524e600d", tcZeroFactoryReset, -1, "", ""},
    {"525388d30d", "52535b0d", tcSpanFactoryReset, -1, "", ""},
    {"550000ab0d", "7503880d", tcR70LiveStatus, -1, "", "3"},
    {"5457480d0d", "74fff09d0d", tcR70LiveTemperature, -1, "", "-1 °C"},
    {"5457480d0d", "740190fb0d", tcR70LiveTemperature, -1, "", "25 °C"},
    {"505a00560d", "500000c03f00b10d", tcLivePressure, -1, "", "1.5"},
    {"5052005e0d", "58000000bf00e90d", tcLiveFactoryPressure, -1, "", "-0.5"},
    {"534fff5f0d", "736fff1f0d", tcSetPollMode, -1, "", ""},
};

} // namespace

TEST(R70Decoder, EveryRequestAndReplyGivesItsCommandCellAndValue) {
  const tR70Decoder decoder;
  for (const tExchangeCase& c : cExchanges) {
    ExpectExchange(decoder, c, false);
    ExpectExchange(decoder, c, true);
  }
}

TEST(R70Decoder, ProbesOfEveryTryShowWhetherTheAutoBaudByteLedThem) {
  // The rate is the line's, not the frame's: at 115200 the bytes are those of 9600 without
  // 0x55.
  const struct {
    const char* Try;
    const char* Sent;
    tTrafficCommand Command;
    bool AutoBaud;
  } cases[] = {
      {"9600 with 0x55, poll mode", "55534fff5f0d", tcSetPollMode, true},
      {"9600 with 0x55, range start", "554d4100720d", tcReadRangeStart, true},
      {"9600, poll mode", "534fff5f0d", tcSetPollMode, false},
      {"115200, range start", "4d4100720d", tcReadRangeStart, false},
      // The status request is 0x55 itself; with the auto-baud byte it is 0x55 twice.
      {"status", "550000ab0d", tcR70LiveStatus, false},
      {"status with 0x55", "55550000ab0d", tcR70LiveStatus, true},
  };
  const tR70Decoder decoder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Try);
    const tTrafficMeaning sent = decoder.DecodeSent(Hex(c.Sent));
    EXPECT_EQ(sent.Command, c.Command);
    EXPECT_EQ(sent.AutoBaud, c.AutoBaud);
    EXPECT_EQ(sent.Checksum, cvGood);
    EXPECT_EQ(sent.Fit, ffWhole);
  }
}

TEST(R70Decoder, SpoiltOrMisplacedFramesAreReportedAsSuch) {
  const tReceivedCase cases[] = {
      {"corrupted checksum", "505a00560d", "500000c03f00b20d", frReply, ffWhole, 0, cvBad, "1.5"},
      {"stray leading byte", "505a00560d", "00500000c03f00b10d", frReply, ffStrayLeading, 1, cvGood,
       "1.5"},
      {"truncated", "505a00560d", "500000c03f00", frReply, ffTruncated, 0, cvIncomplete, ""},
      // The K40 range reply is two bytes shorter than the R70 one.
      {"a K40 range reply", "4d4100720d", "030081007c0d", frReply, ffTruncated, 0, cvIncomplete,
       ""},
      {"after the software reset", "5253005b0d", "7503880d", frOutside, ffNoExpectation, 0, cvGood,
       ""},
      {"no request waiting", "", "7503870d", frOutside, ffNoExpectation, 0, cvBad, ""},
  };
  const tR70Decoder decoder;
  for (const tReceivedCase& c : cases)
    ExpectReceived(decoder, c);
}

TEST(R70Decoder, AnyBytesAreDecodedWithoutReadingBeyondThem) {
  DecodeSpoilt(tR70Decoder(), cExchanges, 70);
}
