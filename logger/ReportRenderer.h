#pragma once
// A small banded-report renderer painting with QPainter onto a QPrinter (paper or PDF): a title
// band on the first page, bands printed once (cross tables, a vector picture) and a page footer
// on every page. Sizes are report units of 1/96 inch.
#include <QFont>
#include <QImage>
#include <QPicture>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

class QPainter;
class QPrinter;

// A cross table filled from code with (row, column, cell) entries; rows sort by their numeric
// value, columns by their text, both ascending.
class tReportCrossTable {
public:
  void Add(double pRow, const QString& pColumn, const QString& pText);
  void Clear();
  bool IsEmpty() const { return mRows.empty(); }
  QStringList Columns() const;
  int RowCount() const { return int(mRows.size()); }
  // Cells of the pIndex-th row (in sorted order), one per column of Columns().
  QStringList RowTexts(int pIndex) const;

  bool ShowColumnHeaders = true;
  bool Framed = true;
  bool RightAligned = true;
  // The column header row is drawn again at the top of every following page.
  bool RepeatHeaders = true;
  QFont HeaderFont;
  QFont CellFont;

private:
  std::map<QString, int> mColumnIds;                            // column text → id
  std::map<double, std::map<int, QString>> mRows;               // row value → column id → text
  mutable std::vector<const std::map<int, QString>*> mRowIndex; // mRows in order, for paging
};

class tReportRenderer {
public:
  static constexpr double UnitsPerMm = 3.78;

  struct tBand {
    enum tKind { bkCrossTable, bkPicture } Kind = bkCrossTable;
    tReportCrossTable* Table = nullptr; // not owned
    double MinHeight = 0;               // the band never gets shorter than this
    double RuleOffset = -1;             // a horizontal rule this far below the band top (-1: none)
    QPicture Picture;                   // bkPicture: drawn centred, Width × Height
    double PictureWidth = 0;
    double PictureHeight = 0;
  };

  tReportRenderer();

  void SetTitle(const QString& pTitle) { mTitle = pTitle; }
  void SetLogo(const QImage& pLogo, bool pVisible) {
    mLogo = pLogo;
    mLogoVisible = pVisible;
  }
  void SetShowPageNumber(bool pShow) { mShowPageNumber = pShow; }
  void AddBand(const tBand& pBand) { mBands.push_back(pBand); }
  void ClearBands() { mBands.clear(); }
  // The width of the page between its margins, for the current orientation of pPrinter.
  static double ContentWidth(QPrinter* pPrinter);

  // Lays out and paints every page; A4 with 10 mm margins, the orientation the printer has.
  // Returns the number of pages.
  int Render(QPrinter* pPrinter);

private:
  void DrawTitle(QPainter& pPainter);
  void DrawFooter(QPainter& pPainter, int pPage);
  void NewPage(QPainter& pPainter, QPrinter* pPrinter);
  double DrawCrossTable(QPainter& pPainter, QPrinter* pPrinter, const tBand& pBand);

  QString mTitle;
  QImage mLogo;
  bool mLogoVisible = true;
  bool mShowPageNumber = true;
  std::vector<tBand> mBands;
  QString mPrintDate;
  QString mPrintTime;

  // Layout state during Render.
  double mWidth = 0;
  double mHeight = 0;
  double mBottom = 0;
  double mY = 0;
  int mPage = 0;
};

// Shows a prepared report: the preview dialog with printing and PDF export. Tests replace it.
using tReportPreview = std::function<void(QPrinter*, const std::function<void(QPrinter*)>&)>;
void SetReportPreview(const tReportPreview& pPreview);
void ShowReportPreview(QPrinter* pPrinter, const std::function<void(QPrinter*)>& pRender);
