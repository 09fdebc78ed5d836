// The adjustment panel driven as a user drives it: mouse and keys on its buttons, the step
// timer ticked by hand and the clock set by the test, a scripted handler in place of an
// instrument and a scripted dialog service in place of the boxes.
#include "core/DeviceInfo.h"
#include "core/Utils.h"
#include "widgets/BitButton.h"
#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"
#include "pages/FrameAdjust.h"
#include "support/WaitFor.h"

#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

struct tCall {
  tToAdjust Target;
  tAdjustAction Action;
  bool operator==(const tCall&) const = default;
};

class AdjustPanel : public ::testing::Test {
protected:
  void SetUp() override {
    mDialogsScope = std::make_unique<tDialogsScope>(mDialogs);
    mInfo.SetLastCalib(QStringLiteral("01.02.24"));
    mPanel = std::make_unique<TFrameAdjust>();
    mPanel->SetDeviceInfo(&mInfo);
    mPanel->SetOnAdjustAction([this](const tToAdjust pTarget, const tAdjustAction pAction) {
      mCalls.push_back({pTarget, pAction});
      return !mRefuse || !mRefuse(pAction);
    });
    mPanel->SetOnDeviceStatusChanged(
        [this](tDeviceStatus pStatus) { mReported.push_back(pStatus); });
    mPanel->SetClock([this] { return mNow; });
    mPanel->resize(200, 340);
    mPanel->show();
    mTimer = mPanel->findChild<QTimer*>(QStringLiteral("TimerIncDec"));
    ASSERT_NE(mTimer, nullptr);
  }

  void TearDown() override {
    mPanel.reset();
    Resources().SetLanguage(laGerman);
  }

  template <typename T> T* Find(const char* pName) {
    T* lChild = mPanel->findChild<T*>(QString::fromLatin1(pName));
    EXPECT_NE(lChild, nullptr) << pName;
    return lChild;
  }
  tBitButton* Inc() { return Find<tBitButton>("BitBtnInc"); }
  tBitButton* Dec() { return Find<tBitButton>("BitBtnDec"); }

  // One period of the step timer, as the event loop would deliver it.
  void Tick() {
    ASSERT_TRUE(mTimer->isActive()) << "step timer not running";
    QMetaObject::invokeMethod(mTimer, "timeout");
  }

  void StartAdjusting() {
    mPanel->SetDeviceStatus(dsConnected);
    QTest::mouseClick(Find<tBitButton>("BitBtnAdjust"), Qt::LeftButton);
    ASSERT_EQ(mPanel->DeviceStatus(), dsAdjusting);
    mCalls.clear();
    mReported.clear();
  }

  std::vector<tAdjustAction> Actions() const {
    std::vector<tAdjustAction> lActions;
    for (const tCall& lCall : mCalls)
      lActions.push_back(lCall.Action);
    return lActions;
  }

  tScriptedDialogService mDialogs;
  std::unique_ptr<tDialogsScope> mDialogsScope;
  tDeviceInfo mInfo;
  std::unique_ptr<TFrameAdjust> mPanel;
  QTimer* mTimer = nullptr;
  std::vector<tCall> mCalls;
  std::vector<tDeviceStatus> mReported;
  std::function<bool(tAdjustAction)> mRefuse;
  tDateTime mNow = EncodeDate(2026, 12, 9) + EncodeTime(10, 0, 0, 0);
};

TEST_F(AdjustPanel, CountBasedHoldSteps39OnesThen40TensThenHundredsUntilRelease) {
  StartAdjusting();
  mPanel->SetIncModeTimer(false);
  QTest::mousePress(Inc(), Qt::LeftButton);
  EXPECT_TRUE(mCalls.empty()) << "a press alone sends nothing";

  std::vector<int> lTags;
  for (int i = 0; i < 85; ++i) {
    Tick();
    lTags.push_back(mPanel->IncButtonTag());
  }
  QTest::mouseRelease(Inc(), Qt::LeftButton);

  std::vector<tAdjustAction> lExpected(39, aaInc1);
  lExpected.insert(lExpected.end(), 40, aaInc10);
  lExpected.insert(lExpected.end(), 6, aaInc100);
  EXPECT_EQ(Actions(), lExpected);
  EXPECT_EQ(lTags[38], 1);
  EXPECT_EQ(lTags[39], 10);
  EXPECT_EQ(lTags[78], 10);
  EXPECT_EQ(lTags[79], 100);
  EXPECT_EQ(mPanel->IncButtonTag(), 1) << "the 1 picture returns after release";
  EXPECT_FALSE(mTimer->isActive());
  for (const tCall& lCall : mCalls)
    EXPECT_EQ(lCall.Target, taNp);
  EXPECT_TRUE(mReported.empty()) << "steps leave the status alone";
}

TEST_F(AdjustPanel, CountBasedHoldOfLowerButtonSendsDecrementsOnTheSelectedTarget) {
  mPanel->SetDeviceStatus(dsConnected);
  Find<QRadioButton>("RadioButtonSpan")->setChecked(true);
  QTest::mouseClick(Find<tBitButton>("BitBtnAdjust"), Qt::LeftButton);
  mCalls.clear();
  QTest::mousePress(Dec(), Qt::LeftButton);
  for (int i = 0; i < 81; ++i)
    Tick();
  QTest::mouseRelease(Dec(), Qt::LeftButton);
  ASSERT_EQ(mCalls.size(), 81u);
  EXPECT_EQ(mCalls[0], (tCall{taSp, aaDec1}));
  EXPECT_EQ(mCalls[39], (tCall{taSp, aaDec10}));
  EXPECT_EQ(mCalls[80], (tCall{taSp, aaDec100}));
  EXPECT_EQ(mPanel->DecButtonTag(), 1);
}

TEST_F(AdjustPanel, TimeBasedHoldFollowsTheHeldTimeNotTheTicks) {
  StartAdjusting();
  mPanel->SetIncModeTimer(true);
  const tDateTime lPressed = mNow;
  QTest::mousePress(Inc(), Qt::LeftButton);
  struct tCase {
    int HeldMs;
    tAdjustAction Expected;
    int Tag;
  };
  // Many ticks before 3 s still step by 1; only the time held counts.
  const tCase lCases[] = {{100, aaInc1, 1},    {2999, aaInc1, 1},     {3001, aaInc10, 10},
                          {5999, aaInc10, 10}, {6001, aaInc100, 100}, {9000, aaInc100, 100}};
  for (const tCase& lCase : lCases) {
    mNow = lPressed + MSecToDateTime(lCase.HeldMs);
    for (int i = 0; i < 3; ++i)
      Tick();
    ASSERT_EQ(mCalls.size() % 3, 0u);
    EXPECT_EQ(mCalls.back().Action, lCase.Expected) << lCase.HeldMs << " ms held";
    EXPECT_EQ(mPanel->IncButtonTag(), lCase.Tag) << lCase.HeldMs << " ms held";
  }
  QTest::mouseRelease(Inc(), Qt::LeftButton);
  EXPECT_EQ(mPanel->IncButtonTag(), 1);
}

TEST_F(AdjustPanel, ClickShorterThanOneTimerPeriodSendsNothing) {
  StartAdjusting();
  QTest::mousePress(Inc(), Qt::LeftButton);
  PumpFor(40);
  QTest::mouseRelease(Inc(), Qt::LeftButton);
  PumpFor(250);
  EXPECT_TRUE(mCalls.empty());
  EXPECT_FALSE(mTimer->isActive());
}

TEST_F(AdjustPanel, HoldingInRealTimeStepsEveryTimerPeriod) {
  StartAdjusting();
  QTest::mousePress(Dec(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([this] { return mCalls.size() >= 3; }, 3000));
  QTest::mouseRelease(Dec(), Qt::LeftButton);
  const size_t lSent = mCalls.size();
  PumpFor(250);
  EXPECT_EQ(mCalls.size(), lSent) << "nothing after the release";
  for (const tCall& lCall : mCalls)
    EXPECT_EQ(lCall.Action, aaDec1);
}

TEST_F(AdjustPanel, QuickSecondPressHoldsThoughQtDeliversItAsDoubleClick) {
  StartAdjusting();
  for (auto [lButton, lStep] : {std::pair{Inc(), aaInc1}, std::pair{Dec(), aaDec1}}) {
    mCalls.clear();
    QTest::mouseClick(lButton, Qt::LeftButton);
    const QPointF lCentre = QRectF(lButton->rect()).center();
    QMouseEvent lSecond(QEvent::MouseButtonDblClick, lCentre, lButton->mapToGlobal(lCentre),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(lButton, &lSecond);
    ASSERT_TRUE(mTimer->isActive()) << "the second press does not hold";
    Tick();
    Tick();
    QTest::mouseRelease(lButton, Qt::LeftButton);
    EXPECT_FALSE(mTimer->isActive());
    EXPECT_EQ(Actions(), (std::vector<tAdjustAction>{lStep, lStep}));
  }
}

TEST_F(AdjustPanel, SpaceKeyHoldsUntilItsReleaseAndIgnoresAutoRepeat) {
  StartAdjusting();
  Inc()->setFocus();
  QTest::keyPress(Inc(), Qt::Key_Space);
  Tick();
  Tick();
  // The repeats a held key produces neither restart the count nor stop the hold.
  QKeyEvent lRepeatRelease(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                           true);
  QCoreApplication::sendEvent(Inc(), &lRepeatRelease);
  QKeyEvent lRepeatPress(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                         true);
  QCoreApplication::sendEvent(Inc(), &lRepeatPress);
  EXPECT_TRUE(mTimer->isActive());
  Tick();
  QTest::keyRelease(Inc(), Qt::Key_Space);
  EXPECT_FALSE(mTimer->isActive());
  EXPECT_EQ(Actions(), (std::vector<tAdjustAction>{aaInc1, aaInc1, aaInc1}));
}

TEST_F(AdjustPanel, StepAtTheLimitStopsTheHoldAndWarnsWith411) {
  StartAdjusting();
  mRefuse = [](tAdjustAction pAction) { return pAction == aaInc10; };
  QTest::mousePress(Inc(), Qt::LeftButton);
  for (int i = 0; i < 40; ++i)
    Tick();
  EXPECT_FALSE(mTimer->isActive()) << "no further step after the refusal";
  EXPECT_EQ(mPanel->IncButtonTag(), 1);
  ASSERT_EQ(mDialogs.MessageCount(), 1);
  EXPECT_EQ(mDialogs.LastMessage().Type, mtWarning);
  EXPECT_EQ(mDialogs.LastMessage().Buttons, mbOK);
  EXPECT_EQ(mDialogs.LastMessage().Text,
            QStringLiteral("Die maximale Verstellung wurde erreicht!"));
  QTest::mouseRelease(Inc(), Qt::LeftButton);
  // The status stays, so the user can go on with the other arrow, OK or Cancel.
  EXPECT_EQ(mPanel->DeviceStatus(), dsAdjusting);
  EXPECT_TRUE(Dec()->isEnabled());
  EXPECT_TRUE(Find<tBitButton>("BitBtnOK")->isEnabled());
}

TEST_F(AdjustPanel, RefusedAdjustLeavesEverythingDisabledAndRefusedOkStillEndsConnected) {
  mPanel->SetDeviceStatus(dsConnected);
  mRefuse = [](tAdjustAction) { return true; };
  QTest::mouseClick(Find<tBitButton>("BitBtnAdjust"), Qt::LeftButton);
  EXPECT_EQ(mPanel->DeviceStatus(), dsAdjusting);
  EXPECT_EQ(mDialogs.MessageCount(), 1);
  for (const char* lName : {"BitBtnAdjust", "BitBtnOK", "BitBtnCancel", "BitBtnInc", "BitBtnDec",
                            "BitBtnFactoryReset"}) {
    EXPECT_FALSE(Find<QWidget>(lName)->isEnabled()) << lName;
  }
  // From outside (the page) the controls come back; OK with a false result still ends.
  mPanel->SetDeviceStatus(dsConnected);
  mPanel->SetDeviceStatus(dsAdjusting);
  QTest::mouseClick(Find<tBitButton>("BitBtnOK"), Qt::LeftButton);
  EXPECT_EQ(mPanel->DeviceStatus(), dsConnected);
  EXPECT_TRUE(Find<QWidget>("BitBtnAdjust")->isEnabled());
  EXPECT_EQ(mDialogs.MessageCount(), 2);
}

TEST_F(AdjustPanel, AdjustOkAndCancelReportTheirStatusAroundTheAction) {
  mPanel->SetDeviceStatus(dsConnected);
  std::vector<std::pair<tAdjustAction, tDeviceStatus>> lSeen;
  mPanel->SetOnAdjustAction([&](const tToAdjust, const tAdjustAction pAction) {
    lSeen.push_back({pAction, mPanel->DeviceStatus()});
    return true;
  });
  mReported.clear();
  QTest::mouseClick(Find<tBitButton>("BitBtnAdjust"), Qt::LeftButton);
  QTest::mouseClick(Find<tBitButton>("BitBtnOK"), Qt::LeftButton);
  QTest::mouseClick(Find<tBitButton>("BitBtnAdjust"), Qt::LeftButton);
  QTest::mouseClick(Find<tBitButton>("BitBtnCancel"), Qt::LeftButton);
  using P = std::pair<tAdjustAction, tDeviceStatus>;
  EXPECT_EQ(lSeen, (std::vector<P>{P{aaOn, dsAdjusting}, P{aaOK, dsAdjusting}, P{aaOn, dsAdjusting},
                                   P{aaCancel, dsAdjusting}}));
  EXPECT_EQ(mReported,
            (std::vector<tDeviceStatus>{dsAdjusting, dsConnected, dsAdjusting, dsConnected}));
}

TEST_F(AdjustPanel, FactoryResetAfterYesRestoresZeroThenSpanWhateverIsSelected) {
  mPanel->SetDeviceStatus(dsConnected);
  Find<QRadioButton>("RadioButtonSpan")->setChecked(true);
  mDialogs.PushAnswer(mrYes);
  QTest::mouseClick(Find<tBitButton>("BitBtnFactoryReset"), Qt::LeftButton);
  ASSERT_EQ(mDialogs.MessageCount(), 1);
  EXPECT_EQ(mDialogs.LastMessage().Type, mtConfirmation);
  EXPECT_EQ(mDialogs.LastMessage().Buttons, mbYesNo);
  EXPECT_EQ(mDialogs.LastMessage().Text,
            QStringLiteral("Soll die Werkseinstellung wiederhergestellt werden?"));
  EXPECT_EQ(mCalls, (std::vector<tCall>{{taNp, aaFactoryReset}, {taSp, aaFactoryReset}}));
  EXPECT_EQ(mPanel->DeviceStatus(), dsConnected);

  mCalls.clear();
  mDialogs.PushAnswer(mrNo);
  QTest::mouseClick(Find<tBitButton>("BitBtnFactoryReset"), Qt::LeftButton);
  EXPECT_TRUE(mCalls.empty()) << "No restores nothing";
}

TEST_F(AdjustPanel, ActionsWithoutHandlerRaise) {
  mPanel->SetOnAdjustAction({});
  mPanel->SetDeviceStatus(dsConnected);
  try {
    Find<tBitButton>("BitBtnFactoryReset")->click();
    FAIL() << "no error";
  } catch (const eError& e) {
    EXPECT_EQ(e.Message(), QStringLiteral("Nichts zugewiesen!"));
  }
  EXPECT_EQ(mDialogs.MessageCount(), 0) << "no question without a handler";
}

TEST_F(AdjustPanel, SecondRecordIsRefused) {
  tDeviceInfo lOther;
  try {
    mPanel->SetDeviceInfo(&lOther);
    FAIL() << "no error";
  } catch (const eError& e) {
    EXPECT_EQ(e.Message(), QStringLiteral("DeviceInfo wurde bereits zugewisen!"));
  }
}

TEST_F(AdjustPanel, ControlsFollowTheStatus) {
  struct tCase {
    tDeviceStatus Status;
    bool Selection; // radio buttons, Adjust, factory reset
    bool Adjusting; // OK, Cancel, arrows, their label
  };
  const tCase lCases[] = {{dsDisconnected, false, false}, {dsConnecting, false, false},
                          {dsConnectRead, false, false},  {dsConnected, true, false},
                          {dsLogging, false, false},      {dsAdjusting, false, true},
                          {dsProgramming, false, false},  {dsInternalError, false, false}};
  for (const tCase& lCase : lCases) {
    mPanel->SetDeviceStatus(lCase.Status);
    for (const char* lName :
         {"RadioButtonZero", "RadioButtonSpan", "BitBtnAdjust", "BitBtnFactoryReset"}) {
      EXPECT_EQ(Find<QWidget>(lName)->isEnabled(), lCase.Selection) << lName << " " << lCase.Status;
    }
    for (const char* lName :
         {"BitBtnOK", "BitBtnCancel", "BitBtnInc", "BitBtnDec", "LabelAdjustButtons"}) {
      EXPECT_EQ(Find<QWidget>(lName)->isEnabled(), lCase.Adjusting) << lName << " " << lCase.Status;
    }
  }
}

TEST_F(AdjustPanel, UnchangedStatusIsNotReportedAgain) {
  mPanel->SetDeviceStatus(dsConnected);
  mPanel->SetDeviceStatus(dsConnected);
  EXPECT_EQ(mReported, (std::vector<tDeviceStatus>{dsConnected}));
}

TEST_F(AdjustPanel, LeavingTheAdjustmentWhileHoldingStopsStepping) {
  StartAdjusting();
  QTest::mousePress(Inc(), Qt::LeftButton);
  Tick();
  // The line dropped: the page moves the panel on while the button is still held.
  mPanel->SetDeviceStatus(dsDisconnected);
  EXPECT_FALSE(mTimer->isActive());
  PumpFor(250);
  EXPECT_EQ(mCalls.size(), 1u);
}

TEST_F(AdjustPanel, DateLabelAndArrowCaptionsFollowTheLanguage) {
  auto* lDate = Find<QLabel>("LabelDateAdjustment");
  auto* lButtons = Find<QLabel>("LabelAdjustButtons");
  auto* lGroup = Find<QGroupBox>("GroupBoxJustage");
  EXPECT_EQ(lDate->text(), QStringLiteral("Justagedatum: 01.02.24"));
  EXPECT_EQ(Inc()->text(), QString());
  EXPECT_EQ(Inc()->toolTip(), QStringLiteral("gedrückt halten um Änderung zu beschleunigen"));

  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(lDate->text(), QStringLiteral("Adjustment date: 01.02.24"));
  EXPECT_EQ(Dec()->toolTip(), QStringLiteral("keep pressed to accel changing"));
  EXPECT_EQ(lButtons->text(), QStringLiteral("Adjustment buttons"));
  EXPECT_EQ(lButtons->x(), lGroup->width() / 2 - lButtons->width() / 2) << "centred again";

  mInfo.SetLastCalib(QStringLiteral("09.12.26"));
  EXPECT_EQ(lDate->text(), QStringLiteral("Adjustment date: 09.12.26"));
}

TEST_F(AdjustPanel, DestroyedPanelNoLongerListensToTheRecord) {
  const int lBefore = mInfo.EventCount();
  const QWidget* lPanel = mPanel.get();
  EXPECT_TRUE(Resources().IsRegistered(lPanel));
  mPanel.reset();
  EXPECT_EQ(mInfo.EventCount(), lBefore - 1);
  EXPECT_FALSE(Resources().IsRegistered(lPanel));
  mInfo.SetLastCalib(QStringLiteral("10.12.26")); // must not reach the destroyed panel
}

} // namespace
