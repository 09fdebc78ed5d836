#pragma once
// The page of a K40-family instrument (K-40-P / K-41-P and the older ): live
// pressure and temperature with an information grid, the adjustment panel, and the
// communication settings of RS-232 instruments.
#include "core/DeviceInfo.h"
#include "i18n/MessageSlots.h"
#include "pages/FrameDeviceBase.h"

#include <QString>
#include <array>
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
class tDMU_K40ifc;
class tRadioGroup;
class tRichEdit;

class TFrameDeviceK40 : public TFrameDeviceBase {
  Q_OBJECT
public:
  TFrameDeviceK40(QWidget* AOwner, tDeviceInfo* pDeviceInfo);
  ~TFrameDeviceK40() override;

  bool Connected() const override;
  void SetConnected(bool pValue) override;
  void SetDeviceStatus(tDeviceStatus pValue) override;
  void Initialize(std::unique_ptr<iComPort> pCom) override;
  void Release() override;

  // The device interface while connected, else none.
  tDMU_K40ifc* K40ifc() const { return mK40ifc.get(); }

  // Components, named as the localisation engine keys them.
  QGroupBox* GroupBoxDruck = nullptr;
  tCaptionPanel* PanelPressure = nullptr;
  QComboBox* ComboBoxUnitMBE = nullptr;
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
  QLabel* Label3 = nullptr;
  QSpinBox* SpinEditResponse = nullptr;
  QLabel* lblAusgabeintervall = nullptr;
  QSpinBox* SpinEditInterval = nullptr;
  QPushButton* ButtonWriteSettings = nullptr;
  QPushButton* ButtonFactorySettings = nullptr;

  // Index of the output-signal unit entry in ComboBoxUnitMBE, -1 when there is none.
  int ItemIdxAnalog() const { return mItemIdxAnalog; }

  // The button handlers, reachable for tests as a click would run them.
  void ButtonWriteSettingsClick();
  void ButtonFactorySettingsClick();

protected:
  bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
  void BuildComponents();
  void ArrangeGroups();
  void ShowValues();
  void ComboBoxUnitChange();
  void InterfaceTimedOut();
  void InfoChanged(tDeviceInfo* pSender);
  void EnablePageControls(bool pEnabled);
  void EnableSettingsControls(bool pEnabled);
  void AdjustStatusChanged(tDeviceStatus pDeviceStatus);
  void PageControlChange() override;
  void RichEditTransStringGridInfoChange();
  void RichEditTransOutTextChange();
  void SetGridValue(int pRow, const QString& pText);
  void ShowOperatingParams();
  void SettingsFailed(const QString& pText);
  void ReleaseInterface();

  std::unique_ptr<tDMU_K40ifc> mK40ifc;
  std::unique_ptr<iComPort> mCom;
  tDeviceInfo* mDeviceInfo = nullptr;
  int mItemIdxAnalog = -1;
  // Messages 213 and 230, German until the first translation.
  tMessageSlots mOutText{"Verbindungsaufbau gescheitert!",
                         "Die Versorgungsspannung ist zu gering!"};
  enum { otConnectFailed, otLowSupply };
};
