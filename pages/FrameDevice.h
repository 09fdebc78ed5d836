#pragma once
// One instrument slot: owns the slot's device record, opens the port, finds out which
// instrument family answers on it and hands the open port to that family's page.
#include "core/DeviceInfo.h"
#include "pages/FrameDeviceBase.h"
#include "serial/ComPortIntf.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <memory>

class QPushButton;
class QProgressBar;
class QTimer;
class TFrameDeviceBase;
class tRichEdit;
class tTrafficLog;
struct tTrafficContext;

class TFrameDevice : public QWidget {
  Q_OBJECT
public:
  explicit TFrameDevice(QWidget* AOwner = nullptr);
  ~TFrameDevice() override;

  // Port factory used by every connection attempt; tests install one that hands out
  // simulated ports. An empty factory restores the real serial port.
  static void SetComPortFactory(tComPortFactory pFactory);
  static tComPortFactory ComPortFactory();

  // Binds the frame to COM<pComNr> and finds out whether that port belongs to one of the
  // maker's USB bridges (searched for R7x-protocol instruments only).
  void Initialize(int pComNr);
  void Connect();
  void Disconnect();
  // Removes the instrument: ends the search or the page's traffic without a message,
  // releases the port and hides the frame, which destroys itself once no wait of its own is
  // on the stack any more. The frame must not be used after this call.
  void Release();
  // A double click on the device: connect when disconnected, else show the busy page's tab.
  void GotoDeviceStatus();

  tDeviceInfo* DeviceInfo() const { return FDeviceInfo.get(); }
  tDeviceStatus DeviceStatus() const { return FDeviceStatus; }
  void SetDeviceStatus(tDeviceStatus pValue);
  const tDeviceStatusChangedEvent& OnDeviceStatusChanged() const { return FOnDeviceStatusChanged; }
  void SetOnDeviceStatusChanged(tDeviceStatusChangedEvent pHandler) {
    FOnDeviceStatusChanged = std::move(pHandler);
  }

  // The family page of the last successful search, none before.
  TFrameDeviceBase* Page() const { return mFrameDeviceBase; }
  bool IncludeK40() const { return mIncludeK40; }
  // Everything that went over this row's line, across its connection attempts.
  const std::shared_ptr<tTrafficLog>& TrafficLog() const { return mTraffic; }
  bool IsVQ5() const { return mIsVQ5; }

  // The shared message texts (messages 102 to 106 in the current language).
  static QString OutText(int pIndex);
  // Why a device may not be opened and what to do, in the current language.
  static QString NoPermissionText(const QString& pGroup, bool pInGroup);

  QPushButton* ButtonConnect = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QTimer* TimerConnecting = nullptr;
  tRichEdit* RichEditTransOutText = nullptr;

protected:
  void resizeEvent(QResizeEvent* pEvent) override;
  // The frame fills its parent, as a panel aligned to the client area does.
  bool event(QEvent* pEvent) override;
  bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
  void BitBtnConnectClick();
  void TimerConnectingTimer();
  void ComPortTriggerAvail(iComPort* CP, quint16 Count);
  QByteArray SendProbe(bool pAutoBaud, const QByteArray& pRequest, const QByteArray& pExpectedStart,
                       int pDataLength);
  bool ProbeR7x(int pBaud, bool pAutoBaud, int pTry);
  bool ProbeK40();
  // Tells the traffic log what the next frames belong to.
  void NoteProbe(int pTry, bool pK40);
  void HandOver();
  void StopSearch();
  void ShowConnectError(const QString& pDetail);
  // Message 102 for this port, with pDetail (or "!") after it.
  QString ConnectErrorText(const QString& pDetail) const;
  void PageDeviceStatusChanged(tDeviceStatus pDeviceStatus);
  void PageTimeOut(QObject* Sender);
  void ReleasePage();
  void InstallTimerHandler();
  void DetachTimerHandler();
  // True once the search of connection attempt pGeneration is to end.
  bool SearchCancelled(quint64 pGeneration) const;

  std::unique_ptr<tDeviceInfo> FDeviceInfo;
  tDeviceStatus FDeviceStatus = dsDisconnected;
  tDeviceStatusChangedEvent FOnDeviceStatusChanged;
  std::unique_ptr<iComPort> mCOM;
  // Kept by the row, not by a port, so that the traffic of earlier attempts stays visible;
  // shared with the ports that record into it, which may outlive the frame by a moment.
  std::shared_ptr<tTrafficLog> mTraffic;
  int mSearchCycle = 0;
  QByteArray mReceived;
  QElapsedTimer mStartTime;
  bool mAbortConnecting = true;
  TFrameDeviceBase* mFrameDeviceBase = nullptr;
  bool mIncludeK40 = true;
  bool mIsVQ5 = false;
  bool mInTick = false;
  bool mReleased = false;
  // Counts connection attempts, so that a tick still waiting inside an older attempt notices
  // that a new one has started.
  quint64 mConnectGeneration = 0;
  QMetaObject::Connection mTimerHandler;
  QWidget* mFilledParent = nullptr;
};
