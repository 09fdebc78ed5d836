#include "logger/LogTableWindow.h"

#include "logger/LogTableModel.h"
#include "widgets/GridHelpers.h"

#include <algorithm>

tLogTableWindow::tLogTableWindow(tLogTableModel* pSource, QObject* pParent)
    : QAbstractTableModel(pParent), mSource(pSource) {
  mShown = Target();
  connect(mSource, &QAbstractItemModel::headerDataChanged, this,
          &QAbstractItemModel::headerDataChanged);
  connect(mSource, &QAbstractItemModel::columnsAboutToBeInserted, this,
          [this](const QModelIndex&, int pFirst, int pLast) {
            beginInsertColumns(QModelIndex(), pFirst, pLast);
          });
  connect(mSource, &QAbstractItemModel::columnsInserted, this, [this] { endInsertColumns(); });
  connect(mSource, &QAbstractItemModel::columnsAboutToBeRemoved, this,
          [this](const QModelIndex&, int pFirst, int pLast) {
            beginRemoveColumns(QModelIndex(), pFirst, pLast);
          });
  connect(mSource, &QAbstractItemModel::columnsRemoved, this, [this] { endRemoveColumns(); });
  connect(mSource, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
  connect(mSource, &QAbstractItemModel::modelReset, this, [this] {
    mFirst = 0;
    mShown = Target();
    endResetModel();
    emit TotalRowsChanged();
  });
  connect(mSource, &QAbstractItemModel::rowsInserted, this, [this] {
    Sync();
    emit TotalRowsChanged();
  });
  connect(mSource, &QAbstractItemModel::dataChanged, this, &tLogTableWindow::ContentChanged);
}

int tLogTableWindow::TotalRows() const {
  return mSource->rowCount();
}

int tLogTableWindow::Target() const {
  return std::clamp(TotalRows() - mFirst, 0, mHeight);
}

void tLogTableWindow::Sync() {
  // Rows come and go at the window's end only; the rows before keep their records in the view.
  const int target = Target();
  if (target > mShown) {
    beginInsertRows(QModelIndex(), mShown, target - 1);
    mShown = target;
    endInsertRows();
  } else if (target < mShown) {
    beginRemoveRows(QModelIndex(), target, mShown - 1);
    mShown = target;
    endRemoveRows();
  }
}

void tLogTableWindow::SetFirst(int pFirst) {
  pFirst = std::clamp(pFirst, 0, std::max(0, TotalRows() - 1));
  if (pFirst == mFirst) return;
  mFirst = pFirst;
  Sync();
  ContentChanged();
}

void tLogTableWindow::SetHeight(int pHeight) {
  pHeight = std::max(1, pHeight);
  if (pHeight == mHeight) return;
  mHeight = pHeight;
  Sync();
}

void tLogTableWindow::ContentChanged() {
  if (mShown > 0 && columnCount() > 0)
    emit dataChanged(index(0, 0), index(mShown - 1, columnCount() - 1), {Qt::DisplayRole});
}

int tLogTableWindow::rowCount(const QModelIndex& pParent) const {
  return pParent.isValid() ? 0 : mShown;
}

int tLogTableWindow::columnCount(const QModelIndex& pParent) const {
  return pParent.isValid() ? 0 : mSource->columnCount();
}

QVariant tLogTableWindow::data(const QModelIndex& pIndex, int pRole) const {
  if (!pIndex.isValid()) return QVariant();
  return mSource->data(mSource->index(mFirst + pIndex.row(), pIndex.column()), pRole);
}

QVariant tLogTableWindow::headerData(int pSection, Qt::Orientation pOrientation, int pRole) const {
  if (pOrientation == Qt::Vertical && pRole == GridRowRole) return mFirst + pSection;
  if (pOrientation == Qt::Vertical)
    return mSource->headerData(mFirst + pSection, pOrientation, pRole);
  return mSource->headerData(pSection, pOrientation, pRole);
}
