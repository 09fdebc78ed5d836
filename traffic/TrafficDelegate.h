#pragma once
// Paints a cell of the traffic view: its text in its colour and font, clipped at the cell,
// on the selection's colour when selected. Live traffic repeats itself (the same request,
// the same reply, the same meaning), so the laid-out texts are kept and drawn again as they
// are. The style's own item painting laid out every cell afresh: at a line's full rate, with
// the view following the newest lines, that held the event loop for milliseconds a batch,
// and the live exchange of the same instrument waited.
#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

class tTrafficDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* pPainter, const QStyleOptionViewItem& pOption,
             const QModelIndex& pIndex) const override;

private:
  const QStaticText& Laid(const QString& pText, const QFont& pFont) const;

  mutable QHash<QString, QStaticText> mLaid;
};
