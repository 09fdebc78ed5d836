#include "logger/LogChart.h"

#include "core/Format.h"
#include <QMouseEvent>
#include <QRubberBand>
#include <algorithm>

namespace {
// Distinct colours that read well on the white back wall, in the order curves are created.
const QColor cSeriesColours[] = {QColor(255, 0, 0),   QColor(0, 128, 0),   QColor(0, 0, 255),
                                 QColor(255, 128, 0), QColor(192, 0, 192), QColor(0, 128, 128),
                                 QColor(128, 0, 0),   QColor(0, 0, 128),   QColor(128, 128, 0),
                                 QColor(96, 96, 96)};
// A drag shorter than this is a click, not a zoom or restore.
constexpr int cMinDragPixels = 4;
// Legend entries per line at most, however wide the chart.
constexpr int cLegendMaxColumns = 6;

QCPRange Widened(double pLower, double pUpper) {
  // A flat curve still needs an axis with some height to be seen.
  if (!(pUpper > pLower)) {
    double half = std::max(std::abs(pLower) * 0.005, 0.5);
    return QCPRange(pLower - half, pUpper + half);
  }
  return QCPRange(pLower, pUpper);
}
} // namespace

tLogChart::tLogChart(QWidget* pParent) : QCustomPlot(pParent) {
  setNoAntialiasingOnDrag(true);
  // Long runs draw millions of points: polylines in one call each.
  setPlottingHint(QCP::phFastPolylines, true);
  setBackground(Qt::white);
  axisRect()->setBackground(Qt::white);
  yAxis2->setVisible(true);
  xAxis->setTickLabelRotation(90);
  QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
  xAxis->setTicker(ticker);
  UpdateTickerFormat();

  // Legend below the plot, one entry per visible curve, several per line.
  legend->setVisible(true);
  legend->setBrush(QColor(192, 192, 192));
  legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
  legend->setWrap(cLegendMaxColumns);
  axisRect()->insetLayout()->take(legend);
  plotLayout()->addElement(1, 0, legend);
  plotLayout()->setRowStretchFactor(1, 0.001);
  legend->setMargins(QMargins(4, 2, 4, 2));

  mReplotTimer.setSingleShot(true);
  mReplotTimer.setInterval(ReplotIntervalMs);
  connect(&mReplotTimer, &QTimer::timeout, this, &tLogChart::ReplotNow);
  ApplyHomeRanges();
}

tLogChart::~tLogChart() = default;

tLogSeries* tLogChart::AddSeries(bool pRightAxis, const QString& pTitle, bool pActive) {
  // The plottable adds itself to the chart.
  auto* series = new tLogSeries(xAxis, pRightAxis ? yAxis2 : yAxis);
  series->setName(pTitle);
  series->setPen(QPen(cSeriesColours[mSeriesCreated++ % std::size(cSeriesColours)], 1));
  mSeries.insert(series);
  SetSeriesActive(series, pActive);
  return series;
}

void tLogChart::RemoveSeries(tLogSeries* pSeries) {
  if (!mSeries.remove(pSeries)) return;
  removeGraph(pSeries);
  RequestReplot();
}

void tLogChart::SetSeriesActive(tLogSeries* pSeries, bool pActive) {
  if (!mSeries.contains(pSeries)) return;
  pSeries->setVisible(pActive);
  if (pActive)
    pSeries->addToLegend();
  else
    pSeries->removeFromLegend();
  RequestReplot();
}

bool tLogChart::SeriesActive(const tLogSeries* pSeries) const {
  return mSeries.contains(pSeries) && pSeries->visible();
}

void tLogChart::SetSeriesTitle(tLogSeries* pSeries, const QString& pTitle) {
  if (!mSeries.contains(pSeries) || pSeries->name() == pTitle) return;
  pSeries->setName(pTitle);
  RequestReplot();
}

bool tLogChart::SeriesOnRightAxis(const tLogSeries* pSeries) const {
  return mSeries.contains(pSeries) && pSeries->valueAxis() == yAxis2;
}

QList<tLogSeries*> tLogChart::Series() const {
  // In the order the curves were made, as the legend lists them.
  QList<tLogSeries*> result;
  for (int i = 0; i < graphCount(); ++i)
    if (auto* series = dynamic_cast<tLogSeries*>(graph(i))) result.append(series);
  return result;
}

void tLogChart::AddPoint(tLogSeries* pSeries, double pKey, double pValue) {
  if (!mSeries.contains(pSeries)) return;
  tLogSeriesData& data = pSeries->Data();
  if (!data.Append(pKey, pValue)) return;
  pKey = data.LastKey();
  if (!mHasKeys) {
    mKeyMin = mKeyMax = pKey;
    mHasKeys = true;
  } else {
    mKeyMin = std::min(mKeyMin, pKey);
    mKeyMax = std::max(mKeyMax, pKey);
  }
  if (!mZoomed) xAxis->setRange(Widened(mKeyMin, mKeyMax));
  RequestReplot();
}

int tLogChart::PointCount(const tLogSeries* pSeries) const {
  return mSeries.contains(pSeries) ? int(pSeries->Data().Count()) : 0;
}

bool tLogChart::SeriesMinMax(const tLogSeries* pSeries, double& pMin, double& pMax) const {
  if (!mSeries.contains(pSeries) || pSeries->Data().Count() == 0) return false;
  pMin = pSeries->Data().Min();
  pMax = pSeries->Data().Max();
  return true;
}

bool tLogChart::HasData() const {
  for (const tLogSeries* series : mSeries)
    if (series->Data().Count() > 0) return true;
  return false;
}

void tLogChart::ClearPoints() {
  UndoZoom();
  for (tLogSeries* series : Series())
    series->Data().Clear();
  mHasKeys = false;
  ApplyHomeRanges();
  RequestReplot();
}

void tLogChart::SetLeftRange(double pLower, double pUpper) {
  mHomeLeft = Widened(pLower, pUpper);
  if (!mZoomed) yAxis->setRange(mHomeLeft);
  RequestReplot();
}

void tLogChart::SetRightRange(double pLower, double pUpper) {
  mHomeRight = Widened(pLower, pUpper);
  if (!mZoomed) yAxis2->setRange(mHomeRight);
  RequestReplot();
}

void tLogChart::UndoZoom() {
  mZoomed = false;
  ApplyHomeRanges();
  RequestReplot();
}

void tLogChart::ApplyHomeRanges() {
  yAxis->setRange(mHomeLeft);
  yAxis2->setRange(mHomeRight);
  if (mHasKeys) {
    xAxis->setRange(Widened(mKeyMin, mKeyMax));
  } else {
    double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    xAxis->setRange(now, now + 60);
  }
}

void tLogChart::SetAxisTitles(const QString& pLeft, const QString& pRight, const QString& pBottom) {
  yAxis->setLabel(pLeft);
  yAxis2->setLabel(pRight);
  xAxis->setLabel(pBottom);
  UpdateTickerFormat();
  RequestReplot();
}

void tLogChart::UpdateTickerFormat() {
  auto ticker = qSharedPointerDynamicCast<QCPAxisTickerDateTime>(xAxis->ticker());
  if (!ticker) return;
  ticker->setDateTimeFormat(LongTimeFormat());
  ticker->setDateTimeSpec(Qt::LocalTime);
}

void tLogChart::RequestReplot() {
  mReplotPending = true;
  if (!mReplotTimer.isActive()) mReplotTimer.start();
}

void tLogChart::ReplotNow() {
  // A hidden chart is drawn when it is shown again, not at every interval.
  if (!isVisible()) return;
  mReplotPending = false;
  replot(QCustomPlot::rpImmediateRefresh);
  // A chart of millions of points takes long to draw: wait longer between repaints so that
  // painting never takes more than about a fifth of the time, however long the run.
  const int cost = int(replotTime());
  mReplotTimer.setInterval(std::clamp(cost * 4, ReplotIntervalMs, MaxReplotIntervalMs));
}

void tLogChart::updateLayout() {
  // Called for every repaint and export, with the viewport of the target.
  FitLegend(viewport().width());
  QCustomPlot::updateLayout();
}

void tLogChart::FitLegend(int pWidth) {
  // As many entries per line as fit: long tags wrap onto more lines instead of being cut off.
  int widest = 1;
  // The grid counts its empty cells too.
  for (int i = 0; i < legend->itemCount(); ++i)
    if (QCPLayoutElement* entry = legend->item(i))
      widest = std::max(widest, entry->minimumOuterSizeHint().width());
  const QMargins margins = legend->margins();
  const int spacing = legend->columnSpacing();
  const int room = pWidth - margins.left() - margins.right() + spacing;
  const int columns = std::clamp(room / (widest + spacing), 1, cLegendMaxColumns);
  if (columns == legend->wrap()) return;
  legend->setWrap(columns);
  legend->setFillOrder(legend->fillOrder(), true);
}

void tLogChart::showEvent(QShowEvent* pEvent) {
  QCustomPlot::showEvent(pEvent);
  if (mReplotPending) ReplotNow();
}

void tLogChart::CopyInto(tLogChart* pTarget) const {
  pTarget->clearGraphs();
  pTarget->mSeries.clear();
  for (const tLogSeries* source : Series()) {
    tLogSeries* copy =
        pTarget->AddSeries(SeriesOnRightAxis(source), source->name(), source->visible());
    copy->ShareData(*source);
    copy->setPen(source->pen());
  }
  pTarget->mHasKeys = mHasKeys;
  pTarget->mKeyMin = mKeyMin;
  pTarget->mKeyMax = mKeyMax;
  pTarget->mHomeLeft = mHomeLeft;
  pTarget->mHomeRight = mHomeRight;
  pTarget->SetAxisTitles(yAxis->label(), yAxis2->label(), xAxis->label());
  // The copy shows what the user sees, zoom included.
  pTarget->xAxis->setRange(xAxis->range());
  pTarget->yAxis->setRange(yAxis->range());
  pTarget->yAxis2->setRange(yAxis2->range());
  pTarget->mZoomed = mZoomed;
}

void tLogChart::mousePressEvent(QMouseEvent* pEvent) {
  if (pEvent->button() == Qt::LeftButton || pEvent->button() == Qt::RightButton) {
    mDragButton = pEvent->button();
    mDragStart = mDragLast = pEvent->pos();
    pEvent->accept();
    return;
  }
  QCustomPlot::mousePressEvent(pEvent);
}

void tLogChart::mouseMoveEvent(QMouseEvent* pEvent) {
  if (mDragButton == Qt::LeftButton) {
    if (!mRubberBand) mRubberBand = new QRubberBand(QRubberBand::Rectangle, this);
    mRubberBand->setGeometry(QRect(mDragStart, pEvent->pos()).normalized());
    mRubberBand->show();
  } else if (mDragButton == Qt::RightButton) {
    // Moving the chart follows the mouse on every axis.
    QPoint delta = pEvent->pos() - mDragLast;
    mDragLast = pEvent->pos();
    if (!delta.isNull()) {
      mZoomed = true;
      for (QCPAxis* axis : {xAxis, yAxis, yAxis2}) {
        double shift = axis->orientation() == Qt::Horizontal
                           ? axis->pixelToCoord(0) - axis->pixelToCoord(delta.x())
                           : axis->pixelToCoord(0) - axis->pixelToCoord(delta.y());
        axis->moveRange(shift);
      }
      replot(QCustomPlot::rpQueuedReplot);
    }
  }
  pEvent->accept();
}

void tLogChart::mouseReleaseEvent(QMouseEvent* pEvent) {
  if (pEvent->button() != mDragButton) {
    QCustomPlot::mouseReleaseEvent(pEvent);
    return;
  }
  if (mRubberBand) mRubberBand->hide();
  if (mDragButton == Qt::LeftButton) {
    QPoint delta = pEvent->pos() - mDragStart;
    if (delta.x() >= cMinDragPixels && delta.y() >= cMinDragPixels)
      ZoomToPixels(QRect(mDragStart, pEvent->pos()));
    else if (delta.manhattanLength() >= cMinDragPixels)
      UndoZoom();
  }
  mDragButton = Qt::NoButton;
  pEvent->accept();
}

void tLogChart::wheelEvent(QWheelEvent* pEvent) {
  // The wheel neither zooms nor scrolls here; only the drags of the zoom help do.
  pEvent->ignore();
}

void tLogChart::ZoomToPixels(const QRect& pRect) {
  mZoomed = true;
  xAxis->setRange(xAxis->pixelToCoord(pRect.left()), xAxis->pixelToCoord(pRect.right()));
  for (QCPAxis* axis : {yAxis, yAxis2})
    axis->setRange(axis->pixelToCoord(pRect.bottom()), axis->pixelToCoord(pRect.top()));
  replot(QCustomPlot::rpQueuedReplot);
}
