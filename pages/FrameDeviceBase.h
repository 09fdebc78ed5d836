#pragma once
// The whole contract between a device frame and a family page: the frame knows pages only
// through this base.
#include "core/DeviceInfo.h"

#include <QWidget>
#include <functional>
#include <memory>

class iComPort;

class TFrameDeviceBase : public QWidget {
  Q_OBJECT
public:
  // Called when the instrument stopped answering and the page has disconnected itself.
  using tTimeOutEvent = std::function<void(QObject* Sender)>;

  explicit TFrameDeviceBase(QWidget* AOwner = nullptr);
  ~TFrameDeviceBase() override;

  // True while the family's protocol stack exists. Writing true builds the stack on the port
  // handed over by Initialize and reads the instrument; writing false releases the stack,
  // which closes and releases the port.
  virtual bool Connected() const = 0;
  virtual void SetConnected(bool pValue) = 0;

  tDeviceStatus DeviceStatus() const { return FDeviceStatus; }
  // Does nothing for an unchanged value; otherwise updates the page and reports the value
  // through OnDeviceStatusChanged.
  virtual void SetDeviceStatus(tDeviceStatus pValue) = 0;

  // Only takes the open port over; no communication yet. The page owns the port until its
  // protocol stack takes it when connecting.
  virtual void Initialize(std::unique_ptr<iComPort> pCom) = 0;
  // Brings the tab that belongs to the current status to the front.
  virtual void GotoDeviceStatus() = 0;

  const tDeviceStatusChangedEvent& OnDeviceStatusChanged() const { return FOnDeviceStatusChanged; }
  void SetOnDeviceStatusChanged(tDeviceStatusChangedEvent pHandler) {
    FOnDeviceStatusChanged = std::move(pHandler);
  }
  const tTimeOutEvent& OnTimeOut() const { return FOnTimeOut; }
  void SetOnTimeOut(tTimeOutEvent pHandler) { FOnTimeOut = std::move(pHandler); }

protected:
  tDeviceStatus FDeviceStatus = dsDisconnected;
  tDeviceStatusChangedEvent FOnDeviceStatusChanged;
  tTimeOutEvent FOnTimeOut;
};
