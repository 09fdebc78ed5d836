// The logger's recording journal: written while a run records, removed with the recorded data,
// and replayed into the empty logger after the program ended without closing normally.
#include "logger/FrameLoggingOvvw.h"

#include "widgets/DialogService.h"
#include "i18n/Resources.h"
#include "logger/LogChart.h"
#include "logger/LogJournal.h"
#include "logger/LogTableModel.h"
#include "pages/FrameDevice.h"
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>

namespace {
// Catalogue entry of the message on a failing journal.
constexpr int cJournalFailedText = 507;
} // namespace

// Rebuilds what the run did, step by step, through the same operations as the live run.
class TFrameLoggingOvvw::tRestorer : public iLogJournalSink {
public:
  explicit tRestorer(TFrameLoggingOvvw& pFrame) : mFrame(pFrame) {}

  void Run(const tJournalRun& pRun, const std::vector<tJournalDevice>& pDevices) override {
    TFrameLoggingOvvw& f = mFrame;
    const bool temperatures = f.CheckBoxTempSeries->isChecked();
    for (std::size_t i = 0; i < pDevices.size(); ++i) {
      const tJournalDevice& d = pDevices[i];
      if (i == mSlots.size()) {
        auto* device = new tDevice;
        device->SeriesP = f.mChart->AddSeries(false, d.Tag + " (p)", true);
        device->SeriesT = f.mChart->AddSeries(true, d.Tag + " (T)", temperatures);
        device->LogActive = true;
        f.mDeviceListLog.push_back(device);
        mSlots.push_back(device);
      }
      tDevice* device = mSlots[i];
      device->KeptInfo = d.ToInfo();
      device->Description = d.Description;
      device->Ident = d.Ident;
    }
    mCount = int(pDevices.size());
    f.mLogUnitMBA = pRun.UnitMBA;
    f.mLogUnitMBE = pRun.UnitMBE;
    f.mLogUnitTemp = pRun.UnitTemp;
    f.mMaxSpanBA = pRun.MaxSpanBA;
    f.mMaxSpanBE = pRun.MaxSpanBE;
  }

  void Tag(int pSlot, const QString& pTag) override {
    TFrameLoggingOvvw& f = mFrame;
    if (pSlot >= mCount) return;
    tDevice* device = mSlots[std::size_t(pSlot)];
    device->KeptInfo->SetTag(pTag);
    f.mChart->SetSeriesTitle(device->SeriesP, pTag + " (p)");
    f.mChart->SetSeriesTitle(device->SeriesT, pTag + " (T)");
    const std::uint32_t tag = f.mTable->TagIndex(pTag);
    for (int j = pSlot + 1; j <= f.mTable->EntryCount(); j += mCount)
      f.mTable->SetRowTag(j, tag);
  }

  void Tick(double pKey, const std::vector<tLogRow>& pRows, const QStringList& pTags) override {
    TFrameLoggingOvvw& f = mFrame;
    ++f.mLogCnt;
    for (std::size_t i = 0; i < pRows.size() && i < mSlots.size(); ++i) {
      ++f.mLogEntryCnt;
      tLogRow row = pRows[i];
      row.Tag = f.mTable->TagIndex(pTags.value(int(i)));
      if (row.Kind != rkNotLogging) f.AddLogPoint(mSlots[i]->SeriesP, row.Pressure, pKey);
      if (row.Kind == rkValues) f.AddLogPoint(mSlots[i]->SeriesT, row.Temperature, pKey);
      f.mTable->AppendRow(row);
    }
  }

  void ClearTable() override { mFrame.ClearTable(); }
  void ClearChart() override { mFrame.ClearChart(); }

private:
  TFrameLoggingOvvw& mFrame;
  std::vector<tDevice*> mSlots;
  int mCount = 0;
};

QString TFrameLoggingOvvw::JournalFileName() const {
  return mJournal && mJournal->IsOpen() ? mJournal->FileName() : QString();
}

void TFrameLoggingOvvw::JournalRunStarted() {
  if (mJournalFolder.isEmpty()) return;
  if (!mJournal || !mJournal->IsOpen()) {
    // A journal that misses recorded data would restore less than was recorded.
    if (HasDataToSave()) return;
    if (!mJournal) {
      mJournal = std::make_unique<tLogJournal>();
      mJournal->SetOnFailure([this](const QString& pReason) { ShowJournalError(pReason); });
    }
    const QString name =
        mJournalFolder + QLatin1Char('/') +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
        QStringLiteral("-%1").arg(QCoreApplication::applicationPid()) + tLogJournalReader::Suffix();
    if (!mJournal->Create(name)) return;
  }
  tJournalRun run;
  run.StartTime = NowDateTime();
  run.MaxSpanBA = mMaxSpanBA;
  run.MaxSpanBE = mMaxSpanBE;
  run.UnitMBA = mLogUnitMBA;
  run.UnitMBE = mLogUnitMBE;
  run.UnitTemp = mLogUnitTemp;
  std::vector<tJournalDevice> devices;
  for (const tDevice* d : mDeviceListLog)
    if (d->LogActive && d->Info())
      devices.push_back(tJournalDevice::FromInfo(*d->Info(), d->Description));
  mJournal->Run(run, devices);
}

void TFrameLoggingOvvw::JournalRunEnded() {
  if (mJournal && mJournal->IsOpen()) mJournal->RequestSync();
}

void TFrameLoggingOvvw::JournalTick(double pKey, int pFirst, int pCount) {
  if (mJournal && mJournal->IsOpen()) mJournal->Tick(pKey, *mTable, pFirst, pCount);
}

void TFrameLoggingOvvw::JournalTag(const tDevice* pDevice, const QString& pTag) {
  if (!mJournal || !mJournal->IsOpen()) return;
  int slot = 0;
  for (const tDevice* r : mDeviceListLog) {
    if (!r->LogActive) continue;
    if (r == pDevice) {
      mJournal->Tag(slot, pTag);
      return;
    }
    ++slot;
  }
}

void TFrameLoggingOvvw::JournalCleared(bool pTable, bool pChart) {
  if (!mJournal || !mJournal->IsOpen()) return;
  // The journal lives as long as there is recorded data; closing the program normally clears it.
  if (mInDestroy || (!HasDataToSave() && !IsLogging())) {
    mJournal->Remove();
    mJournalErrorShown = false;
    return;
  }
  if (pTable) mJournal->ClearTable();
  if (pChart) mJournal->ClearChart();
}

void TFrameLoggingOvvw::ShowJournalError(const QString& pReason) {
  if (mJournalErrorShown) return;
  mJournalErrorShown = true;
  const QString text = Resources().CatalogueText(cJournalFailedText) + QLatin1Char('\r') + pReason;
  // Shown after the tick has ended, so that sampling goes on while the box is open.
  QTimer::singleShot(0, this, [this, text] { Dialogs().Error(text, this); });
}

bool TFrameLoggingOvvw::RestoreJournal(const QString& pFileName, QString& pError) {
  if (HasDataToSave() || IsLogging() || !mDeviceListLog.empty()) {
    pError = QStringLiteral("the logger holds data");
    return false;
  }
  if (tLogJournalReader::InUse(pFileName)) {
    pError = QStringLiteral("the recording is being written by a running program");
    return false;
  }
  const tJournalSummary summary = tLogJournalReader::Scan(pFileName);
  if (!summary.Valid) {
    pError = summary.Error;
    return false;
  }
  tRestorer restorer(*this);
  if (!tLogJournalReader::Replay(pFileName, summary.ValidBytes, restorer)) {
    pError = QStringLiteral("the file changed while it was read");
    ButtonClearTableChartClick(this);
    return false;
  }
  UpdateHeaders();
  UpdateTableColumns();
  UpdateDataButtons();
  mTable->Flush();
  mChart->RequestReplot();
  if (!mJournal) {
    mJournal = std::make_unique<tLogJournal>();
    mJournal->SetOnFailure([this](const QString& pReason) { ShowJournalError(pReason); });
  }
  // The restored data is recorded data like any other: the same file keeps it until it is
  // cleared or the program closes normally.
  mJournal->Continue(pFileName, summary.ValidBytes);
  return true;
}
