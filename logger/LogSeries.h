#pragma once
// One curve of the logger's chart. Its points live in a tLogSeriesData rather than in the
// graph's own container, and it draws them with a cost that depends on the chart's width, not
// on the length of the log.
//
// Drawing reproduces the graph's adaptive sampling exactly: where a pixel column holds several
// points, the column's first point, its smallest and largest value and its last point are
// drawn, as the graph does; only these come from the envelope pyramid instead of a walk over
// every point. Where there are fewer points than about two per pixel the points are drawn as
// they are. The picture is therefore the one the graph draws from all points, on the screen,
// in a bitmap export and in a printout alike, all of which draw through here.
//
// A custom plottable rather than feeding the graph the visible points at each repaint: the
// picture depends on the target (a printout or an export has its own width), and drawing
// from the store at paint time needs no copy kept in step with zoom, new points and targets.
#include "logger/LogSeriesData.h"
#include <memory>
#include <qcustomplot.h>

class tLogSeries : public QCPGraph {
  Q_OBJECT
public:
  tLogSeries(QCPAxis* pKeyAxis, QCPAxis* pValueAxis);
  ~tLogSeries() override;

  tLogSeriesData& Data() { return *mData; }
  const tLogSeriesData& Data() const { return *mData; }
  // Draws the points of pSource from now on, sharing them (a copy of the chart for printing).
  void ShareData(const tLogSeries& pSource) { mData = pSource.mData; }

  // The points the graph's line is drawn through, in plot coordinates, for the current axes.
  QVector<QCPGraphData> LineData() const;

protected:
  void draw(QCPPainter* pPainter) override;

private:
  std::shared_ptr<tLogSeriesData> mData;
};
