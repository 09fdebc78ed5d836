#include "pages/FrameDeviceK40.h"

#include "core/Format.h"
#include "core/NestedLoop.h"
#include "core/Types.h"
#include "core/Utils.h"
#include "widgets/CaptionPanel.h"
#include "widgets/DialogService.h"
#include "widgets/GridHelpers.h"
#include "widgets/Look.h"
#include "widgets/RadioGroup.h"
#include "i18n/Resources.h"
#include "widgets/RichEdit.h"
#include "pages/FrameAdjust.h"
#include "pages/PageParts.h"
#include "protocol/k40/DMU_K40ifc.h"
#include "serial/ComPortIntf.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

using namespace PageParts;

namespace {

constexpr int cGridRows = 8;
enum { riType, riRange, riSignal, riAccuracy, riHeadNr, riLastCalib, riProduction, riFirmware };

} // namespace

TFrameDeviceK40::TFrameDeviceK40(QWidget* AOwner, tDeviceInfo* pDeviceInfo)
    : TFrameDeviceBase(AOwner), mDeviceInfo(pDeviceInfo) {
  BuildComponents();

  // The unit box is filled before the record's first notification, which selects the range
  // unit and appends the output-signal entry.
  for (const tUnitCode& lCode : UnitCodeTable)
    ComboBoxUnitMBE->addItem(PressureUnitNames[lCode.Unit]);
  ComboBoxUnitMBE->addItem("%");
  mItemIdxAnalog = -1;
  ComboBoxTempUnit->setCurrentIndex(0);

  mDeviceInfo->AddEvent(tNotifyEvent(this, &TFrameDeviceK40::InfoChanged));
  FrameAdjust->SetDeviceInfo(mDeviceInfo);
  ClearGridSelection(StringGridInfo);

  CheckTranslationLines(*RichEditTransOutText, 2);
  Resources().AddForm(this);
  BuildBadRepliesLabel(TabSheetInfo, QRect(0, 224, 265, 18));

  // The user's choice shows at once; the page's own selections show with the next value.
  for (QComboBox* lBox : {ComboBoxUnitMBE, ComboBoxTempUnit})
    connect(lBox, &QComboBox::activated, this, [this] { ComboBoxUnitChange(); });
  connect(PageControl, &QTabWidget::currentChanged, this, [this] { PageControlChange(); });
  connect(ButtonWriteSettings, &QPushButton::clicked, this, [this] { ButtonWriteSettingsClick(); });
  connect(ButtonFactorySettings, &QPushButton::clicked, this,
          [this] { ButtonFactorySettingsClick(); });

  // A page starts disconnected: nothing but the tabs and the grid is usable yet.
  EnablePageControls(false);
  EnableSettingsControls(false);
}

TFrameDeviceK40::~TFrameDeviceK40() {
  mDeviceInfo->DeleteEvent(tNotifyEvent(this, &TFrameDeviceK40::InfoChanged));
  if (Resources().IsRegistered(this)) Resources().DeleteForm(this);
  FrameAdjust->SetOnAdjustAction({});
  FrameAdjust->SetOnDeviceStatusChanged({});
  mK40ifc.reset();
}

void TFrameDeviceK40::BuildComponents() {
  resize(451, 304);
  auto* lPageLayout = new QVBoxLayout(this);
  lPageLayout->setContentsMargins(0, 0, 0, 0);
  PageControl = new QTabWidget(this);
  lPageLayout->addWidget(PageControl);
  PageControl->setObjectName("PageControl");
  PageControl->setIconSize(QSize(32, 32));

  // Information
  TabSheetInfo = new QWidget;
  TabSheetInfo->setObjectName("TabSheetInfo");
  PageControl->addTab(TabSheetInfo, QIcon(":/images/frame_tab_info.svg"), "201@Information");

  GroupBoxDruck = NewGroup("GroupBoxDruck", "204@Druck ", TabSheetInfo, {0, 4, 265, 77});
  PanelPressure =
      NewValuePanel("PanelPressure", GroupBoxDruck, {8, 20, 165, 49}, Look::PressureText, 16);
  ComboBoxUnitMBE = NewUnitBox("ComboBoxUnitMBE", GroupBoxDruck, 176, 32, Look::PressureText);
  ComboBoxUnitMBE->setMaxVisibleItems(16);

  GroupBoxTemperatur =
      NewGroup("GroupBoxTemperatur", "205@Temperatur ", TabSheetInfo, {0, 84, 265, 77});
  PanelTemperature = NewValuePanel("PanelTemperature", GroupBoxTemperatur, {8, 20, 165, 49},
                                   Look::TemperatureText, 16);
  ComboBoxTempUnit = new QComboBox(GroupBoxTemperatur);
  ComboBoxTempUnit->setObjectName("ComboBoxTempUnit");
  for (const QString& lUnit : TemperatureUnitNames)
    ComboBoxTempUnit->addItem(lUnit);
  ComboBoxTempUnit->setGeometry(176, 32, 81, ComboBoxTempUnit->sizeHint().height());
  Look::ValueComboBox(ComboBoxTempUnit, Look::TemperatureText);

  StringGridInfo = new QTableWidget(cGridRows, 2, TabSheetInfo);
  StringGridInfo->setObjectName("StringGridInfo");
  StringGridInfo->setGeometry(276, 8, 305, cGridRows * 20 + 2 * StringGridInfo->frameWidth());
  StringGridInfo->horizontalHeader()->setStretchLastSection(true);
  StringGridInfo->horizontalHeader()->hide();
  StringGridInfo->verticalHeader()->hide();
  StringGridInfo->horizontalHeader()->setMinimumSectionSize(20);
  StringGridInfo->verticalHeader()->setMinimumSectionSize(16);
  for (int c = 0; c < 2; ++c)
    StringGridInfo->setColumnWidth(c, 150);
  for (int r = 0; r < cGridRows; ++r) {
    StringGridInfo->setRowHeight(r, 20);
    for (int c = 0; c < 2; ++c)
      StringGridInfo->setItem(r, c, new QTableWidgetItem);
  }
  StringGridInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGridInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGridInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGridInfo->setFocusPolicy(Qt::NoFocus);
  Look::InfoGrid(StringGridInfo);
  // Display only; the text keeps its normal colour although the grid takes no input.
  QPalette lGridPalette = StringGridInfo->palette();
  lGridPalette.setColor(QPalette::Disabled, QPalette::Text,
                        lGridPalette.color(QPalette::Active, QPalette::Text));
  StringGridInfo->setPalette(lGridPalette);
  StringGridInfo->setEnabled(false);

  RichEditTransStringGridInfo = new tRichEdit(
      {"228@Gerätetyp:", "206@Messbereich:", "207@Ausgangssignal:", "231@Genauigkeit:",
       "227@Kopfnummer:", "210@Justagedatum:", "211@Herstelldatum:", "212@Firmware-Version:"},
      TabSheetInfo);
  RichEditTransStringGridInfo->setObjectName("RichEditTransStringGridInfo");
  RichEditTransStringGridInfo->hide();
  RichEditTransStringGridInfo->SetOnChange([this] { RichEditTransStringGridInfoChange(); });

  RichEditTransOutText = new tRichEdit(
      {"213@Verbindungsaufbau gescheitert!", "230@Die Versorgungsspannung ist zu gering!"},
      TabSheetInfo);
  RichEditTransOutText->setObjectName("RichEditTransOutText");
  RichEditTransOutText->hide();
  RichEditTransOutText->SetOnChange([this] { RichEditTransOutTextChange(); });

  RichEditError = new tRichEdit({"RichEditError"}, TabSheetInfo);
  RichEditError->setObjectName("RichEditError");
  RichEditError->setGeometry(0, 168, 265, 53);
  RichEditError->setReadOnly(true);
  Look::ErrorBox(RichEditError, 13);
  RichEditError->hide();

  // Adjustment
  TabSheetJustage = new QWidget;
  TabSheetJustage->setObjectName("TabSheetJustage");
  PageControl->addTab(TabSheetJustage, QIcon(":/images/frame_tab_adjust.svg"), "203@Justage");
  FrameAdjust = new TFrameAdjust(TabSheetJustage);
  FrameAdjust->setObjectName("FrameAdjust");
  // The panel fills the tab; the readouts sit on top of it at their own place.
  auto* lAdjustLayout = new QVBoxLayout(TabSheetJustage);
  lAdjustLayout->setContentsMargins(0, 0, 0, 0);
  lAdjustLayout->addWidget(FrameAdjust);
  GroupBox1 = NewGroup("GroupBox1", "214@Messwerte ", TabSheetJustage, {184, 28, 185, 145});
  Label1 = NewLabel("Label1", "215@Ausgabedruckwert:", GroupBox1, 8, 20);
  PanelP = NewValuePanel("PanelP", GroupBox1, {8, 36, 165, 37}, Look::PressureText, 16);
  Label2 = NewLabel("Label2", "216@Druckwert nach Werkseinstellung:", GroupBox1, 8, 80);
  PanelPWz = NewValuePanel("PanelPWz", GroupBox1, {8, 96, 165, 37}, Look::PressureText, 16);
  PanelP->setMinimumWidth(165);
  PanelP->setFixedHeight(37);
  PanelPWz->setMinimumWidth(165);
  PanelPWz->setFixedHeight(37);
  // Laid out, so that the group grows with the longer texts of a language.
  auto* lReadout = new QVBoxLayout(GroupBox1);
  lReadout->setContentsMargins(8, 6, 8, 8);
  lReadout->setSpacing(3);
  lReadout->addWidget(Label1);
  lReadout->addWidget(PanelP);
  lReadout->addSpacing(5);
  lReadout->addWidget(Label2);
  lReadout->addWidget(PanelPWz);
  GroupBox1->raise();

  // Settings
  TabSheetSettings = new QWidget;
  TabSheetSettings->setObjectName("TabSheetSettings");
  PageControl->addTab(TabSheetSettings, QIcon(":/images/frame_tab_settings.svg"),
                      "217@Einstellungen");
  RadioGroupOperMode = new tRadioGroup(
      "218@Betriebsmodus: ",
      {"219@Polling", "220@zyklisch Druck", "221@zyklisch Druck und Temperatur"}, TabSheetSettings);
  RadioGroupOperMode->setObjectName("RadioGroupOperMode");
  RadioGroupOperMode->setGeometry(4, 4, 289, 105);
  RadioGroupOperMode->SetItemIndex(0);

  GroupBoxParams =
      NewGroup("GroupBoxParams", "222@Parametrierung der Kommunikation: ", TabSheetSettings,
               {4, 112, 289, 85});
  Label3 = NewLabel("Label3", "223@Antwortzeit nach Host-Anfragen [ms]", GroupBoxParams, 8, 31);
  SpinEditResponse = new QSpinBox(GroupBoxParams);
  SpinEditResponse->setObjectName("SpinEditResponse");
  SpinEditResponse->setGeometry(224, 28, 57, 22);
  SpinEditResponse->setRange(1, 15);
  SpinEditResponse->setToolTip("[1..15]");
  lblAusgabeintervall = NewLabel("lblAusgabeintervall", "224@Intervall bei zykl. Betrieb [x10 ms]",
                                 GroupBoxParams, 8, 55);
  SpinEditInterval = new QSpinBox(GroupBoxParams);
  SpinEditInterval->setObjectName("SpinEditInterval");
  SpinEditInterval->setGeometry(224, 52, 57, 22);
  SpinEditInterval->setRange(1, 65535);
  SpinEditInterval->setToolTip("[1 .. 65535]");
  auto* lParams = new QGridLayout(GroupBoxParams);
  lParams->setContentsMargins(8, 8, 8, 8);
  lParams->setHorizontalSpacing(8);
  lParams->addWidget(Label3, 0, 0);
  lParams->addWidget(SpinEditResponse, 0, 1);
  lParams->addWidget(lblAusgabeintervall, 1, 0);
  lParams->addWidget(SpinEditInterval, 1, 1);
  lParams->setColumnStretch(0, 1);
  SpinEditResponse->setFixedWidth(64);
  SpinEditInterval->setFixedWidth(64);

  ButtonWriteSettings =
      NewButton("ButtonWriteSettings", "225@Schreiben", TabSheetSettings, {4, 200, 289, 25});
  ButtonFactorySettings = NewButton("ButtonFactorySettings", "226@Lade Werkseinstellungen",
                                    TabSheetSettings, {4, 228, 289, 25});

  for (QWidget* lGroup :
       std::initializer_list<QWidget*>{GroupBox1, GroupBoxParams, RadioGroupOperMode})
    lGroup->installEventFilter(this);
  ArrangeGroups();
}

bool TFrameDeviceK40::eventFilter(QObject* pWatched, QEvent* pEvent) {
  if (pEvent->type() == QEvent::LayoutRequest &&
      (pWatched == GroupBox1 || pWatched == GroupBoxParams || pWatched == RadioGroupOperMode))
    ArrangeGroups();
  return TFrameDeviceBase::eventFilter(pWatched, pEvent);
}

void TFrameDeviceK40::ArrangeGroups() {
  // The designed sizes are the least; a language with longer texts widens the groups.
  const QSize lReadout = GroupBox1->sizeHint();
  GroupBox1->resize(std::max(185, lReadout.width()), std::max(145, lReadout.height()));

  const int lWidth =
      std::max({289, GroupBoxParams->sizeHint().width(), RadioGroupOperMode->sizeHint().width()});
  const int lModeHeight = std::max(105, RadioGroupOperMode->sizeHint().height());
  RadioGroupOperMode->setGeometry(4, 4, lWidth, lModeHeight);
  const int lParamsTop = 4 + lModeHeight + 3;
  const int lParamsHeight = std::max(85, GroupBoxParams->sizeHint().height());
  GroupBoxParams->setGeometry(4, lParamsTop, lWidth, lParamsHeight);
  const int lButtonsTop = lParamsTop + lParamsHeight + 3;
  ButtonWriteSettings->setGeometry(4, lButtonsTop, lWidth, 25);
  ButtonFactorySettings->setGeometry(4, lButtonsTop + 28, lWidth, 25);
}

bool TFrameDeviceK40::Connected() const {
  return mK40ifc != nullptr;
}

void TFrameDeviceK40::Initialize(std::unique_ptr<iComPort> pCom) {
  mCom = std::move(pCom);
  FrameAdjust->SetOnDeviceStatusChanged([this](tDeviceStatus v) { AdjustStatusChanged(v); });
  FrameAdjust->SetIncModeTimer(false);
}

void TFrameDeviceK40::SetConnected(bool pValue) {
  if (pValue == Connected()) return;
  if (!pValue) {
    ReleaseInterface();
    return;
  }
  for (int r = 0; r < cGridRows; ++r)
    SetGridValue(r, QString());
  try {
    if (!mCom) throw eError("Keine Schnittstelle");
    mK40ifc = std::make_unique<tDMU_K40ifc>(std::move(mCom));
    mK40ifc->Initialize(mDeviceInfo);
    // Disconnected or removed while it was read.
    if (!mK40ifc || Released()) throw eError("Verbindung beendet");
  } catch (const std::exception&) {
    // No message when the user ended the reading (disconnected or removed the instrument).
    if (mK40ifc && !Released()) Dialogs().Error(mOutText[otConnectFailed], this);
    ReleaseInterface();
    SetDeviceStatus(dsDisconnected);
    return;
  }
  tDMU_K40ifc* lK40 = mK40ifc.get();
  FrameAdjust->SetOnAdjustAction(
      [lK40](tToAdjust t, tAdjustAction a) { return lK40->AdjustActionEvent(t, a); });
  ShowOperatingParams();
  mK40ifc->SetOnNewValue([this](void*) { ShowValues(); });
  mK40ifc->SetOnTimeOut([this](void*) { InterfaceTimedOut(); });
  SetDeviceStatus(dsConnected);
}

void TFrameDeviceK40::Release() {
  mReleased = true;
  FrameAdjust->Release();
  if (mK40ifc) mK40ifc->Abort();
  if (mCom) mCom->SetOpen(false);
}

void TFrameDeviceK40::ReleaseInterface() {
  if (!mK40ifc) return;
  FrameAdjust->SetOnAdjustAction({});
  DisposeInterface(mK40ifc);
}

void TFrameDeviceK40::ShowOperatingParams() {
  RadioGroupOperMode->SetItemIndex(int(mK40ifc->OperatingMode()));
  SpinEditResponse->setValue(mK40ifc->OpResponse());
  SpinEditInterval->setValue(mK40ifc->OpInterval());
}

void TFrameDeviceK40::ComboBoxUnitChange() {
  ShowValues();
}

void TFrameDeviceK40::ShowValues() {
  if (!mK40ifc) return;
  ShowBadReplies(mK40ifc->BadReplies());
  if (mK40ifc->StatusByte() != 0) SetDeviceStatus(dsInternalError);
  if (!mK40ifc) return;

  const QString lUnit =
      ComboBoxUnitMBE->currentIndex() >= 0 ? ComboBoxUnitMBE->currentText() : QString();
  bool lShown = false;
  if (!lUnit.isEmpty()) {
    // A record whose range cannot be converted shows no value instead of raising at the
    // rate of the live values.
    try {
      int lDigits = 0;
      const double lValue = mDeviceInfo->GetPressureInAUnit(lUnit, lUnit, lDigits);
      PanelPressure->SetCaption(FormatSigned(lValue, lDigits));
      lShown = true;
    } catch (const std::exception&) {
      PanelPressure->SetCaption(NoValue);
    }
    if (lShown && mK40ifc->IsWerksDruckActive()) {
      const int lDigits =
          DecimalsForRange(6, mDeviceInfo->MBAinUnit(), mDeviceInfo->MBEinUnit(), 0.1);
      PanelP->SetCaption(FormatSigned(mDeviceInfo->PressureUnit(), lDigits) + " " +
                         mDeviceInfo->MBEUnitStr());
      PanelPWz->SetCaption(FormatSigned(mDeviceInfo->PressureWerkUnit(), lDigits) + " " +
                           mDeviceInfo->MBEUnitStr());
    }
  }
  if (!lShown) {
    PanelPressure->SetCaption(NoValue);
    PanelP->SetCaption(NoValue);
    PanelPWz->SetCaption(NoValue);
  }

  if (ComboBoxTempUnit->currentIndex() >= 0) {
    PanelTemperature->SetCaption(
        FormatFixed(mDeviceInfo->GetTemperatureInAUnit(ComboBoxTempUnit->currentText()), 1));
  } else {
    PanelTemperature->SetCaption(NoValue);
  }
}

void TFrameDeviceK40::InterfaceTimedOut() {
  ReleaseInterface();
  if (FOnTimeOut) FOnTimeOut(this);
}

void TFrameDeviceK40::SetGridValue(int pRow, const QString& pText) {
  StringGridInfo->item(pRow, 1)->setText(pText);
}

void TFrameDeviceK40::InfoChanged(tDeviceInfo* pSender) {
  if (pSender != mDeviceInfo) return;
  SetGridValue(riType, DeviceTypeNames[mDeviceInfo->DeviceType()]);
  PageControl->setTabVisible(PageControl->indexOf(TabSheetSettings),
                             mDeviceInfo->SignalTypeStr() == "RS-232");

  {
    // The selection is set by code: one ShowValues after the box is complete.
    const QSignalBlocker lBlock(ComboBoxUnitMBE);
    ComboBoxUnitMBE->setCurrentIndex(ComboBoxUnitMBE->findText(
        mDeviceInfo->MBEUnitStr(), Qt::MatchExactly | Qt::MatchCaseSensitive));
    ComboBoxUnitMBE->move(ComboBoxUnitMBE->x(), ComboBoxTempUnit->y());

    SetGridValue(riRange, mDeviceInfo->MBRange());
    SetGridValue(riSignal, mDeviceInfo->SignalRange());

    if (mItemIdxAnalog != -1) {
      const bool lWasSelected = ComboBoxUnitMBE->currentIndex() == mItemIdxAnalog;
      ComboBoxUnitMBE->removeItem(mItemIdxAnalog);
      if (lWasSelected) ComboBoxUnitMBE->setCurrentIndex(-1);
    }
    if (!mDeviceInfo->SignalUnitStr().isEmpty()) {
      ComboBoxUnitMBE->addItem(mDeviceInfo->SignalUnitStr());
      mItemIdxAnalog = ComboBoxUnitMBE->count() - 1;
    } else {
      mItemIdxAnalog = -1;
    }
  }

  SetGridValue(riAccuracy, FormatRoundedGeneral(mDeviceInfo->Accuracy(), 4) + " %");
  SetGridValue(riHeadNr, mDeviceInfo->SerialNr());
  SetGridValue(riLastCalib, mDeviceInfo->LastCalib());
  SetGridValue(riProduction, mDeviceInfo->DateProduction());
  SetGridValue(riFirmware, mDeviceInfo->FirmwareVersion());
  ShowValues();
}

void TFrameDeviceK40::EnablePageControls(bool pEnabled) {
  for (QWidget* lControl : std::initializer_list<QWidget*>{
           GroupBoxDruck, GroupBoxTemperatur, RichEditError, GroupBox1, RadioGroupOperMode,
           GroupBoxParams, ButtonWriteSettings, ButtonFactorySettings})
    lControl->setEnabled(pEnabled);
}

void TFrameDeviceK40::EnableSettingsControls(bool pEnabled) {
  for (QWidget* lControl : std::initializer_list<QWidget*>{
           RadioGroupOperMode, GroupBoxParams, SpinEditResponse, SpinEditInterval,
           ButtonWriteSettings, ButtonFactorySettings})
    lControl->setEnabled(pEnabled);
}

void TFrameDeviceK40::SetDeviceStatus(tDeviceStatus pValue) {
  if (pValue == FDeviceStatus) return;
  FDeviceStatus = pValue;
  EnablePageControls(pValue != dsDisconnected);
  EnableSettingsControls(pValue == dsConnected);
  if (pValue != dsConnected) {
    PanelPressure->SetCaption(NoValue);
    PanelTemperature->SetCaption(NoValue);
  }
  if (pValue == dsInternalError) RichEditError->show();
  FrameAdjust->SetDeviceStatus(pValue);
  if (FOnDeviceStatusChanged) FOnDeviceStatusChanged(pValue);
}

void TFrameDeviceK40::AdjustStatusChanged(tDeviceStatus pDeviceStatus) {
  SetDeviceStatus(pDeviceStatus);
  PageControlChange();
  if (pDeviceStatus == dsConnected) SetGridValue(riLastCalib, mDeviceInfo->LastCalib());
}

void TFrameDeviceK40::PageControlChange() {
  if (mK40ifc) {
    const bool lActive = PageControl->currentWidget() == TabSheetJustage &&
                         (FDeviceStatus == dsConnected || FDeviceStatus == dsAdjusting);
    mK40ifc->SetIsWerksDruckActive(lActive);
    if (lActive) return;
  }
  PanelP->SetCaption(NoValue);
  PanelPWz->SetCaption(NoValue);
}

void TFrameDeviceK40::ButtonWriteSettingsClick() {
  if (!mK40ifc || FDeviceStatus != dsConnected) return;
  SetDeviceStatus(dsProgramming);
  try {
    mK40ifc->WriteOperatingParam(tDMU_K40ifc::tOperatingMode(RadioGroupOperMode->ItemIndex()),
                                 quint8(SpinEditResponse->value()),
                                 quint16(SpinEditInterval->value()));
  } catch (const std::exception& e) {
    SettingsFailed(ErrorText(e));
    return;
  }
  SetDeviceStatus(dsConnected);
}

void TFrameDeviceK40::ButtonFactorySettingsClick() {
  if (!mK40ifc || FDeviceStatus != dsConnected) return;
  SetDeviceStatus(dsProgramming);
  try {
    mK40ifc->FactoryOperatingParam();
  } catch (const std::exception& e) {
    SettingsFailed(ErrorText(e));
    return;
  }
  ShowOperatingParams();
  SetDeviceStatus(dsConnected);
}

void TFrameDeviceK40::SettingsFailed(const QString& pText) {
  if (Released()) return;
  // The instrument may have taken part of the settings: the user sees why, then the live
  // values resume so the page stays usable (a dead line ends in the live time-out).
  Dialogs().Error(pText, this);
  if (!mK40ifc) {
    SetDeviceStatus(dsDisconnected);
    return;
  }
  mK40ifc->SetPolling(true);
  SetDeviceStatus(dsConnected);
  ShowOperatingParams();
}

void TFrameDeviceK40::RichEditTransStringGridInfoChange() {
  for (int i = 0; i < RichEditTransStringGridInfo->LineCount() && i < cGridRows; ++i)
    StringGridInfo->item(i, 0)->setText(RichEditTransStringGridInfo->Line(i));
}

void TFrameDeviceK40::RichEditTransOutTextChange() {
  mOutText.Take(*RichEditTransOutText);
  RichEditError->Clear();
  if (!mOutText[otLowSupply].contains('@')) RichEditError->AddLine(mOutText[otLowSupply]);
}
