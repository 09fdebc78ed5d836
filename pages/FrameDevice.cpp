#include "pages/FrameDevice.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

// Interface stage: the search itself follows once the port, the pages and the localisation
// engine are in place.
namespace {
tComPortFactory& PortFactory() {
  static tComPortFactory lFactory;
  return lFactory;
}
} // namespace

void TFrameDevice::SetComPortFactory(tComPortFactory pFactory) { PortFactory() = std::move(pFactory); }
tComPortFactory TFrameDevice::ComPortFactory() { return PortFactory(); }
QString TFrameDevice::OutText(int) { return {}; }

TFrameDevice::TFrameDevice(QWidget* AOwner) : QWidget(AOwner) {
  ButtonConnect = new QPushButton("Verbinden", this);
  ButtonConnect->setObjectName("ButtonConnect");
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->hide();
  TimerConnecting = new QTimer(this);
  TimerConnecting->setInterval(10);
  FDeviceInfo = std::make_unique<tDeviceInfo>();
}

TFrameDevice::~TFrameDevice() = default;

void TFrameDevice::Initialize(int pComNr) {
  FDeviceInfo->SetComNr(pComNr);
  ProgressBar->setMaximum(5100);
}
void TFrameDevice::Connect() {}
void TFrameDevice::Disconnect() {}
void TFrameDevice::GotoDeviceStatus() {}
void TFrameDevice::SetDeviceStatus(tDeviceStatus pValue) {
  if (pValue == FDeviceStatus) return;
  FDeviceStatus = pValue;
  ButtonConnect->setEnabled(pValue == dsDisconnected);
  ProgressBar->setVisible(pValue == dsConnecting);
  if (FOnDeviceStatusChanged) FOnDeviceStatusChanged(pValue);
}
void TFrameDevice::resizeEvent(QResizeEvent* pEvent) { QWidget::resizeEvent(pEvent); }
void TFrameDevice::BitBtnConnectClick() {}
void TFrameDevice::TimerConnectingTimer() {}
void TFrameDevice::ComPortTriggerAvail(iComPort*, quint16) {}
QByteArray TFrameDevice::SendProbe(bool, const QByteArray&, const QByteArray&, int) { return {}; }
bool TFrameDevice::ProbeR7x(int, bool) { return false; }
bool TFrameDevice::ProbeK40() { return false; }
void TFrameDevice::HandOver() {}
void TFrameDevice::StopSearch() {}
void TFrameDevice::ShowConnectError(const QString&) {}
void TFrameDevice::PageDeviceStatusChanged(tDeviceStatus) {}
void TFrameDevice::PageTimeOut(QObject*) {}
void TFrameDevice::RichEditTransOutTextChange() {}
void TFrameDevice::ReleasePage() {}
void TFrameDevice::InstallTimerHandler() {}
void TFrameDevice::DetachTimerHandler() {}
bool TFrameDevice::SearchCancelled(quint64) const { return true; }
