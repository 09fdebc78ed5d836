#include "widgets/CaptionPanel.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {

// The caption is painted, so without this a screen reader would find an empty frame where
// the page shows its live value. Read as static text named by the caption.
class tCaptionPanelAccessible : public QAccessibleWidget {
public:
  explicit tCaptionPanelAccessible(tCaptionPanel* pPanel)
      : QAccessibleWidget(pPanel, QAccessible::StaticText) {}

  QString text(QAccessible::Text pText) const override {
    if (pText == QAccessible::Name && widget()->accessibleName().isEmpty())
      return static_cast<const tCaptionPanel*>(widget())->Caption();
    return QAccessibleWidget::text(pText);
  }
};

QAccessibleInterface* CaptionPanelAccessible(const QString& /*pClassName*/, QObject* pObject) {
  auto* lPanel = qobject_cast<tCaptionPanel*>(pObject);
  return lPanel ? new tCaptionPanelAccessible(lPanel) : nullptr;
}

} // namespace

tCaptionPanel::tCaptionPanel(QWidget* pParent) : QFrame(pParent) {
  // Installed before the first panel exists; interfaces are only made when asked for.
  static const bool lFactoryInstalled = [] {
    QAccessible::installFactory(CaptionPanelAccessible);
    return true;
  }();
  Q_UNUSED(lFactoryInstalled);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
}

tCaptionPanel::tCaptionPanel(const QString& pCaption, QWidget* pParent) : tCaptionPanel(pParent) {
  FCaption = pCaption;
}

void tCaptionPanel::SetCaption(const QString& pCaption) {
  if (pCaption == FCaption) return;
  FCaption = pCaption;
  updateGeometry();
  update();
  // Tells a screen reader that the value changed; nothing happens while none listens.
  QAccessibleEvent lEvent(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&lEvent);
}

void tCaptionPanel::SetAlignment(Qt::Alignment pAlignment) {
  FAlignment = pAlignment;
  update();
}

void tCaptionPanel::SetColor(const QColor& pColor) {
  FColor = pColor;
  update();
}

void tCaptionPanel::SetFontColor(const QColor& pColor) {
  FFontColor = pColor;
  update();
}

QSize tCaptionPanel::sizeHint() const {
  QFontMetrics fm(font());
  const int frame = 2 * frameWidth();
  return QSize(fm.horizontalAdvance(FCaption) + fm.averageCharWidth() * 2 + frame,
               fm.height() + fm.height() / 2 + frame);
}

QSize tCaptionPanel::minimumSizeHint() const {
  QFontMetrics fm(font());
  return QSize(2 * frameWidth() + fm.averageCharWidth(), fm.height() + 2 * frameWidth());
}

void tCaptionPanel::paintEvent(QPaintEvent* pEvent) {
  // Drawn here rather than left to the style, so that the colours hold on every style.
  QPainter painter(this);
  painter.fillRect(rect(), FColor.isValid() ? FColor : palette().color(QPalette::Window));
  painter.end();
  QFrame::paintEvent(pEvent);
  if (FCaption.isEmpty()) return;
  painter.begin(this);
  painter.setFont(font());
  painter.setPen(FFontColor.isValid() ? FFontColor : palette().color(QPalette::WindowText));
  painter.drawText(contentsRect().adjusted(2, 0, -2, 0), static_cast<int>(FAlignment), FCaption);
}
