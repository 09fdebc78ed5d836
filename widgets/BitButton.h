#pragma once
// A push button with a glyph, a caption and a hint (shown as its tool tip).
#include <QIcon>
#include <QPushButton>

class tBitButton : public QPushButton {
  Q_OBJECT
public:
  explicit tBitButton(QWidget* pParent = nullptr);
  tBitButton(const QString& pCaption, QWidget* pParent = nullptr);

  QString Caption() const { return text(); }
  void SetCaption(const QString& pCaption) { setText(pCaption); }
  QString Hint() const { return toolTip(); }
  void SetHint(const QString& pHint) { setToolTip(pHint); }
  QIcon Glyph() const { return icon(); }
  void SetGlyph(const QIcon& pGlyph);
};
