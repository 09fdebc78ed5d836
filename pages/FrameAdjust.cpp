#include "pages/FrameAdjust.h"

#include "core/Clock.h"
#include "core/Utils.h"
#include "widgets/BitButton.h"
#include "widgets/DialogService.h"
#include "i18n/Resources.h"
#include "widgets/RichEdit.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>

namespace {

const char* const TagProperty = "Tag";

QIcon Picture(const char* pName) {
  return QIcon(QStringLiteral(":/images/") + pName);
}

} // namespace

TFrameAdjust::TFrameAdjust(QWidget* AOwner) : QWidget(AOwner) {
  setObjectName(QStringLiteral("FrameAdjust"));
  BuildComponents();
  EnableForStatus();
  CheckTranslationLines(*RichEditTransOutText, 3);
  Resources().AddForm(this);
}

TFrameAdjust::~TFrameAdjust() {
  TimerIncDec->stop();
  if (Resources().IsRegistered(this)) Resources().DeleteForm(this);
  // The record outlives the page: later changes must not reach this panel.
  if (FDeviceInfo) FDeviceInfo->DeleteEvent(tNotifyEvent(this, &TFrameAdjust::InfoChanged));
}

void TFrameAdjust::BuildComponents() {
  resize(451, 304);

  LabelDateAdjustment = new QLabel(this);
  LabelDateAdjustment->setObjectName(QStringLiteral("LabelDateAdjustment"));
  LabelDateAdjustment->move(4, 4);
  LabelDateAdjustment->setMinimumWidth(177);

  GroupBoxJustage = new QGroupBox(QStringLiteral("401@Justage "), this);
  GroupBoxJustage->setObjectName(QStringLiteral("GroupBoxJustage"));
  GroupBoxJustage->setGeometry(0, 28, 181, 241);

  RadioButtonZero = new QRadioButton(QStringLiteral("402@Nullpunkt"), GroupBoxJustage);
  RadioButtonZero->setObjectName(QStringLiteral("RadioButtonZero"));
  RadioButtonZero->setGeometry(8, 20, 72, 19);
  RadioButtonZero->setChecked(true);

  RadioButtonSpan = new QRadioButton(QStringLiteral("403@Spanne"), GroupBoxJustage);
  RadioButtonSpan->setObjectName(QStringLiteral("RadioButtonSpan"));
  RadioButtonSpan->setGeometry(88, 20, 81, 19);

  BitBtnAdjust = new tBitButton(QStringLiteral("404@&Justieren"), GroupBoxJustage);
  BitBtnAdjust->setObjectName(QStringLiteral("BitBtnAdjust"));
  BitBtnAdjust->setGeometry(16, 44, 149, 29);
  BitBtnAdjust->SetGlyph(Picture("adjust_start.svg"));

  LabelAdjustButtons = new QLabel(QStringLiteral("413@Verstelltasten"), GroupBoxJustage);
  LabelAdjustButtons->setObjectName(QStringLiteral("LabelAdjustButtons"));
  LabelAdjustButtons->move(0, 84);

  ImageInc1 = {Picture("adjust_inc1.svg"), 1};
  ImageInc10 = {Picture("adjust_inc10.svg"), 10};
  ImageInc100 = {Picture("adjust_inc100.svg"), 100};
  ImageDec1 = {Picture("adjust_dec1.svg"), 1};
  ImageDec10 = {Picture("adjust_dec10.svg"), 10};
  ImageDec100 = {Picture("adjust_dec100.svg"), 100};

  BitBtnInc = new tBitButton(QStringLiteral("412@"), GroupBoxJustage);
  BitBtnInc->setObjectName(QStringLiteral("BitBtnInc"));
  BitBtnInc->setGeometry(40, 104, 45, 45);
  BitBtnDec = new tBitButton(QStringLiteral("412@"), GroupBoxJustage);
  BitBtnDec->setObjectName(QStringLiteral("BitBtnDec"));
  BitBtnDec->setGeometry(96, 104, 45, 45);
  for (auto [lButton, lImage] :
       {std::pair{BitBtnInc, &ImageInc1}, std::pair{BitBtnDec, &ImageDec1}}) {
    lButton->setIconSize(QSize(32, 32));
    lButton->SetGlyph(lImage->Picture);
    lButton->setProperty(TagProperty, lImage->Tag);
    lButton->setAutoDefault(false);
    lButton->installEventFilter(this);
  }

  BitBtnOK = new tBitButton(QStringLiteral("405@&Übernehmen"), GroupBoxJustage);
  BitBtnOK->setObjectName(QStringLiteral("BitBtnOK"));
  BitBtnOK->setGeometry(16, 164, 149, 29);
  BitBtnOK->SetGlyph(Picture("adjust_ok.svg"));

  BitBtnCancel = new tBitButton(QStringLiteral("406@&Abbrechen"), GroupBoxJustage);
  BitBtnCancel->setObjectName(QStringLiteral("BitBtnCancel"));
  BitBtnCancel->setGeometry(16, 200, 149, 29);
  BitBtnCancel->SetGlyph(Picture("adjust_cancel.svg"));

  GroupBox2 = new QGroupBox(QStringLiteral("407@Werkseinstellung "), this);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  GroupBox2->setGeometry(0, 276, 181, 57);

  BitBtnFactoryReset = new tBitButton(QStringLiteral("408@&Widerherstellen"), GroupBox2);
  BitBtnFactoryReset->setObjectName(QStringLiteral("BitBtnFactoryReset"));
  BitBtnFactoryReset->setGeometry(16, 20, 149, 29);
  BitBtnFactoryReset->SetGlyph(Picture("adjust_retry.svg"));

  for (tBitButton* lButton : {BitBtnAdjust, BitBtnOK, BitBtnCancel, BitBtnFactoryReset}) {
    lButton->setIconSize(QSize(20, 20));
  }
  connect(BitBtnAdjust, &QPushButton::clicked, this, [this] { BitBtnAdjustClick(); });
  connect(BitBtnOK, &QPushButton::clicked, this, [this] { BitBtnOKClick(); });
  connect(BitBtnCancel, &QPushButton::clicked, this, [this] { BitBtnCancelClick(); });
  connect(BitBtnFactoryReset, &QPushButton::clicked, this, [this] { BitBtnFactoryResetClick(); });

  TimerIncDec = new QTimer(this);
  TimerIncDec->setObjectName(QStringLiteral("TimerIncDec"));
  TimerIncDec->setInterval(100);
  TimerIncDec->setSingleShot(false);
  connect(TimerIncDec, &QTimer::timeout, this, [this] { TimerIncDecTimer(); });

  RichEditTransOutText = new tRichEdit(
      QStringList{QStringLiteral("409@Soll die Werkseinstellung wiederhergestellt werden?"),
                  QStringLiteral("410@Justagedatum"),
                  QStringLiteral("411@Die maximale Verstellung wurde erreicht!")},
      this);
  RichEditTransOutText->setObjectName(QStringLiteral("RichEditTransOutText"));
  RichEditTransOutText->setEnabled(false);
  RichEditTransOutText->SetOnChange([this] { RichEditTransOutTextChange(); });
}

void TFrameAdjust::SetDeviceInfo(tDeviceInfo* pDeviceInfo) {
  if (FDeviceInfo) throw eError(QStringLiteral("DeviceInfo wurde bereits zugewisen!"));
  FDeviceInfo = pDeviceInfo;
  if (FDeviceInfo) FDeviceInfo->AddEvent(tNotifyEvent(this, &TFrameAdjust::InfoChanged));
}

void TFrameAdjust::SetClock(tClock pClock) {
  mClock = std::move(pClock);
}

int TFrameAdjust::IncButtonTag() const {
  return BitBtnInc->property(TagProperty).toInt();
}
int TFrameAdjust::DecButtonTag() const {
  return BitBtnDec->property(TagProperty).toInt();
}

tDateTime TFrameAdjust::Now() const {
  // How long a key is held is a duration: a wall-clock step must not change the step size.
  return mClock ? mClock() : MonotonicDays();
}

tToAdjust TFrameAdjust::Target() const {
  return RadioButtonZero->isChecked() ? taNp : taSp;
}

void TFrameAdjust::SetDeviceStatus(tDeviceStatus pValue) {
  BitBtnInc->SetCaption(QString());
  BitBtnDec->SetCaption(QString());
  if (pValue == FDeviceStatus) return;
  FDeviceStatus = pValue;
  // Holding an arrow must not keep stepping once the page has left the adjustment (a
  // time-out, a disconnect): the disabled button would never see its release.
  if (FDeviceStatus != dsAdjusting && mTimerOn) StopIncDec();
  EnableForStatus();
  if (FOnDeviceStatusChanged) FOnDeviceStatusChanged(pValue);
}

void TFrameAdjust::EnableForStatus() {
  const bool lConnected = FDeviceStatus == dsConnected;
  const bool lAdjusting = FDeviceStatus == dsAdjusting;
  RadioButtonZero->setEnabled(lConnected);
  RadioButtonSpan->setEnabled(lConnected);
  BitBtnAdjust->setEnabled(lConnected);
  BitBtnFactoryReset->setEnabled(lConnected);
  BitBtnOK->setEnabled(lAdjusting);
  BitBtnCancel->setEnabled(lAdjusting);
  BitBtnInc->setEnabled(lAdjusting);
  BitBtnDec->setEnabled(lAdjusting);
  LabelAdjustButtons->setEnabled(lAdjusting);
}

void TFrameAdjust::EnableAll(bool pEnabled) {
  for (QWidget* lControl : std::initializer_list<QWidget*>{
           RadioButtonZero, RadioButtonSpan, BitBtnAdjust, BitBtnOK, BitBtnCancel, BitBtnInc,
           BitBtnDec, LabelAdjustButtons, BitBtnFactoryReset}) {
    lControl->setEnabled(pEnabled);
  }
}

void TFrameAdjust::Release() {
  mReleased = true;
  StopIncDec();
}

void TFrameAdjust::DoAdjustAction(tAdjustAction pAction) {
  if (mReleased) return;
  if (!FOnAdjustAction) throw eError(QStringLiteral("Nichts zugewiesen!"));
  const bool lIsStep = pAction >= aaInc1 && pAction <= aaDec100;
  if (!lIsStep) EnableAll(false);
  if (!FOnAdjustAction(Target(), pAction)) {
    StopIncDec();
    if (!mReleased) Dialogs().Warning(mOutText[2], this);
    return;
  }
  EnableForStatus();
}

void TFrameAdjust::BitBtnAdjustClick() {
  SetDeviceStatus(dsAdjusting);
  DoAdjustAction(aaOn);
}

void TFrameAdjust::BitBtnOKClick() {
  DoAdjustAction(aaOK);
  SetDeviceStatus(dsConnected);
}

void TFrameAdjust::BitBtnCancelClick() {
  DoAdjustAction(aaCancel);
  SetDeviceStatus(dsConnected);
}

void TFrameAdjust::BitBtnFactoryResetClick() {
  if (!FOnAdjustAction) throw eError(QStringLiteral("Nichts zugewiesen!"));
  if (!Dialogs().Question(mOutText[0], mbYesNo, this)) return;
  // Zero before span, whichever is selected: the span restore relies on the restored zero.
  FOnAdjustAction(taNp, aaFactoryReset);
  FOnAdjustAction(taSp, aaFactoryReset);
}

bool TFrameAdjust::eventFilter(QObject* pWatched, QEvent* pEvent) {
  auto* lButton = qobject_cast<tBitButton*>(pWatched);
  if (lButton && (lButton == BitBtnInc || lButton == BitBtnDec)) {
    switch (pEvent->type()) {
    case QEvent::MouseButtonPress:
    // A quick second press arrives as a double-click; it holds the button all the same.
    case QEvent::MouseButtonDblClick:
      if (static_cast<QMouseEvent*>(pEvent)->button() == Qt::LeftButton) StartIncDec(lButton);
      break;
    case QEvent::MouseButtonRelease:
      StopIncDec();
      break;
    case QEvent::KeyPress: {
      // Auto-repeat presses arrive while the key is held; only the first one starts.
      auto* lKey = static_cast<QKeyEvent*>(pEvent);
      if (lKey->key() == Qt::Key_Space && !lKey->isAutoRepeat() && !mTimerOn &&
          !TimerIncDec->isActive()) {
        StartIncDec(lButton);
      }
      break;
    }
    case QEvent::KeyRelease:
      // Auto-repeat sends a release before every repeated press; the key is still held.
      if (!static_cast<QKeyEvent*>(pEvent)->isAutoRepeat()) StopIncDec();
      break;
    default:
      break;
    }
  }
  return QWidget::eventFilter(pWatched, pEvent);
}

void TFrameAdjust::StartIncDec(tBitButton* pButton) {
  mCntIncDec = 0;
  mDoInc = pButton == BitBtnInc;
  mStartTimeKey = Now();
  TimerIncDec->start();
  mTimerOn = true;
}

void TFrameAdjust::StopIncDec() {
  TimerIncDec->stop();
  mTimerOn = false;
  SetStepGlyph(BitBtnInc, ImageInc1);
  SetStepGlyph(BitBtnDec, ImageDec1);
}

void TFrameAdjust::TimerIncDecTimer() {
  // Stopped while the step runs: the handler talks to the instrument and pumps events, so a
  // tick meanwhile would start a second step on top of the first.
  TimerIncDec->stop();
  int lStep = 1;
  if (FIncModeTimer) {
    const tDateTime lHeld = Now() - mStartTimeKey;
    if (lHeld > SecToDateTime(3)) lStep = 10;
    if (lHeld > SecToDateTime(6)) lStep = 100;
  } else {
    ++mCntIncDec;
    lStep = mCntIncDec < 40 ? 1 : mCntIncDec < 80 ? 10 : 100;
  }
  tAdjustAction lAction;
  const tStepImage* lImage;
  switch (lStep) {
  case 1:
    lAction = mDoInc ? aaInc1 : aaDec1;
    lImage = mDoInc ? &ImageInc1 : &ImageDec1;
    break;
  case 10:
    lAction = mDoInc ? aaInc10 : aaDec10;
    lImage = mDoInc ? &ImageInc10 : &ImageDec10;
    break;
  case 100:
    lAction = mDoInc ? aaInc100 : aaDec100;
    lImage = mDoInc ? &ImageInc100 : &ImageDec100;
    break;
  default:
    throw eError(QStringLiteral("Unerlaubter Wert für Justage!"));
  }
  SetStepGlyph(mDoInc ? BitBtnInc : BitBtnDec, *lImage);
  try {
    DoAdjustAction(lAction);
  } catch (...) {
    StopIncDec();
    throw;
  }
  if (mTimerOn) TimerIncDec->start();
}

void TFrameAdjust::SetStepGlyph(tBitButton* pButton, const tStepImage& pImage) {
  if (pButton->property(TagProperty).toInt() == pImage.Tag) return;
  pButton->setProperty(TagProperty, pImage.Tag);
  pButton->SetGlyph(pImage.Picture);
}

void TFrameAdjust::InfoChanged(tDeviceInfo* pSender) {
  if (pSender == FDeviceInfo) ShowAdjustDate();
}

void TFrameAdjust::ShowAdjustDate() {
  LabelDateAdjustment->setText(mOutText[1] + QLatin1Char(' ') + FDeviceInfo->LastCalib());
  LabelDateAdjustment->adjustSize();
}

void TFrameAdjust::RichEditTransOutTextChange() {
  mOutText.Take(*RichEditTransOutText);
  if (FDeviceInfo) ShowAdjustDate();
  // The span button follows the zero button's text, which is wider in some languages and
  // fonts than the design left room for.
  RadioButtonZero->resize(RadioButtonZero->sizeHint().width(), RadioButtonZero->height());
  RadioButtonSpan->resize(RadioButtonSpan->sizeHint().width(), RadioButtonSpan->height());
  RadioButtonSpan->move(std::max(88, RadioButtonZero->geometry().right() + 8),
                        RadioButtonSpan->y());
  LabelAdjustButtons->adjustSize();
  LabelAdjustButtons->move(GroupBoxJustage->width() / 2 - LabelAdjustButtons->width() / 2,
                           LabelAdjustButtons->y());
}
