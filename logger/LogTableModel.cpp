#include "logger/LogTableModel.h"

#include "logger/LogFormat.h"
#include <QElapsedTimer>
#include <algorithm>

tLogTableModel::tLogTableModel(QObject* pParent) : QAbstractTableModel(pParent) {
  mFlushTimer.setSingleShot(true);
  mFlushTimer.setInterval(FlushIntervalMs);
  connect(&mFlushTimer, &QTimer::timeout, this, &tLogTableModel::Flush);
}

tLogTableModel::~tLogTableModel() = default;

QString tLogTableModel::Cell(int pCol, int pRow) const {
  if (pRow == 0) return Header(pCol);
  if (pRow < 0 || std::size_t(pRow) > mSize || pCol < 0 || pCol > ColTag) return QString();
  const tLogRow& row = At(std::size_t(pRow) - 1);
  if (pCol == ColTag) return TagText(row.Tag);
  if (row.Kind == rkNotLogging) return QStringLiteral("/");
  switch (pCol) {
  case ColPressure:
    return tLogFormat::Fixed(row.Pressure, row.Digits);
  case ColTemperature:
    return row.Kind == rkNoTemp ? QString() : tLogFormat::Fixed(row.Temperature, 1);
  default:
    return tLogFormat::TimeStamp(row.Time);
  }
}

void tLogTableModel::SetHeader(int pCol, const QString& pText) {
  if (pCol < 0 || pCol > ColTag || mHeaders[pCol] == pText) return;
  mHeaders[pCol] = pText;
  if (pCol < mColCount) emit headerDataChanged(Qt::Horizontal, pCol, pCol);
}

void tLogTableModel::SetColCount(int pCount) {
  if (pCount == mColCount) return;
  if (pCount > mColCount) {
    beginInsertColumns(QModelIndex(), mColCount, pCount - 1);
    mColCount = pCount;
    endInsertColumns();
  } else {
    beginRemoveColumns(QModelIndex(), pCount, mColCount - 1);
    mColCount = pCount;
    endRemoveColumns();
  }
}

void tLogTableModel::AppendRow(const tLogRow& pRow) {
  if (mSize == mChunks.size() * cChunkRows) mChunks.push_back(std::make_unique<tChunk>());
  At(mSize) = pRow;
  ++mSize;
  int row = int(mSize);
  if (mRowCount <= row) mRowCount = row + 1;
  if (!mFlushTimer.isActive()) mFlushTimer.start();
}

const tLogRow& tLogTableModel::Row(int pRow) const {
  return At(std::size_t(pRow) - 1);
}

std::uint32_t tLogTableModel::TagIndex(const QString& pTag) {
  auto it = mTagIndex.constFind(pTag);
  if (it != mTagIndex.constEnd()) return it.value();
  std::uint32_t index = std::uint32_t(mTags.size());
  mTags.append(pTag);
  mTagIndex.insert(pTag, index);
  return index;
}

void tLogTableModel::SetRowTag(int pRow, std::uint32_t pTag) {
  if (pRow < 1 || std::size_t(pRow) > mSize) return;
  At(std::size_t(pRow) - 1).Tag = pTag;
  if (!mFlushTimer.isActive()) mFlushTimer.start();
}

void tLogTableModel::Clear() {
  beginResetModel();
  mChunks.clear();
  mSize = 0;
  mRowCount = mShownRowCount = InitialRowCount;
  // Tags of cleared rows are no longer needed.
  mTags.clear();
  mTagIndex.clear();
  endResetModel();
}

void tLogTableModel::Flush() {
  mFlushTimer.stop();
  QElapsedTimer cost;
  cost.start();
  if (mRowCount > mShownRowCount) {
    beginInsertRows(QModelIndex(), mShownRowCount - 1, mRowCount - 2);
    mShownRowCount = mRowCount;
    endInsertRows();
  }
  // New values and renamed tags are painted with the next update of the view.
  if (mShownRowCount > 1)
    emit dataChanged(index(0, 0), index(mShownRowCount - 2, mColCount - 1), {Qt::DisplayRole});
  emit RowsFlushed();
  // The view's bookkeeping grows with the rows; its share of the time is kept small.
  mFlushTimer.setInterval(std::clamp(int(cost.elapsed()) * 4, FlushIntervalMs, MaxFlushIntervalMs));
}

std::size_t tLogTableModel::BytesUsed() const {
  return mChunks.size() * sizeof(tChunk) + mChunks.capacity() * sizeof(mChunks[0]);
}

int tLogTableModel::rowCount(const QModelIndex& pParent) const {
  return pParent.isValid() ? 0 : mShownRowCount - 1;
}

int tLogTableModel::columnCount(const QModelIndex& pParent) const {
  return pParent.isValid() ? 0 : mColCount;
}

QVariant tLogTableModel::data(const QModelIndex& pIndex, int pRole) const {
  if (!pIndex.isValid()) return QVariant();
  if (pRole == Qt::DisplayRole) return Cell(pIndex.column(), pIndex.row() + 1);
  return QVariant();
}

QVariant tLogTableModel::headerData(int pSection, Qt::Orientation pOrientation, int pRole) const {
  if (pRole == Qt::DisplayRole && pOrientation == Qt::Horizontal) return Header(pSection);
  if (pRole == Qt::DisplayRole && pOrientation == Qt::Vertical) return pSection + 1;
  return QVariant();
}

void tLogTableModel::AppendValueTexts(int pRow, QString& pText, QChar pSeparator) const {
  const tLogRow& row = Row(pRow);
  if (row.Kind == rkNotLogging) {
    for (int c = 0; c < 3; ++c) {
      pText += QLatin1Char('/');
      pText += pSeparator;
    }
    return;
  }
  tLogFormat::AppendFixed(pText, row.Pressure, row.Digits);
  pText += pSeparator;
  if (row.Kind != rkNoTemp) tLogFormat::AppendFixed(pText, row.Temperature, 1);
  pText += pSeparator;
  tLogFormat::AppendTimeStamp(pText, row.Time);
  pText += pSeparator;
}
