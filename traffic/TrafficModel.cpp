#include "traffic/TrafficModel.h"

#include "core/Clock.h"
#include "traffic/TrafficTexts.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QFontDatabase>

namespace {
// Lines decoded for painting are kept up to this many, then decoded afresh.
constexpr std::size_t cCacheLines = 4096;
// The newest frames may still grow or learn that no reply came.
constexpr std::uint64_t cLiveFrames = 2;
} // namespace

tTrafficModel::tTrafficModel(std::shared_ptr<tTrafficLog> pLog, QObject* pParent)
    : QAbstractTableModel(pParent), mLog(std::move(pLog)), mTexts(TrafficTexts::GermanTexts()),
      mReader(*mLog, mTexts), mFixedFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {
  mFirst = mEnd = mLog->FirstSeq();
  Refresh();
}

int tTrafficModel::rowCount(const QModelIndex& pParent) const {
  if (pParent.isValid()) return 0;
  return mFilter == fiAll ? int(mEnd - mFirst) : int(mRows.size());
}

int tTrafficModel::columnCount(const QModelIndex& pParent) const {
  return pParent.isValid() ? 0 : coCount;
}

std::uint64_t tTrafficModel::SeqOfRow(int pRow) const {
  return mFilter == fiAll ? mFirst + std::uint64_t(pRow) : mRows[std::size_t(pRow)];
}

const tTrafficModel::tShownLine& tTrafficModel::Shown(int pRow) const {
  const std::uint64_t lSeq = SeqOfRow(pRow);
  const auto lIt = mCache.find(lSeq);
  if (lIt != mCache.end()) return lIt->second;
  if (mCache.size() >= cCacheLines) mCache.clear();
  tShownLine lShown;
  lShown.Line = mReader.Line(lSeq, MonotonicUSecs());
  const tTrafficLine& l = lShown.Line;
  lShown.Texts[coTime] = tTrafficReader::SinceOpenText(l.SinceOpenMs);
  lShown.Texts[coWall] =
      QDateTime::fromMSecsSinceEpoch(l.WallMs).toString(QStringLiteral("HH:mm:ss.zzz"));
  lShown.Texts[coDirection] = mReader.DirectionText(l);
  if (l.Baud > 0) lShown.Texts[coBaud] = QString::number(l.Baud);
  lShown.Texts[coHex] = tTrafficReader::HexText(l.Bytes);
  lShown.Texts[coText] = tTrafficReader::PrintableText(l.Bytes);
  lShown.Texts[coMeaning] = l.Meaning;
  lShown.Texts[coPhase] = l.Phase;
  return mCache.emplace(lSeq, std::move(lShown)).first->second;
}

tTrafficLine tTrafficModel::Line(int pRow) const {
  return Shown(pRow).Line;
}

QVariant tTrafficModel::data(const QModelIndex& pIndex, int pRole) const {
  if (!pIndex.isValid() || pIndex.row() >= rowCount()) return QVariant();
  const int lColumn = pIndex.column();
  switch (pRole) {
  case Qt::DisplayRole:
  case Qt::ToolTipRole:
    return Shown(pIndex.row()).Texts[lColumn];
  case Qt::ForegroundRole: {
    const tTrafficLine& lLine = Shown(pIndex.row()).Line;
    if (lLine.Error) return QBrush(QColor(176, 0, 0));
    if (lLine.Kind == tkSent) return QBrush(QColor(22, 72, 154));
    if (lLine.Kind != tkReceived) return QBrush(QColor(96, 96, 96));
    return QVariant();
  }
  case Qt::FontRole:
    if (lColumn == coHex || lColumn == coText) return mFixedFont;
    return QVariant();
  case Qt::TextAlignmentRole:
    if (lColumn == coTime || lColumn == coBaud) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
  default:
    return QVariant();
  }
}

QVariant tTrafficModel::headerData(int pSection, Qt::Orientation pOrientation, int pRole) const {
  if (pOrientation != Qt::Horizontal || pRole != Qt::DisplayRole || pSection < 0 ||
      pSection >= coCount)
    return QVariant();
  return mTexts[ttColumns + pSection];
}

bool tTrafficModel::Matches(std::uint64_t pSeq) const {
  if (mFilter == fiAll) return true;
  const tTrafficLine lLine = mReader.Line(pSeq, MonotonicUSecs());
  if (mFilter == fiErrors) return lLine.Error;
  return (lLine.Kind == tkSent || lLine.Kind == tkReceived) && lLine.Command == mFilterCommand;
}

bool tTrafficModel::Settled(std::uint64_t pSeq) const {
  if (pSeq + 1 < mLog->EndSeq()) return true;
  const tTrafficRecord& lRecord = mLog->Record(pSeq);
  const std::int64_t lSince = MonotonicUSecs() - lRecord.TimeUs - std::int64_t(lRecord.SpanUs);
  switch (lRecord.Kind) {
  case tkSent:
    // Whether a reply came is known once its window has passed.
    return lSince > std::int64_t(mLog->Segment(lRecord.Segment).Context.ReplyWindowMs) * 1000;
  case tkReceived:
    return !mLog->NewestOpen() || lSince > tTrafficLog::cGapMs * 1000;
  default:
    return true;
  }
}

void tTrafficModel::DropGone() {
  const std::uint64_t lKept = mLog->FirstSeq();
  if (mFirst >= lKept) return;
  if (mFilter == fiAll) {
    const std::uint64_t lGone = std::min(lKept, mEnd) - mFirst;
    if (lGone > 0) {
      beginRemoveRows(QModelIndex(), 0, int(lGone) - 1);
      mFirst += lGone;
      endRemoveRows();
    }
  } else {
    std::size_t lGone = 0;
    while (lGone < mRows.size() && mRows[lGone] < lKept)
      ++lGone;
    if (lGone > 0) {
      beginRemoveRows(QModelIndex(), 0, int(lGone) - 1);
      mRows.erase(mRows.begin(), mRows.begin() + qsizetype(lGone));
      endRemoveRows();
    }
  }
  mFirst = lKept;
  mEnd = std::max(mEnd, lKept);
}

void tTrafficModel::Forget(std::uint64_t pFromSeq) {
  for (auto lIt = mCache.begin(); lIt != mCache.end();)
    lIt = lIt->first >= pFromSeq ? mCache.erase(lIt) : std::next(lIt);
}

void tTrafficModel::Refresh() {
  DropGone();
  const std::uint64_t lLogEnd = mLog->EndSeq();
  const std::uint64_t lLiveFrom = lLogEnd > cLiveFrames ? lLogEnd - cLiveFrames : 0;
  const bool lChanged = mLog->Revision() != mRevision;
  mRevision = mLog->Revision();
  // Lines decoded while their frames were the newest may have grown since.
  if (lChanged) Forget(std::min(mLiveFrom, lLiveFrom));
  mLiveFrom = lLiveFrom;
  if (!mPaused) {
    if (mFilter == fiAll) {
      if (lLogEnd > mEnd) {
        beginInsertRows(QModelIndex(), rowCount(), rowCount() + int(lLogEnd - mEnd) - 1);
        mEnd = lLogEnd;
        endInsertRows();
      }
    } else {
      // A frame whose meaning may still change is judged once it is settled.
      std::uint64_t lSettled = mEnd;
      while (lSettled < lLogEnd && Settled(lSettled))
        ++lSettled;
      std::vector<std::uint64_t> lNew;
      for (std::uint64_t lSeq = mEnd; lSeq < lSettled; ++lSeq)
        if (Matches(lSeq)) lNew.push_back(lSeq);
      if (!lNew.empty()) {
        beginInsertRows(QModelIndex(), rowCount(), rowCount() + int(lNew.size()) - 1);
        mRows.insert(mRows.end(), lNew.begin(), lNew.end());
        endInsertRows();
      }
      mEnd = lSettled;
    }
  }
  // A request still waiting turns into "no reply" with time alone.
  if (mFilter == fiAll && mEnd > std::max(mFirst, lLiveFrom)) {
    const std::uint64_t lFromSeq = std::max(mFirst, lLiveFrom);
    Forget(lFromSeq);
    emit dataChanged(index(int(lFromSeq - mFirst), 0), index(rowCount() - 1, coCount - 1));
  }
}

void tTrafficModel::SetPaused(bool pPaused) {
  mPaused = pPaused;
  // Taking up again shows at once what came meanwhile.
  if (!mPaused) {
    mRevision = ~mLog->Revision();
    Refresh();
  }
}

void tTrafficModel::Clear() {
  beginResetModel();
  mLog->Clear();
  mFirst = mEnd = mLog->EndSeq();
  mRows.clear();
  mCache.clear();
  mRevision = mLog->Revision();
  endResetModel();
}

void tTrafficModel::Rebuild() {
  mRows.clear();
  if (mFilter == fiAll) return;
  for (std::uint64_t lSeq = mFirst; lSeq < mEnd; ++lSeq)
    if (Matches(lSeq)) mRows.push_back(lSeq);
}

void tTrafficModel::SetFilter(tFilter pFilter, tTrafficCommand pCommand) {
  if (pFilter == mFilter && pCommand == mFilterCommand) return;
  beginResetModel();
  mFilter = pFilter;
  mFilterCommand = pCommand;
  if (mFilter != fiAll)
    while (mEnd > mFirst && !Settled(mEnd - 1))
      --mEnd;
  Rebuild();
  endResetModel();
  if (!mPaused) {
    mRevision = ~mLog->Revision();
    Refresh();
  }
}

void tTrafficModel::Retranslated() {
  mCache.clear();
  emit headerDataChanged(Qt::Horizontal, 0, coCount - 1);
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, coCount - 1));
}
