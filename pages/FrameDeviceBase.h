#pragma once
// The whole contract between a device frame and a family page: the frame knows pages only
// through this base.
#include "core/DeviceInfo.h"
#include "core/NestedLoop.h"

#include <QWidget>
#include <functional>
#include <memory>

class iComPort;
class QLabel;
class QTabWidget;

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
  void GotoDeviceStatus();
  // Whether the instrument offers its communication settings (the Settings tab is shown).
  bool SettingsTabVisible() const;
  // The instrument is being removed: end the traffic (a memory write still finishes), close
  // the port and show no more messages. The page is destroyed later, with its frame.
  virtual void Release() = 0;

  const tDeviceStatusChangedEvent& OnDeviceStatusChanged() const { return FOnDeviceStatusChanged; }
  void SetOnDeviceStatusChanged(tDeviceStatusChangedEvent pHandler) {
    FOnDeviceStatusChanged = std::move(pHandler);
  }
  const tTimeOutEvent& OnTimeOut() const { return FOnTimeOut; }
  void SetOnTimeOut(tTimeOutEvent pHandler) { FOnTimeOut = std::move(pHandler); }

  // The tabs both pages have, named as the localisation engine keys them.
  QTabWidget* PageControl = nullptr;
  QWidget* TabSheetInfo = nullptr;
  QWidget* TabSheetJustage = nullptr;
  QWidget* TabSheetSettings = nullptr;

protected:
  // Follows the tab shown: the factory pressure is asked for only on the adjustment tab.
  virtual void PageControlChange() = 0;
  // A line under the live values that counts the replies spoilt on the line, so a noisy
  // cable shows without interrupting anyone; hidden while there are none.
  void BuildBadRepliesLabel(QWidget* pParent, const QRect& pGeometry);
  void ShowBadReplies(quint32 pCount);
  // Messages are not shown any more once the instrument is being removed.
  bool Released() const { return mReleased; }
  // Ends a protocol stack's traffic at once (its waits fail, its port closes) and destroys it
  // once none of its waits or timer calls is running: a page may let go of its stack from
  // inside the stack's own read or time-out.
  template <class tIfc> static void DisposeInterface(std::unique_ptr<tIfc>& pIfc) {
    if (!pIfc) return;
    pIfc->SetOnNewValue({});
    pIfc->SetOnTimeOut({});
    pIfc->Abort();
    DisposeWhenUnwound([lIfc = pIfc.release()] { delete lIfc; });
  }

  QLabel* LabelBadReplies = nullptr;
  bool mReleased = false;
  tDeviceStatus FDeviceStatus = dsDisconnected;
  tDeviceStatusChangedEvent FOnDeviceStatusChanged;
  tTimeOutEvent FOnTimeOut;
};
