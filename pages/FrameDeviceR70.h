#pragma once
// The page of an R70-protocol instrument (R-70 / R-71 and the VQ-5): averaged live pressure
// and temperature with an information grid, the adjustment panel with the output and the
// factory pressure, and the communication settings of USB instruments.
#include "core/DeviceInfo.h"
#include "core/Error.h"
#include "i18n/MessageSlots.h"
#include "pages/FrameDeviceBase.h"

#include <QList>
#include <QString>
#include <exception>
#include <functional>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTabWidget;
class TFrameAdjust;
class iComPort;
class tCaptionPanel;
class tDMU_R70ifc;
class tRadioGroup;
class tRichEdit;

class TFrameDeviceR70 : public TFrameDeviceBase {
  Q_OBJECT
public:
  // Source of the current date-time for the sampling of the averaged values; replaceable so
  // that tests decide when 200 ms have passed.
  using tClock = std::function<tDateTime()>;

  TFrameDeviceR70(QWidget* AOwner, tDeviceInfo* pDeviceInfo);
  ~TFrameDeviceR70() override;

  bool Connected() const override;
  void SetConnected(bool pValue) override;
  void SetDeviceStatus(tDeviceStatus pValue) override;
  void Initialize(std::unique_ptr<iComPort> pCom) override;
  void Release() override;

  // 0x55 before every request; set by the frame before connecting.
  bool AutoBaud() const { return FAutoBaud; }
  void SetAutoBaud(bool pValue) { FAutoBaud = pValue; }

  // The device interface while connected, else none.
  tDMU_R70ifc* R70ifc() const { return mR70ifc.get(); }

  // Components, named as the localisation engine keys them.
  QGroupBox* GroupBoxDruck = nullptr;
  tCaptionPanel* PanelPressure = nullptr;
  QComboBox* ComboBoxUnitMBA = nullptr;
  QComboBox* ComboBoxUnitMBE = nullptr;
  QLabel* LabelMinus = nullptr;
  QLabel* LabelPlus = nullptr;
  QGroupBox* GroupBoxTemperatur = nullptr;
  tCaptionPanel* PanelTemperature = nullptr;
  QComboBox* ComboBoxTempUnit = nullptr;
  QTableWidget* StringGridInfo = nullptr;
  tRichEdit* RichEditTransStringGridInfo = nullptr;
  tRichEdit* RichEditTransOutText = nullptr;
  tRichEdit* RichEditError = nullptr;
  TFrameAdjust* FrameAdjust = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label1 = nullptr;
  tCaptionPanel* PanelP = nullptr;
  QLabel* Label2 = nullptr;
  tCaptionPanel* PanelPWz = nullptr;
  tRadioGroup* RadioGroupOperMode = nullptr;
  QGroupBox* GroupBoxParams = nullptr;
  QLabel* lblAusgabeintervall = nullptr;
  QSpinBox* SpinEditInterval = nullptr;
  QPushButton* ButtonWriteSettings = nullptr;
  QPushButton* ButtonFactorySettings = nullptr;

  // Index of the output-signal unit entry in both pressure unit boxes, -1 when there is none.
  int ItemIdxAnalog() const { return mItemIdxAnalog; }
  // The samples the displays average (newest last).
  const QList<double>& MeasVal() const { return mMeasVal; }
  const QList<double>& MeasWz() const { return mMeasWz; }
  // When the last sample was taken.
  tDateTime LastSampleTime() const { return mLastTimeValue; }

  void SetClock(tClock pClock);

  // The button handlers, reachable for tests as a click would run them.
  void ButtonWriteSettingsClick();
  void ButtonFactorySettingsClick();

private:
  void BuildComponents();
  void BuildInfoTab();
  void BuildAdjustTab();
  void BuildSettingsTab();
  void ShowNewValue();
  void ComboBoxUnitChange();
  void InterfaceTimedOut();
  void DeviceInfoChanged(tDeviceInfo* pSender);
  void RebuildModeList();
  void EnableControls(bool pEnabled);
  void EnableSettings(bool pEnabled);
  void AdjustStatusChanged(tDeviceStatus pDeviceStatus);
  void PageControlChange() override;
  void RichEditTransOutTextChange();
  void PageTranslated();
  void RichEditTransStringGridInfoChange();
  void FitTranslatedTexts();
  void SetGridValue(int pRow, const QString& pText);
  void ShowOperatingParams();
  void SettingsFailed(const std::exception& pError);
  void ReleaseInterface();
  QString ConvertedPressure(double pBar, const QString& pUnitMBA, const QString& pUnitMBE,
                            bool pWithUnit) const;
  QString FormatValueWithUnit(int pDigits, double pValue) const;
  int WerksDruckDigits() const;
  tDateTime Now() const;

  bool FAutoBaud = false;
  std::unique_ptr<tDMU_R70ifc> mR70ifc;
  std::unique_ptr<iComPort> mCom;
  int mItemIdxAnalog = -1;
  tDateTime mLastTimeValue = 0;
  tDeviceInfo* mDeviceInfo = nullptr;
  QList<double> mMeasVal;
  QList<double> mMeasWz;
  tClock mClock;
  // Messages 213, 229 and 235, German until the first translation.
  tMessageSlots mOutText{QStringLiteral("Verbindungsaufbau gescheitert!"),
                         QString::fromUtf8("Es ist ein interner Gerätefehler aufgetreten!"),
                         QString::fromUtf8("nicht unterstützt")};
  enum { otConnectFailed, otInternalError, otNotSupported };
};
