#include "pages/FrameDeviceR70.h"

#include "core/Clock.h"
#include "core/Format.h"
#include "core/NestedLoop.h"
#include "core/Utils.h"
#include "widgets/CaptionPanel.h"
#include "widgets/DialogService.h"
#include "widgets/GridHelpers.h"
#include "widgets/Look.h"
#include "i18n/MessageSlots.h"
#include "widgets/RadioGroup.h"
#include "i18n/Resources.h"
#include "widgets/RichEdit.h"
#include "pages/FrameAdjust.h"
#include "pages/PageParts.h"
#include "protocol/r70/DMU_R70ifc.h"
#include "serial/ComPortIntf.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <numeric>

using namespace PageParts;

namespace {

constexpr int cPanelWidth = 165;
constexpr int cPanelWidthCompound = 153;
constexpr int cMaxSamples = 10;
constexpr int cGridRows = 9;
// Wide enough for the longest operating mode ("... [Digit (10000-60000)] und Temperatur").
constexpr int cSettingsWidth = 409;

const QStringList ModeItemsVQ5 = {QStringLiteral("219@auf Anfrage"),
                                  QStringLiteral("220@zyklisch Druck"),
                                  QStringLiteral("232@zyklisch Druck [Digit (10000-60000)]")};
const QStringList ModeItemsR7x = {
    QStringLiteral("219@auf Anfrage"), QStringLiteral("220@zyklisch Druck"),
    QStringLiteral("221@zyklisch Druck und Temperatur"),
    QStringLiteral("232@zyklisch Druck [Digit (10000-60000)]"),
    QStringLiteral("233@zyklisch Druck [Digit (10000-60000)] und Temperatur")};

double Mean(const QList<double>& pValues) {
  return std::accumulate(pValues.begin(), pValues.end(), 0.0) / pValues.size();
}

void KeepNewest(QList<double>& pValues) {
  if (pValues.size() > cMaxSamples) pValues.remove(0, pValues.size() - cMaxSamples);
}

// The VQ-5 list has three items for five modes: cyclic pressure in two codings share an item.
int ModeItemOf(tDeviceType pType, tDMU_R70ifc::tOperatingMode pMode) {
  if (pType != dtVQ5) return static_cast<int>(pMode);
  switch (pMode) {
  case tDMU_R70ifc::omPoll:
    return 0;
  case tDMU_R70ifc::omCyclPz:
  case tDMU_R70ifc::omCyclPzT:
    return 1;
  default:
    return 2;
  }
}

tDMU_R70ifc::tOperatingMode ModeOfItem(tDeviceType pType, int pItem) {
  if (pType == dtVQ5) {
    switch (pItem) {
    case 1:
      return tDMU_R70ifc::omCyclPz;
    case 2:
      return tDMU_R70ifc::omCyclPk;
    default:
      return tDMU_R70ifc::omPoll;
    }
  }
  if (pItem < tDMU_R70ifc::omPoll || pItem > tDMU_R70ifc::omCyclPkT) return tDMU_R70ifc::omPoll;
  return static_cast<tDMU_R70ifc::tOperatingMode>(pItem);
}

} // namespace

TFrameDeviceR70::TFrameDeviceR70(QWidget* AOwner, tDeviceInfo* pDeviceInfo)
    : TFrameDeviceBase(AOwner), mDeviceInfo(pDeviceInfo) {
  setObjectName(QStringLiteral("FrameDeviceR70"));
  BuildComponents();
  FrameAdjust->SetDeviceInfo(mDeviceInfo);
  mDeviceInfo->AddEvent(tNotifyEvent(this, &TFrameDeviceR70::DeviceInfoChanged));
  ClearGridSelection(StringGridInfo);
  ComboBoxTempUnit->setCurrentIndex(0);
  CheckTranslationLines(*RichEditTransOutText, 3);
  Resources().AddForm(this, [this] { PageTranslated(); });
  EnableControls(false);
  EnableSettings(false);
}

TFrameDeviceR70::~TFrameDeviceR70() {
  // Destroyed once no wait of the page is running: the interface can go at once.
  FrameAdjust->SetOnAdjustAction({});
  mR70ifc.reset();
  if (Resources().IsRegistered(this)) Resources().DeleteForm(this);
  mDeviceInfo->DeleteEvent(tNotifyEvent(this, &TFrameDeviceR70::DeviceInfoChanged));
}

void TFrameDeviceR70::BuildComponents() {
  resize(451, 304);
  PageControl = new QTabWidget(this);
  PageControl->setObjectName(QStringLiteral("PageControl"));
  PageControl->setIconSize(QSize(32, 32));
  auto* lLayout = new QVBoxLayout(this);
  lLayout->setContentsMargins(0, 0, 0, 0);
  lLayout->addWidget(PageControl);
  BuildInfoTab();
  BuildAdjustTab();
  BuildSettingsTab();

  // The hidden lists: their change handlers copy each translation to where the code needs it.
  RichEditTransStringGridInfo = new tRichEdit(
      QStringList{QStringLiteral("228@Gerätetyp:"), QStringLiteral("206@Messbereich:"),
                  QStringLiteral("207@Ausgangssignal:"), QStringLiteral("231@Genauigkeit:"),
                  QStringLiteral("208@Seriennummer (S#):"),
                  QStringLiteral("209@Produktnummer (P#):"), QStringLiteral("210@Justagedatum:"),
                  QStringLiteral("211@Herstelldatum:"), QStringLiteral("212@Firmware-Version:")},
      TabSheetInfo);
  RichEditTransStringGridInfo->setObjectName(QStringLiteral("RichEditTransStringGridInfo"));
  RichEditTransStringGridInfo->setEnabled(false);
  RichEditTransStringGridInfo->SetOnChange([this] { RichEditTransStringGridInfoChange(); });
  RichEditTransStringGridInfoChange();

  RichEditTransOutText =
      new tRichEdit(QStringList{QStringLiteral("213@Verbindungsaufbau gescheitert!"),
                                QStringLiteral("229@Es ist ein interner Gerätefehler aufgetreten!"),
                                QStringLiteral("235@not supported")},
                    TabSheetInfo);
  RichEditTransOutText->setObjectName(QStringLiteral("RichEditTransOutText"));
  RichEditTransOutText->setEnabled(false);
  RichEditTransOutText->SetOnChange([this] { RichEditTransOutTextChange(); });

  connect(PageControl, &QTabWidget::currentChanged, this, [this] { PageControlChange(); });
}

void TFrameDeviceR70::BuildInfoTab() {
  TabSheetInfo = new QWidget;
  TabSheetInfo->setObjectName(QStringLiteral("TabSheetInfo"));
  PageControl->addTab(TabSheetInfo, QIcon(QStringLiteral(":/images/frame_tab_info.svg")),
                      QStringLiteral("201@Information"));

  GroupBoxDruck = new QGroupBox(QStringLiteral("204@Druck "), TabSheetInfo);
  GroupBoxDruck->setObjectName(QStringLiteral("GroupBoxDruck"));
  GroupBoxDruck->setGeometry(0, 4, 265, 77);
  // The labels sit under the panel's right edge; narrowing the panel reveals them.
  LabelMinus = NewLabel(QStringLiteral("LabelMinus"), QStringLiteral("-"), GroupBoxDruck, 163, 22);
  LabelPlus = NewLabel(QStringLiteral("LabelPlus"), QStringLiteral("+"), GroupBoxDruck, 163, 48);
  for (QLabel* lLabel : {LabelMinus, LabelPlus})
    Look::BoldFont(lLabel, 13);
  PanelPressure = NewValuePanel(QStringLiteral("PanelPressure"), GroupBoxDruck,
                                QRect(8, 20, cPanelWidth, 49), Look::PressureText);
  ComboBoxUnitMBA =
      NewUnitBox(QStringLiteral("ComboBoxUnitMBA"), GroupBoxDruck, 176, 20, Look::PressureText);
  ComboBoxUnitMBA->hide();
  ComboBoxUnitMBE =
      NewUnitBox(QStringLiteral("ComboBoxUnitMBE"), GroupBoxDruck, 176, 32, Look::PressureText);

  GroupBoxTemperatur = new QGroupBox(QStringLiteral("205@Temperatur "), TabSheetInfo);
  GroupBoxTemperatur->setObjectName(QStringLiteral("GroupBoxTemperatur"));
  GroupBoxTemperatur->setGeometry(0, 84, 265, 77);
  PanelTemperature = NewValuePanel(QStringLiteral("PanelTemperature"), GroupBoxTemperatur,
                                   QRect(8, 20, cPanelWidth, 49), Look::TemperatureText);
  ComboBoxTempUnit = NewUnitBox(QStringLiteral("ComboBoxTempUnit"), GroupBoxTemperatur, 176, 32,
                                Look::TemperatureText);
  for (const QString& lUnit : TemperatureUnitNames)
    ComboBoxTempUnit->addItem(lUnit);

  for (const tUnitCode& lRow : UnitCodeTable) {
    ComboBoxUnitMBA->addItem(PressureUnitNames[lRow.Unit]);
    ComboBoxUnitMBE->addItem(PressureUnitNames[lRow.Unit]);
  }
  ComboBoxUnitMBA->addItem(QStringLiteral("%"));
  ComboBoxUnitMBE->addItem(QStringLiteral("%"));
  mItemIdxAnalog = -1;
  for (QComboBox* lBox : {ComboBoxUnitMBA, ComboBoxUnitMBE, ComboBoxTempUnit}) {
    lBox->setMaxVisibleItems(16);
    // The user's choice shows at once; the page's own selections show with the next value.
    connect(lBox, &QComboBox::activated, this, [this] { ComboBoxUnitChange(); });
  }

  StringGridInfo = new QTableWidget(cGridRows, 2, TabSheetInfo);
  StringGridInfo->setObjectName(QStringLiteral("StringGridInfo"));
  StringGridInfo->horizontalHeader()->hide();
  StringGridInfo->verticalHeader()->hide();
  StringGridInfo->horizontalHeader()->setMinimumSectionSize(20);
  StringGridInfo->verticalHeader()->setMinimumSectionSize(20);
  StringGridInfo->verticalHeader()->setDefaultSectionSize(20);
  StringGridInfo->setColumnWidth(0, 150);
  StringGridInfo->setColumnWidth(1, 150);
  StringGridInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGridInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGridInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGridInfo->setGeometry(276, 8, 305, cGridRows * 20 + 2 * StringGridInfo->frameWidth());
  for (int lRow = 0; lRow < cGridRows; ++lRow) {
    for (int lCol = 0; lCol < 2; ++lCol)
      StringGridInfo->setItem(lRow, lCol, new QTableWidgetItem);
  }
  Look::InfoGrid(StringGridInfo);
  StringGridInfo->setEnabled(false);

  RichEditError = new tRichEdit(QStringList{QStringLiteral("RichEditError")}, TabSheetInfo);
  RichEditError->setObjectName(QStringLiteral("RichEditError"));
  RichEditError->setGeometry(0, 168, 265, 53);
  RichEditError->setReadOnly(true);
  Look::ErrorBox(RichEditError);
  RichEditError->hide();
}

void TFrameDeviceR70::BuildAdjustTab() {
  TabSheetJustage = new QWidget;
  TabSheetJustage->setObjectName(QStringLiteral("TabSheetJustage"));
  PageControl->addTab(TabSheetJustage, QIcon(QStringLiteral(":/images/frame_tab_adjust.svg")),
                      QStringLiteral("203@Justage"));
  // The panel registers itself with the engine, so the page's registration skips it.
  FrameAdjust = new TFrameAdjust(TabSheetJustage);
  // The panel fills the tab; the measured values are placed over it, beside its controls.
  auto* lLayout = new QVBoxLayout(TabSheetJustage);
  lLayout->setContentsMargins(0, 0, 0, 0);
  lLayout->addWidget(FrameAdjust);

  GroupBox1 = new QGroupBox(QStringLiteral("214@Messwerte "), TabSheetJustage);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(184, 28, 185, 145);
  Label1 =
      NewLabel(QStringLiteral("Label1"), QStringLiteral("215@Ausgabedruckwert:"), GroupBox1, 8, 20);
  PanelP =
      NewValuePanel(QStringLiteral("PanelP"), GroupBox1, QRect(8, 36, 169, 37), Look::PressureText);
  Label2 = NewLabel(QStringLiteral("Label2"),
                    QStringLiteral("216@Druckwert nach Werkseinstellung:"), GroupBox1, 8, 80);
  PanelPWz = NewValuePanel(QStringLiteral("PanelPWz"), GroupBox1, QRect(8, 96, 169, 37),
                           Look::PressureText);
}

void TFrameDeviceR70::BuildSettingsTab() {
  TabSheetSettings = new QWidget;
  TabSheetSettings->setObjectName(QStringLiteral("TabSheetSettings"));
  PageControl->addTab(TabSheetSettings, QIcon(QStringLiteral(":/images/frame_tab_settings.svg")),
                      QStringLiteral("217@Einstellungen"));

  RadioGroupOperMode = new tRadioGroup(TabSheetSettings);
  RadioGroupOperMode->setObjectName(QStringLiteral("RadioGroupOperMode"));
  RadioGroupOperMode->SetCaption(QStringLiteral("218@Betriebsmodus: "));
  RadioGroupOperMode->SetItems(ModeItemsR7x);
  RadioGroupOperMode->setGeometry(4, 4, cSettingsWidth, 137);

  GroupBoxParams =
      new QGroupBox(QStringLiteral("222@Parametrierung der Kommunikation: "), TabSheetSettings);
  GroupBoxParams->setObjectName(QStringLiteral("GroupBoxParams"));
  GroupBoxParams->setGeometry(4, 144, cSettingsWidth, 53);
  lblAusgabeintervall =
      NewLabel(QStringLiteral("lblAusgabeintervall"),
               QStringLiteral("234@Intervall bei zykl. Betrieb [ms]"), GroupBoxParams, 8, 27);
  SpinEditInterval = new QSpinBox(GroupBoxParams);
  SpinEditInterval->setObjectName(QStringLiteral("SpinEditInterval"));
  SpinEditInterval->setRange(1, 65535);
  SpinEditInterval->setToolTip(QStringLiteral("[1 .. 65535]"));
  SpinEditInterval->setGeometry(cSettingsWidth - 79, 22, 71, SpinEditInterval->sizeHint().height());

  ButtonWriteSettings = new QPushButton(QStringLiteral("225@Schreiben"), TabSheetSettings);
  ButtonWriteSettings->setObjectName(QStringLiteral("ButtonWriteSettings"));
  ButtonWriteSettings->setGeometry(4, 204, cSettingsWidth, 25);
  ButtonFactorySettings =
      new QPushButton(QStringLiteral("226@Lade Werkseinstellungen"), TabSheetSettings);
  ButtonFactorySettings->setObjectName(QStringLiteral("ButtonFactorySettings"));
  ButtonFactorySettings->setGeometry(4, 232, cSettingsWidth, 25);
  connect(ButtonWriteSettings, &QPushButton::clicked, this, [this] { ButtonWriteSettingsClick(); });
  connect(ButtonFactorySettings, &QPushButton::clicked, this,
          [this] { ButtonFactorySettingsClick(); });
  BuildBadRepliesLabel(TabSheetInfo, QRect(0, 224, 265, 18));
}

void TFrameDeviceR70::Initialize(std::unique_ptr<iComPort> pCom) {
  mCom = std::move(pCom);
  FrameAdjust->SetOnDeviceStatusChanged(
      [this](tDeviceStatus pStatus) { AdjustStatusChanged(pStatus); });
  FrameAdjust->SetIncModeTimer(true);
}

bool TFrameDeviceR70::Connected() const {
  return mR70ifc != nullptr;
}

void TFrameDeviceR70::SetConnected(bool pValue) {
  if (pValue == Connected()) return;
  if (!pValue) {
    ReleaseInterface();
    return;
  }
  try {
    for (int lRow = 0; lRow < cGridRows; ++lRow)
      SetGridValue(lRow, QString());
    SetDeviceStatus(dsConnectRead);
    if (!mCom) throw eError(QStringLiteral("Keine Schnittstelle"));
    mR70ifc = std::make_unique<tDMU_R70ifc>(std::move(mCom), FAutoBaud);
    mR70ifc->Initialize(mDeviceInfo);
    // Disconnected or removed while it was read.
    if (!mR70ifc || Released()) throw eError(QStringLiteral("Verbindung beendet"));
    FrameAdjust->SetOnAdjustAction([this](const tToAdjust pToAdjust, const tAdjustAction pAction) {
      return mR70ifc ? mR70ifc->AdjustActionEvent(pToAdjust, pAction) : false;
    });
    if (mDeviceInfo->SignalTypeStr() == QLatin1String("USB")) ShowOperatingParams();
    mR70ifc->SetOnNewValue([this] { ShowNewValue(); });
    mR70ifc->SetOnTimeOut([this] { InterfaceTimedOut(); });
    SetDeviceStatus(dsConnected);
  } catch (const std::exception&) {
    // No message when the user ended the reading (disconnected or removed the instrument).
    if (mR70ifc && !Released()) Dialogs().Error(mOutText[otConnectFailed], this);
    ReleaseInterface();
    SetDeviceStatus(dsDisconnected);
  }
}

void TFrameDeviceR70::Release() {
  mReleased = true;
  FrameAdjust->Release();
  if (mR70ifc) mR70ifc->Abort();
  if (mCom) mCom->SetOpen(false);
}

void TFrameDeviceR70::ReleaseInterface() {
  if (!mR70ifc) return;
  FrameAdjust->SetOnAdjustAction({});
  DisposeInterface(mR70ifc);
}

void TFrameDeviceR70::InterfaceTimedOut() {
  ReleaseInterface();
  if (FOnTimeOut) FOnTimeOut(this);
}

void TFrameDeviceR70::SetDeviceStatus(tDeviceStatus pValue) {
  if (pValue == FDeviceStatus) return;
  FDeviceStatus = pValue;
  EnableControls(pValue != dsDisconnected);
  EnableSettings(pValue == dsConnected);
  if (pValue != dsConnected) {
    PanelPressure->SetCaption(NoValue);
    PanelTemperature->SetCaption(mDeviceInfo->DeviceType() == dtVQ5 ? mOutText[otNotSupported]
                                                                    : NoValue);
  }
  if (pValue == dsInternalError) RichEditError->show();
  FrameAdjust->SetDeviceStatus(pValue);
  if (FOnDeviceStatusChanged) FOnDeviceStatusChanged(pValue);
}

void TFrameDeviceR70::EnableControls(bool pEnabled) {
  for (QWidget* lControl : std::initializer_list<QWidget*>{
           GroupBoxDruck, PanelPressure, ComboBoxUnitMBA, ComboBoxUnitMBE, LabelMinus, LabelPlus,
           GroupBoxTemperatur, PanelTemperature, ComboBoxTempUnit, RichEditError, GroupBox1, Label1,
           PanelP, Label2, PanelPWz}) {
    lControl->setEnabled(pEnabled);
  }
}

void TFrameDeviceR70::EnableSettings(bool pEnabled) {
  for (QWidget* lControl : std::initializer_list<QWidget*>{
           RadioGroupOperMode, GroupBoxParams, lblAusgabeintervall, SpinEditInterval,
           ButtonWriteSettings, ButtonFactorySettings}) {
    lControl->setEnabled(pEnabled);
  }
}

void TFrameDeviceR70::AdjustStatusChanged(tDeviceStatus pDeviceStatus) {
  SetDeviceStatus(pDeviceStatus);
  PageControlChange();
}

void TFrameDeviceR70::PageControlChange() {
  if (mR70ifc) {
    const bool lActive = PageControl->currentWidget() == TabSheetJustage &&
                         (FDeviceStatus == dsConnected || FDeviceStatus == dsAdjusting);
    mR70ifc->SetIsWerksDruckActive(lActive);
    if (lActive) return;
  }
  PanelP->SetCaption(NoValue);
  PanelPWz->SetCaption(NoValue);
}

void TFrameDeviceR70::SetClock(tClock pClock) {
  mClock = std::move(pClock);
}

tDateTime TFrameDeviceR70::Now() const {
  // Only the spacing of samples is measured: a wall-clock step must not change it.
  return mClock ? mClock() : MonotonicDays();
}

void TFrameDeviceR70::ShowNewValue() {
  if (!mR70ifc) return;
  ShowBadReplies(mR70ifc->BadReplies());
  if (mR70ifc->StatusByte() != 0) SetDeviceStatus(dsInternalError);

  // Samples at least 200 ms apart, so that the mean of ten spans about two seconds however
  // fast the instrument answers.
  const tDateTime lNow = Now();
  if (lNow - mLastTimeValue > MSecToDateTime(200)) {
    mMeasVal.append(mDeviceInfo->PressureBar());
    if (mR70ifc->IsWerksDruckActive()) mMeasWz.append(mDeviceInfo->PressureWerkUnit());
    mLastTimeValue = lNow;
  }
  // Trimmed at once, also while no unit is chosen, so that the lists cannot grow for hours.
  KeepNewest(mMeasVal);
  KeepNewest(mMeasWz);

  if (ComboBoxUnitMBA->currentText().isEmpty() || ComboBoxUnitMBE->currentText().isEmpty()) {
    PanelPressure->SetCaption(NoValue);
    PanelP->SetCaption(NoValue);
    PanelPWz->SetCaption(NoValue);
  } else {
    if (!mMeasVal.isEmpty()) {
      const double lMean = Mean(mMeasVal);
      PanelPressure->SetCaption(ConvertedPressure(lMean, ComboBoxUnitMBA->currentText(),
                                                  ComboBoxUnitMBE->currentText(), false));
      if (mR70ifc->IsWerksDruckActive()) {
        PanelP->SetCaption(
            ConvertedPressure(lMean, mDeviceInfo->MBAUnitStr(), mDeviceInfo->MBEUnitStr(), true));
        if (!mMeasWz.isEmpty()) {
          PanelPWz->SetCaption(FormatValueWithUnit(WerksDruckDigits(), Mean(mMeasWz)));
        }
      }
    }
  }

  if (mDeviceInfo->DeviceType() != dtVQ5) {
    const QString lUnit = ComboBoxTempUnit->currentText();
    PanelTemperature->SetCaption(
        lUnit.isEmpty() ? NoValue : FormatFixed(mDeviceInfo->GetTemperatureInAUnit(lUnit), 1));
  }
}

QString TFrameDeviceR70::ConvertedPressure(double pBar, const QString& pUnitMBA,
                                           const QString& pUnitMBE, bool pWithUnit) const {
  // A record that cannot be converted (a range of 0 ... 0 bar, a unit without factor) shows
  // no value instead of raising on every live value.
  try {
    int lDigits = 0;
    const double lValue = mDeviceInfo->GetPressureInAUnit(pBar, pUnitMBA, pUnitMBE, lDigits);
    if (pWithUnit) return FormatValueWithUnit(WerksDruckDigits(), lValue);
    return FormatSigned(lValue, lDigits);
  } catch (const eError&) {
    return NoValue;
  }
}

int TFrameDeviceR70::WerksDruckDigits() const {
  return DecimalsForRange(6, mDeviceInfo->MBAinUnit(), mDeviceInfo->MBEinUnit(), 0.1);
}

QString TFrameDeviceR70::FormatValueWithUnit(int pDigits, double pValue) const {
  return FormatSigned(pValue, pDigits) + QLatin1Char(' ') +
         (pValue < 0 ? mDeviceInfo->MBAUnitStr() : mDeviceInfo->MBEUnitStr());
}

void TFrameDeviceR70::ComboBoxUnitChange() {
  if (ComboBoxUnitMBA->isHidden())
    ComboBoxUnitMBA->setCurrentIndex(ComboBoxUnitMBE->currentIndex());
  ShowNewValue();
}

void TFrameDeviceR70::SetGridValue(int pRow, const QString& pText) {
  StringGridInfo->item(pRow, 1)->setText(pText);
}

void TFrameDeviceR70::DeviceInfoChanged(tDeviceInfo* pSender) {
  if (pSender != mDeviceInfo) return;
  SetGridValue(0, DeviceTypeNames[mDeviceInfo->DeviceType()]);
  PageControl->setTabVisible(PageControl->indexOf(TabSheetSettings),
                             mDeviceInfo->SignalTypeStr() == QLatin1String("USB"));

  SetGridValue(1, mDeviceInfo->MBRange());
  ComboBoxUnitMBA->setCurrentIndex(ComboBoxUnitMBA->findText(
      mDeviceInfo->MBAUnitStr(), Qt::MatchExactly | Qt::MatchCaseSensitive));
  ComboBoxUnitMBE->setCurrentIndex(ComboBoxUnitMBE->findText(
      mDeviceInfo->MBEUnitStr(), Qt::MatchExactly | Qt::MatchCaseSensitive));
  if (!mDeviceInfo->Updating() && !mDeviceInfo->MBEUnitStr().isEmpty()) {
    // A compound range shows negative values in the start unit: a second box, the "-" and
    // "+" labels beside the two boxes, and panels narrowed to reveal them.
    const bool lCompound = mDeviceInfo->MBAUnitStr() != mDeviceInfo->MBEUnitStr();
    ComboBoxUnitMBA->setVisible(lCompound);
    ComboBoxUnitMBE->move(ComboBoxUnitMBE->x(), lCompound ? 46 : 32);
    const int lWidth = lCompound ? cPanelWidthCompound : cPanelWidth;
    PanelPressure->resize(lWidth, PanelPressure->height());
    PanelTemperature->resize(lWidth, PanelTemperature->height());
  }

  SetGridValue(2, mDeviceInfo->SignalRange());
  if (mItemIdxAnalog != -1) {
    ComboBoxUnitMBA->removeItem(mItemIdxAnalog);
    ComboBoxUnitMBE->removeItem(mItemIdxAnalog);
  }
  if (!mDeviceInfo->SignalUnitStr().isEmpty()) {
    ComboBoxUnitMBA->addItem(mDeviceInfo->SignalUnitStr());
    ComboBoxUnitMBE->addItem(mDeviceInfo->SignalUnitStr());
    mItemIdxAnalog = ComboBoxUnitMBE->count() - 1;
  } else {
    mItemIdxAnalog = -1;
  }

  const float lAccuracy = mDeviceInfo->Accuracy();
  SetGridValue(3, qRound(lAccuracy * 200.0) < 255
                      ? FormatRoundedGeneral(lAccuracy, 4) + QStringLiteral(" %")
                      : QStringLiteral("> 1 %"));
  SetGridValue(4, mDeviceInfo->SerialNr());
  SetGridValue(5, mDeviceInfo->ProductNr());
  SetGridValue(6, mDeviceInfo->LastCalib());
  SetGridValue(7, mDeviceInfo->DateProduction());
  SetGridValue(8, mDeviceInfo->FirmwareVersion());
  RebuildModeList();
}

void TFrameDeviceR70::RebuildModeList() {
  const bool lVQ5 = mDeviceInfo->DeviceType() == dtVQ5;
  if (lVQ5) PanelTemperature->SetCaption(mOutText[otNotSupported]);
  // Rebuilt only when the family of the list changes: re-applying the language translates
  // every registered form, which the many single changes of a connection need not repeat.
  const QStringList& lItems = lVQ5 ? ModeItemsVQ5 : ModeItemsR7x;
  if (RadioGroupOperMode->ItemCount() == lItems.size()) return;
  const int lIndex = RadioGroupOperMode->ItemIndex();
  RadioGroupOperMode->SetItems(lItems);
  if (lIndex < lItems.size()) RadioGroupOperMode->SetItemIndex(lIndex);
  if (Resources().IsRegistered(this)) Resources().SetLanguage(Resources().Language());
}

void TFrameDeviceR70::RichEditTransOutTextChange() {
  mOutText.Take(*RichEditTransOutText);
  FitTranslatedTexts();
  RichEditError->Clear();
  if (!mOutText[otInternalError].contains(QLatin1Char('@'))) {
    RichEditError->AddLine(mOutText[otInternalError]);
  }
  if (mDeviceInfo && mDeviceInfo->DeviceType() == dtVQ5) {
    PanelTemperature->SetCaption(mOutText[otNotSupported]);
  }
}

void TFrameDeviceR70::PageTranslated() {
  // The engine translates the mode list by position and holds id 221 for the third item. Not
  // done in a list handler: a raised tab moves to the end of Qt's child order, so the list
  // may be translated after the hidden lists.
  if (mDeviceInfo && mDeviceInfo->DeviceType() == dtVQ5 &&
      RadioGroupOperMode->ItemCount() == ModeItemsVQ5.size()) {
    RadioGroupOperMode->SetItem(2, Resources().CatalogueText(232));
  }
}

void TFrameDeviceR70::FitTranslatedTexts() {
  // Some translations are wider than the design: the measured-values group grows with its
  // labels, its panels with it.
  const int lLabels = std::max(Label1->sizeHint().width(), Label2->sizeHint().width());
  const int lWidth = std::max(185, lLabels + 16);
  GroupBox1->resize(lWidth, GroupBox1->height());
  for (QWidget* lPanel : {static_cast<QWidget*>(PanelP), static_cast<QWidget*>(PanelPWz)}) {
    lPanel->resize(lWidth - 16, lPanel->height());
  }
}

void TFrameDeviceR70::RichEditTransStringGridInfoChange() {
  for (int i = 0; i < cGridRows && i < RichEditTransStringGridInfo->LineCount(); ++i) {
    StringGridInfo->item(i, 0)->setText(RichEditTransStringGridInfo->Line(i));
  }
}

void TFrameDeviceR70::ShowOperatingParams() {
  RadioGroupOperMode->SetItemIndex(ModeItemOf(mDeviceInfo->DeviceType(), mR70ifc->OperatingMode()));
  SpinEditInterval->setValue(mR70ifc->OpInterval());
}

void TFrameDeviceR70::ButtonWriteSettingsClick() {
  if (!mR70ifc || FDeviceStatus != dsConnected) return;
  SetDeviceStatus(dsProgramming);
  try {
    mR70ifc->WriteOperatingParam(
        ModeOfItem(mDeviceInfo->DeviceType(), RadioGroupOperMode->ItemIndex()),
        static_cast<quint16>(SpinEditInterval->value()));
  } catch (const std::exception& pError) {
    SettingsFailed(pError);
    return;
  }
  SetDeviceStatus(dsConnected);
}

void TFrameDeviceR70::ButtonFactorySettingsClick() {
  if (!mR70ifc || FDeviceStatus != dsConnected) return;
  SetDeviceStatus(dsProgramming);
  try {
    mR70ifc->FactoryOperatingParam();
  } catch (const std::exception& pError) {
    SettingsFailed(pError);
    return;
  }
  ShowOperatingParams();
  SetDeviceStatus(dsConnected);
}

void TFrameDeviceR70::SettingsFailed(const std::exception& pError) {
  if (Released()) return;
  // The interface leaves the live exchange stopped after its last attempt. The instrument may
  // have taken part of the settings: the user sees why, and live values resume so that the
  // page is usable again (a dead line then ends in the live time-out).
  if (mR70ifc) {
    try {
      mR70ifc->SetLiveActive(true);
    } catch (const std::exception&) {
      ReleaseInterface();
    }
  }
  Dialogs().Error(ErrorText(pError), this);
  if (mR70ifc) {
    SetDeviceStatus(dsConnected);
    ShowOperatingParams();
  } else {
    SetDeviceStatus(dsDisconnected);
  }
}
