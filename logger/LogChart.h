#pragma once
// The logger's chart: pressure curves on the left axis, temperature curves on the right, time
// along the bottom. Points are appended one by one; the minimum and maximum of every curve are
// kept as points arrive, so no tick ever walks the recorded points, and a repaint reads a
// summary of them at the chart's resolution (tLogSeries). Repainting runs on its own schedule
// (at most every ReplotIntervalMs, less often when drawing takes long), separate from the
// sampling rate.
#include "logger/LogSeries.h"
#include <QPoint>
#include <QSet>
#include <QTimer>
#include <qcustomplot.h>

class QRubberBand;

class tLogChart : public QCustomPlot {
  Q_OBJECT
public:
  static constexpr int ReplotIntervalMs = 100;
  static constexpr int MaxReplotIntervalMs = 2000;

  explicit tLogChart(QWidget* pParent = nullptr);
  ~tLogChart() override;

  // A new empty curve; the chart owns it. Inactive curves are hidden and left out of the legend.
  tLogSeries* AddSeries(bool pRightAxis, const QString& pTitle, bool pActive);
  void RemoveSeries(tLogSeries* pSeries);
  void SetSeriesActive(tLogSeries* pSeries, bool pActive);
  bool SeriesActive(const tLogSeries* pSeries) const;
  void SetSeriesTitle(tLogSeries* pSeries, const QString& pTitle);
  bool SeriesOnRightAxis(const tLogSeries* pSeries) const;
  QList<tLogSeries*> Series() const;

  // pKey: seconds since the epoch (the bottom axis shows them as local times of day).
  void AddPoint(tLogSeries* pSeries, double pKey, double pValue);
  int PointCount(const tLogSeries* pSeries) const;
  // False for a curve without points.
  bool SeriesMinMax(const tLogSeries* pSeries, double& pMin, double& pMax) const;
  bool HasData() const;
  // Undoes any zoom, then removes every point of every curve.
  void ClearPoints();

  // The ranges the program wants shown; while the user has zoomed or moved the chart they are
  // remembered and come back with UndoZoom.
  void SetLeftRange(double pLower, double pUpper);
  void SetRightRange(double pLower, double pUpper);
  void UndoZoom();
  bool IsZoomed() const { return mZoomed; }

  void SetAxisTitles(const QString& pLeft, const QString& pRight, const QString& pBottom);
  // Asks for a repaint; repeated requests within one interval cost nothing.
  void RequestReplot();
  // Copies curves (sharing their points), titles, visibility and look into pTarget.
  void CopyInto(tLogChart* pTarget) const;

protected:
  void mousePressEvent(QMouseEvent* pEvent) override;
  void mouseMoveEvent(QMouseEvent* pEvent) override;
  void mouseReleaseEvent(QMouseEvent* pEvent) override;
  void wheelEvent(QWheelEvent* pEvent) override;
  void showEvent(QShowEvent* pEvent) override;
  void updateLayout() override;

private:
  void ApplyHomeRanges();
  void ReplotNow();
  void ZoomToPixels(const QRect& pRect);
  void UpdateTickerFormat();
  void FitLegend(int pWidth);

  // The curves made by AddSeries; calls naming any other do nothing.
  QSet<const tLogSeries*> mSeries;
  int mSeriesCreated = 0;
  bool mHasKeys = false;
  double mKeyMin = 0;
  double mKeyMax = 0;
  QCPRange mHomeLeft{0, 1};
  QCPRange mHomeRight{0, 1};
  bool mZoomed = false;
  bool mReplotPending = false;
  QTimer mReplotTimer;
  Qt::MouseButton mDragButton = Qt::NoButton;
  QPoint mDragStart;
  QPoint mDragLast;
  QRubberBand* mRubberBand = nullptr;
};
