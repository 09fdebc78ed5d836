#include "logger/LogJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const QByteArray cMagic = QByteArrayLiteral("CORVANE-JOURNAL");

std::uint32_t Fnv1a(const char* pData, qsizetype pSize) {
  std::uint32_t hash = 2166136261u;
  for (qsizetype i = 0; i < pSize; ++i) {
    hash ^= std::uint8_t(pData[i]);
    hash *= 16777619u;
  }
  return hash;
}

void AppendChecksum(QByteArray& pLine) {
  char hex[9];
  const std::uint32_t sum = Fnv1a(pLine.constData(), pLine.size());
  for (int i = 0; i < 8; ++i)
    hex[i] = "0123456789abcdef"[(sum >> (28 - 4 * i)) & 0xF];
  hex[8] = '\n';
  pLine += ' ';
  pLine.append(hex, 9);
}

void PutNumber(QByteArray& pLine, double pValue) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, pValue);
  pLine += ' ';
  pLine.append(buffer, result.ptr - buffer);
}

void PutInt(QByteArray& pLine, long long pValue) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, pValue);
  pLine += ' ';
  pLine.append(buffer, result.ptr - buffer);
}

QByteArray EncodeText(const QString& pText) {
  return '=' + pText.toUtf8().toPercentEncoding();
}

void PutText(QByteArray& pLine, const QString& pText) {
  pLine += ' ';
  pLine += EncodeText(pText);
}

// The fields of one line, read from the front; any malformed field marks the line bad.
class tFields {
public:
  explicit tFields(const QList<QByteArray>& pFields) : mFields(pFields) {}
  bool Ok() const { return mOk; }
  bool AtEnd() const { return mNext == mFields.size(); }
  QByteArray Word() {
    if (mNext >= mFields.size()) {
      mOk = false;
      return {};
    }
    return mFields[mNext++];
  }
  double Number() {
    const QByteArray word = Word();
    double value = 0;
    auto result = std::from_chars(word.constData(), word.constData() + word.size(), value);
    if (word.isEmpty() || result.ec != std::errc() || result.ptr != word.constData() + word.size())
      mOk = false;
    return value;
  }
  long long Int(long long pMin, long long pMax) {
    const QByteArray word = Word();
    long long value = 0;
    auto result = std::from_chars(word.constData(), word.constData() + word.size(), value);
    if (word.isEmpty() || result.ec != std::errc() ||
        result.ptr != word.constData() + word.size() || value < pMin || value > pMax)
      mOk = false;
    return value;
  }
  QString Text() {
    const QByteArray word = Word();
    if (!word.startsWith('=')) {
      mOk = false;
      return {};
    }
    return QString::fromUtf8(QByteArray::fromPercentEncoding(word.mid(1)));
  }

private:
  const QList<QByteArray>& mFields;
  qsizetype mNext = 1; // the type letter is read by the caller
  bool mOk = true;
};

// A sink that only counts, for the summary.
class tSummarySink : public iLogJournalSink {
public:
  explicit tSummarySink(tJournalSummary& pSummary) : mSummary(pSummary) {}
  void Run(const tJournalRun& pRun, const std::vector<tJournalDevice>& pDevices) override {
    if (!mStarted) mSummary.StartTime = pRun.StartTime;
    mStarted = true;
    mSummary.Tags.clear();
    for (const tJournalDevice& d : pDevices)
      mSummary.Tags.append(d.Tag);
  }
  void Tag(int pSlot, const QString& pTag) override {
    if (pSlot < mSummary.Tags.size()) mSummary.Tags[pSlot] = pTag;
  }
  void Tick(double, const std::vector<tLogRow>&, const QStringList&) override {
    ++mSummary.Samples;
  }
  void ClearTable() override { mSummary.Samples = 0; }
  void ClearChart() override {}

private:
  tJournalSummary& mSummary;
  bool mStarted = false;
};

bool ReadDevice(tFields& pFields, tJournalDevice& pDevice) {
  pDevice.ComNr = std::int32_t(pFields.Int(INT32_MIN, INT32_MAX));
  pDevice.DeviceType = std::int32_t(pFields.Int(0, 255));
  pDevice.Druckkennung = std::int32_t(pFields.Int(0, 255));
  pDevice.MBAinBar = float(pFields.Number());
  pDevice.MBEinBar = float(pFields.Number());
  pDevice.MBAinUnit = float(pFields.Number());
  pDevice.MBEinUnit = float(pFields.Number());
  pDevice.MBAUnitStr = pFields.Text();
  pDevice.MBEUnitStr = pFields.Text();
  pDevice.Ident = pFields.Text();
  pDevice.Tag = pFields.Text();
  pDevice.Description = pFields.Text();
  return pFields.Ok();
}

// The state of a replay between lines: a run's device records follow its start record.
struct tReplayState {
  tJournalRun Run;
  std::vector<tJournalDevice> Devices;
  int DevicesExpected = 0;
  int SlotCount = 0;
  std::vector<tLogRow> Rows;
  QStringList Tags;
};

// Applies one checked line (without its checksum) to pSink. False when it makes no sense.
bool ApplyLine(const QByteArray& pPayload, tReplayState& pState, iLogJournalSink& pSink) {
  const QList<QByteArray> words = pPayload.split(' ');
  tFields f(words);
  const QByteArray type = words.value(0);
  if (pState.DevicesExpected > 0 && type != "D") return false;
  if (type == "S") {
    tJournalRun& run = pState.Run;
    run.StartTime = f.Number();
    run.MaxSpanBA = f.Number();
    run.MaxSpanBE = f.Number();
    run.UnitMBA = f.Text();
    run.UnitMBE = f.Text();
    run.UnitTemp = f.Text();
    pState.DevicesExpected = int(f.Int(0, 10000));
    pState.Devices.clear();
    if (!f.Ok() || !f.AtEnd()) return false;
    if (pState.DevicesExpected == 0) {
      pState.SlotCount = 0;
      pSink.Run(run, pState.Devices);
    }
    return true;
  }
  if (type == "D") {
    if (pState.DevicesExpected == 0) return false;
    tJournalDevice device;
    if (!ReadDevice(f, device) || !f.AtEnd()) return false;
    pState.Devices.push_back(device);
    if (--pState.DevicesExpected == 0) {
      pState.SlotCount = int(pState.Devices.size());
      pSink.Run(pState.Run, pState.Devices);
    }
    return true;
  }
  if (type == "T") {
    const int slot = int(f.Int(0, pState.SlotCount - 1));
    const QString tag = f.Text();
    if (!f.Ok() || !f.AtEnd()) return false;
    pSink.Tag(slot, tag);
    return true;
  }
  if (type == "R") {
    const double key = f.Number();
    const int count = int(f.Int(0, pState.SlotCount));
    pState.Rows.clear();
    pState.Tags.clear();
    for (int i = 0; i < count && f.Ok(); ++i) {
      tLogRow row;
      const QByteArray kind = f.Word();
      if (kind == "v" || kind == "n") {
        row.Kind = kind == "v" ? rkValues : rkNoTemp;
        row.Pressure = f.Number();
        row.Digits = std::int8_t(f.Int(0, 20));
        if (row.Kind == rkValues) row.Temperature = f.Number();
        row.Time = f.Number();
      } else if (kind == "x") {
        row.Kind = rkNotLogging;
      } else {
        return false;
      }
      pState.Tags.append(f.Text());
      pState.Rows.push_back(row);
    }
    if (!f.Ok() || !f.AtEnd()) return false;
    pSink.Tick(key, pState.Rows, pState.Tags);
    return true;
  }
  if (type == "C" && words.size() == 2 && (words[1] == "t" || words[1] == "c")) {
    if (words[1] == "t")
      pSink.ClearTable();
    else
      pSink.ClearChart();
    return true;
  }
  return false;
}

// The payload of a complete line with a matching checksum, or false.
bool CheckLine(const char* pBegin, const char* pEnd, QByteArray& pPayload) {
  // pEnd points at the "\n".
  const qsizetype size = pEnd - pBegin;
  if (size < 10 || pBegin[size - 9] != ' ') return false;
  std::uint32_t sum = 0;
  auto result = std::from_chars(pEnd - 8, pEnd, sum, 16);
  if (result.ec != std::errc() || result.ptr != pEnd) return false;
  if (Fnv1a(pBegin, size - 9) != sum) return false;
  pPayload = QByteArray(pBegin, size - 9);
  return true;
}

// Walks the lines of pData up to pLimit; fills pSummary's validity and valid length.
void Walk(const QByteArray& pData, iLogJournalSink& pSink, tJournalSummary& pSummary) {
  const char* data = pData.constData();
  const char* end = data + pData.size();
  const char* pos = data;
  tReplayState state;
  bool first = true;
  QByteArray payload;
  while (pos < end) {
    const char* newline = static_cast<const char*>(std::memchr(pos, '\n', std::size_t(end - pos)));
    const bool checked = newline && CheckLine(pos, newline, payload);
    if (!checked) break;
    if (first) {
      first = false;
      const QList<QByteArray> words = payload.split(' ');
      bool ok = false;
      const int version = words.size() == 2 ? words[1].toInt(&ok) : 0;
      if (words.value(0) != cMagic || !ok) {
        pSummary.Error = QStringLiteral("not a recording journal");
        return;
      }
      if (version != tLogJournal::Version) {
        pSummary.Error = QStringLiteral("journal version %1 is not supported").arg(version);
        return;
      }
    } else if (!ApplyLine(payload, state, pSink)) {
      pSummary.Error = QStringLiteral("damaged record at byte %1").arg(pos - data);
      return;
    }
    pos = newline + 1;
    // A run's device records are restored together with its start record.
    if (state.DevicesExpected == 0) pSummary.ValidBytes = pos - data;
  }
  if (first) {
    pSummary.Error = QStringLiteral("not a recording journal");
    return;
  }
  if (pos < end) {
    // Whatever follows the first bad line must be the rest of one cut-off write: a valid line
    // after it means the file was damaged, not torn.
    const char* scan = pos;
    while (scan < end) {
      const char* newline =
          static_cast<const char*>(std::memchr(scan, '\n', std::size_t(end - scan)));
      if (!newline) break;
      if (CheckLine(scan, newline, payload)) {
        pSummary.Error = QStringLiteral("damaged record at byte %1").arg(pos - data);
        return;
      }
      scan = newline + 1;
    }
  }
  pSummary.Torn = pSummary.ValidBytes < pData.size();
  pSummary.Valid = true;
}

// A journal mapped into memory: a day's recording is read without a copy of its size.
class tMappedJournal {
public:
  bool Open(const QString& pFileName, QString& pError) {
    mFile.setFileName(pFileName);
    if (!mFile.open(QIODevice::ReadOnly)) {
      pError = mFile.errorString();
      return false;
    }
    const qint64 size = mFile.size();
    if (size == 0) return true;
    const uchar* data = mFile.map(0, size);
    if (!data) {
      pError = mFile.errorString();
      return false;
    }
    mData = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    return true;
  }
  // The first pSize bytes, without copying them.
  QByteArray Left(qint64 pSize) const {
    return QByteArray::fromRawData(mData.constData(),
                                   qsizetype(std::min<qint64>(pSize, mData.size())));
  }
  const QByteArray& Data() const { return mData; }

private:
  QFile mFile;
  QByteArray mData;
};
} // namespace

tJournalDevice tJournalDevice::FromInfo(const tDeviceInfo& pInfo, const QString& pDescription) {
  tJournalDevice d;
  d.ComNr = pInfo.ComNr();
  d.DeviceType = std::int32_t(pInfo.DeviceType());
  d.Druckkennung = std::int32_t(pInfo.Druckkennung());
  d.MBAinBar = pInfo.MBAinBar();
  d.MBEinBar = pInfo.MBEinBar();
  d.MBAinUnit = pInfo.MBAinUnit();
  d.MBEinUnit = pInfo.MBEinUnit();
  d.MBAUnitStr = pInfo.MBAUnitStr();
  d.MBEUnitStr = pInfo.MBEUnitStr();
  d.Ident = pInfo.Ident();
  d.Tag = pInfo.Tag();
  d.Description = pDescription;
  return d;
}

std::unique_ptr<tDeviceInfo> tJournalDevice::ToInfo() const {
  auto info = std::make_unique<tDeviceInfo>();
  info->SetComNr(ComNr);
  info->SetDeviceType(tDeviceType(DeviceType));
  info->SetDruckkennung(tDruckKennung(Druckkennung));
  info->SetMBAinBar(MBAinBar);
  info->SetMBEinBar(MBEinBar);
  info->SetMBAinUnit(MBAinUnit);
  info->SetMBEinUnit(MBEinUnit);
  info->SetMBAUnitStr(MBAUnitStr);
  info->SetMBEUnitStr(MBEUnitStr);
  info->SetIdent(Ident);
  info->SetTag(Tag);
  return info;
}

tLogJournal::tLogJournal() = default;

tLogJournal::~tLogJournal() {
  Close();
}

bool tLogJournal::Create(const QString& pFileName) {
  Close();
  mFileName = pFileName;
  mFailed = false;
  mSlotTags.clear();
  QDir().mkpath(QFileInfo(pFileName).absolutePath());
  mFd = ::open(QFile::encodeName(pFileName).constData(),
               O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
  // Held while the journal is written, so that another instance of the program does not offer
  // it; the system drops the lock when the process ends, however it ends.
  if (mFd < 0 || ::flock(mFd, LOCK_EX | LOCK_NB) != 0) {
    Fail(errno);
    return false;
  }
  StartSyncer();
  QByteArray line = cMagic + ' ' + QByteArray::number(Version);
  Put(line);
  return !mFailed;
}

bool tLogJournal::Continue(const QString& pFileName, qint64 pValidBytes) {
  Close();
  mFileName = pFileName;
  mFailed = false;
  mSlotTags.clear();
  mFd = ::open(QFile::encodeName(pFileName).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
  // The torn tail goes, so that the next record starts on a line of its own.
  if (mFd < 0 || ::flock(mFd, LOCK_EX | LOCK_NB) != 0 ||
      ::ftruncate(mFd, off_t(pValidBytes)) != 0) {
    Fail(errno);
    return false;
  }
  StartSyncer();
  return true;
}

void tLogJournal::Run(const tJournalRun& pRun, const std::vector<tJournalDevice>& pDevices) {
  // Records keep their order: the held-back samples go first.
  Flush();
  QByteArray line("S");
  PutNumber(line, pRun.StartTime);
  PutNumber(line, pRun.MaxSpanBA);
  PutNumber(line, pRun.MaxSpanBE);
  PutText(line, pRun.UnitMBA);
  PutText(line, pRun.UnitMBE);
  PutText(line, pRun.UnitTemp);
  PutInt(line, qsizetype(pDevices.size()));
  AppendChecksum(line);
  mSlotTags.clear();
  for (const tJournalDevice& d : pDevices) {
    QByteArray device("D");
    PutInt(device, d.ComNr);
    PutInt(device, d.DeviceType);
    PutInt(device, d.Druckkennung);
    PutNumber(device, d.MBAinBar);
    PutNumber(device, d.MBEinBar);
    PutNumber(device, d.MBAinUnit);
    PutNumber(device, d.MBEinUnit);
    PutText(device, d.MBAUnitStr);
    PutText(device, d.MBEUnitStr);
    PutText(device, d.Ident);
    PutText(device, d.Tag);
    PutText(device, d.Description);
    AppendChecksum(device);
    line += device;
    mSlotTags.append(d.Tag);
  }
  // The run's records in one write.
  Write(line);
}

void tLogJournal::Tag(int pSlot, const QString& pTag) {
  if (pSlot < 0 || pSlot >= mSlotTags.size() || mSlotTags[pSlot] == pTag) return;
  mSlotTags[pSlot] = pTag;
  QByteArray line("T");
  PutInt(line, pSlot);
  PutText(line, pTag);
  Put(line);
}

void tLogJournal::Tick(double pKey, const tLogTableModel& pTable, int pFirst, int pCount) {
  if (mFd < 0) return;
  // Only copied here; encoded and written by the next batch.
  tPendingTick tick{pKey, {}, {}};
  tick.Rows.reserve(std::size_t(pCount));
  for (int r = pFirst; r < pFirst + pCount; ++r) {
    tick.Rows.push_back(pTable.Row(r));
    tick.Tags << pTable.TagText(tick.Rows.back().Tag);
  }
  mPending.push_back(std::move(tick));
  if (!mWriteTimer) {
    mWriteTimer = std::make_unique<QTimer>();
    mWriteTimer->setSingleShot(true);
    QObject::connect(mWriteTimer.get(), &QTimer::timeout, [this] { Flush(); });
  }
  if (!mWriteTimer->isActive()) mWriteTimer->start(WritePeriodMs);
}

void tLogJournal::Encode(const tPendingTick& pTick, QByteArray& pOut) {
  mLine.clear();
  mLine += 'R';
  PutNumber(mLine, pTick.Key);
  PutInt(mLine, int(pTick.Rows.size()));
  for (std::size_t i = 0; i < pTick.Rows.size(); ++i) {
    const tLogRow& row = pTick.Rows[i];
    switch (row.Kind) {
    case rkValues:
    case rkNoTemp:
      mLine += row.Kind == rkValues ? " v" : " n";
      PutNumber(mLine, row.Pressure);
      PutInt(mLine, row.Digits);
      if (row.Kind == rkValues) PutNumber(mLine, row.Temperature);
      PutNumber(mLine, row.Time);
      break;
    default:
      mLine += " x";
    }
    if (row.Tag >= mTagTexts.size()) mTagTexts.resize(row.Tag + 1);
    auto& cached = mTagTexts[row.Tag];
    const QString& tag = pTick.Tags[qsizetype(i)];
    // Indexes start again when the table is cleared: the text decides.
    if (cached.second.isEmpty() || cached.first != tag) cached = {tag, EncodeText(tag)};
    mLine += ' ';
    mLine += cached.second;
  }
  AppendChecksum(mLine);
  pOut += mLine;
}

void tLogJournal::Flush() {
  if (mWriteTimer) mWriteTimer->stop();
  if (mPending.empty()) return;
  QByteArray batch;
  for (const tPendingTick& tick : mPending)
    Encode(tick, batch);
  mPending.clear();
  Write(batch);
}

void tLogJournal::ClearTable() {
  QByteArray line("C t");
  Put(line);
}

void tLogJournal::ClearChart() {
  QByteArray line("C c");
  Put(line);
}

void tLogJournal::Put(QByteArray& pLine) {
  // Records keep their order: the held-back samples go first.
  Flush();
  AppendChecksum(pLine);
  Write(pLine);
}

void tLogJournal::Write(const QByteArray& pLine) {
  if (mFd < 0 || mFailed) return;
  const char* data = pLine.constData();
  qsizetype left = pLine.size();
  while (left > 0) {
    const ssize_t n = ::write(mFd, data, std::size_t(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Fail(n < 0 ? errno : ENOSPC);
      return;
    }
    data += n;
    left -= n;
  }
  std::lock_guard lock(mSyncMutex);
  mDirty = true;
}

void tLogJournal::Fail(int pErrno) {
  if (mFailed) return;
  mFailed = true;
  if (mOnFailure) mOnFailure(QString::fromLocal8Bit(std::strerror(pErrno)));
}

void tLogJournal::RequestSync() {
  Flush();
  {
    std::lock_guard lock(mSyncMutex);
    mSyncRequested = true;
  }
  mSyncWake.notify_one();
}

void tLogJournal::StartSyncer() {
  mSyncFd = ::dup(mFd);
  mSyncStop = false;
  mSyncRequested = false;
  mDirty = false;
  if (mSyncFd >= 0) mSyncer = std::thread([this] { SyncLoop(); });
}

void tLogJournal::StopSyncer() {
  if (mSyncer.joinable()) {
    {
      std::lock_guard lock(mSyncMutex);
      mSyncStop = true;
    }
    mSyncWake.notify_one();
    mSyncer.join();
  }
  if (mSyncFd >= 0) ::close(mSyncFd);
  mSyncFd = -1;
}

void tLogJournal::SyncLoop() {
  std::unique_lock lock(mSyncMutex);
  for (;;) {
    mSyncWake.wait_for(lock, std::chrono::milliseconds(SyncPeriodMs),
                       [this] { return mSyncRequested || mSyncStop; });
    const bool sync = mDirty || mSyncRequested;
    const bool stop = mSyncStop;
    mDirty = false;
    mSyncRequested = false;
    if (sync) {
      lock.unlock();
      ::fdatasync(mSyncFd);
      lock.lock();
    }
    if (stop) return;
  }
}

void tLogJournal::Remove() {
  mPending.clear();
  const QString name = mFileName;
  Close();
  if (!name.isEmpty()) QFile::remove(name);
  mFileName.clear();
}

void tLogJournal::Close() {
  Flush();
  StopSyncer();
  if (mFd >= 0) ::close(mFd);
  mFd = -1;
}

tJournalSummary tLogJournalReader::Scan(const QString& pFileName) {
  tJournalSummary summary;
  tMappedJournal file;
  if (!file.Open(pFileName, summary.Error)) return summary;
  tSummarySink sink(summary);
  Walk(file.Data(), sink, summary);
  return summary;
}

bool tLogJournalReader::Replay(const QString& pFileName, qint64 pValidBytes,
                               iLogJournalSink& pSink) {
  tMappedJournal file;
  QString error;
  if (!file.Open(pFileName, error) || file.Data().size() < pValidBytes) return false;
  tJournalSummary summary;
  Walk(file.Left(pValidBytes), pSink, summary);
  return summary.Valid;
}

bool tLogJournalReader::InUse(const QString& pFileName) {
  const int fd = ::open(QFile::encodeName(pFileName).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked;
}

QStringList tLogJournalReader::Journals(const QString& pFolder) {
  QDir dir(pFolder);
  QStringList names =
      dir.entryList({QStringLiteral("*") + Suffix()}, QDir::Files | QDir::Readable, QDir::Name);
  for (QString& name : names)
    name = dir.filePath(name);
  return names;
}
