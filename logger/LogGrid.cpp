#include "logger/LogGrid.h"

#include "logger/LogTableModel.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <algorithm>

TLogGrid::TLogGrid(tLogTableModel* pTable, QWidget* pParent)
    : QTableView(pParent), mWindow(new tLogTableWindow(pTable, this)) {
  setModel(mWindow);
  connect(mWindow, &tLogTableWindow::TotalRowsChanged, this, &TLogGrid::FitScrollBar);
}

int TLogGrid::VisibleRows() const {
  const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
  return std::max(1, viewport()->height() / rowHeight);
}

void TLogGrid::resizeEvent(QResizeEvent* pEvent) {
  QTableView::resizeEvent(pEvent);
  // One row more than fit whole: the last one shows in part, as in a grid of all rows.
  mWindow->SetHeight(VisibleRows() + 1);
  FitScrollBar();
}

void TLogGrid::updateGeometries() {
  {
    const QScopedValueRollback<bool> fitting(mFitting, true);
    QTableView::updateGeometries();
  }
  FitScrollBar();
}

void TLogGrid::FitScrollBar() {
  QScrollBar* bar = verticalScrollBar();
  const int visible = VisibleRows();
  {
    const QScopedValueRollback<bool> fitting(mFitting, true);
    bar->setRange(0, std::max(0, mWindow->TotalRows() - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(1);
    bar->setValue(mWindow->First());
  }
  // A shorter table (cleared) or a taller grid may leave the window beyond the last row.
  if (mWindow->First() > bar->maximum()) ScrollTo(bar->maximum());
}

void TLogGrid::ScrollTo(int pFirst) {
  const int first = mWindow->First();
  const QModelIndex current = currentIndex();
  mWindow->SetFirst(pFirst);
  if (mWindow->First() != first && current.isValid()) {
    // The current row stays with its data, not with its place on the screen.
    const int row = first + current.row() - mWindow->First();
    if (row >= 0 && row < mWindow->rowCount())
      selectionModel()->setCurrentIndex(mWindow->index(row, current.column()),
                                        QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
    else
      selectionModel()->clear();
  }
  if (verticalScrollBar()->value() != mWindow->First()) {
    const QScopedValueRollback<bool> fitting(mFitting, true);
    verticalScrollBar()->setValue(mWindow->First());
  }
  viewport()->update();
}

void TLogGrid::scrollTo(const QModelIndex& pIndex, ScrollHint pHint) {
  if (!pIndex.isValid()) return;
  // Across as the view does; down the window moves, and the view's own vertical scrolling of
  // its few rows is undone.
  {
    const QScopedValueRollback<bool> fitting(mFitting, true);
    QTableView::scrollTo(pIndex, pHint);
  }
  const int row = mWindow->First() + pIndex.row();
  const int visible = VisibleRows();
  switch (pHint) {
  case PositionAtTop:
    ScrollTo(row);
    break;
  case PositionAtBottom:
    ScrollTo(row - visible + 1);
    break;
  case PositionAtCenter:
    ScrollTo(row - visible / 2);
    break;
  default:
    if (row < mWindow->First())
      ScrollTo(row);
    else if (row >= mWindow->First() + visible)
      ScrollTo(row - visible + 1);
    else
      ScrollTo(mWindow->First());
    break;
  }
}

void TLogGrid::scrollContentsBy(int pDx, int pDy) {
  // Vertically the window moves; the view itself never scrolls.
  if (pDy != 0 && !mFitting) ScrollTo(verticalScrollBar()->value());
  if (pDx != 0) QTableView::scrollContentsBy(pDx, 0);
}

void TLogGrid::ShowRowAtBottom(int pRow) {
  ScrollTo(std::max(0, pRow - VisibleRows() + 1));
}

QModelIndex TLogGrid::moveCursor(CursorAction pAction, Qt::KeyboardModifiers pModifiers) {
  const QModelIndex current = currentIndex();
  const int column = current.isValid() ? current.column() : 0;
  const int from = current.isValid() ? mWindow->First() + current.row() : mWindow->First();
  const int last = mWindow->TotalRows() - 1;
  int to = from;
  switch (pAction) {
  case MoveUp:
  case MovePrevious:
    to = from - 1;
    break;
  case MoveDown:
  case MoveNext:
    to = from + 1;
    break;
  case MovePageUp:
    to = from - VisibleRows();
    break;
  case MovePageDown:
    to = from + VisibleRows();
    break;
  case MoveHome:
    if (!(pModifiers & Qt::ControlModifier)) return QTableView::moveCursor(pAction, pModifiers);
    to = 0;
    break;
  case MoveEnd:
    if (!(pModifiers & Qt::ControlModifier)) return QTableView::moveCursor(pAction, pModifiers);
    to = last;
    break;
  default:
    return QTableView::moveCursor(pAction, pModifiers);
  }
  if (last < 0) return QModelIndex();
  to = std::clamp(to, 0, last);
  const int visible = VisibleRows();
  if (to < mWindow->First())
    ScrollTo(to);
  else if (to >= mWindow->First() + visible)
    ScrollTo(to - visible + 1);
  return mWindow->index(to - mWindow->First(), column);
}
