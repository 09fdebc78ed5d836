// The logging run: devices, run settings, start checks, the sampling tick, headers and columns.
// The operations on recorded data (save, clear, print) are in FrameLoggingOvvwData.cpp.
#include "logger/FrameLoggingOvvw.h"

#include "core/DateTime.h"
#include "core/Error.h"
#include "i18n/BitButton.h"
#include "i18n/DialogService.h"
#include "i18n/GridHelpers.h"
#include "i18n/Resources.h"
#include "i18n/RichEdit.h"
#include "logger/LogChart.h"
#include "logger/LogFormat.h"
#include "logger/LogTableModel.h"
#include "pages/FrameDevice.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {
const QString CR = QStringLiteral("\r");

// The hidden list's design lines; the engine rewrites them in the current language.
const QStringList cTransOutLines = {
    QStringLiteral("324@Messstelle"),
    QStringLiteral("317@Druck"),
    QStringLiteral("318@Temperatur"),
    QStringLiteral("319@Zeit"),
    QStringLiteral("320@Fortsetzen bei geänderter Einheit nicht möglich!"),
    QStringLiteral("321@Die Endezeit befindet sich nicht nach der Startzeit!"),
    QStringLiteral("322@Die Endezeit liegt in der Vergangenheit!"),
    QStringLiteral("323@Character Seperated Values (*.csv)|*.csv|Textdatei (*.txt)|*.txt"),
    QStringLiteral("325@Fortsetzen nicht möglich, weil Veränderungen vorgenommen wurden!"),
    QStringLiteral("326@Nicht alle Geräte sind bereit"),
    QStringLiteral("327@Es ist kein Gerät bereit"),
    QStringLiteral("329@jetzt bereit"),
    QStringLiteral("330@nicht mehr bereit"),
    QStringLiteral("331@hinzugefügt"),
    QStringLiteral("332@gelöscht"),
    QStringLiteral("333@getauscht mit"),
    QStringLiteral("335@Zoomfunktion"),
    QStringLiteral("336@Messstelle"),
};

// Colour values of the table rows, written with red in the low byte.
QColor FromBgr(unsigned pValue) {
  return QColor(int(pValue & 0xFF), int((pValue >> 8) & 0xFF), int((pValue >> 16) & 0xFF));
}

double NowKey() {
  return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

QString Label(const tDeviceInfo& pInfo) {
  return QStringLiteral("COM%1: %2").arg(pInfo.ComNr()).arg(pInfo.Tag());
}
} // namespace

const tDeviceInfo* tDevice::Info() const {
  if (FrameDevice) return FrameDevice->DeviceInfo();
  return KeptInfo.get();
}

TFrameLoggingOvvw::TFrameLoggingOvvw(QWidget* pOwner) : QWidget(pOwner) {
  setObjectName(QStringLiteral("FrameLoggingOvvw"));
  FLoggerText = {"Messstelle", "Druck", "Temperatur", "Zeit"};
  mTable = new tLogTableModel(this);
  BuildControls();

  // Creation steps.
  RegisterStringGrid(StringGridLog, FromBgr(0xE1FFF9), FromBgr(0xFFEBDF));
  FillUnitLists();
  BitBtnStopLog->setEnabled(false);
  mLogCnt = 0;
  mLogEntryCnt = 0;
  dtpEndDate->setDate(QDate::currentDate());
  dtpEndTime->setTime(QTime::currentTime());
  RadioButtonStartLogDateClick();
  RadioButtonEndLogClick();
  CheckTranslationLines(*RichEditTransOutText, LoggerTextCount);
  RichEditTransOutText->SetOnChange([this] { RichEditTransOutTextChange(); });
  Resources().AddForm(this);
  RichEditTransOutTextChange();
  BitBtnHlpZoom->SetCaption(QString());

  TimerLogger.setInterval(100);
  connect(&TimerLogger, &QTimer::timeout, this, &TFrameLoggingOvvw::TimerLoggerTimer);
  TimerConfig.setInterval(1000);
  connect(&TimerConfig, &QTimer::timeout, this, &TFrameLoggingOvvw::TimerConfigTimer);
  TimerConfig.start();
  connect(mTable, &tLogTableModel::RowsFlushed, this, &TFrameLoggingOvvw::KeepNewestRowInView);
  UpdateHeaders();
  UpdateTableColumns();
}

TFrameLoggingOvvw::~TFrameLoggingOvvw() {
  mInDestroy = true;
  TimerLogger.stop();
  TimerConfig.stop();
  ButtonClearTableChartClick(this);
  std::vector<tDevice*> all = mDeviceList;
  for (tDevice* d : mDeviceListLog)
    if (std::find(all.begin(), all.end(), d) == all.end()) all.push_back(d);
  for (tDevice* d : all) {
    // The device frames may outlive the logger; they must not call back into it.
    if (d->FrameDevice)
      d->FrameDevice->DeviceInfo()->DeleteEvent(
          tNotifyEvent(this, &TFrameLoggingOvvw::DeviceInfoChanged));
    delete d;
  }
  mDeviceList.clear();
  mDeviceListLog.clear();
  if (Resources().IsRegistered(this)) Resources().DeleteForm(this);
}

void TFrameLoggingOvvw::BuildControls() {
  auto named = [](QWidget* pWidget, const char* pName) {
    pWidget->setObjectName(QString::fromLatin1(pName));
    return pWidget;
  };
  auto* mainLayout = new QHBoxLayout(this);
  mainLayout->setContentsMargins(2, 2, 2, 2);

  GroupBoxConfigLog = new QGroupBox(QStringLiteral("303@Einstellungen "), this);
  named(GroupBoxConfigLog, "GroupBoxConfigLog");
  GroupBoxConfigLog->setFixedWidth(250);
  GroupBoxConfigLog->setFixedHeight(501);
  auto* config = new QVBoxLayout(GroupBoxConfigLog);

  Label2 = new QLabel(QStringLiteral("314@Messrate [ms]:"), GroupBoxConfigLog);
  named(Label2, "Label2");
  SpinEditLogInterval = new QSpinBox(GroupBoxConfigLog);
  named(SpinEditLogInterval, "SpinEditLogInterval");
  SpinEditLogInterval->setRange(30, INT_MAX);
  SpinEditLogInterval->setValue(100);
  SpinEditLogInterval->setToolTip(QStringLiteral("[30 ... ["));
  config->addWidget(Label2);
  config->addWidget(SpinEditLogInterval);

  GroupBoxStart = new QGroupBox(QStringLiteral("307@Start"), GroupBoxConfigLog);
  named(GroupBoxStart, "GroupBoxStart");
  auto* start = new QGridLayout(GroupBoxStart);
  RadioButtonStartLogSofort = new QRadioButton(QStringLiteral("308@Sofort"), GroupBoxStart);
  named(RadioButtonStartLogSofort, "RadioButtonStartLogSofort");
  RadioButtonStartLogSofort->setChecked(true);
  RadioButtonStartLogDate = new QRadioButton(GroupBoxStart);
  named(RadioButtonStartLogDate, "RadioButtonStartLogDate");
  dtpStartDate = new QDateEdit(QDate::currentDate(), GroupBoxStart);
  named(dtpStartDate, "dtpStartDate");
  dtpStartTime = new QTimeEdit(QTime::currentTime(), GroupBoxStart);
  named(dtpStartTime, "dtpStartTime");
  start->addWidget(RadioButtonStartLogSofort, 0, 0, 1, 3);
  start->addWidget(RadioButtonStartLogDate, 1, 0);
  start->addWidget(dtpStartDate, 1, 1);
  start->addWidget(dtpStartTime, 1, 2);
  config->addWidget(GroupBoxStart);

  GroupBoxEnde = new QGroupBox(QStringLiteral("309@Ende"), GroupBoxConfigLog);
  named(GroupBoxEnde, "GroupBoxEnde");
  auto* end = new QGridLayout(GroupBoxEnde);
  RadioButtonEndLogDate = new QRadioButton(GroupBoxEnde);
  named(RadioButtonEndLogDate, "RadioButtonEndLogDate");
  dtpEndDate = new QDateEdit(GroupBoxEnde);
  named(dtpEndDate, "dtpEndDate");
  dtpEndTime = new QTimeEdit(GroupBoxEnde);
  named(dtpEndTime, "dtpEndTime");
  RadioButtonEndLogDuration = new QRadioButton(QStringLiteral("310@Dauer:"), GroupBoxEnde);
  named(RadioButtonEndLogDuration, "RadioButtonEndLogDuration");
  SpinEditDuration = new QSpinBox(GroupBoxEnde);
  named(SpinEditDuration, "SpinEditDuration");
  SpinEditDuration->setRange(0, INT_MAX);
  LabelDurationDay = new QLabel(QStringLiteral("334@Tag"), GroupBoxEnde);
  named(LabelDurationDay, "LabelDurationDay");
  dtpDuration = new QTimeEdit(QTime(0, 0), GroupBoxEnde);
  named(dtpDuration, "dtpDuration");
  dtpDuration->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  LabelDurationHour = new QLabel(QStringLiteral("hh:mm:ss"), GroupBoxEnde);
  named(LabelDurationHour, "LabelDurationHour");
  RadioButtonEndLogCount = new QRadioButton(QStringLiteral("311@Anzahl Messwerte:"), GroupBoxEnde);
  named(RadioButtonEndLogCount, "RadioButtonEndLogCount");
  RadioButtonEndLogCount->setChecked(true);
  SpinEditCountLog = new QSpinBox(GroupBoxEnde);
  named(SpinEditCountLog, "SpinEditCountLog");
  SpinEditCountLog->setRange(1, INT_MAX);
  SpinEditCountLog->setValue(100);
  end->addWidget(RadioButtonEndLogDate, 0, 0);
  end->addWidget(dtpEndDate, 0, 1);
  end->addWidget(dtpEndTime, 0, 2);
  end->addWidget(RadioButtonEndLogDuration, 1, 0, 1, 3);
  end->addWidget(SpinEditDuration, 2, 0);
  end->addWidget(LabelDurationDay, 2, 1);
  end->addWidget(dtpDuration, 3, 0);
  end->addWidget(LabelDurationHour, 3, 1);
  end->addWidget(RadioButtonEndLogCount, 4, 0, 1, 3);
  end->addWidget(SpinEditCountLog, 5, 0);
  config->addWidget(GroupBoxEnde);

  Label3 = new QLabel(QStringLiteral("312@Druckeinheit:"), GroupBoxConfigLog);
  named(Label3, "Label3");
  config->addWidget(Label3);
  auto* units = new QGridLayout();
  LabelMinus = new QLabel(QStringLiteral("-"), GroupBoxConfigLog);
  named(LabelMinus, "LabelMinus");
  ComboBoxUnitMBA = new QComboBox(GroupBoxConfigLog);
  named(ComboBoxUnitMBA, "ComboBoxUnitMBA");
  LabelPlus = new QLabel(QStringLiteral("+"), GroupBoxConfigLog);
  named(LabelPlus, "LabelPlus");
  ComboBoxUnitMBE = new QComboBox(GroupBoxConfigLog);
  named(ComboBoxUnitMBE, "ComboBoxUnitMBE");
  units->addWidget(LabelMinus, 0, 0);
  units->addWidget(ComboBoxUnitMBA, 0, 1);
  units->addWidget(LabelPlus, 1, 0);
  units->addWidget(ComboBoxUnitMBE, 1, 1);
  config->addLayout(units);
  Label4 = new QLabel(QStringLiteral("313@Temperatureinheit:"), GroupBoxConfigLog);
  named(Label4, "Label4");
  ComboBoxTempUnit = new QComboBox(GroupBoxConfigLog);
  named(ComboBoxTempUnit, "ComboBoxTempUnit");
  config->addWidget(Label4);
  config->addWidget(ComboBoxTempUnit);
  config->addStretch(1);

  auto* buttons = new QHBoxLayout();
  BitBtnStartLog = new tBitButton(QStringLiteral("315@Start"), GroupBoxConfigLog);
  named(BitBtnStartLog, "BitBtnStartLog");
  BitBtnStopLog = new tBitButton(QStringLiteral("316@Stop"), GroupBoxConfigLog);
  named(BitBtnStopLog, "BitBtnStopLog");
  buttons->addWidget(BitBtnStartLog);
  buttons->addWidget(BitBtnStopLog);
  config->addLayout(buttons);

  RichEditTransOutText = new tRichEdit(cTransOutLines, this);
  named(RichEditTransOutText, "RichEditTransOutText");
  RichEditTransOutText->setEnabled(false);

  auto* left = new QVBoxLayout();
  left->addWidget(GroupBoxConfigLog);
  left->addStretch(1);
  mainLayout->addLayout(left);

  PageControl = new QTabWidget(this);
  named(PageControl, "PageControl");
  mainLayout->addWidget(PageControl, 1);

  // Table page.
  TabSheetTabelle = new QWidget();
  named(TabSheetTabelle, "TabSheetTabelle");
  auto* tablePage = new QVBoxLayout(TabSheetTabelle);
  StringGridLog = new QTableView(TabSheetTabelle);
  named(StringGridLog, "StringGridLog");
  StringGridLog->setModel(mTable);
  StringGridLog->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGridLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGridLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  StringGridLog->setShowGrid(true);
  StringGridLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGridLog->setWordWrap(false);
  StringGridLog->verticalHeader()->setVisible(false);
  // Fixed row heights keep a view of millions of rows cheap to lay out and scroll.
  StringGridLog->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGridLog->verticalHeader()->setDefaultSectionSize(16);
  StringGridLog->verticalHeader()->setMinimumSectionSize(10);
  StringGridLog->horizontalHeader()->setDefaultSectionSize(100);
  StringGridLog->horizontalHeader()->setHighlightSections(false);
  tablePage->addWidget(StringGridLog, 1, Qt::AlignLeft);
  auto* tableButtons = new QHBoxLayout();
  ButtonSaveTable = new QPushButton(QIcon(QStringLiteral(":/images/logger_save.svg")),
                                    QStringLiteral("304@Speichern..."), TabSheetTabelle);
  named(ButtonSaveTable, "ButtonSaveTable");
  ButtonPrintTable = new QPushButton(QIcon(QStringLiteral(":/images/logger_print.svg")),
                                     QStringLiteral("305@Drucken..."), TabSheetTabelle);
  named(ButtonPrintTable, "ButtonPrintTable");
  ButtonClearTable = new QPushButton(QIcon(QStringLiteral(":/images/logger_clear.svg")),
                                     QStringLiteral("306@Löschen"), TabSheetTabelle);
  named(ButtonClearTable, "ButtonClearTable");
  tableButtons->addWidget(ButtonSaveTable);
  tableButtons->addWidget(ButtonPrintTable);
  tableButtons->addWidget(ButtonClearTable);
  tableButtons->addStretch(1);
  tablePage->addLayout(tableButtons);

  // Chart page.
  TabSheetChart = new QWidget();
  named(TabSheetChart, "TabSheetChart");
  auto* chartPage = new QVBoxLayout(TabSheetChart);
  mChart = new tLogChart(TabSheetChart);
  mChart->setObjectName(QStringLiteral("Chart"));
  chartPage->addWidget(mChart, 1);
  BitBtnHlpZoom = new tBitButton(QStringLiteral("?"), mChart);
  named(BitBtnHlpZoom, "BitBtnHlpZoom");
  BitBtnHlpZoom->setGeometry(0, 0, 25, 25);
  BitBtnHlpZoom->SetGlyph(QIcon(QStringLiteral(":/images/logger_help.svg")));
  auto* chartButtons = new QHBoxLayout();
  ButtonSaveChart = new QPushButton(QIcon(QStringLiteral(":/images/logger_save.svg")),
                                    QStringLiteral("304@Speichern..."), TabSheetChart);
  named(ButtonSaveChart, "ButtonSaveChart");
  ButtonPrintChart = new QPushButton(QIcon(QStringLiteral(":/images/logger_print.svg")),
                                     QStringLiteral("305@Drucken..."), TabSheetChart);
  named(ButtonPrintChart, "ButtonPrintChart");
  ButtonClearChart = new QPushButton(QIcon(QStringLiteral(":/images/logger_clear.svg")),
                                     QStringLiteral("306@Löschen"), TabSheetChart);
  named(ButtonClearChart, "ButtonClearChart");
  CheckBoxTempSeries = new QCheckBox(QStringLiteral("328@Temperaturkennlinie"), TabSheetChart);
  named(CheckBoxTempSeries, "CheckBoxTempSeries");
  CheckBoxTempSeries->setChecked(true);
  chartButtons->addWidget(ButtonSaveChart);
  chartButtons->addWidget(ButtonPrintChart);
  chartButtons->addWidget(ButtonClearChart);
  chartButtons->addWidget(CheckBoxTempSeries);
  chartButtons->addStretch(1);
  chartPage->addLayout(chartButtons);

  PageControl->addTab(TabSheetTabelle, QIcon(), QStringLiteral("301@Tabelle"));
  PageControl->addTab(TabSheetChart, QIcon(QStringLiteral(":/images/logger_chart.svg")),
                      QStringLiteral("302@Diagramm"));
  PageControl->setCurrentWidget(TabSheetChart);
  for (QPushButton* b : {static_cast<QPushButton*>(ButtonSaveTable), ButtonPrintTable,
                         ButtonClearTable, ButtonSaveChart, ButtonPrintChart, ButtonClearChart})
    b->setEnabled(false);

  // Wiring.
  connect(BitBtnStartLog, &QPushButton::clicked, this, [this] { BitBtnStartLogClick(); });
  connect(BitBtnStopLog, &QPushButton::clicked, this, [this] { BitBtnStopLogClick(); });
  connect(dtpStartDate, &QDateEdit::dateChanged, this, [this] { ConfigChange(); });
  connect(dtpStartTime, &QTimeEdit::timeChanged, this, [this] { ConfigChange(); });
  connect(dtpEndDate, &QDateEdit::dateChanged, this, [this] { ConfigChange(); });
  connect(dtpEndTime, &QTimeEdit::timeChanged, this, [this] { ConfigChange(); });
  connect(dtpDuration, &QTimeEdit::timeChanged, this, [this] { ConfigChange(); });
  connect(SpinEditDuration, &QSpinBox::valueChanged, this, [this] { ConfigChange(); });
  connect(SpinEditCountLog, &QSpinBox::valueChanged, this, [this] { ConfigChange(); });
  for (QRadioButton* r : {RadioButtonStartLogSofort, RadioButtonStartLogDate})
    connect(r, &QRadioButton::clicked, this, [this] { RadioButtonStartLogDateClick(); });
  for (QRadioButton* r : {RadioButtonEndLogDate, RadioButtonEndLogDuration, RadioButtonEndLogCount})
    connect(r, &QRadioButton::clicked, this, [this] { RadioButtonEndLogClick(); });
  connect(ComboBoxUnitMBA, &QComboBox::currentIndexChanged, this,
          [this] { ComboBoxUnitMBAChange(); });
  connect(ComboBoxUnitMBE, &QComboBox::currentIndexChanged, this,
          [this] { ComboBoxUnitMBEChange(); });
  connect(ButtonSaveTable, &QPushButton::clicked, this, [this] { ButtonSaveTableClick(); });
  connect(ButtonSaveChart, &QPushButton::clicked, this, [this] { ButtonSaveChartClick(); });
  connect(ButtonClearTable, &QPushButton::clicked, this,
          [this] { ButtonClearTableChartClick(ButtonClearTable); });
  connect(ButtonClearChart, &QPushButton::clicked, this,
          [this] { ButtonClearTableChartClick(ButtonClearChart); });
  connect(ButtonPrintTable, &QPushButton::clicked, this,
          [this] { ButtonPrintClick(ButtonPrintTable); });
  connect(ButtonPrintChart, &QPushButton::clicked, this,
          [this] { ButtonPrintClick(ButtonPrintChart); });
  connect(CheckBoxTempSeries, &QCheckBox::clicked, this, [this] { CheckBoxTempSeriesClick(); });
  connect(BitBtnHlpZoom, &QPushButton::clicked, this, [this] { BitBtnHlpZoomClick(); });
}

void TFrameLoggingOvvw::FillUnitLists() {
  QSignalBlocker blockA(ComboBoxUnitMBA);
  QSignalBlocker blockE(ComboBoxUnitMBE);
  for (const tUnitCode& code : UnitCodeTable) {
    ComboBoxUnitMBA->addItem(PressureUnitNames[code.Unit]);
    ComboBoxUnitMBE->addItem(PressureUnitNames[code.Unit]);
  }
  ComboBoxUnitMBA->addItem(QStringLiteral("%"));
  ComboBoxUnitMBE->addItem(QStringLiteral("%"));
  for (const QString& unit : TemperatureUnitNames)
    ComboBoxTempUnit->addItem(unit);
  ComboBoxUnitMBA->setCurrentIndex(0);
  ComboBoxUnitMBE->setCurrentIndex(0);
  ComboBoxTempUnit->setCurrentIndex(0);
}

void TFrameLoggingOvvw::AddDevice(TFrameDevice* pFrameDevice) {
  if (!pFrameDevice) return;
  auto* device = new tDevice;
  device->FrameDevice = pFrameDevice;
  // Called once at once; the record is not in the list yet then.
  pFrameDevice->DeviceInfo()->AddEvent(tNotifyEvent(this, &TFrameLoggingOvvw::DeviceInfoChanged));
  bool hidden = HasDataToSave();
  device->SeriesP = mChart->AddSeries(false, QStringLiteral("(p)"), !hidden);
  device->SeriesT =
      mChart->AddSeries(true, QStringLiteral("(T)"), !hidden && CheckBoxTempSeries->isChecked());
  mDeviceList.push_back(device);
  UpdateTableColumns();
}

void TFrameLoggingOvvw::DelDevice(TFrameDevice* pFrameDevice) {
  auto it = std::find_if(mDeviceList.begin(), mDeviceList.end(),
                         [&](const tDevice* d) { return d->FrameDevice == pFrameDevice; });
  if (it != mDeviceList.end()) {
    tDevice* device = *it;
    const tDeviceInfo* info = pFrameDevice->DeviceInfo();
    pFrameDevice->DeviceInfo()->DeleteEvent(
        tNotifyEvent(this, &TFrameLoggingOvvw::DeviceInfoChanged));
    mDeviceList.erase(it);
    if (!InLogList(device)) {
      DestroyRecord(device);
    } else {
      // Kept for its recorded data: remember what rows and printouts name it by, and never
      // reach the frame again.
      auto kept = std::make_unique<tDeviceInfo>();
      kept->SetComNr(info->ComNr());
      kept->SetDeviceType(info->DeviceType());
      kept->SetMBAinUnit(info->MBAinUnit());
      kept->SetMBEinUnit(info->MBEinUnit());
      kept->SetMBAUnitStr(info->MBAUnitStr());
      kept->SetMBEUnitStr(info->MBEUnitStr());
      kept->SetMBAinBar(info->MBAinBar());
      kept->SetMBEinBar(info->MBEinBar());
      kept->SetDruckkennung(info->Druckkennung());
      kept->SetIdent(info->Ident());
      kept->SetTag(info->Tag());
      device->KeptInfo = std::move(kept);
      device->FrameDevice = nullptr;
    }
  }
  UpdateTableColumns();
}

void TFrameLoggingOvvw::DestroyRecord(tDevice* pDevice) {
  mChart->RemoveSeries(pDevice->SeriesP);
  mChart->RemoveSeries(pDevice->SeriesT);
  delete pDevice;
}

void TFrameLoggingOvvw::InitComponents() {
  GroupBoxConfigLog->setFixedHeight(476);
  ComboBoxUnitMBE->hide();
  LabelPlus->hide();
  LabelMinus->hide();
}

bool TFrameLoggingOvvw::HasDataToSave() const {
  return mLogCnt != 0 || ChartHasData();
}

bool TFrameLoggingOvvw::ChartHasData() const {
  return mChart->HasData();
}

bool TFrameLoggingOvvw::IsLogging() const {
  return std::any_of(mDeviceList.begin(), mDeviceList.end(), [](const tDevice* d) {
    return d->FrameDevice && d->FrameDevice->DeviceStatus() == dsLogging;
  });
}

bool TFrameLoggingOvvw::InLogList(const tDevice* pDevice) const {
  return FindLog(pDevice) != nullptr;
}

tDevice* TFrameLoggingOvvw::FindLog(const tDevice* pDevice) const {
  auto it = std::find(mDeviceListLog.begin(), mDeviceListLog.end(), pDevice);
  return it == mDeviceListLog.end() ? nullptr : *it;
}

void TFrameLoggingOvvw::BitBtnStartLogClick() {
  QString ready;
  QString changes;
  bool allReady = true;
  mMaxSpanBA = 0;
  mMaxSpanBE = 0;
  const QString unitMBA = ComboBoxUnitMBA->currentText();
  const QString unitMBE = ComboBoxUnitMBE->currentText();
  for (tDevice* d : mDeviceList) {
    const tDeviceInfo& info = *d->FrameDevice->DeviceInfo();
    const QString label = Label(info);
    d->Connected = d->FrameDevice->DeviceStatus() == dsConnected;
    if (d->Connected) {
      ready += label + CR;
      double spanBA = 0;
      double spanBE = 0;
      for (std::size_t u = 0; u < PressureUnitNames.size(); ++u) {
        double span = (double(info.MBEinBar()) - double(info.MBAinBar())) / PressureUnitFactors[u];
        if (PressureUnitNames[u] == unitMBA) spanBA = span;
        if (PressureUnitNames[u] == unitMBE) spanBE = span;
      }
      mMaxSpanBA = std::max(mMaxSpanBA, spanBA);
      mMaxSpanBE = std::max(mMaxSpanBE, spanBE);
    } else {
      allReady = false;
    }
    if (!mDeviceListLog.empty()) {
      tDevice* logged = FindLog(d);
      if (logged && d->Connected) {
        if (d->LogActive && d->Ident != info.Ident())
          changes += d->Description + " " + FLoggerText[15] + " " + info.Tag() + CR;
        if (!d->LogActive) changes += label + " " + FLoggerText[11] + CR;
      } else if (logged) {
        if (d->LogActive) changes += label + " " + FLoggerText[12] + CR;
      } else if (d->Connected) {
        changes += label + " " + FLoggerText[13] + CR;
      }
    }
  }
  for (tDevice* r : mDeviceListLog)
    if (r->LogActive && std::find(mDeviceList.begin(), mDeviceList.end(), r) == mDeviceList.end())
      changes += r->Description + " " + FLoggerText[14] + CR;

  if (HasDataToSave()) {
    if (mLogEntryCnt != 0 && (unitMBA != mLogUnitMBA || unitMBE != mLogUnitMBE ||
                              ComboBoxTempUnit->currentText() != mLogUnitTemp)) {
      Dialogs().Error(FLoggerText[4], this);
      return;
    }
    if (!changes.isEmpty()) {
      Dialogs().Error(FLoggerText[8] + CR + changes, this);
      return;
    }
  } else {
    if (ready.isEmpty()) {
      Dialogs().Error(FLoggerText[10], this);
      return;
    }
    if (!allReady &&
        Dialogs().MessageBox(mtWarning, FLoggerText[9] + CR + ready, mbYesNo, this) != mrYes)
      return;
  }

  // Begin. Records of removed devices that were kept leave the run now.
  for (tDevice* r : mDeviceListLog)
    if (std::find(mDeviceList.begin(), mDeviceList.end(), r) == mDeviceList.end()) DestroyRecord(r);
  mDeviceListLog.clear();
  for (tDevice* d : mDeviceList) {
    mDeviceListLog.push_back(d);
    d->Description = Label(*d->FrameDevice->DeviceInfo());
    d->Ident = d->FrameDevice->DeviceInfo()->Ident();
    mChart->SetSeriesActive(d->SeriesP, d->Connected);
    mChart->SetSeriesActive(d->SeriesT, d->Connected && CheckBoxTempSeries->isChecked());
    d->LogActive = d->Connected;
  }
  mLogCntEnd = SpinEditCountLog->value() + mLogCnt;
  mLogUnitMBA = unitMBA;
  mLogUnitMBE = unitMBE;
  mLogUnitTemp = ComboBoxTempUnit->currentText();
  mTickErrorShown = false;
  UpdateHeaders();
  if (RadioButtonEndLogDate->isChecked()) {
    if (!(EndTime() > StartTime()))
      Dialogs().Error(FLoggerText[5], this);
    else if (!(NowDateTime() < EndTime()))
      Dialogs().Error(FLoggerText[6], this);
    else
      SetLogState(dsLogging);
  } else {
    SetLogState(dsLogging);
  }
  UpdateTableColumns();
}

void TFrameLoggingOvvw::BitBtnStopLogClick() {
  SetLogState(dsConnected);
}

void TFrameLoggingOvvw::EnableConfigControls(bool pEnabled) {
  for (QWidget* parent :
       {static_cast<QWidget*>(GroupBoxConfigLog), static_cast<QWidget*>(GroupBoxStart),
        static_cast<QWidget*>(GroupBoxEnde)})
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      child->setEnabled(pEnabled);
}

void TFrameLoggingOvvw::SetLogState(tDeviceStatus pState) {
  const bool running = pState == dsLogging;
  EnableConfigControls(!running);
  BitBtnStopLog->setEnabled(running);
  BitBtnStartLog->setEnabled(!running);
  TimerLogger.setInterval(SpinEditLogInterval->value());
  if (running) {
    mTickAttached = true;
    TimerLogger.start();
  } else {
    TimerLogger.stop();
  }
  for (tDevice* d : mDeviceListLog) {
    if (!d->LogActive || !d->FrameDevice) continue;
    if (!running && d->FrameDevice->DeviceStatus() == dsLogging)
      d->FrameDevice->SetDeviceStatus(dsConnected);
    else if (running)
      d->FrameDevice->SetDeviceStatus(dsLogging);
  }
  RadioButtonStartLogDateClick();
  RadioButtonEndLogClick();
}

void TFrameLoggingOvvw::RadioButtonStartLogDateClick() {
  const bool idle = !IsLogging();
  const bool timed = RadioButtonStartLogDate->isChecked();
  dtpStartDate->setEnabled(idle && timed);
  dtpStartTime->setEnabled(idle && timed);
}

void TFrameLoggingOvvw::RadioButtonEndLogClick() {
  const bool idle = !IsLogging();
  dtpEndDate->setEnabled(idle && RadioButtonEndLogDate->isChecked());
  dtpEndTime->setEnabled(idle && RadioButtonEndLogDate->isChecked());
  const bool duration = idle && RadioButtonEndLogDuration->isChecked();
  SpinEditDuration->setEnabled(duration);
  LabelDurationDay->setEnabled(duration);
  LabelDurationHour->setEnabled(duration);
  dtpDuration->setEnabled(duration);
  SpinEditCountLog->setEnabled(idle && RadioButtonEndLogCount->isChecked());
}

tDateTime TFrameLoggingOvvw::StartTime() const {
  return FromQDate(dtpStartDate->date()) + FromQTime(dtpStartTime->time());
}

tDateTime TFrameLoggingOvvw::EndTime() const {
  return FromQDate(dtpEndDate->date()) + FromQTime(dtpEndTime->time());
}

void TFrameLoggingOvvw::SetStartTime(tDateTime pValue) {
  QSignalBlocker blockDate(dtpStartDate);
  QSignalBlocker blockTime(dtpStartTime);
  dtpStartDate->setDate(DateOf(pValue));
  dtpStartTime->setTime(TimeOf(pValue));
}

void TFrameLoggingOvvw::SetEndTime(tDateTime pValue) {
  QSignalBlocker blockDate(dtpEndDate);
  QSignalBlocker blockTime(dtpEndTime);
  dtpEndDate->setDate(DateOf(pValue));
  dtpEndTime->setTime(TimeOf(pValue));
}

void TFrameLoggingOvvw::ConfigChange() {
  TimerConfigTimer();
}

void TFrameLoggingOvvw::TimerConfigTimer() {
  if (IsLogging()) return;
  if (RadioButtonStartLogSofort->isChecked()) SetStartTime(NowDateTime());
  if (RadioButtonEndLogDate->isChecked()) {
    double d = std::max(0.0, EndTime() - StartTime());
    QSignalBlocker blockDays(SpinEditDuration);
    QSignalBlocker blockTime(dtpDuration);
    double days = std::floor(d);
    SpinEditDuration->setValue(int(std::min(days, double(INT_MAX))));
    dtpDuration->setTime(TimeOf(d - days));
  }
  if (RadioButtonEndLogDuration->isChecked())
    SetEndTime(StartTime() + SpinEditDuration->value() + FromQTime(dtpDuration->time()));
}

void TFrameLoggingOvvw::ComboBoxUnitMBAChange() {
  if (ComboBoxUnitMBE->isHidden())
    ComboBoxUnitMBE->setCurrentIndex(ComboBoxUnitMBA->currentIndex());
}

void TFrameLoggingOvvw::ComboBoxUnitMBEChange() {
  if (ComboBoxUnitMBE->isHidden())
    ComboBoxUnitMBE->setCurrentIndex(ComboBoxUnitMBA->currentIndex());
}

void TFrameLoggingOvvw::RichEditTransOutTextChange() {
  for (int k = 0; k < LoggerTextCount && k < RichEditTransOutText->LineCount(); ++k)
    FLoggerText[std::size_t(k)] = RichEditTransOutText->Line(k);
  UpdateHeaders();
}

void TFrameLoggingOvvw::TimerLoggerTimer() {
  if (!mTickAttached) return;
  mTickAttached = false;
  const tDateTime now = NowDateTime();
  const bool started = now > StartTime();
  bool running = false;
  if (RadioButtonEndLogDate->isChecked() || RadioButtonEndLogDuration->isChecked())
    running = now < EndTime();
  if (RadioButtonEndLogCount->isChecked()) running = mLogCnt < mLogCntEnd;
  bool fresh = false;
  if (running) {
    running = false;
    for (const tDevice* r : mDeviceListLog) {
      if (!r->FrameDevice || r->FrameDevice->DeviceStatus() != dsLogging) continue;
      running = true;
      if (r->FrameDevice->DeviceInfo()->LastPressureTime() != r->LastValueTime) fresh = true;
    }
  }
  if (started && running && fresh) {
    ++mLogCnt;
    const QString unitMBA = ComboBoxUnitMBA->currentText();
    const QString unitMBE = ComboBoxUnitMBE->currentText();
    const QString unitTemp = ComboBoxTempUnit->currentText();
    const double key = NowKey();
    QString failure;
    for (tDevice* r : mDeviceListLog) {
      if (!r->LogActive) continue;
      ++mLogEntryCnt;
      const tDeviceInfo* info = r->Info();
      tLogRow row;
      row.Tag = mTable->TagIndex(info ? info->Tag() : QString());
      row.Kind = rkNotLogging;
      if (r->FrameDevice && r->FrameDevice->DeviceStatus() == dsLogging) {
        r->LastValueTime = info->LastPressureTime();
        try {
          int digits = 0;
          double p = info->GetPressureInAUnit(unitMBA, unitMBE, digits);
          const bool vq5 = info->DeviceType() == dtVQ5;
          double t = vq5 ? 0 : info->GetTemperatureInAUnit(unitTemp);
          row.Pressure = p;
          row.Digits = std::int8_t(std::clamp(digits, 0, 20));
          row.Temperature = t;
          row.Time = info->LastPressureTime();
          row.Kind = vq5 ? rkNoTemp : rkValues;
          AddLogPoint(r->SeriesP, p, key);
          if (!vq5) AddLogPoint(r->SeriesT, t, key);
        } catch (const std::exception& e) {
          // The value cannot be shown; the row keeps its place in the block.
          const auto* error = dynamic_cast<const eError*>(&e);
          failure =
              r->Description + ": " + (error ? error->Message() : QString::fromLocal8Bit(e.what()));
        }
      }
      mTable->AppendRow(row);
    }
    if (!failure.isEmpty()) ShowTickError(failure);
    UpdateDataButtons();
  }
  if (started && !running) SetLogState(dsConnected);
  mTickAttached = true;
}

void TFrameLoggingOvvw::ShowTickError(const QString& pText) {
  if (mTickErrorShown) return;
  mTickErrorShown = true;
  // Shown after the tick has ended, so that sampling goes on while the box is open.
  QTimer::singleShot(0, this, [this, pText] { Dialogs().Error(pText, this); });
}

void TFrameLoggingOvvw::UpdateDataButtons() {
  const bool rows = mLogEntryCnt > 0;
  ButtonSaveTable->setEnabled(rows);
  ButtonPrintTable->setEnabled(rows);
  ButtonClearTable->setEnabled(rows);
  const bool points = ChartHasData();
  ButtonSaveChart->setEnabled(points);
  ButtonPrintChart->setEnabled(points);
  ButtonClearChart->setEnabled(points);
}

void TFrameLoggingOvvw::KeepNewestRowInView() {
  const int rowHeight = std::max(1, StringGridLog->verticalHeader()->defaultSectionSize());
  const int visible = StringGridLog->viewport()->height() / rowHeight;
  if (mLogEntryCnt > 0 && visible <= mLogEntryCnt)
    StringGridLog->scrollTo(mTable->index(mLogEntryCnt - 1, 0),
                            QAbstractItemView::PositionAtBottom);
}

void TFrameLoggingOvvw::AddLogPoint(QCPGraph* pSeries, double pValue, double pKey) {
  mChart->AddPoint(pSeries, pKey, pValue);
  const bool right = mChart->SeriesOnRightAxis(pSeries);
  bool any = false;
  double min = 0;
  double max = 0;
  for (const tDevice* r : mDeviceListLog) {
    if (!r->LogActive) continue;
    double lo = 0;
    double hi = 0;
    // Curves without points do not widen the axis.
    if (!mChart->SeriesMinMax(right ? r->SeriesT : r->SeriesP, lo, hi)) continue;
    min = any ? std::min(min, lo) : lo;
    max = any ? std::max(max, hi) : hi;
    any = true;
  }
  if (!any) return;
  if (right) {
    mChart->SetRightRange(min - 5, max + 5);
  } else {
    double lowMargin = (min < 0 ? mMaxSpanBA : mMaxSpanBE) / 100 * 0.5;
    double highMargin = (max < 0 ? mMaxSpanBA : mMaxSpanBE) / 100 * 0.5;
    mChart->SetLeftRange(min - lowMargin, max + highMargin);
  }
}

void TFrameLoggingOvvw::DeviceInfoChanged(tDeviceInfo* pSender) {
  for (tDevice* d : mDeviceList) {
    if (!d->FrameDevice || d->FrameDevice->DeviceInfo() != pSender) continue;
    const bool logged = InLogList(d);
    if (logged && d->Ident != pSender->Ident()) continue;
    mChart->SetSeriesTitle(d->SeriesP, pSender->Tag() + " (p)");
    mChart->SetSeriesTitle(d->SeriesT, pSender->Tag() + " (T)");
    if (logged && d->LogActive) {
      int n = 0;
      int pos = 0;
      for (const tDevice* r : mDeviceListLog) {
        if (!r->LogActive) continue;
        ++n;
        if (r == d) pos = n;
      }
      const std::uint32_t tag = mTable->TagIndex(pSender->Tag());
      for (int j = pos; j <= mTable->EntryCount(); j += n)
        mTable->SetRowTag(j, tag);
    }
  }
  if (!pSender->Updating() && !pSender->Tag().isEmpty()) {
    if (ComboBoxUnitMBE->isHidden() && pSender->MBAUnitStr() != pSender->MBEUnitStr()) {
      GroupBoxConfigLog->setFixedHeight(501);
      ComboBoxUnitMBE->show();
      LabelPlus->show();
      LabelMinus->show();
    }
    if (mDeviceList.size() == 1) {
      // A unit the boxes do not offer (none read yet) keeps the current choice: an empty
      // selection would leave the run without a unit.
      const int lIndexA = ComboBoxUnitMBA->findText(pSender->MBAUnitStr());
      const int lIndexE = ComboBoxUnitMBE->findText(pSender->MBEUnitStr());
      if (lIndexA >= 0) ComboBoxUnitMBA->setCurrentIndex(lIndexA);
      if (lIndexE >= 0) ComboBoxUnitMBE->setCurrentIndex(lIndexE);
    }
  }
}

void TFrameLoggingOvvw::UpdateHeaders() {
  mTable->SetHeader(tLogTableModel::ColTag, FLoggerText[0]);
  QString pressure = FLoggerText[1];
  if (mLogUnitMBA.isEmpty() && mLogUnitMBE.isEmpty())
    ;
  else if (mLogUnitMBA == mLogUnitMBE)
    pressure += " [" + mLogUnitMBE + "]";
  else
    pressure += " [" + mLogUnitMBA + " | " + mLogUnitMBE + "]";
  QString temperature = FLoggerText[2];
  if (!mLogUnitTemp.isEmpty()) temperature += " [" + mLogUnitTemp + "]";
  mTable->SetHeader(tLogTableModel::ColPressure, pressure);
  mTable->SetHeader(tLogTableModel::ColTemperature, temperature);
  mTable->SetHeader(tLogTableModel::ColTime, FLoggerText[3]);
  mChart->SetAxisTitles(pressure, temperature, FLoggerText[3]);
  FitColumnWidths();
}

void TFrameLoggingOvvw::UpdateTableColumns() {
  int n = 0;
  for (QCPGraph* series : mChart->Series())
    if (!mChart->SeriesOnRightAxis(series) && mChart->SeriesActive(series)) ++n;
  mTable->SetColCount(n > 1 ? 4 : 3);
  FitColumnWidths();
  if (FOnDeviceCountChanged) FOnDeviceCountChanged(n);
}

void TFrameLoggingOvvw::FitColumnWidths() {
  // The base widths suit a small screen font; a column grows to what its header and, for the
  // time, the widest time stamp need, so no text is cut off in any language or locale.
  const int widths[] = {124, 84, 145, 127};
  const QFontMetrics cells(StringGridLog->font());
  const QFontMetrics heads(StringGridLog->horizontalHeader()->font());
  const int padding = 2 * StringGridLog->style()->pixelMetric(QStyle::PM_HeaderMargin) + 8;
  int stamp = 0;
  for (int month = 1; month <= 12; ++month)
    stamp = std::max(stamp, cells.horizontalAdvance(tLogFormat::TimeStamp(
                                EncodeDate(2088, month, 28) + EncodeTime(23, 58, 58, 888))));
  int total = 0;
  for (int c = 0; c < mTable->ColCount(); ++c) {
    int width = std::max(widths[c], heads.horizontalAdvance(mTable->Header(c)) + padding);
    if (c == tLogTableModel::ColTime) width = std::max(width, stamp + padding);
    StringGridLog->setColumnWidth(c, width);
    total += width;
  }
  StringGridLog->setFixedWidth(total + StringGridLog->verticalScrollBar()->sizeHint().width() +
                               2 * StringGridLog->frameWidth() + 1);
}
