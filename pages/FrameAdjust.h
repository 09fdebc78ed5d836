#pragma once
// Zero-point and span adjustment panel embedded by both family pages. It knows no protocol:
// every action goes to OnAdjustAction, every status it wants to the page's handler.
#include "core/DeviceInfo.h"
#include "core/Types.h"
#include "i18n/MessageSlots.h"

#include <QIcon>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QRadioButton;
class QTimer;
class tBitButton;
class tRichEdit;

class TFrameAdjust : public QWidget {
  Q_OBJECT
public:
  // Source of the current date-time; replaceable so that tests can hold the buttons for
  // seconds without waiting.
  using tClock = std::function<tDateTime()>;

  explicit TFrameAdjust(QWidget* AOwner = nullptr);
  ~TFrameAdjust() override;

  tDeviceInfo* DeviceInfo() const { return FDeviceInfo; }
  // Assignable once; raises eError "DeviceInfo wurde bereits zugewisen!" on a second record.
  void SetDeviceInfo(tDeviceInfo* pDeviceInfo);

  // True: steps of 10 after 3 s and of 100 after 6 s of holding (R70 page). False: after
  // 39 and 79 steps (K40 page).
  bool IncModeTimer() const { return FIncModeTimer; }
  void SetIncModeTimer(bool pValue) { FIncModeTimer = pValue; }

  tDeviceStatus DeviceStatus() const { return FDeviceStatus; }
  void SetDeviceStatus(tDeviceStatus pValue);

  const tAdjustActionEvent& OnAdjustAction() const { return FOnAdjustAction; }
  void SetOnAdjustAction(tAdjustActionEvent pHandler) { FOnAdjustAction = std::move(pHandler); }
  const tDeviceStatusChangedEvent& OnDeviceStatusChanged() const { return FOnDeviceStatusChanged; }
  void SetOnDeviceStatusChanged(tDeviceStatusChangedEvent pHandler) {
    FOnDeviceStatusChanged = std::move(pHandler);
  }

  void SetClock(tClock pClock);
  // The instrument is being removed: no more stepping and no more messages.
  void Release();

  // The step size whose picture an arrow button shows (1, 10 or 100).
  int IncButtonTag() const;
  int DecButtonTag() const;

protected:
  bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
  struct tStepImage {
    QIcon Picture;
    int Tag;
  };

  void BuildComponents();
  void DoAdjustAction(tAdjustAction pAction);
  void EnableForStatus();
  void EnableAll(bool pEnabled);
  void StartIncDec(tBitButton* pButton);
  void StopIncDec();
  void TimerIncDecTimer();
  void SetStepGlyph(tBitButton* pButton, const tStepImage& pImage);
  void InfoChanged(tDeviceInfo* pSender);
  void ShowAdjustDate();
  void RichEditTransOutTextChange();
  void BitBtnAdjustClick();
  void BitBtnOKClick();
  void BitBtnCancelClick();
  void BitBtnFactoryResetClick();
  tToAdjust Target() const;
  tDateTime Now() const;

  QLabel* LabelDateAdjustment = nullptr;
  QGroupBox* GroupBoxJustage = nullptr;
  QRadioButton* RadioButtonZero = nullptr;
  QRadioButton* RadioButtonSpan = nullptr;
  tBitButton* BitBtnAdjust = nullptr;
  QLabel* LabelAdjustButtons = nullptr;
  tBitButton* BitBtnInc = nullptr;
  tBitButton* BitBtnDec = nullptr;
  tBitButton* BitBtnOK = nullptr;
  tBitButton* BitBtnCancel = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  tBitButton* BitBtnFactoryReset = nullptr;
  tStepImage ImageInc1, ImageInc10, ImageInc100, ImageDec1, ImageDec10, ImageDec100;
  QTimer* TimerIncDec = nullptr;
  tRichEdit* RichEditTransOutText = nullptr;

  // Texts of messages 409, 410 and 411, German until the first translation.
  tMessageSlots mOutText{QStringLiteral("Soll die Werkseinstellung wiederhergestellt werden?"),
                         QStringLiteral("Justagedatum"),
                         QStringLiteral("Die maximale Verstellung wurde erreicht!")};

  tDeviceInfo* FDeviceInfo = nullptr;
  bool FIncModeTimer = false;
  tDeviceStatus FDeviceStatus = dsDisconnected;
  bool mReleased = false;
  tAdjustActionEvent FOnAdjustAction;
  tDeviceStatusChangedEvent FOnDeviceStatusChanged;
  tClock mClock;
  int mCntIncDec = 0;
  bool mDoInc = false;
  tDateTime mStartTimeKey = 0;
  bool mTimerOn = false;
};
