#include "core/Types.h"
#include "core/Error.h"

#include <gtest/gtest.h>

namespace {
QString ErrorText(const std::function<void()>& pCall) {
  try {
    pCall();
  } catch (const eError& lError) {
    return lError.Message();
  }
  return QStringLiteral("<no error>");
}
} // namespace

TEST(UnitTables, HoldEveryUnitWithTextAndFactor) {
  ASSERT_EQ(PressureUnitNames.size(), 39u);
  EXPECT_EQ(PressureUnitNames[tPressureUnit::ubar], QString::fromUtf8("µbar"));
  EXPECT_EQ(PressureUnitNames[tPressureUnit::ubar].at(0).unicode(), 0x00B5);
  EXPECT_EQ(PressureUnitNames[tPressureUnit::kp_mm2].at(5).unicode(), 0x00B2);
  EXPECT_EQ(PressureUnitNames[tPressureUnit::hPsi], "hpsi");
  EXPECT_EQ(PressureUnitNames[tPressureUnit::gas80N2_20SF6], "g/ltr_80N2_20SF6");
  EXPECT_EQ(PressureUnitNames[tPressureUnit::mWC], "mWC");
  EXPECT_EQ(PressureUnitFactors[tPressureUnit::psi], 0.06894757);
  EXPECT_EQ(PressureUnitFactors[tPressureUnit::mmWs], 0.0000980665);
  for (auto lGas : {tPressureUnit::gasSF6, tPressureUnit::gasN2, tPressureUnit::gas80N2_20SF6,
                    tPressureUnit::gasDryAir}) {
    EXPECT_EQ(PressureUnitFactors[lGas], 0.0);
  }
  // Texts are lookup keys: they must be unique.
  for (std::size_t i = 0; i < PressureUnitNames.size(); ++i) {
    EXPECT_EQ(PressureUnitIndex(PressureUnitNames[i]), static_cast<int>(i));
  }
  EXPECT_EQ(PressureUnitIndex("BAR"), -1);
}

TEST(UnitTables, NamesAndShortTextsAsShown) {
  EXPECT_EQ(DeviceTypeNames[dtNone], "");
  EXPECT_EQ(DeviceTypeNames[dtK4xP], "K-40-P / K-41-P");
  EXPECT_EQ(DeviceTypeNames[dtR2x], "R-20 / R-21");
  EXPECT_EQ(DeviceTypeNames[dtR7x], "R-70 / R-71");
  EXPECT_EQ(DeviceTypeNames[dtVQ5], "VQ-5 USB");
  EXPECT_EQ(DruckKennungText[dkRelativ], "rel.");
  EXPECT_EQ(DruckKennungText[dkAbsolut], "abs.");
  EXPECT_EQ(DruckKennungText[dkNo], "---");
  EXPECT_EQ(TemperatureUnitNames[0], QString::fromUtf8("°C"));
  EXPECT_EQ(TemperatureUnitNames[1], "K");
  EXPECT_EQ(TemperatureUnitNames[2], QString::fromUtf8("°F"));
  ASSERT_EQ(UnitCodeTable.size(), 25u);
  EXPECT_EQ(UnitCodeTable[0].Unit, tPressureUnit::bar);
  EXPECT_EQ(UnitCodeTable[13].Unit, tPressureUnit::inH2O);
  EXPECT_EQ(UnitCodeTable[13].R70Code, 0xC4);
  EXPECT_EQ(UnitCodeTable[24].Unit, tPressureUnit::Torr);
  EXPECT_EQ(UnitCodeTable[24].R70Code, 0xDA);
}

TEST(UnitLookups, K40CodesLastMatchWins) {
  EXPECT_EQ(UnitFromK40Code(0xF0), tPressureUnit::bar);
  EXPECT_EQ(UnitFromK40Code(0x70), tPressureUnit::kPa);
  EXPECT_EQ(UnitFromK40Code(0x50), tPressureUnit::inH2O);
  EXPECT_EQ(UnitFromK40Code(0xB0), tPressureUnit::kg_cm2);
}

TEST(UnitLookups, R70CodesIgnoreTheAbsoluteBit) {
  EXPECT_EQ(UnitTextFromR70Code(0xCB), "mbar");
  EXPECT_EQ(UnitTextFromR70Code(0xCA), "mbar");
  EXPECT_EQ(UnitTextFromR70Code(0xFF), "bar");
  EXPECT_EQ(UnitTextFromR70Code(0xFE), "bar");
  EXPECT_EQ(UnitTextFromR70Code(0x1F), "psi");
  EXPECT_EQ(UnitTextFromR70Code(0xDB), "Torr");
}

TEST(UnitLookups, UnknownCodesNameTheCodeInDecimal) {
  struct tCase {
    std::function<void()> mCall;
    const char* mText;
  };
  const tCase lCases[] = {
      {[] { UnitFromK40Code(0x00); }, "Unknown Pressure Unit: 0"},
      {[] { UnitFromK40Code(0xC0); }, "Unknown Pressure Unit: 192"},
      {[] { UnitFromK40Code(0xFF); }, "Unknown Pressure Unit: 255"},
      {[] { UnitTextFromR70Code(0x00); }, "Unknown Pressure Unit: 0"},
      {[] { UnitTextFromR70Code(0x01); }, "Unknown Pressure Unit: 1"},
      {[] { UnitTextFromR70Code(0xE0); }, "Unknown Pressure Unit: 224"},
  };
  for (const tCase& lCase : lCases)
    EXPECT_EQ(ErrorText(lCase.mCall), lCase.mText);
}

TEST(UnitConversion, FromBarDividesByTheFactor) {
  EXPECT_NEAR(16 / PressureUnitFactors[tPressureUnit::psi], 232.06, 0.005);
  EXPECT_NEAR(16 / PressureUnitFactors[tPressureUnit::kPa], 1600, 1e-9);
  EXPECT_NEAR(16 / PressureUnitFactors[tPressureUnit::mbar], 16000, 1e-9);
}
