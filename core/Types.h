#pragma once
// Enumerations, event types and constant unit tables shared by every layer. Immutable data
// plus the two unit-code lookups; nothing here holds state.
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

// Instrument family recognised while connecting.
enum tDeviceType : std::uint8_t { dtNone, dtK4xP, dtR2x, dtR7x, dtVQ5 };
constexpr int DeviceTypeCount = 5;

// State of a device frame and its family page.
enum tDeviceStatus : std::uint8_t {
  dsDisconnected,
  dsConnecting,
  dsConnectRead,
  dsConnected,
  dsLogging,
  dsAdjusting,
  dsProgramming,
  dsInternalError
};

// One step of the adjustment dialogue.
enum tAdjustAction : std::uint8_t {
  aaOn,
  aaInc1,
  aaInc10,
  aaInc100,
  aaDec1,
  aaDec10,
  aaDec100,
  aaOK,
  aaCancel,
  aaFactoryReset
};

// Zero point or span.
enum tToAdjust : std::uint8_t { taNp, taSp };

// UI language; the settings file stores the ordinal.
enum tLanguage : std::uint8_t { laGerman, laEnglish };

// Gauge, absolute or unspecified measuring range.
enum tDruckKennung : std::uint8_t { dkRelativ, dkAbsolut, dkNo };
constexpr int DruckKennungCount = 3;

// Pressure units. Scoped, because names such as `bar`, `at` or `Pa` would otherwise clash
// with ordinary identifiers; the tables below accept the enumerator as index directly.
enum class tPressureUnit : std::uint8_t {
  bar,
  mbar,
  ubar,
  Pa,
  kPa,
  MPa,
  kp_mm2,
  kp_cm2,
  atm,
  mmHg,
  mmWs,
  psi,
  inH2O,
  inHg,
  mWs,
  at,
  hPsi,
  kg_cm2,
  cmWs,
  cmHg,
  FTWC,
  InWC,
  mCA,
  mH2O,
  mmH2O,
  mmWC,
  mmWK,
  mVs,
  Torr,
  mHg,
  mVP,
  mmWG,
  mWG,
  oz_in2,
  gasSF6,
  gasN2,
  gas80N2_20SF6,
  gasDryAir,
  mWC
};
constexpr int PressureUnitCount = 39;

// Fixed-size table indexed either by its enumeration or by a plain ordinal.
template <typename E, typename T, std::size_t N> struct tEnumTable {
  std::array<T, N> mItems;

  constexpr const T& operator[](E pIndex) const { return mItems[static_cast<std::size_t>(pIndex)]; }
  constexpr const T& operator[](std::size_t pIndex) const { return mItems[pIndex]; }
  constexpr std::size_t size() const { return N; }
  constexpr auto begin() const { return mItems.begin(); }
  constexpr auto end() const { return mItems.end(); }
};

// Display names of the families; dtNone has the empty name.
extern const tEnumTable<tDeviceType, QString, DeviceTypeCount> DeviceTypeNames;
// Unit texts; they are identifiers as well as captions and are compared exactly.
extern const tEnumTable<tPressureUnit, QString, PressureUnitCount> PressureUnitNames;
// Value of one unit in bar; 0 for the gas-density units, which cannot be converted.
extern const tEnumTable<tPressureUnit, double, PressureUnitCount> PressureUnitFactors;
// Short texts "rel.", "abs.", "---" used in range texts.
extern const tEnumTable<tDruckKennung, QString, DruckKennungCount> DruckKennungText;

// One selectable unit with its codes in both protocols (K40 code 0: the K40 family has none).
struct tUnitCode {
  tPressureUnit Unit;
  std::uint8_t R70Code;
  std::uint8_t K40Code;
};
constexpr int UnitCodeCount = 25;
// The units offered for selection, in the order the unit boxes list them.
extern const std::array<tUnitCode, UnitCodeCount> UnitCodeTable;

// Temperature unit texts in the order they are offered; temperatures are held in °C.
constexpr int TemperatureUnitCount = 3;
extern const std::array<QString, TemperatureUnitCount> TemperatureUnitNames;

// Unit of a K40 range code; the last matching row wins (0x70 is kPa). Code 0 and unknown
// codes raise eError "Unknown Pressure Unit: <code in decimal>".
tPressureUnit UnitFromK40Code(std::uint8_t pCode);
// Unit text of an R70 range code; bit 0 (absolute marker) is ignored, the last matching row
// wins. Unknown codes raise eError "Unknown Pressure Unit: <code in decimal>".
QString UnitTextFromR70Code(std::uint8_t pCode);
// The same without raising: false for an unknown code, pText then unchanged.
bool FindUnitTextOfR70Code(std::uint8_t pCode, QString& pText);
// Index of a unit text among the 39 unit texts (exact comparison, first match), -1 if none.
int PressureUnitIndex(const QString& pUnitText);

// Single handlers bound to an object; assigning one replaces the previous.
using tDeviceStatusChangedEvent = std::function<void(const tDeviceStatus pDeviceStatus)>;
using tAdjustActionEvent =
    std::function<bool(const tToAdjust pToAdjust, const tAdjustAction pAdjustAction)>;
using tDeviceCountChangedEvent = std::function<void(const std::int32_t pDeviceCount)>;
