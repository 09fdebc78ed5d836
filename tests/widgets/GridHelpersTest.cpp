#include "widgets/GridHelpers.h"

#include "core/Error.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The logger's colours, given with red in the low byte.
QColor FromBgr(unsigned pValue) {
  return QColor(pValue & 0xFF, (pValue >> 8) & 0xFF, (pValue >> 16) & 0xFF);
}
const QColor Odd = FromBgr(0xE1FFF9);
const QColor Even = FromBgr(0xFFEBDF);

// A model as large as a long logging run; it keeps no cells.
class tHugeModel : public QAbstractTableModel {
public:
  int rowCount(const QModelIndex& = {}) const override { return 3'000'000; }
  int columnCount(const QModelIndex& = {}) const override { return 4; }
  QVariant data(const QModelIndex& pIndex, int pRole) const override {
    if (pRole != Qt::DisplayRole) return {};
    return QString::number(pIndex.row() * 10 + pIndex.column());
  }
};

std::unique_ptr<QTableWidget> MakeTable(int pRows) {
  auto table = std::make_unique<QTableWidget>(pRows, 3);
  table->setHorizontalHeaderLabels({"Zeit", "Druck", "Temperatur"});
  table->verticalHeader()->hide();
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  for (int r = 0; r < pRows; ++r)
    for (int c = 0; c < 3; ++c)
      table->setItem(r, c, new QTableWidgetItem(QString::number(r)));
  table->resize(400, 300);
  return table;
}

// The colour actually painted at the right end of a cell, away from its text.
QColor PaintedAt(QAbstractItemView* pView, int pRow, int pCol) {
  const QImage image = pView->viewport()->grab().toImage();
  const QRect r = pView->visualRect(pView->model()->index(pRow, pCol));
  return image.pixelColor(r.right() - 3, r.center().y());
}

} // namespace

TEST(GridHelpers, RegisteredTableWidgetPaintsGridRowsAlternately) {
  auto table = MakeTable(4);
  RegisterStringGrid(table.get(), Odd, Even);
  table->show();
  // Grid row 0 is the header, so the first data row is odd.
  EXPECT_EQ(PaintedAt(table.get(), 0, 0), Odd);
  EXPECT_EQ(PaintedAt(table.get(), 1, 1), Even);
  EXPECT_EQ(PaintedAt(table.get(), 2, 2), Odd);
  EXPECT_EQ(StringGridRow(table.get(), 0), 1);
  table->horizontalHeader()->hide();
  EXPECT_EQ(StringGridRow(table.get(), 0), 0);
  EXPECT_EQ(PaintedAt(table.get(), 0, 0), Even);
}

TEST(GridHelpers, ModelBackedViewWithMillionsOfRowsIsColouredAtEitherEnd) {
  tHugeModel model;
  QTableView view;
  view.setModel(&model);
  view.verticalHeader()->hide();
  view.resize(400, 300);
  RegisterStringGrid(&view, Odd, Even);
  view.show();
  EXPECT_EQ(PaintedAt(&view, 0, 1), Odd);
  view.scrollToBottom();
  const int last = model.rowCount() - 1;
  EXPECT_EQ(PaintedAt(&view, last, 1), (StringGridRow(&view, last) % 2) ? Odd : Even);
  EXPECT_EQ(PaintedAt(&view, last - 1, 1), (StringGridRow(&view, last - 1) % 2) ? Odd : Even);
}

TEST(GridHelpers, HookChangesSingleCellsWithGridColumnAndRow) {
  auto table = MakeTable(3);
  std::vector<std::pair<int, int>> seen;
  RegisterStringGrid(table.get(), Odd, Even,
                     [&seen](QAbstractItemView*, int pCol, int pRow, tGridDrawState, QColor& pBack,
                             QColor& pFont) {
                       seen.emplace_back(pCol, pRow);
                       if (pCol == 1 && pRow == 2) {
                         pBack = Qt::red;
                         pFont = Qt::white;
                       }
                     });
  const tGridCellColors hooked = StringGridCellColors(table.get(), table->model()->index(1, 1));
  EXPECT_EQ(hooked.Background, QColor(Qt::red));
  EXPECT_EQ(hooked.FontColor, QColor(Qt::white));
  EXPECT_EQ(StringGridCellColors(table.get(), table->model()->index(1, 0)).Background, Even);
  EXPECT_EQ(seen.front(), std::make_pair(1, 2));
  table->show();
  EXPECT_EQ(PaintedAt(table.get(), 1, 1), QColor(Qt::red));
}

TEST(GridHelpers, SelectionUsesActiveColoursOnlyWhileTheGridHasTheFocus) {
  auto table = MakeTable(3);
  RegisterStringGrid(table.get(), Odd, Even);
  table->show();
  table->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(table.get()));
  table->setFocus();
  table->selectRow(1);
  ASSERT_TRUE(table->hasFocus());
  const QModelIndex cell = table->model()->index(1, 0);
  const tGridCellColors focused = StringGridCellColors(table.get(), cell);
  EXPECT_EQ(focused.Background, table->palette().color(QPalette::Active, QPalette::Highlight));
  table->clearFocus();
  const tGridCellColors unfocused = StringGridCellColors(table.get(), cell);
  EXPECT_NE(unfocused.Background, focused.Background);
  EXPECT_NE(unfocused.Background, Even);
  EXPECT_EQ(StringGridCellColors(table.get(), table->model()->index(0, 0)).Background, Odd);
}

TEST(GridHelpers, ClearGridSelectionLeavesNoCellHighlighted) {
  auto table = MakeTable(3);
  table->selectRow(2);
  ASSERT_FALSE(table->selectionModel()->selectedIndexes().isEmpty());
  ClearGridSelection(table.get());
  EXPECT_TRUE(table->selectionModel()->selectedIndexes().isEmpty());
  EXPECT_FALSE(table->currentIndex().isValid());
  table->selectRow(0);
  EXPECT_FALSE(table->selectionModel()->selectedIndexes().isEmpty());
  ClearGridSelection(nullptr);
}

TEST(GridHelpers, UnregisteredGridIsReportedWithItsFixedText) {
  auto table = MakeTable(1);
  EXPECT_FALSE(IsStringGridRegistered(table.get()));
  try {
    FindStringGrid(table.get());
    ADD_FAILURE();
  } catch (const eError& e) {
    EXPECT_EQ(e.Message(), "StringGridDrawCell Grid nicht gefunden!");
  }
  QImage image(10, 10, QImage::Format_RGB32);
  QPainter painter(&image);
  QStyleOptionViewItem option;
  EXPECT_THROW(
      tHelpObj::StringGridDrawCell(table.get(), &painter, option, table->model()->index(0, 0)),
      eError);
}

TEST(GridHelpers, DestroyedGridLeavesNoRegistrationBehind) {
  auto table = MakeTable(1);
  RegisterStringGrid(table.get(), Odd, Even);
  QAbstractItemView* old = table.get();
  table.reset();
  EXPECT_FALSE(IsStringGridRegistered(old));
}

TEST(GridHelpers, FailingColourHookDoesNotEscapeThePaintEvent) {
  auto table = MakeTable(2);
  RegisterStringGrid(table.get(), Odd, Even,
                     [](QAbstractItemView*, int, int, tGridDrawState, QColor&, QColor&) {
                       throw eError("hook failed");
                     });
  table->show();
  EXPECT_NO_THROW(table->viewport()->grab());
}
