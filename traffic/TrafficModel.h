#pragma once
// The traffic view's table over one instrument's traffic log. It takes what the log has new
// in batches, at the view's paint rate (Refresh), never per byte, and decodes a frame only
// when its line is shown, copied or saved. Paused, it takes no new frames; frames the log
// no longer keeps leave it all the same.
#include "i18n/MessageSlots.h"
#include "traffic/TrafficReader.h"

#include <QAbstractTableModel>
#include <QFont>
#include <deque>
#include <memory>
#include <unordered_map>

class tTrafficModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum tColumn { coTime, coWall, coDirection, coBaud, coHex, coText, coMeaning, coPhase, coCount };
  enum tFilter { fiAll, fiErrors, fiCommand };

  explicit tTrafficModel(std::shared_ptr<tTrafficLog> pLog, QObject* pParent = nullptr);

  int rowCount(const QModelIndex& pParent = QModelIndex()) const override;
  int columnCount(const QModelIndex& pParent = QModelIndex()) const override;
  QVariant data(const QModelIndex& pIndex, int pRole = Qt::DisplayRole) const override;
  QVariant headerData(int pSection, Qt::Orientation pOrientation,
                      int pRole = Qt::DisplayRole) const override;

  // Takes the frames the log added since the last call, drops those it no longer keeps,
  // and refreshes the newest lines, which may still be growing.
  void Refresh();
  bool Paused() const { return mPaused; }
  void SetPaused(bool pPaused);
  // Forgets every frame so far, in the log too: a later view starts from here as well.
  void Clear();
  tFilter Filter() const { return mFilter; }
  tTrafficCommand FilterCommand() const { return mFilterCommand; }
  // Shows all frames, only faulty ones, or only the requests and replies of one command.
  void SetFilter(tFilter pFilter, tTrafficCommand pCommand = tcUnknown);

  // The texts, in the order of tTrafficText; after changing them call Retranslated.
  tMessageSlots& Texts() { return mTexts; }
  void Retranslated();

  tTrafficLine Line(int pRow) const;
  QString FileLine(int pRow) const { return tTrafficReader::FileLine(Line(pRow)); }
  const tTrafficLog& Log() const { return *mLog; }

private:
  std::uint64_t SeqOfRow(int pRow) const;
  bool Matches(std::uint64_t pSeq) const;
  // Whether the frame's line can no longer change.
  bool Settled(std::uint64_t pSeq) const;
  void Rebuild();
  void DropGone();
  void Forget(std::uint64_t pFromSeq);

  // A decoded line with the texts of its cells, so that painting formats nothing.
  struct tShownLine {
    tTrafficLine Line;
    QString Texts[coCount];
  };
  const tShownLine& Shown(int pRow) const;

  std::shared_ptr<tTrafficLog> mLog;
  tMessageSlots mTexts;
  tTrafficReader mReader;
  bool mPaused = false;
  tFilter mFilter = fiAll;
  tTrafficCommand mFilterCommand = tcUnknown;
  // Unfiltered the rows are the frames [mFirst, mEnd); filtered they are mRows, drawn from
  // the frames before mEnd.
  std::uint64_t mFirst = 0;
  std::uint64_t mEnd = 0;
  std::deque<std::uint64_t> mRows;
  std::uint64_t mRevision = 0;
  // The first frame that was still live at the last refresh.
  std::uint64_t mLiveFrom = 0;
  // Decoded lines of the rows painted lately.
  mutable std::unordered_map<std::uint64_t, tShownLine> mCache;
  QFont mFixedFont;
};
