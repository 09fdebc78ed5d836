#include "widgets/BitButton.h"

tBitButton::tBitButton(QWidget* pParent) : QPushButton(pParent) {}

tBitButton::tBitButton(const QString& pCaption, QWidget* pParent)
    : QPushButton(pCaption, pParent) {}

void tBitButton::SetGlyph(const QIcon& pGlyph) {
  setIcon(pGlyph);
  if (!pGlyph.isNull() && iconSize().width() < 16) setIconSize(QSize(16, 16));
}
