#pragma once
// Row colours and selection clearing for the string grids of the logger and the device
// pages. Registration installs a drawing delegate, so the same helper serves a
// QTableWidget and a model-backed QTableView (the delegate only paints visible cells, so
// a model with millions of rows stays fast).
#include <QColor>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>

class QAbstractItemView;
class QModelIndex;
class QPainter;
class QStyleOptionViewItem;

enum tGridDrawStateFlag { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using tGridDrawState = int;

// Hook for single cells: may change the proposed background and font colours.
using tCellColorsEvent =
    std::function<void(QAbstractItemView* pGrid, int pCol, int pRow, tGridDrawState pState,
                       QColor& pBackground, QColor& pFontColor)>;

// Grid rows are counted as the string grid counts them: a table view whose horizontal
// header is shown has that header as its fixed row 0, so model row r is grid row r + 1;
// without a header (or for other views) model row r is grid row r.
struct tStringGridItem {
  QPointer<QAbstractItemView> Grid;
  tCellColorsEvent OnCellColors;
  QColor ColorOdd;
  QColor ColorEven;
};

// A model that shows a window onto a longer table answers, for a vertical header section, the
// section's row in the whole table under this role; rows are then counted (and coloured) by it.
constexpr int GridRowRole = Qt::UserRole + 0x4752;

// Colours the grid's rows alternately (odd / even grid rows) and calls the hook per cell.
void RegisterStringGrid(QAbstractItemView* pGrid, const QColor& pColorOdd, const QColor& pColorEven,
                        tCellColorsEvent pOnCellColors = {});
// Removes the selection and the current cell, so that no cell shows as selected.
void ClearGridSelection(QAbstractItemView* pGrid);

// The registration of a grid; raises eError("StringGridDrawCell Grid nicht gefunden!") when
// the grid was never registered.
const tStringGridItem& FindStringGrid(const QAbstractItemView* pGrid);
bool IsStringGridRegistered(const QAbstractItemView* pGrid);
// The grid row number of a model row (see above).
int StringGridRow(const QAbstractItemView* pGrid, int pModelRow);

// The colours a registered grid's cell is drawn with, as StringGridDrawCell decides them.
struct tGridCellColors {
  QColor Background;
  QColor FontColor;
};
tGridCellColors StringGridCellColors(const QAbstractItemView* pGrid, const QModelIndex& pIndex);

class tHelpObj {
public:
  // Draws one cell of a registered grid; raises the not-found error for any other grid.
  static void StringGridDrawCell(QAbstractItemView* pGrid, QPainter* pPainter,
                                 const QStyleOptionViewItem& pOption, const QModelIndex& pIndex);
};
