#include "widgets/Look.h"

#include "widgets/CaptionPanel.h"
#include "widgets/RichEdit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPalette>

namespace Look {

namespace {

QFont Bold(const QFont& pFont, int pPixelSize) {
  QFont f = pFont;
  f.setBold(true);
  if (pPixelSize > 0) f.setPixelSize(pPixelSize);
  return f;
}

void SetAllGroups(QPalette& pPalette, QPalette::ColorRole pRole, const QColor& pColor) {
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    pPalette.setColor(g, pRole, pColor);
}

} // namespace

void ValuePanel(tCaptionPanel* pPanel, const QColor& pTextColor, int pPixelSize) {
  if (!pPanel) return;
  pPanel->SetColor(ValueBackground);
  pPanel->SetFontColor(pTextColor);
  pPanel->setFont(Bold(pPanel->font(), pPixelSize));
}

void ValueComboBox(QComboBox* pBox, const QColor& pTextColor) {
  if (!pBox) return;
  // Desktop styles draw combo boxes natively and ignore the palette; a style sheet holds on
  // every style, the drop-down list included.
  pBox->setStyleSheet(
      QStringLiteral("QComboBox { background-color: %1; color: %2; font-weight: bold;"
                     " selection-background-color: %1; selection-color: %2; }"
                     "QComboBox QAbstractItemView { background-color: %1; color: %2;"
                     " selection-background-color: %3; }")
          .arg(ValueBackground.name(), pTextColor.name(), QColor(0x40, 0x40, 0x40).name()));
  pBox->setFont(Bold(pBox->font(), 0));
}

void ErrorBox(tRichEdit* pBox, int pPixelSize) {
  if (!pBox) return;
  QPalette pal = pBox->palette();
  SetAllGroups(pal, QPalette::Base, ErrorBackground);
  SetAllGroups(pal, QPalette::Text, ErrorText);
  pBox->setPalette(pal);
  pBox->setReadOnly(true);
  pBox->setFont(Bold(pBox->font(), pPixelSize));
  pBox->setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

QColor InfoGridBackground() {
  const QPalette pal = QApplication::palette();
  const QColor tip = pal.color(QPalette::ToolTipBase);
  return tip == pal.color(QPalette::Base) ? InfoBackground : tip;
}

void InfoGrid(QAbstractItemView* pGrid) {
  if (!pGrid) return;
  // The information grids are disabled (display only) but must read like enabled ones.
  QPalette pal = pGrid->palette();
  SetAllGroups(pal, QPalette::Base, InfoGridBackground());
  SetAllGroups(pal, QPalette::Text, pal.color(QPalette::Active, QPalette::ToolTipText));
  pGrid->setPalette(pal);
  pGrid->viewport()->setAutoFillBackground(true);
}

void BoldFont(QWidget* pWidget, int pPixelSize) {
  if (pWidget) pWidget->setFont(Bold(pWidget->font(), pPixelSize));
}

} // namespace Look
