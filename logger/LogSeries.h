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
  // Of one sampled interval of the last drawing: the extremes of its points First .. End - 1,
  // and of its interior InnerFirst .. InnerEnd - 1 between its first and last boundary of a
  // level-2 block (none when InnerFirst == InnerEnd).
  struct tKept {
    std::size_t First;
    std::size_t End;
    double Low;
    double High;
    std::size_t InnerFirst;
    std::size_t InnerEnd;
    double InnerLow;
    double InnerHigh;
  };
  // How Extremes found an interval's extremes, for what to fetch ahead for the next ones.
  enum tReadDepth { rdPoints, rdLowestLevels, rdAllLevels };
  // The smallest and largest value of the points pFirst .. pEnd - 1. pPrevious walks the kept
  // intervals of the last drawing along with the calls, which come in the order of the points.
  tReadDepth Extremes(std::size_t pFirst, std::size_t pEnd, std::size_t& pPrevious, double& pLow,
                      double& pHigh) const;

  std::shared_ptr<tLogSeriesData> mData;
  // A repaint a few new points later moves every pixel boundary by a few points. An interval
  // whose extremes did not lie among the points it lost keeps them, and only the points that
  // moved across its boundaries are read: they lie where the search for the boundary reads
  // anyway. Otherwise its interior is taken from the last drawing while unchanged, and only its
  // ends are read from the lowest levels. Levels lie far apart in memory and have gone from the
  // caches between repaints.
  mutable std::vector<tKept> mKept;
  mutable std::vector<tKept> mNextKept;
  mutable std::uint64_t mKeptGeneration = 0;
};
