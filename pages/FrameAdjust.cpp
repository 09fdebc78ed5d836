#include "pages/FrameAdjust.h"

#include "core/Utils.h"

#include <QEvent>

// Interim build: the public surface only, so that the pages embedding the panel compile.
// The controls follow as soon as the UI building blocks are in.

TFrameAdjust::TFrameAdjust(QWidget* AOwner) : QWidget(AOwner) {
  setObjectName(QStringLiteral("FrameAdjust"));
}

TFrameAdjust::~TFrameAdjust() {
  if (FDeviceInfo) FDeviceInfo->DeleteEvent(tNotifyEvent(this, &TFrameAdjust::InfoChanged));
}

void TFrameAdjust::SetDeviceInfo(tDeviceInfo* pDeviceInfo) {
  if (FDeviceInfo) throw eError(QStringLiteral("DeviceInfo wurde bereits zugewisen!"));
  FDeviceInfo = pDeviceInfo;
  if (FDeviceInfo) FDeviceInfo->AddEvent(tNotifyEvent(this, &TFrameAdjust::InfoChanged));
}

void TFrameAdjust::SetDeviceStatus(tDeviceStatus pValue) {
  if (pValue == FDeviceStatus) return;
  FDeviceStatus = pValue;
  if (FOnDeviceStatusChanged) FOnDeviceStatusChanged(pValue);
}

void TFrameAdjust::SetClock(tClock pClock) {
  mClock = std::move(pClock);
}
int TFrameAdjust::IncButtonTag() const {
  return 1;
}
int TFrameAdjust::DecButtonTag() const {
  return 1;
}
bool TFrameAdjust::eventFilter(QObject* pWatched, QEvent* pEvent) {
  return QWidget::eventFilter(pWatched, pEvent);
}
void TFrameAdjust::InfoChanged(tDeviceInfo*) {}
