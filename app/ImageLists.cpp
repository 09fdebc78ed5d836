#include "app/ImageLists.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace {

const char* const kCommon[] = {"app_add",        "app_remove", "app_connected", "app_disconnected",
                               "app_connecting", "app_tools",  "app_arrows",    "app_info",
                               "app_warning",    "app_chart",  "app_two_chart"};

QString Resource32(int pIndex) {
  if (pIndex >= 0 && pIndex <= iiTwoChart)
    return QStringLiteral(":/images/%1.svg").arg(QLatin1String(kCommon[pIndex]));
  if (pIndex == iiTransmitter) return QStringLiteral(":/images/app_transmitter.svg");
  return {};
}

// The logger's own pictures where it has them, so that its buttons and the list agree.
QString Resource16(int pIndex) {
  if (pIndex >= 0 && pIndex <= iiTwoChart) return Resource32(pIndex);
  auto lPick = [](const char* pLogger, const char* pOwn) {
    const QString lLogger = QStringLiteral(":/images/%1.svg").arg(QLatin1String(pLogger));
    return QFile::exists(lLogger) ? lLogger
                                  : QStringLiteral(":/images/%1.svg").arg(QLatin1String(pOwn));
  };
  switch (pIndex) {
  case iiCross:
    return lPick("logger_clear", "app_cross");
  case iiPrinter:
    return lPick("logger_print", "app_printer");
  case iiFloppy:
    return lPick("logger_save", "app_floppy");
  default:
    return {};
  }
}

QPixmap Cached(const QString& pResource, int pSize, bool pGreyed) {
  static QHash<QString, QPixmap> lCache;
  const QString lKey = QStringLiteral("%1|%2|%3").arg(pResource).arg(pSize).arg(pGreyed);
  auto lIt = lCache.constFind(lKey);
  if (lIt != lCache.constEnd()) return *lIt;
  QPixmap lPixmap = ImageLists::Picture(pResource, QSize(pSize, pSize));
  if (pGreyed) lPixmap = ImageLists::Greyed(lPixmap);
  lCache.insert(lKey, lPixmap);
  return lPixmap;
}

} // namespace

namespace ImageLists {

QPixmap Picture(const QString& pResource, const QSize& pSize) {
  if (pResource.isEmpty() || !QFile::exists(pResource)) return {};
  if (!pResource.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
    return QPixmap(pResource).scaled(pSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QSvgRenderer lRenderer(pResource);
  QImage lImage(pSize, QImage::Format_ARGB32_Premultiplied);
  lImage.fill(Qt::transparent);
  QPainter lPainter(&lImage);
  lRenderer.render(&lPainter);
  lPainter.end();
  return QPixmap::fromImage(lImage);
}

QPixmap Greyed(const QPixmap& pPixmap) {
  QImage lImage = pPixmap.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < lImage.height(); ++y) {
    auto* lLine = reinterpret_cast<QRgb*>(lImage.scanLine(y));
    for (int x = 0; x < lImage.width(); ++x) {
      const QRgb c = lLine[x];
      // Lightened grey, as disabled commands are drawn, keeping the picture's outline.
      const int g = 96 + qGray(c) * 5 / 8;
      lLine[x] = qRgba(g, g, g, qAlpha(c) * 3 / 4);
    }
  }
  return QPixmap::fromImage(lImage);
}

QPixmap ImageList32(int pIndex) {
  return pIndex < 0 || pIndex >= ImageList32Count ? QPixmap()
                                                  : Cached(Resource32(pIndex), 32, false);
}
QPixmap ImageList16(int pIndex) {
  return pIndex < 0 || pIndex >= ImageList16Count ? QPixmap()
                                                  : Cached(Resource16(pIndex), 16, false);
}
QPixmap ImageList32dis(int pIndex) {
  return pIndex < 0 || pIndex >= ImageList32Count ? QPixmap()
                                                  : Cached(Resource32(pIndex), 32, true);
}
QPixmap ImageList16dis(int pIndex) {
  return pIndex < 0 || pIndex >= ImageList16Count ? QPixmap()
                                                  : Cached(Resource16(pIndex), 16, true);
}

QIcon CommandIcon(int pIndex) {
  QIcon lIcon;
  lIcon.addPixmap(ImageList16(pIndex), QIcon::Normal);
  lIcon.addPixmap(ImageList32(pIndex), QIcon::Normal);
  lIcon.addPixmap(ImageList16dis(pIndex), QIcon::Disabled);
  lIcon.addPixmap(ImageList32dis(pIndex), QIcon::Disabled);
  return lIcon;
}

} // namespace ImageLists
