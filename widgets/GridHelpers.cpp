#include "widgets/GridHelpers.h"

#include "core/Error.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QtGlobal>

namespace {

// Registrations live as long as the program; a destroyed grid's entry no longer matches.
QList<tStringGridItem>& Registrations() {
  static QList<tStringGridItem> list;
  return list;
}

const tStringGridItem* Find(const QAbstractItemView* pGrid) {
  if (!pGrid) return nullptr;
  for (const tStringGridItem& item : Registrations())
    if (item.Grid == pGrid) return &item;
  return nullptr;
}

// The selection colours: the palette's highlight while the grid has the focus, and a
// distinct inactive highlight otherwise (Fusion uses one colour for both).
void SelectionColors(const QAbstractItemView* pGrid, bool pFocused, QColor& pBackground,
                     QColor& pFont) {
  const QPalette& pal = pGrid->palette();
  if (pFocused) {
    pBackground = pal.color(QPalette::Active, QPalette::Highlight);
    pFont = pal.color(QPalette::Active, QPalette::HighlightedText);
    return;
  }
  pBackground = pal.color(QPalette::Inactive, QPalette::Highlight);
  pFont = pal.color(QPalette::Inactive, QPalette::HighlightedText);
  if (pBackground == pal.color(QPalette::Active, QPalette::Highlight)) {
    pBackground = QColor(0xBF, 0xCD, 0xDB);
    pFont = QColor(0, 0, 0);
  }
}

class tStringGridDelegate : public QStyledItemDelegate {
public:
  explicit tStringGridDelegate(QAbstractItemView* pGrid) : QStyledItemDelegate(pGrid) {}

  void paint(QPainter* pPainter, const QStyleOptionViewItem& pOption,
             const QModelIndex& pIndex) const override {
    auto* grid = qobject_cast<QAbstractItemView*>(parent());
    try {
      tHelpObj::StringGridDrawCell(grid, pPainter, pOption, pIndex);
    } catch (const std::exception& e) {
      // An error must not leave a paint event (a colour hook's included); the cell is drawn
      // plainly and the error reported once.
      if (!mReported) qWarning("%s", e.what());
      mReported = true;
      QStyledItemDelegate::paint(pPainter, pOption, pIndex);
    }
  }

private:
  mutable bool mReported = false;
};

} // namespace

void RegisterStringGrid(QAbstractItemView* pGrid, const QColor& pColorOdd, const QColor& pColorEven,
                        tCellColorsEvent pOnCellColors) {
  if (!pGrid) return;
  QList<tStringGridItem>& list = Registrations();
  list.removeIf([](const tStringGridItem& pItem) { return pItem.Grid.isNull(); });
  list.append(tStringGridItem{pGrid, std::move(pOnCellColors), pColorOdd, pColorEven});
  pGrid->setItemDelegate(new tStringGridDelegate(pGrid));
  pGrid->setAlternatingRowColors(false);
  pGrid->viewport()->update();
}

void ClearGridSelection(QAbstractItemView* pGrid) {
  if (!pGrid || !pGrid->selectionModel()) return;
  pGrid->selectionModel()->clearSelection();
  pGrid->selectionModel()->clearCurrentIndex();
}

const tStringGridItem& FindStringGrid(const QAbstractItemView* pGrid) {
  const tStringGridItem* item = Find(pGrid);
  if (!item) throw eError(QStringLiteral("StringGridDrawCell Grid nicht gefunden!"));
  return *item;
}

bool IsStringGridRegistered(const QAbstractItemView* pGrid) {
  return Find(pGrid) != nullptr;
}

int StringGridRow(const QAbstractItemView* pGrid, int pModelRow) {
  if (pGrid->model()) {
    const QVariant row = pGrid->model()->headerData(pModelRow, Qt::Vertical, GridRowRole);
    if (row.isValid()) pModelRow = row.toInt();
  }
  auto* table = qobject_cast<const QTableView*>(pGrid);
  return table && !table->horizontalHeader()->isHidden() ? pModelRow + 1 : pModelRow;
}

tGridCellColors StringGridCellColors(const QAbstractItemView* pGrid, const QModelIndex& pIndex) {
  const tStringGridItem& item = FindStringGrid(pGrid);
  const int row = StringGridRow(pGrid, pIndex.row());
  const bool focused = pGrid->hasFocus();
  tGridDrawState state = 0;
  const bool selected = pGrid->selectionModel() && pGrid->selectionModel()->isSelected(pIndex);
  if (selected) state |= gdSelected;
  if (focused && pGrid->currentIndex() == pIndex) state |= gdFocused;

  tGridCellColors colors;
  const QVariant foreground = pIndex.data(Qt::ForegroundRole);
  colors.FontColor = foreground.canConvert<QBrush>() && foreground.isValid()
                         ? foreground.value<QBrush>().color()
                         : pGrid->palette().color(QPalette::Text);
  colors.Background = (row % 2 != 0) ? item.ColorOdd : item.ColorEven;
  if (selected) SelectionColors(pGrid, focused, colors.Background, colors.FontColor);
  if (item.OnCellColors)
    item.OnCellColors(const_cast<QAbstractItemView*>(pGrid), pIndex.column(), row, state,
                      colors.Background, colors.FontColor);
  return colors;
}

void tHelpObj::StringGridDrawCell(QAbstractItemView* pGrid, QPainter* pPainter,
                                  const QStyleOptionViewItem& pOption, const QModelIndex& pIndex) {
  const tGridCellColors colors = StringGridCellColors(pGrid, pIndex);
  const QRect r = pOption.rect;
  pPainter->save();
  pPainter->fillRect(r, colors.Background);
  pPainter->setClipRect(r);
  pPainter->setFont(pOption.font);
  pPainter->setPen(colors.FontColor);
  const QString text = pIndex.data(Qt::DisplayRole).toString();
  const QFontMetrics fm(pOption.font);
  // Left edge plus 3 pixels, vertically centred, halves rounded toward zero.
  const int top = r.top() + r.height() / 2 - fm.height() / 2;
  pPainter->drawText(QPoint(r.left() + 3, top + fm.ascent()), text);
  pPainter->restore();
}
