// The operations of the logger on recorded data: saving the table and the chart, clearing,
// printing, the temperature curves and the zoom help.
#include "logger/FrameLoggingOvvw.h"

#include "widgets/DialogService.h"
#include "logger/ChartImageWriter.h"
#include "logger/FormAskLogClear.h"
#include "logger/LogChart.h"
#include "logger/LogTableModel.h"
#include "logger/LogTableWriter.h"
#include "logger/QRepLogging.h"
#include "logger/QRepLoggingChart.h"
#include "pages/FrameDevice.h"
#include <QCheckBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

namespace {
// True when the last part of the path has an extension ("name.csv", also "name.").
bool HasExtension(const QString& pFileName) {
  const QString name = QFileInfo(pFileName).fileName();
  return name.contains(QLatin1Char('.'));
}

QString WithoutExtension(const QString& pFileName) {
  if (pFileName.isEmpty() || !HasExtension(pFileName)) return pFileName;
  return pFileName.left(pFileName.lastIndexOf(QLatin1Char('.')));
}
} // namespace

void TFrameLoggingOvvw::ButtonSaveTableClick() {
  tSaveFileRequest request;
  request.Filter = FLoggerText[7];
  request.FilterIndex = mSaveFilterIndex;
  request.DefaultExt = QStringLiteral("csv");
  request.FileName = WithoutExtension(mSaveFileName);
  tSaveFileResult result = Dialogs().SaveFile(request, this);
  if (!result.Accepted || result.FileName.isEmpty()) return;
  mSaveFilterIndex = result.FilterIndex;
  QChar separator = QLatin1Char('\t');
  QString extension = QStringLiteral(".txt");
  if (result.FilterIndex == 1) {
    separator = QLatin1Char(';');
    extension = QStringLiteral(".csv");
  }
  QString fileName = result.FileName;
  if (!HasExtension(fileName)) fileName += extension;
  mSaveFileName = fileName;
  const int n = int(std::count_if(mDeviceListLog.begin(), mDeviceListLog.end(),
                                  [](const tDevice* d) { return d->LogActive; }));
  try {
    tLogTableWriter::Write(fileName, *mTable, n, separator, FLoggerText[17]);
  } catch (const eError& e) {
    Dialogs().Error(e.Message(), this);
  }
}

void TFrameLoggingOvvw::ButtonSaveChartClick() {
  tSaveFileRequest request;
  request.Filter = QStringLiteral("Bitmap (*.bmp)|*.bmp|PNG (*.png)|*.png");
  request.FilterIndex = 1;
  // The dialog completes a bare name with the selected filter's extension.
  request.DefaultExt = QStringLiteral("bmp");
  request.FileName = WithoutExtension(mSaveFileName);
  tSaveFileResult result = Dialogs().SaveFile(request, this);
  if (!result.Accepted || result.FileName.isEmpty()) return;
  mSaveFileName = result.FileName;
  try {
    tChartImageWriter::Write(*mChart, result.FileName,
                             result.FilterIndex == 2 ? tChartImageWriter::ifPng
                                                     : tChartImageWriter::ifBmp);
  } catch (const eError& e) {
    Dialogs().Error(e.Message(), this);
  }
}

void TFrameLoggingOvvw::ClearTable() {
  mTable->Clear();
  // The samples counted so far are forgotten; a run that ends by count keeps its remaining ones.
  mLogCntEnd -= mLogCnt;
  mLogCnt = 0;
  mLogEntryCnt = 0;
}

void TFrameLoggingOvvw::ClearChart() {
  mChart->ClearPoints();
}

void TFrameLoggingOvvw::ButtonClearTableChartClick(QObject* pSender) {
  if (HasDataToSave()) {
    bool table = true;
    bool chart = true;
    if (pSender != this && !AskLogClear(this, table, chart)) table = chart = false;
    if (table) ClearTable();
    if (chart) ClearChart();
    JournalCleared(table, chart);
  } else {
    JournalCleared(false, false);
  }
  UpdateDataButtons();
  if (!HasDataToSave() && !IsLogging()) {
    for (tDevice* r : mDeviceListLog)
      if (std::find(mDeviceList.begin(), mDeviceList.end(), r) == mDeviceList.end())
        DestroyRecord(r);
    mDeviceListLog.clear();
    for (tDevice* d : mDeviceList) {
      mChart->SetSeriesActive(d->SeriesP, true);
      mChart->SetSeriesActive(d->SeriesT, CheckBoxTempSeries->isChecked());
      const QString tag = d->FrameDevice->DeviceInfo()->Tag();
      mChart->SetSeriesTitle(d->SeriesP, tag + " (p)");
      mChart->SetSeriesTitle(d->SeriesT, tag + " (T)");
    }
  }
  // The owner is being destroyed with this frame; it is not told of the columns any more.
  if (!mInDestroy) UpdateTableColumns();
}

void TFrameLoggingOvvw::ButtonPrintClick(QObject* pSender) {
  if (pSender == ButtonPrintChart) mPrinter.setPageOrientation(QPageLayout::Landscape);
  if (!Dialogs().Print(mPrinter, this)) return;
  QList<const tDeviceInfo*> infos;
  for (const tDevice* d : mDeviceListLog)
    if (d->LogActive && d->Info()) infos.append(d->Info());
  if (pSender == ButtonPrintChart) {
    TQRepLoggingChart local;
    TQRepLoggingChart* report = QRepLoggingChart ? QRepLoggingChart : &local;
    report->PrintChart(infos, int(infos.size()) - 1, mChart, &mPrinter);
  } else {
    TQRepLogging local;
    TQRepLogging* report = QRepLogging ? QRepLogging : &local;
    report->PrintLog(infos, int(infos.size()) - 1, mTable, &mPrinter);
  }
}

void TFrameLoggingOvvw::CheckBoxTempSeriesClick() {
  const bool checked = CheckBoxTempSeries->isChecked();
  if (ChartHasData()) {
    for (tDevice* r : mDeviceListLog)
      mChart->SetSeriesActive(r->SeriesT, r->LogActive && checked);
  } else {
    for (tLogSeries* series : mChart->Series())
      if (mChart->SeriesOnRightAxis(series)) mChart->SetSeriesActive(series, checked);
  }
}

void TFrameLoggingOvvw::BitBtnHlpZoomClick() {
  QString text = FLoggerText[16];
  text.replace(QLatin1String("\\n"), QLatin1String("\r"));
  Dialogs().Information(text, this);
}
