#pragma once
// The rows of the log table that the grid shows: a window of Height rows from First on. A view
// keeps a record for every row of its model and walks all of them whenever rows are added; over
// a window its work depends on its height, not on the length of the log. The grid moves the
// window as it scrolls (TLogGrid).
#include <QAbstractTableModel>

class tLogTableModel;

class tLogTableWindow : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit tLogTableWindow(tLogTableModel* pSource, QObject* pParent = nullptr);

  tLogTableModel* Source() const { return mSource; }
  // Rows of the whole table as the view would count them.
  int TotalRows() const;
  int First() const { return mFirst; }
  int Height() const { return mHeight; }
  // Shows rows pFirst .. pFirst + Height() - 1 of the table (as many as it has).
  void SetFirst(int pFirst);
  void SetHeight(int pHeight);

  int rowCount(const QModelIndex& pParent = QModelIndex()) const override;
  int columnCount(const QModelIndex& pParent = QModelIndex()) const override;
  QVariant data(const QModelIndex& pIndex, int pRole) const override;
  // A vertical section answers its row of the whole table (GridRowRole), so that rows keep
  // their colours as the window moves.
  QVariant headerData(int pSection, Qt::Orientation pOrientation, int pRole) const override;

signals:
  // The table's row count changed; the grid fits its scroll bar.
  void TotalRowsChanged();

private:
  // Rows the window should show, and the rows the view was told of.
  int Target() const;
  void Sync();
  void ContentChanged();

  tLogTableModel* mSource;
  int mFirst = 0;
  int mHeight = 1;
  int mShown = 0;
};
