#include "pages/PageParts.h"

#include "widgets/CaptionPanel.h"
#include "widgets/Look.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace PageParts {

const QString NoValue = QStringLiteral("- - -");

QLabel* NewLabel(const QString& pName, const QString& pCaption, QWidget* pParent, int pLeft,
                 int pTop) {
  auto* lLabel = new QLabel(pCaption, pParent);
  lLabel->setObjectName(pName);
  lLabel->move(pLeft, pTop);
  return lLabel;
}

tCaptionPanel* NewValuePanel(const QString& pName, QWidget* pParent, const QRect& pGeometry,
                             const QColor& pTextColor, int pPixelSize) {
  auto* lPanel = new tCaptionPanel(NoValue, pParent);
  lPanel->setObjectName(pName);
  lPanel->setGeometry(pGeometry);
  Look::ValuePanel(lPanel, pTextColor, pPixelSize);
  return lPanel;
}

QComboBox* NewUnitBox(const QString& pName, QWidget* pParent, int pLeft, int pTop,
                      const QColor& pTextColor) {
  auto* lBox = new QComboBox(pParent);
  lBox->setObjectName(pName);
  lBox->setGeometry(pLeft, pTop, 81, lBox->sizeHint().height());
  Look::ValueComboBox(lBox, pTextColor);
  return lBox;
}

QGroupBox* NewGroup(const QString& pName, const QString& pCaption, QWidget* pParent,
                    const QRect& pGeometry) {
  auto* lGroup = new QGroupBox(pCaption, pParent);
  lGroup->setObjectName(pName);
  lGroup->setGeometry(pGeometry);
  return lGroup;
}

QPushButton* NewButton(const QString& pName, const QString& pCaption, QWidget* pParent,
                       const QRect& pGeometry) {
  auto* lButton = new QPushButton(pCaption, pParent);
  lButton->setObjectName(pName);
  lButton->setGeometry(pGeometry);
  return lButton;
}

} // namespace PageParts
