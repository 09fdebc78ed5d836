#pragma once
// Building blocks both family pages are made of, so that a value panel, a unit box or a
// label looks and is named the same on either page.
#include <QColor>
#include <QRect>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;
class tCaptionPanel;

namespace PageParts {

// What a value panel shows while there is no value.
extern const QString NoValue;

QLabel* NewLabel(const QString& pName, const QString& pCaption, QWidget* pParent, int pLeft,
                 int pTop);
// A black value panel showing NoValue, with bold text in pTextColor.
tCaptionPanel* NewValuePanel(const QString& pName, QWidget* pParent, const QRect& pGeometry,
                             const QColor& pTextColor, int pPixelSize = 16);
// A unit drop-down in the value panels' colours, 81 pixels wide.
QComboBox* NewUnitBox(const QString& pName, QWidget* pParent, int pLeft, int pTop,
                      const QColor& pTextColor);
QGroupBox* NewGroup(const QString& pName, const QString& pCaption, QWidget* pParent,
                    const QRect& pGeometry);
QPushButton* NewButton(const QString& pName, const QString& pCaption, QWidget* pParent,
                       const QRect& pGeometry);

} // namespace PageParts
