#pragma once
// The log table behind StringGridLog. Rows are kept as compact numbers (32 bytes a row) in
// fixed-size chunks, and their texts are made when a cell is read, so a run of millions of rows
// stays small and appending never copies what was recorded. Cell(col, row) reads the table in
// grid coordinates: row 0 is the header row, data rows start at 1.
//
// The view learns of new rows at most every FlushIntervalMs: the data rate and the paint rate
// are separate, and the header of a view with millions of rows is not relaid at every sample.
#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

enum tLogRowKind : std::uint8_t {
  rkValues,     // pressure, temperature and time
  rkNoTemp,     // pressure and time; the instrument has no temperature (VQ-5)
  rkNotLogging, // "/" in the three value columns
};

struct tLogRow {
  double Pressure = 0;
  double Temperature = 0;
  double Time = 0; // the instrument's last-pressure time stamp
  std::uint32_t Tag = 0;
  std::int8_t Digits = 0;
  tLogRowKind Kind = rkNotLogging;
};

class tLogTableModel : public QAbstractTableModel {
  Q_OBJECT
public:
  static constexpr int InitialRowCount = 50;
  static constexpr int FlushIntervalMs = 100;
  static constexpr int MaxFlushIntervalMs = 2000;
  static constexpr int ColPressure = 0;
  static constexpr int ColTemperature = 1;
  static constexpr int ColTime = 2;
  static constexpr int ColTag = 3;

  explicit tLogTableModel(QObject* pParent = nullptr);
  ~tLogTableModel() override;

  // Grid view of the table, header row included.
  QString Cell(int pCol, int pRow) const;
  void SetHeader(int pCol, const QString& pText);
  QString Header(int pCol) const { return mHeaders.value(pCol); }
  int RowCount() const { return mRowCount; }
  int ColCount() const { return mColCount; }
  void SetColCount(int pCount);
  // Data rows written (the index of the last data row).
  int EntryCount() const { return static_cast<int>(mSize); }

  // Appends one data row, growing the row count when the row would not fit.
  void AppendRow(const tLogRow& pRow);
  const tLogRow& Row(int pRow) const; // pRow >= 1
  // Appends the texts of cells 0, 1 and 2 of data row pRow, each followed by pSeparator.
  void AppendValueTexts(int pRow, QString& pText, QChar pSeparator) const;
  std::uint32_t TagIndex(const QString& pTag);
  QString TagText(std::uint32_t pIndex) const { return mTags.value(int(pIndex)); }
  void SetRowTag(int pRow, std::uint32_t pTag);
  // Empties every data row and gives the table its initial row count.
  void Clear();
  // Tells the view about rows appended since the last flush.
  void Flush();

  // Bytes held per data row, capacity included; for the memory benchmark.
  std::size_t BytesUsed() const;

  int rowCount(const QModelIndex& pParent = QModelIndex()) const override;
  int columnCount(const QModelIndex& pParent = QModelIndex()) const override;
  QVariant data(const QModelIndex& pIndex, int pRole) const override;
  QVariant headerData(int pSection, Qt::Orientation pOrientation, int pRole) const override;

signals:
  // Emitted after the view was told of new rows; the frame keeps the newest row in view.
  void RowsFlushed();

private:
  static constexpr std::size_t cChunkRows = 8192;
  using tChunk = std::array<tLogRow, cChunkRows>;
  tLogRow& At(std::size_t pIndex) { return (*mChunks[pIndex / cChunkRows])[pIndex % cChunkRows]; }
  const tLogRow& At(std::size_t pIndex) const {
    return (*mChunks[pIndex / cChunkRows])[pIndex % cChunkRows];
  }

  std::vector<std::unique_ptr<tChunk>> mChunks;
  std::size_t mSize = 0;
  int mRowCount = InitialRowCount; // grid rows, header included
  int mShownRowCount = InitialRowCount;
  int mColCount = 3;
  QStringList mHeaders{QString(), QString(), QString(), QString()};
  QStringList mTags;
  QHash<QString, std::uint32_t> mTagIndex;
  QTimer mFlushTimer;
};
