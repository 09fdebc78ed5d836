// The chart's legend: long curve titles wrap onto further lines instead of running off the
// chart, on screen and in an exported picture of another size.
#include "logger/LogChart.h"

#include <gtest/gtest.h>

namespace {
// True when every legend entry lies inside the chart's width.
bool LegendInside(tLogChart& pChart) {
  for (int i = 0; i < pChart.legend->itemCount(); ++i) {
    if (!pChart.legend->item(i)) continue;
    const QRect r = pChart.legend->item(i)->outerRect();
    if (r.left() < 0 || r.right() > pChart.viewport().width()) return false;
  }
  return true;
}

void AddFour(tLogChart& pChart, const QString& pTag) {
  for (const char* kind : {" (p)", " (T)"}) {
    pChart.AddSeries(false, pTag + "A" + kind, true);
    pChart.AddSeries(true, pTag + "B" + kind, true);
  }
}
} // namespace

TEST(tLogChartLegend, LongTitlesWrapWithinTheChartAndShortOnesShareALine) {
  tLogChart chart;
  chart.resize(500, 400);
  AddFour(chart, QStringLiteral("Druckmessstelle Kesselhaus Nord "));
  chart.replot();
  EXPECT_TRUE(LegendInside(chart));
  EXPECT_LT(chart.legend->wrap(), 4);

  // The same chart exported wider fits more entries per line, then fits its own width again.
  const QPixmap wide = chart.toPixmap(1600, 400);
  EXPECT_FALSE(wide.isNull());
  chart.replot();
  EXPECT_TRUE(LegendInside(chart));

  tLogChart shortTags;
  shortTags.resize(500, 400);
  AddFour(shortTags, QStringLiteral("T"));
  shortTags.replot();
  EXPECT_TRUE(LegendInside(shortTags));
  EXPECT_GE(shortTags.legend->wrap(), 4);

  // A curve switched off leaves an empty cell in the legend's grid until it is rearranged.
  shortTags.SetSeriesActive(shortTags.Series()[1], false);
  shortTags.replot();
  chart.SetSeriesActive(chart.Series()[0], false);
  chart.replot();
  EXPECT_TRUE(LegendInside(chart));
}
