#pragma once
// The look of the building blocks: black value panels with bold lime (pressure) or aqua
// (temperature) text, the red error box, the info-tip background of information grids.
// Colours are set so that Fusion and the desktop styles both honour them.
#include <QColor>

class QAbstractItemView;
class QComboBox;
class QWidget;
class tCaptionPanel;
class tRichEdit;

namespace Look {

inline const QColor ValueBackground{0, 0, 0};
inline const QColor PressureText{0, 255, 0};
inline const QColor TemperatureText{0, 255, 255};
inline const QColor ErrorBackground{255, 0, 0};
inline const QColor ErrorText{0, 0, 0};
// The tooltip yellow of the classic desktop, used where the palette's own is not distinct.
inline const QColor InfoBackground{255, 255, 225};

// Black panel with bold text of pPixelSize pixels in pTextColor.
void ValuePanel(tCaptionPanel* pPanel, const QColor& pTextColor = PressureText,
                int pPixelSize = 16);
// Drop-down list in the value-panel colours (the pages' unit boxes).
void ValueComboBox(QComboBox* pBox, const QColor& pTextColor = PressureText);
// Read-only box with red background and bold text of pPixelSize pixels.
void ErrorBox(tRichEdit* pBox, int pPixelSize = 13);
// Background of the information grids: the tooltip colour.
void InfoGrid(QAbstractItemView* pGrid);
QColor InfoGridBackground();
// Bold font of pPixelSize pixels on pWidget (ButtonConnect and the panels).
void BoldFont(QWidget* pWidget, int pPixelSize);

} // namespace Look
