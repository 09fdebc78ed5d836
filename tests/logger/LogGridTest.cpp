#include "logger/LogGrid.h"
#include "logger/LogTableModel.h"
#include "widgets/GridHelpers.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {
constexpr int cRows = 20000;

// A table of cRows rows whose pressure column reads the row's number, told to its views.
void Fill(tLogTableModel& pTable, int pFrom, int pTo) {
  for (int i = pFrom; i < pTo; ++i) {
    tLogRow row;
    row.Pressure = i;
    row.Digits = 0;
    row.Kind = rkNoTemp;
    pTable.AppendRow(row);
  }
  pTable.Flush();
}

// The pressure cell of the grid's window row pRow, as drawn.
QString Shown(const TLogGrid& pGrid, int pRow) {
  return pGrid.model()->index(pRow, tLogTableModel::ColPressure).data().toString();
}

struct tGrid {
  tLogTableModel Table;
  TLogGrid Grid{&Table};
  tGrid() {
    Grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid.verticalHeader()->setDefaultSectionSize(16);
    Grid.resize(300, 340);
    Grid.show();
    Fill(Table, 0, cRows);
    QCoreApplication::processEvents();
  }
};
} // namespace

// The view is told of the rows on the screen only, whatever the length of the log; the scroll
// bar spans the whole table and shows its rows where it stands, the newest one at the bottom.
TEST(TLogGrid, ShowsTheWholeTableThroughAWindowAsHighAsTheGrid) {
  tGrid g;
  const int visible = g.Grid.VisibleRows();
  ASSERT_GT(visible, 5);
  EXPECT_LE(g.Grid.model()->rowCount(), visible + 1);
  EXPECT_EQ(g.Grid.verticalHeader()->count(), g.Grid.model()->rowCount());
  QScrollBar* bar = g.Grid.verticalScrollBar();
  EXPECT_EQ(bar->maximum(), g.Table.rowCount() - visible);
  EXPECT_EQ(Shown(g.Grid, 0), "0");

  bar->setValue(12345);
  EXPECT_EQ(Shown(g.Grid, 0), "12345");
  EXPECT_EQ(Shown(g.Grid, visible - 1), QString::number(12345 + visible - 1));
  // Rows are counted, and coloured, by their place in the whole table.
  EXPECT_EQ(StringGridRow(&g.Grid, 0), 12345 + 1);

  g.Grid.ShowRowAtBottom(cRows - 1);
  EXPECT_EQ(bar->value(), cRows - visible);
  EXPECT_EQ(Shown(g.Grid, visible - 1), QString::number(cRows - 1));
  Fill(g.Table, cRows, cRows + 100);
  EXPECT_LE(g.Grid.model()->rowCount(), visible + 1);
  EXPECT_EQ(bar->maximum(), g.Table.rowCount() - visible);
  g.Grid.ShowRowAtBottom(cRows + 99);
  EXPECT_EQ(Shown(g.Grid, visible - 1), QString::number(cRows + 99));

  g.Table.Clear();
  QCoreApplication::processEvents();
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(Shown(g.Grid, 0), "");
}

// The cursor keys walk the whole table, the window following; a selected row stays with its
// data when the scroll bar moves.
TEST(TLogGrid, CursorKeysAndSelectionFollowTheRowsNotTheScreen) {
  tGrid g;
  const int visible = g.Grid.VisibleRows();
  g.Grid.setFocus();
  g.Grid.setSelectionBehavior(QAbstractItemView::SelectRows);
  g.Grid.setCurrentIndex(g.Grid.model()->index(visible - 1, 0));
  QTest::keyClick(&g.Grid, Qt::Key_Down);
  EXPECT_EQ(g.Grid.verticalScrollBar()->value(), 1);
  EXPECT_EQ(g.Grid.currentIndex().data().toString(), QString::number(visible));
  QTest::keyClick(&g.Grid, Qt::Key_PageDown);
  EXPECT_EQ(g.Grid.currentIndex().data().toString(), QString::number(2 * visible));
  QTest::keyClick(&g.Grid, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(g.Grid.currentIndex().data().toString(), QString::number(cRows - 1));
  QTest::keyClick(&g.Grid, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(g.Grid.currentIndex().data().toString(), "0");
  EXPECT_EQ(g.Grid.verticalScrollBar()->value(), 0);

  g.Grid.setCurrentIndex(g.Grid.model()->index(3, 0));
  g.Grid.verticalScrollBar()->setValue(2);
  EXPECT_EQ(g.Grid.currentIndex().data().toString(), "3");
  EXPECT_EQ(g.Grid.currentIndex().row(), 1);
  g.Grid.verticalScrollBar()->setValue(500);
  EXPECT_FALSE(g.Grid.currentIndex().isValid());
}
