#include "traffic/TrafficDelegate.h"

#include <QPainter>

namespace {
// Distinct texts kept; the time columns never repeat and are not kept.
constexpr qsizetype cLaidTexts = 4096;
} // namespace

const QStaticText& tTrafficDelegate::Laid(const QString& pText, const QFont& pFont) const {
  // One font per cache: the two fonts of the view alternate by column, so each text is
  // keyed with the font it was laid out in.
  const QString lKey = (pFont.fixedPitch() ? QLatin1Char('F') : QLatin1Char('P')) + pText;
  auto lIt = mLaid.find(lKey);
  if (lIt != mLaid.end()) return *lIt;
  if (mLaid.size() >= cLaidTexts) mLaid.clear();
  QStaticText lText(pText);
  lText.setTextFormat(Qt::PlainText);
  lText.prepare(QTransform(), pFont);
  return *mLaid.insert(lKey, lText);
}

void tTrafficDelegate::paint(QPainter* pPainter, const QStyleOptionViewItem& pOption,
                             const QModelIndex& pIndex) const {
  const bool lSelected = pOption.state & QStyle::State_Selected;
  if (lSelected) pPainter->fillRect(pOption.rect, pOption.palette.brush(QPalette::Highlight));
  const QString lText = pIndex.data(Qt::DisplayRole).toString();
  if (lText.isEmpty()) return;
  QColor lColour = pOption.palette.color(QPalette::Text);
  if (lSelected) {
    lColour = pOption.palette.color(QPalette::HighlightedText);
  } else {
    const QVariant lForeground = pIndex.data(Qt::ForegroundRole);
    if (lForeground.canConvert<QBrush>()) lColour = lForeground.value<QBrush>().color();
  }
  const QVariant lFontData = pIndex.data(Qt::FontRole);
  const QFont lFont = lFontData.isValid() ? lFontData.value<QFont>() : pOption.font;
  const QRect lRect = pOption.rect.adjusted(4, 0, -4, 0);
  pPainter->save();
  pPainter->setPen(lColour);
  pPainter->setFont(lFont);
  pPainter->setClipRect(lRect);
  const QStaticText& lLaid = Laid(lText, lFont);
  const QSizeF lSize = lLaid.size();
  const bool lRight = pIndex.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight;
  const qreal lX = lRight ? lRect.right() + 1 - lSize.width() : lRect.left();
  const qreal lY = lRect.top() + (lRect.height() - lSize.height()) / 2;
  pPainter->drawStaticText(QPointF(lX, lY), lLaid);
  pPainter->restore();
}
