#include "logger/ReportRenderer.h"

#include "logger/LogFormat.h"
#include <QGuiApplication>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <algorithm>

namespace {
constexpr double cTitleHeight = 11 * tReportRenderer::UnitsPerMm;
constexpr double cFooterHeight = 6 * tReportRenderer::UnitsPerMm;
constexpr double cCellPadding = 4;

QFont ArialPx(int pPixels, bool pBold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pPixels);
  font.setBold(pBold);
  return font;
}

tReportPreview& Preview() {
  static tReportPreview preview;
  return preview;
}
} // namespace

void tReportCrossTable::Add(double pRow, const QString& pColumn, const QString& pText) {
  auto it = mColumnIds.find(pColumn);
  if (it == mColumnIds.end()) it = mColumnIds.emplace(pColumn, int(mColumnIds.size())).first;
  mRows[pRow][it->second] = pText;
  mRowIndex.clear();
}

void tReportCrossTable::Clear() {
  mColumnIds.clear();
  mRows.clear();
  mRowIndex.clear();
}

QStringList tReportCrossTable::Columns() const {
  QStringList result;
  for (const auto& [text, id] : mColumnIds)
    result.append(text);
  return result;
}

QStringList tReportCrossTable::RowTexts(int pIndex) const {
  if (mRowIndex.size() != mRows.size()) {
    mRowIndex.clear();
    for (const auto& [value, cells] : mRows)
      mRowIndex.push_back(&cells);
  }
  const std::map<int, QString>& cells = *mRowIndex[std::size_t(pIndex)];
  QStringList result;
  for (const auto& [text, id] : mColumnIds) {
    auto cell = cells.find(id);
    result.append(cell == cells.end() ? QString() : cell->second);
  }
  return result;
}

tReportRenderer::tReportRenderer() = default;

double tReportRenderer::ContentWidth(QPrinter* pPrinter) {
  QPageLayout layout(QPageSize(QPageSize::A4), pPrinter->pageLayout().orientation(),
                     QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
  return layout.paintRect(QPageLayout::Millimeter).width() * UnitsPerMm;
}

int tReportRenderer::Render(QPrinter* pPrinter) {
  QPageLayout layout(QPageSize(QPageSize::A4), pPrinter->pageLayout().orientation(),
                     QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
  pPrinter->setPageLayout(layout);
  pPrinter->setFullPage(false);
  QRectF area = layout.paintRect(QPageLayout::Millimeter);
  mWidth = area.width() * UnitsPerMm;
  mHeight = area.height() * UnitsPerMm;
  mBottom = mHeight - cFooterHeight;
  mPrintDate = tLogFormat::Date(tLogFormat::Now());
  mPrintTime = tLogFormat::Time(tLogFormat::Now());

  QPainter painter;
  if (!painter.begin(pPrinter)) return 0;
  // Work in report units whatever the printer's resolution.
  double scale = pPrinter->resolution() / 96.0;
  painter.scale(scale, scale);
  mPage = 1;
  mY = 0;
  DrawTitle(painter);
  for (const tBand& band : mBands) {
    double top = mY;
    double height = 0;
    if (band.Kind == tBand::bkPicture) {
      if (mY + band.PictureHeight > mBottom && mY > 0) {
        NewPage(painter, pPrinter);
        top = mY;
      }
      double left = std::max(0.0, (mWidth - band.PictureWidth) / 2);
      // The picture was recorded at its final size in report units.
      painter.save();
      painter.translate(left, mY);
      painter.drawPicture(0, 0, band.Picture);
      painter.restore();
      height = band.PictureHeight;
    } else if (band.Table) {
      height = DrawCrossTable(painter, pPrinter, band);
      top = mY - height;
    }
    double bandHeight = std::max(height, band.MinHeight);
    if (band.RuleOffset >= 0) {
      double ruleY = std::max(top + band.RuleOffset, top + height + 2);
      painter.setPen(QPen(Qt::black, 2));
      painter.drawLine(QPointF(0, ruleY), QPointF(mWidth, ruleY));
      bandHeight = std::max(bandHeight, ruleY - top + 2);
    }
    mY = top + bandHeight;
  }
  DrawFooter(painter, mPage);
  painter.end();
  return mPage;
}

void tReportRenderer::DrawTitle(QPainter& pPainter) {
  double x = 0;
  if (mLogoVisible) {
    QRectF logo(0, 0, 22 * UnitsPerMm, 7.6 * UnitsPerMm);
    pPainter.fillRect(logo, QColor(192, 192, 192));
    if (!mLogo.isNull()) {
      QImage scaled =
          mLogo.scaled(logo.size().toSize() * 4, Qt::KeepAspectRatio, Qt::SmoothTransformation);
      QSizeF size = QSizeF(scaled.size()) / 4;
      pPainter.drawImage(QRectF(QPointF(logo.left() + (logo.width() - size.width()) / 2,
                                        logo.top() + (logo.height() - size.height()) / 2),
                                size),
                         scaled);
    }
    x = logo.width() + 3 * UnitsPerMm;
  }
  pPainter.setFont(ArialPx(19, true));
  pPainter.setPen(Qt::black);
  // Pixel-sized fonts measure in report units under the painter's scale.
  QFontMetricsF metrics(pPainter.font(), pPainter.device());
  double width = metrics.horizontalAdvance(mTitle) + 4;
  pPainter.drawText(QRectF(x, 0, width, cTitleHeight), Qt::AlignLeft | Qt::AlignTop, mTitle);
  mY = cTitleHeight;
}

void tReportRenderer::DrawFooter(QPainter& pPainter, int pPage) {
  pPainter.setFont(ArialPx(13, false));
  pPainter.setPen(Qt::black);
  double top = mHeight - cFooterHeight;
  int flags = Qt::AlignVCenter | Qt::TextSingleLine;
  pPainter.drawText(QRectF(1 * UnitsPerMm, top, 21 * UnitsPerMm, cFooterHeight),
                    flags | Qt::AlignLeft, mPrintDate);
  pPainter.drawText(QRectF(23 * UnitsPerMm, top, 21 * UnitsPerMm, cFooterHeight),
                    flags | Qt::AlignLeft, mPrintTime);
  if (mShowPageNumber)
    pPainter.drawText(QRectF(mWidth - 13 * UnitsPerMm, top, 13 * UnitsPerMm, cFooterHeight),
                      flags | Qt::AlignRight, QString::number(pPage));
}

void tReportRenderer::NewPage(QPainter& pPainter, QPrinter* pPrinter) {
  DrawFooter(pPainter, mPage);
  pPrinter->newPage();
  ++mPage;
  mY = 0;
}

double tReportRenderer::DrawCrossTable(QPainter& pPainter, QPrinter* pPrinter, const tBand& pBand) {
  const tReportCrossTable& table = *pBand.Table;
  const QStringList columns = table.Columns();
  const int rows = table.RowCount();
  if (columns.isEmpty()) return 0;

  // Column widths fitted to the widest text of each column; measured in report units.
  QFontMetricsF cellMetrics(table.CellFont, pPainter.device());
  QFontMetricsF headerMetrics(table.HeaderFont, pPainter.device());
  std::vector<double> widths(columns.size(), 0);
  if (table.ShowColumnHeaders)
    for (int c = 0; c < columns.size(); ++c)
      widths[c] = headerMetrics.horizontalAdvance(columns[c]);
  for (int r = 0; r < rows; ++r) {
    QStringList texts = table.RowTexts(r);
    for (int c = 0; c < columns.size(); ++c)
      widths[c] = std::max(widths[c], cellMetrics.horizontalAdvance(texts[c]));
  }
  for (double& w : widths)
    w += 2 * cCellPadding;
  const double rowHeight = std::ceil(cellMetrics.height()) + 4;
  const double headerHeight = std::ceil(headerMetrics.height()) + 4;

  double start = mY;
  auto drawRow = [&](const QStringList& pTexts, bool pHeader) {
    double height = pHeader ? headerHeight : rowHeight;
    pPainter.setFont(pHeader ? table.HeaderFont : table.CellFont);
    double x = 0;
    for (int c = 0; c < columns.size(); ++c) {
      QRectF cell(x, mY, widths[c], height);
      if (table.Framed) {
        pPainter.setPen(QPen(Qt::black, 1));
        pPainter.drawRect(cell);
      }
      int align = Qt::AlignVCenter | (table.RightAligned ? Qt::AlignRight : Qt::AlignLeft);
      pPainter.setPen(Qt::black);
      pPainter.drawText(cell.adjusted(cCellPadding, 0, -cCellPadding, 0), align, pTexts[c]);
      x += widths[c];
    }
    mY += height;
  };

  if (table.ShowColumnHeaders) {
    if (mY + headerHeight + rowHeight > mBottom && mY > 0) NewPage(pPainter, pPrinter);
    start = mY;
    drawRow(columns, true);
  }
  for (int r = 0; r < rows; ++r) {
    if (mY + rowHeight > mBottom) {
      NewPage(pPainter, pPrinter);
      start = mY;
      if (table.ShowColumnHeaders && table.RepeatHeaders) drawRow(columns, true);
    }
    drawRow(table.RowTexts(r), false);
  }
  return mY - start;
}

void SetReportPreview(const tReportPreview& pPreview) {
  Preview() = pPreview;
}

void ShowReportPreview(QPrinter* pPrinter, const std::function<void(QPrinter*)>& pRender) {
  if (Preview()) {
    Preview()(pPrinter, pRender);
    return;
  }
  // The preview window prints and exports (PDF through the printer's file output) itself.
  QPrintPreviewDialog dialog(pPrinter);
  // Also sized to the screen, for desktops whose window manager does not maximise dialogs.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    dialog.resize(screen->availableGeometry().size() * 9 / 10);
  dialog.setWindowState(Qt::WindowMaximized);
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [&](QPrinter* pTarget) { pRender(pTarget); });
  dialog.exec();
}
