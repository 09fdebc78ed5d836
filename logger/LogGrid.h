#pragma once
// The grid of the log table. It shows a window of the table's rows (tLogTableWindow) as high as
// the grid, and its scroll bar moves the window instead of the view: the view then keeps
// records for the rows on the screen only, and its work at the paint rate does not grow with
// the length of the log. Scrolling, the wheel and the cursor keys behave as over the whole table.
#include "logger/LogTableWindow.h"

#include <QTableView>

class TLogGrid : public QTableView {
  Q_OBJECT
public:
  TLogGrid(tLogTableModel* pTable, QWidget* pParent = nullptr);

  tLogTableWindow* Window() const { return mWindow; }
  // Shows the table's row pRow (0-based) as the grid's last whole row, or from the top while
  // the table fits.
  void ShowRowAtBottom(int pRow);
  // Rows the grid shows whole.
  int VisibleRows() const;

  void scrollTo(const QModelIndex& pIndex, ScrollHint pHint = EnsureVisible) override;

protected:
  void updateGeometries() override;
  void scrollContentsBy(int pDx, int pDy) override;
  QModelIndex moveCursor(CursorAction pAction, Qt::KeyboardModifiers pModifiers) override;
  void resizeEvent(QResizeEvent* pEvent) override;

private:
  void FitScrollBar();
  void ScrollTo(int pFirst);

  tLogTableWindow* mWindow;
  // Set while the scroll bar is fitted: its changes then move nothing.
  bool mFitting = false;
};
