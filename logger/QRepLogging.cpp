#include "logger/QRepLogging.h"

#include "core/DeviceInfo.h"
#include "logger/LogTableModel.h"
#include "logger/ReportRenderer.h"
#include <QGuiApplication>
#include <QImage>
#include <QPrinter>

TQRepLogging* QRepLogging = nullptr;

namespace {
std::function<bool()>& LogoQuery() {
  static std::function<bool()> query;
  return query;
}

QFont Arial(int pPixels, bool pBold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pPixels);
  font.setBold(pBold);
  return font;
}
} // namespace

void SetReportLogoVisible(std::function<bool()> pQuery) {
  LogoQuery() = std::move(pQuery);
}
bool ReportLogoVisible() {
  return !LogoQuery() || LogoQuery()();
}

TQRepLogging::TQRepLogging(QObject* pOwner) : QObject(pOwner) {
  setObjectName(QStringLiteral("QRepLogging"));
  if (!QRepLogging) QRepLogging = this;
}

TQRepLogging::~TQRepLogging() {
  if (QRepLogging == this) QRepLogging = nullptr;
}

void TQRepLogging::PrintLog(const QList<const tDeviceInfo*>& pDeviceInfos, int pLast,
                            const tLogTableModel* pStringGrid, QPrinter* pPrinter) {
  mStringGrid = pStringGrid;
  mDeviceInfos = pDeviceInfos.mid(0, pLast + 1);
  ShowReportPreview(pPrinter, [this](QPrinter* pTarget) { Render(pTarget); });
  mStringGrid = nullptr;
  mDeviceInfos.clear();
}

void TQRepLogging::frxReportBeforePrint(tReportCrossTable& pCross, bool pIsDeviceTable) {
  if (pIsDeviceTable) {
    for (int i = 0; i < mDeviceInfos.size(); ++i) {
      pCross.Add(i, QStringLiteral("0"), mDeviceInfos[i]->Tag());
      pCross.Add(i, QStringLiteral("1"), mDeviceInfos[i]->MBRange());
    }
    return;
  }
  if (!mStringGrid) return;
  const int columns = mDeviceInfos.size() > 1 ? 4 : 3;
  for (int r = 1; !mStringGrid->Cell(0, r).isEmpty(); ++r)
    for (int c = 0; c < columns; ++c)
      pCross.Add(r, mStringGrid->Cell(c, 0), mStringGrid->Cell(c, r));
}

QString TQRepLogging::frxReportGetValue(const QString& pName) const {
  if (pName.compare(QLatin1String("Title"), Qt::CaseInsensitive) == 0)
    return QGuiApplication::applicationDisplayName();
  return QString();
}

int TQRepLogging::Render(QPrinter* pPrinter) {
  tReportCrossTable crossDevice;
  crossDevice.ShowColumnHeaders = false;
  crossDevice.Framed = false;
  crossDevice.RightAligned = false;
  crossDevice.CellFont = Arial(13, false);
  tReportCrossTable crossValues;
  crossValues.HeaderFont = Arial(13, true);
  crossValues.CellFont = Arial(13, false);
  frxReportBeforePrint(crossDevice, true);
  frxReportBeforePrint(crossValues, false);

  tReportRenderer report;
  report.SetTitle(frxReportGetValue(QStringLiteral("Title")));
  report.SetLogo(QImage(QStringLiteral(":/images/logger_logo.svg")), ReportLogoVisible());
  report.SetShowPageNumber(true);
  tReportRenderer::tBand devices;
  devices.Table = &crossDevice;
  devices.MinHeight = 18.4 * tReportRenderer::UnitsPerMm;
  devices.RuleOffset = 17 * tReportRenderer::UnitsPerMm;
  report.AddBand(devices);
  tReportRenderer::tBand values;
  values.Table = &crossValues;
  report.AddBand(values);
  return report.Render(pPrinter);
}
