#include "pages/FrameDeviceBase.h"

#include "i18n/Resources.h"

#include <QLabel>
#include <QTabWidget>

TFrameDeviceBase::TFrameDeviceBase(QWidget* AOwner) : QWidget(AOwner) {}

TFrameDeviceBase::~TFrameDeviceBase() = default;

void TFrameDeviceBase::BuildBadRepliesLabel(QWidget* pParent, const QRect& pGeometry) {
  // Built after the form has registered with the localisation engine: its text is composed
  // here, in the current language, each time it is shown.
  LabelBadReplies = new QLabel(pParent);
  LabelBadReplies->setObjectName(QStringLiteral("LabelBadReplies"));
  LabelBadReplies->setGeometry(pGeometry);
  LabelBadReplies->hide();
}

void TFrameDeviceBase::ShowBadReplies(quint32 pCount) {
  if (!LabelBadReplies) return;
  LabelBadReplies->setVisible(pCount > 0);
  if (pCount == 0) return;
  QString lText = Resources().CatalogueText(236);
  lText.replace(QStringLiteral("%d"), QString::number(pCount));
  if (LabelBadReplies->text() != lText) LabelBadReplies->setText(lText);
}

bool TFrameDeviceBase::SettingsTabVisible() const {
  return PageControl->isTabVisible(PageControl->indexOf(TabSheetSettings));
}

void TFrameDeviceBase::GotoDeviceStatus() {
  switch (FDeviceStatus) {
  case dsConnected:
  case dsInternalError:
    PageControl->setCurrentWidget(TabSheetInfo);
    break;
  case dsAdjusting:
    PageControl->setCurrentWidget(TabSheetJustage);
    break;
  case dsProgramming:
    if (SettingsTabVisible()) PageControl->setCurrentWidget(TabSheetSettings);
    break;
  default:
    break;
  }
  PageControlChange();
}
