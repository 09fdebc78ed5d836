#pragma once
// One curve of the logger's chart. Its points live in a tLogSeriesData rather than in the
// graph's own container, and it draws them with a cost that depends on the chart's width, not
// on the length of the log.
//
// Drawing reproduces the graph's adaptive sampling exactly: where a pixel column holds several
// points, the column's first point, its smallest and largest value and its last point are
// drawn, as the graph does; only these come from the envelope pyramid instead of a walk over
// every point. Where there are fewer points than about two per pixel the points are drawn as
// they are. The picture is therefore the one the graph draws from all points (but for the one
// case noted in LineData), on the screen, in a bitmap export and in a printout alike, all of
// which draw through here.
//
// A custom plottable rather than feeding the graph the visible points at each repaint: the
// picture depends on the target (a printout or an export has its own width), and drawing
// from the store at paint time needs no copy kept in step with zoom, new points and targets.
#include "logger/LogSeriesData.h"
#include <cstdint>
#include <memory>
#include <qcustomplot.h>
#include <vector>

class tLogSeries : public QCPGraph {
  Q_OBJECT
public:
  tLogSeries(QCPAxis* pKeyAxis, QCPAxis* pValueAxis);
  ~tLogSeries() override;

  tLogSeriesData& Data() { return *mData; }
  const tLogSeriesData& Data() const { return *mData; }
  // Draws the points of pSource from now on, sharing them (a copy of the chart for printing).
  void ShareData(const tLogSeries& pSource);

  // The points the graph's line is drawn through, in plot coordinates, for the current axes.
  QVector<QCPGraphData> LineData() const;

protected:
  void draw(QCPPainter* pPainter) override;

private:
  // The extremes of the points First .. End - 1, both multiples of a level-2 block.
  struct tInner {
    std::size_t First;
    std::size_t End;
    double Low;
    double High;
  };
  // The smallest and largest value of the points pFirst .. pEnd - 1. pPrevious walks the kept
  // interiors of the last drawing along with the calls, which come in the order of the points.
  // False when a kept interior spared reading the envelope's upper levels.
  bool Extremes(std::size_t pFirst, std::size_t pEnd, std::size_t& pPrevious, double& pLow,
                double& pHigh) const;

  std::shared_ptr<tLogSeriesData> mData;
  // Of each sampled interval of the last drawing, the extremes of its interior between the
  // first and last boundary of a level-2 block. A repaint a few new points later moves every
  // pixel boundary by a few points; the interiors stay as they were, and only the ends are read
  // from the lowest levels, close to where the search for the boundary reads anyway. The upper
  // levels lie far apart in memory and have gone from the caches between repaints.
  mutable std::vector<tInner> mInners;
  mutable std::vector<tInner> mNextInners;
  mutable std::uint64_t mInnersGeneration = 0;
};
