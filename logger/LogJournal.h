#pragma once
// The recording journal: every sample of a logging run, appended to a text file as it is
// taken, so that a run survives a crash, a kill or a power cut and can be restored at the next
// start. No widgets: the logger frame writes it, and replays a journal through a sink.
//
// One record a line: a type letter, fields separated by blanks, then a blank and the FNV-1a
// checksum of everything before it in 8 hex digits, then "\n". A line without its end or with a
// wrong checksum ends the readable part; it is the torn tail of a cut-off write when no valid
// line follows it, else the file is damaged. Texts are written as "=" and their percent-encoded
// UTF-8 bytes; numbers in the shortest form that reads back to the same double.
#include "core/DeviceInfo.h"
#include "logger/LogTableModel.h"
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// What a run was started with; the devices follow as their own records.
struct tJournalRun {
  double StartTime = 0; // tDateTime
  double MaxSpanBA = 0;
  double MaxSpanBE = 0;
  QString UnitMBA;
  QString UnitMBE;
  QString UnitTemp;
};

// A device taking part in a run, as the rows, curves and printouts name it.
struct tJournalDevice {
  std::int32_t ComNr = 0;
  std::int32_t DeviceType = 0;
  std::int32_t Druckkennung = 0;
  float MBAinBar = 0;
  float MBEinBar = 0;
  float MBAinUnit = 0;
  float MBEinUnit = 0;
  QString MBAUnitStr;
  QString MBEUnitStr;
  QString Ident;
  QString Tag;
  QString Description;

  static tJournalDevice FromInfo(const tDeviceInfo& pInfo, const QString& pDescription);
  std::unique_ptr<tDeviceInfo> ToInfo() const;
};

// Receives the records of a journal in their order.
class iLogJournalSink {
public:
  virtual ~iLogJournalSink() = default;
  // A run begins (also a run continued on the recorded data); pDevices in row order.
  virtual void Run(const tJournalRun& pRun, const std::vector<tJournalDevice>& pDevices) = 0;
  // The device in row position pSlot (from 0) of the current run was renamed.
  virtual void Tag(int pSlot, const QString& pTag) = 0;
  // One sample: one row per device of the run, pTags the rows' tags.
  virtual void Tick(double pKey, const std::vector<tLogRow>& pRows, const QStringList& pTags) = 0;
  virtual void ClearTable() = 0;
  virtual void ClearChart() = 0;
};

class QTimer;

class tLogJournal {
public:
  static constexpr int Version = 1;
  static constexpr int SyncPeriodMs = 5000;
  // Samples are written in batches this often, so that neither the formatting nor the write
  // runs on the sampling tick; a crash loses at most this much.
  static constexpr int WritePeriodMs = 200;

  tLogJournal();
  ~tLogJournal(); // closes, keeps the file
  tLogJournal(const tLogJournal&) = delete;
  tLogJournal& operator=(const tLogJournal&) = delete;

  // Creates pFileName with its version line. False (and the failure reported) when it fails.
  bool Create(const QString& pFileName);
  // Continues a journal that was read back: cut after its last valid line (pValidBytes).
  bool Continue(const QString& pFileName, qint64 pValidBytes);
  bool IsOpen() const { return mFd >= 0; }
  bool Failed() const { return mFailed; }
  const QString& FileName() const { return mFileName; }
  // Called once, at the first failing write, with the system's reason.
  void SetOnFailure(std::function<void(const QString&)> pHandler) {
    mOnFailure = std::move(pHandler);
  }

  void Run(const tJournalRun& pRun, const std::vector<tJournalDevice>& pDevices);
  // Written only when the slot's tag differs from the one last written.
  void Tag(int pSlot, const QString& pTag);
  // Rows pFirst .. pFirst + pCount - 1 of pTable, just appended by one sample.
  void Tick(double pKey, const tLogTableModel& pTable, int pFirst, int pCount);
  void ClearTable();
  void ClearChart();
  // Writes the samples still held back.
  void Flush();
  // Writes what is held back and asks for the data to be synced to the disk now, without
  // waiting for it.
  void RequestSync();
  // Closes and deletes the file.
  void Remove();
  void Close();

private:
  struct tPendingTick {
    double Key;
    std::vector<tLogRow> Rows;
    QStringList Tags;
  };
  void Put(QByteArray& pLine); // writes what is held back, adds the checksum, then writes
  void Encode(const tPendingTick& pTick, QByteArray& pOut);
  void Write(const QByteArray& pLines);
  void Fail(int pErrno);
  void StartSyncer();
  void StopSyncer();
  void SyncLoop();

  int mFd = -1;
  QString mFileName;
  bool mFailed = false;
  std::function<void(const QString&)> mOnFailure;
  QStringList mSlotTags;
  QByteArray mLine;
  std::vector<tPendingTick> mPending;
  std::unique_ptr<QTimer> mWriteTimer;
  // The encoded texts of the table's tags by their index, so a tick encodes no text.
  std::vector<std::pair<QString, QByteArray>> mTagTexts;

  // The sync helper owns a duplicate of the descriptor and only ever calls fdatasync on it,
  // so a slow disk never stalls the sampling tick.
  std::thread mSyncer;
  std::mutex mSyncMutex;
  std::condition_variable mSyncWake;
  int mSyncFd = -1;
  bool mSyncRequested = false;
  bool mSyncStop = false;
  bool mDirty = false;
};

// What a journal holds, for the question at start-up, and whether it can be restored.
struct tJournalSummary {
  bool Valid = false;
  QString Error; // why it cannot be restored
  qint64 ValidBytes = 0;
  double StartTime = 0;
  int Samples = 0; // samples in the table
  QStringList Tags;
  bool Torn = false; // a cut-off tail was dropped
};

class tLogJournalReader {
public:
  // Reads the whole file and checks every line; nothing is changed on the disk.
  static tJournalSummary Scan(const QString& pFileName);
  // Replays the first pValidBytes (from Scan) into pSink. False when the file cannot be read.
  static bool Replay(const QString& pFileName, qint64 pValidBytes, iLogJournalSink& pSink);
  // True while a running program writes the journal.
  static bool InUse(const QString& pFileName);
  // The journals in pFolder, oldest first.
  static QStringList Journals(const QString& pFolder);
  static QString Suffix() { return QStringLiteral(".journal"); }
};
