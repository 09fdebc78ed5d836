// The logging run: devices, run settings, start checks, the sampling tick, headers and columns.
// The operations on recorded data (save, clear, print) are in FrameLoggingOvvwData.cpp, the
// building of the controls in FrameLoggingOvvwControls.cpp.
#include "logger/FrameLoggingOvvw.h"

#include "core/DateTime.h"
#include "core/Error.h"
#include "i18n/Resources.h"
#include "logger/LogChart.h"
#include "logger/LogFormat.h"
#include "logger/LogGrid.h"
#include "logger/LogJournal.h"
#include "logger/LogTableModel.h"
#include "pages/FrameDevice.h"
#include "widgets/BitButton.h"
#include "widgets/DialogService.h"
#include "widgets/GridHelpers.h"
#include "widgets/RichEdit.h"
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
#include <cstdint>

namespace {
const QString CR = QStringLiteral("\r");

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
  // A coarse timer may fire up to 5 % late on every tick; the samples would then come slower
  // than the rate the user chose.
  TimerLogger.setTimerType(Qt::PreciseTimer);
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
    // Points kept in the chart after the table was cleared are in the recorded units too; new
    // points in other units would join their curves under the old axis titles.
    if ((mLogEntryCnt != 0 || ChartHasData()) &&
        (unitMBA != mLogUnitMBA || unitMBE != mLogUnitMBE ||
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
  // Held at the largest count: further samples could not be counted anyway.
  mLogCntEnd = std::int32_t(
      std::min<std::int64_t>(INT32_MAX, std::int64_t(SpinEditCountLog->value()) + mLogCnt));
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
    JournalRunStarted();
    TimerLogger.start();
  } else {
    TimerLogger.stop();
    JournalRunEnded();
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
  FLoggerText.Take(*RichEditTransOutText);
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
    // The units the run was started with: a device's changed information may select others in
    // the boxes, and one curve must not hold two units.
    const QString unitMBA = mLogUnitMBA;
    const QString unitMBE = mLogUnitMBE;
    const QString unitTemp = mLogUnitTemp;
    const double key = NowKey();
    const int firstRow = mTable->EntryCount() + 1;
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
    JournalTick(key, firstRow, mTable->EntryCount() + 1 - firstRow);
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
  if (mLogEntryCnt > 0 && StringGridLog->VisibleRows() <= mLogEntryCnt)
    StringGridLog->ShowRowAtBottom(mLogEntryCnt - 1);
}

void TFrameLoggingOvvw::AddLogPoint(tLogSeries* pSeries, double pValue, double pKey) {
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
      JournalTag(d, pSender->Tag());
    }
  }
  if (!pSender->Updating() && !pSender->Tag().isEmpty()) {
    if (ComboBoxUnitMBE->isHidden() && pSender->MBAUnitStr() != pSender->MBEUnitStr()) {
      GroupBoxConfigLog->setFixedHeight(501);
      ComboBoxUnitMBE->show();
      LabelPlus->show();
      LabelMinus->show();
    }
    if (mDeviceList.size() == 1 && !IsLogging()) {
      // A unit the boxes do not offer (none read yet) keeps the current choice: an empty
      // selection would leave the run without a unit. While logging the boxes show the run's
      // units, which a renamed or re-read device does not change.
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
  for (tLogSeries* series : mChart->Series())
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
