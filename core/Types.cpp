#include "core/Types.h"

#include "core/Error.h"

const tEnumTable<tDeviceType, QString, DeviceTypeCount> DeviceTypeNames = {{
    QString(),
    QStringLiteral("K-40-P / K-41-P"),
    QStringLiteral("R-20 / R-21"),
    QStringLiteral("R-70 / R-71"),
    QStringLiteral("VQ-5 USB"),
}};

const tEnumTable<tPressureUnit, QString, PressureUnitCount> PressureUnitNames = {{
    QStringLiteral("bar"),
    QStringLiteral("mbar"),
    QString::fromUtf8("\u00B5bar"),
    QStringLiteral("Pa"),
    QStringLiteral("kPa"),
    QStringLiteral("MPa"),
    QString::fromUtf8("kp/mm\u00B2"),
    QString::fromUtf8("kp/cm\u00B2"),
    QStringLiteral("atm"),
    QStringLiteral("mmHg"),
    QStringLiteral("mmWs"),
    QStringLiteral("psi"),
    QStringLiteral("inH2O"),
    QStringLiteral("inHg"),
    QStringLiteral("mWs"),
    QStringLiteral("at"),
    QStringLiteral("hpsi"),
    QString::fromUtf8("kg/cm\u00B2"),
    QStringLiteral("cmWs"),
    QStringLiteral("cmHg"),
    QStringLiteral("FTWC"),
    QStringLiteral("InWC"),
    QStringLiteral("mCA"),
    QStringLiteral("mH2O"),
    QStringLiteral("mmH2O"),
    QStringLiteral("mmWC"),
    QStringLiteral("mmWK"),
    QStringLiteral("mVs"),
    QStringLiteral("Torr"),
    QStringLiteral("mHg"),
    QStringLiteral("mVP"),
    QStringLiteral("mmWG"),
    QStringLiteral("mWG"),
    QString::fromUtf8("oz/in\u00B2"),
    QStringLiteral("g/ltrSF6"),
    QStringLiteral("g/ltrN2"),
    QStringLiteral("g/ltr_80N2_20SF6"),
    QStringLiteral("g/ltrDryAir"),
    QStringLiteral("mWC"),
}};

const tEnumTable<tPressureUnit, double, PressureUnitCount> PressureUnitFactors = {{
    1,            // bar
    0.001,        // mbar
    0.000001,     // µbar
    0.00001,      // Pa
    0.01,         // kPa
    10,           // MPa
    98.0665,      // kp/mm²
    0.980665,     // kp/cm²
    1.01325,      // atm
    0.001333224,  // mmHg
    0.0000980665, // mmWs
    0.06894757,   // psi
    0.002490889,  // inH2O
    0.03386389,   // inHg
    0.0980665,    // mWs
    0.980665,     // at
    6.894757,     // hpsi
    0.980665,     // kg/cm²
    0.000980665,  // cmWs
    0.01333224,   // cmHg
    0.02989067,   // FTWC
    0.002490889,  // InWC
    0.0980665,    // mCA
    0.0980665,    // mH2O
    0.0000980665, // mmH2O
    0.0000980665, // mmWC
    0.0000980665, // mmWK
    0.0980665,    // mVs
    0.001333224,  // Torr
    1.333224,     // mHg
    0.0980665,    // mVP
    0.0000980665, // mmWG
    0.0980665,    // mWG
    0.004309223,  // oz/in²
    0,            // g/ltrSF6: density, not convertible
    0,            // g/ltrN2
    0,            // g/ltr_80N2_20SF6
    0,            // g/ltrDryAir
    0.0980665,    // mWC
}};

const tEnumTable<tDruckKennung, QString, DruckKennungCount> DruckKennungText = {{
    QStringLiteral("rel."),
    QStringLiteral("abs."),
    QStringLiteral("---"),
}};

const std::array<tUnitCode, UnitCodeCount> UnitCodeTable = {{
    {tPressureUnit::bar, 0xFE, 0xF0},    {tPressureUnit::psi, 0x1E, 0x10},
    {tPressureUnit::mmHg, 0x2E, 0x20},   {tPressureUnit::inHg, 0x3E, 0x30},
    {tPressureUnit::mWs, 0x4E, 0x40},    {tPressureUnit::hPsi, 0x6E, 0x60},
    {tPressureUnit::Pa, 0x7E, 0x70},     {tPressureUnit::kp_cm2, 0x8E, 0x80},
    {tPressureUnit::atm, 0x9E, 0x90},    {tPressureUnit::MPa, 0xAE, 0xA0},
    {tPressureUnit::kg_cm2, 0xBE, 0xB0}, {tPressureUnit::cmHg, 0xC0, 0x00},
    {tPressureUnit::FTWC, 0xC2, 0x00},   {tPressureUnit::inH2O, 0xC4, 0x50},
    {tPressureUnit::InWC, 0xC6, 0x00},   {tPressureUnit::kPa, 0xC8, 0x70},
    {tPressureUnit::mbar, 0xCA, 0x00},   {tPressureUnit::mCA, 0xCC, 0x00},
    {tPressureUnit::mH2O, 0xCE, 0x00},   {tPressureUnit::mmH2O, 0xD0, 0x00},
    {tPressureUnit::mmWC, 0xD2, 0x00},   {tPressureUnit::mmWK, 0xD4, 0x00},
    {tPressureUnit::mmWs, 0xD6, 0x00},   {tPressureUnit::mVs, 0xD8, 0x00},
    {tPressureUnit::Torr, 0xDA, 0x00},
}};

const std::array<QString, TemperatureUnitCount> TemperatureUnitNames = {
    QString::fromUtf8("\u00B0C"),
    QStringLiteral("K"),
    QString::fromUtf8("\u00B0F"),
};

namespace {
[[noreturn]] void RaiseUnknownUnit(std::uint8_t pCode) {
  throw eError(QStringLiteral("Unknown Pressure Unit: ") + QString::number(pCode));
}
} // namespace

tPressureUnit UnitFromK40Code(std::uint8_t pCode) {
  bool lFound = false;
  tPressureUnit lUnit = tPressureUnit::bar;
  // Code 0 marks "no K40 code" in the table, so it must never match.
  if (pCode != 0) {
    for (const tUnitCode& lRow : UnitCodeTable) {
      if (lRow.K40Code == pCode) {
        lUnit = lRow.Unit;
        lFound = true;
      }
    }
  }
  if (!lFound) RaiseUnknownUnit(pCode);
  return lUnit;
}

bool FindUnitTextOfR70Code(std::uint8_t pCode, QString& pText) {
  bool lFound = false;
  // Bit 0 is the absolute marker of the range, not part of the unit.
  for (const tUnitCode& lRow : UnitCodeTable) {
    if ((lRow.R70Code & 0xFE) == (pCode & 0xFE)) {
      pText = PressureUnitNames[lRow.Unit];
      lFound = true;
    }
  }
  return lFound;
}

QString UnitTextFromR70Code(std::uint8_t pCode) {
  QString lText;
  if (!FindUnitTextOfR70Code(pCode, lText)) RaiseUnknownUnit(pCode);
  return lText;
}

int PressureUnitIndex(const QString& pUnitText) {
  for (int i = 0; i < PressureUnitCount; ++i) {
    if (PressureUnitNames[static_cast<std::size_t>(i)] == pUnitText) return i;
  }
  return -1;
}
