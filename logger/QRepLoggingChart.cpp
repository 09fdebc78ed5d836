#include "logger/QRepLoggingChart.h"

#include "core/DeviceInfo.h"
#include "logger/LogChart.h"
#include "logger/QRepLogging.h"
#include "logger/ReportRenderer.h"
#include <QGuiApplication>
#include <QImage>
#include <QPrinter>
#include <cmath>

TQRepLoggingChart* QRepLoggingChart = nullptr;

TQRepLoggingChart::TQRepLoggingChart(QObject* pOwner) : QObject(pOwner) {
  setObjectName(QStringLiteral("QRepLoggingChart"));
  if (!QRepLoggingChart) QRepLoggingChart = this;
}

TQRepLoggingChart::~TQRepLoggingChart() {
  if (QRepLoggingChart == this) QRepLoggingChart = nullptr;
}

int TQRepLoggingChart::ChartHeight(int pDevices) {
  return pDevices <= 10 ? 600 - 20 * pDevices : 680;
}

void TQRepLoggingChart::PrintChart(const QList<const tDeviceInfo*>& pDeviceInfos, int pLast,
                                   const tLogChart* pChart, QPrinter* pPrinter) {
  // A copy for this print: white, without the window's margins, sharing the points.
  tLogChart copy;
  mChart = &copy;
  mDeviceInfos = pDeviceInfos.mid(0, pLast + 1);
  pChart->CopyInto(mChart);
  mChart->setBackground(Qt::white);
  mChart->legend->setBrush(Qt::white);
  mChart->plotLayout()->setMargins(QMargins(0, 2, 0, 0));
  ShowReportPreview(pPrinter, [this](QPrinter* pTarget) { Render(pTarget); });
  mChart = nullptr;
  mDeviceInfos.clear();
}

int TQRepLoggingChart::Render(QPrinter* pPrinter) {
  QFont cellFont(QStringLiteral("Arial"));
  cellFont.setPixelSize(13);
  tReportCrossTable crossDevice;
  crossDevice.ShowColumnHeaders = false;
  crossDevice.Framed = false;
  crossDevice.RightAligned = false;
  crossDevice.CellFont = cellFont;
  for (int i = 0; i < mDeviceInfos.size(); ++i) {
    crossDevice.Add(i, QStringLiteral("0"), mDeviceInfos[i]->Tag());
    crossDevice.Add(i, QStringLiteral("1"), mDeviceInfos[i]->MBRange());
  }

  tReportRenderer report;
  report.SetTitle(QGuiApplication::applicationDisplayName());
  report.SetLogo(QImage(QStringLiteral(":/images/logger_logo.svg")), ReportLogoVisible());
  report.SetShowPageNumber(false);
  tReportRenderer::tBand devices;
  devices.Table = &crossDevice;
  devices.MinHeight = 18.4 * tReportRenderer::UnitsPerMm;
  devices.RuleOffset = 17 * tReportRenderer::UnitsPerMm;
  report.AddBand(devices);

  if (mChart) {
    tReportRenderer::tBand picture;
    picture.Kind = tReportRenderer::tBand::bkPicture;
    picture.PictureHeight = ChartHeight(int(mDeviceInfos.size()));
    picture.PictureWidth = std::floor(tReportRenderer::ContentWidth(pPrinter));
    // Drawn as vector graphics at exactly the size it takes on the page.
    QCPPainter painter(&picture.Picture);
    mChart->toPainter(&painter, int(picture.PictureWidth), int(picture.PictureHeight));
    painter.end();
    report.AddBand(picture);
  }
  return report.Render(pPrinter);
}
