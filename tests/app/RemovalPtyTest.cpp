// Removing an instrument while one of its own waits runs: the Delete key pressed from inside
// the search, the reading, an adjustment command and a settings write, on the real serial
// port over a pseudo-terminal. Under the sanitizer build a frame, page or protocol object
// destroyed under its own wait is a reported use after free.
#include "AppTestSupport.h"

#include "core/NestedLoop.h"
#include "pages/FrameDeviceK40.h"
#include "pages/FrameDeviceR70.h"
#include "tests/support/CP210xFake.h"
#include "serial/ComPort.h"
#include "serial/USB_CP210x.h"
#include "sim/PtyAttachment.h"
#include "sim/SimK40.h"
#include "sim/SimR70.h"

#include <QPushButton>
#include <QSpinBox>

using namespace apptest;

namespace {

constexpr int cComNr = 7;

enum class tPhase { Search, Reading, AdjustCommand, SettingsWrite };

struct tRemovalCase {
  const char* Name;
  bool R70;
  tPhase Phase;
};

class RemovalPty : public tAppFixture, public ::testing::WithParamInterface<tRemovalCase> {
protected:
  void SetUp() override {
    tAppFixture::SetUp();
    const tRemovalCase& c = GetParam();
    if (c.R70) {
      auto lR70 = std::make_unique<tSimR70>(tSimR70::tModel::VQ5);
      lR70->SetOutputKind(5); // USB: the settings tab is offered
      mSim = std::move(lR70);
      // Behind the maker's bridge the R70 family is searched at once.
      tUSB_CP210x::SetBackendFactory([]() -> std::shared_ptr<iCP210xBackend> {
        return std::make_shared<tCP210xFake>(
            QList<tCP210xFake::tBridge>{{QStringLiteral("48414C564558_56512D352B_0001"), cComNr}});
      });
    } else {
      auto lK40 = std::make_unique<tSimK40>(tSimK40::tModel::K40P);
      lK40->SetEeprom(127, 10); // RS-232: the settings tab is offered
      mSim = std::move(lK40);
      tUSB_CP210x::SetBackendFactory([] { return std::make_shared<tCP210xFake>(); });
    }
    mPty = std::make_unique<tPtyAttachment>(mSim.get());
    QString lError;
    ASSERT_TRUE(mPty->Start(mData.path() + "/instrument", &lError)) << qPrintable(lError);
    WriteIni("[Ports]\nCOM7=" + mPty->LinkPath().toUtf8() + "\n");
    TFrameDevice::SetComPortFactory({}); // the real port class
  }
  void TearDown() override {
    mWindow.reset();
    PumpFor(20);
    mPty.reset();
    tUSB_CP210x::SetBackendFactory({});
    tAppFixture::TearDown();
  }

  // Presses Delete from inside the first nested wait that runs while pReady holds, as a key
  // press delivered during the wait would. Returns the nesting depth it was pressed at.
  int DeleteWhile(const std::function<bool()>& pReady, int pTimeoutMs) {
    int lDepth = -1;
    QTimer lWatch;
    lWatch.setInterval(1);
    QObject::connect(&lWatch, &QTimer::timeout, [&] {
      if (lDepth >= 0 || tNestedLoop::Depth() == 0 || !pReady()) return;
      lDepth = tNestedLoop::Depth();
      lWatch.stop();
      Window().ListViewDeviceKeyUp(Qt::Key_Delete);
    });
    lWatch.start();
    WaitFor([&] { return lDepth >= 0; }, pTimeoutMs);
    return lDepth;
  }

  // Memory writes ("X" commands) the instrument has received.
  int WritesSeen() const {
    const QList<QByteArray>& lRequests = GetParam().R70
                                             ? static_cast<tSimR70*>(mSim.get())->Requests()
                                             : static_cast<tSimK40*>(mSim.get())->Requests();
    int lCount = 0;
    for (const QByteArray& r : lRequests)
      if (r.startsWith('X')) ++lCount;
    return lCount;
  }

  TFrameDeviceBase* Page() const {
    TFrameDevice* lFrame = mWindow->FrameOfRow(0);
    return lFrame ? lFrame->Page() : nullptr;
  }

  std::unique_ptr<tSimInstrument> mSim;
  std::unique_ptr<tPtyAttachment> mPty;
};

} // namespace

TEST_P(RemovalPty, delete_during_an_own_wait_removes_the_row_and_frees_the_port) {
  const tRemovalCase& c = GetParam();
  Window();
  AddPort(cComNr);
  ASSERT_EQ(Window().RowCount(), 1);
  QPointer<TFrameDevice> lFrame = Window().FrameOfRow(0);

  int lDepth = -1;
  switch (c.Phase) {
  case tPhase::Search:
    lDepth = DeleteWhile([&] { return lFrame->DeviceStatus() == dsConnecting; }, 8000);
    break;
  case tPhase::Reading:
    // The page reads the instrument it was handed.
    lDepth = DeleteWhile(
        [&] {
          return lFrame->Page() && (lFrame->DeviceStatus() == dsConnecting ||
                                    lFrame->DeviceStatus() == dsConnectRead);
        },
        10000);
    break;
  case tPhase::AdjustCommand:
  case tPhase::SettingsWrite: {
    ASSERT_TRUE(WaitFor([&] { return lFrame->DeviceStatus() == dsConnected; }, 15000));
    TFrameDeviceBase* lPage = Page();
    ASSERT_NE(lPage, nullptr);
    QPushButton* lButton = nullptr;
    if (c.Phase == tPhase::AdjustCommand) {
      lButton = lPage->findChild<QPushButton*>("BitBtnAdjust");
    } else {
      lButton = lPage->findChild<QPushButton*>("ButtonWriteSettings");
      auto* lInterval = lPage->findChild<QSpinBox*>("SpinEditInterval");
      ASSERT_NE(lInterval, nullptr);
      lInterval->setValue(c.R70 ? 4321 : 321);
    }
    ASSERT_NE(lButton, nullptr);
    const tDeviceStatus lBusy = c.Phase == tPhase::AdjustCommand ? dsAdjusting : dsProgramming;
    QTimer::singleShot(0, lButton, &QPushButton::click);
    // A settings write is caught once its first memory write has reached the instrument.
    const bool lAwaitWrite = c.Phase == tPhase::SettingsWrite;
    lDepth = DeleteWhile(
        [&] {
          return lFrame && lFrame->DeviceStatus() == lBusy && (!lAwaitWrite || WritesSeen() > 0);
        },
        5000);
    break;
  }
  }
  ASSERT_GT(lDepth, 0) << "Delete was not pressed inside a wait";
  EXPECT_EQ(Window().RowCount(), 0);

  // Gone once the waits have unwound; no box on the way, and the port is free again.
  ASSERT_TRUE(WaitFor([&] { return lFrame.isNull() && PendingDisposals() == 0; }, 8000));
  EXPECT_EQ(mDialogs.MessageCount(), 0) << qPrintable(mDialogs.LastMessage().Text);
  TApdComPort lPort;
  lPort.SetComNumber(cComNr);
  EXPECT_NO_THROW(lPort.SetOpen(true));
  EXPECT_TRUE(lPort.Open());

  // A settings write is not cut off halfway: the instrument holds the whole new set.
  if (c.Phase == tPhase::SettingsWrite) {
    if (c.R70) {
      auto* lR70 = static_cast<tSimR70*>(mSim.get());
      EXPECT_EQ(lR70->OpInterval(), 4321);
    } else {
      auto* lK40 = static_cast<tSimK40*>(mSim.get());
      EXPECT_EQ(lK40->Eeprom(102) + 256 * lK40->Eeprom(103), 321);
    }
  }
  // The program goes on: the instrument can be added and found again.
  lPort.SetOpen(false);
  AddPort(cComNr);
  EXPECT_TRUE(
      WaitFor([&] { return Window().FrameOfRow(0)->DeviceStatus() == dsConnected; }, 15000));
}

INSTANTIATE_TEST_SUITE_P(
    Phases, RemovalPty,
    ::testing::Values(tRemovalCase{"k40_search", false, tPhase::Search},
                      tRemovalCase{"r70_search", true, tPhase::Search},
                      tRemovalCase{"k40_reading", false, tPhase::Reading},
                      tRemovalCase{"r70_reading", true, tPhase::Reading},
                      tRemovalCase{"k40_adjust_command", false, tPhase::AdjustCommand},
                      tRemovalCase{"r70_adjust_command", true, tPhase::AdjustCommand},
                      tRemovalCase{"k40_settings_write", false, tPhase::SettingsWrite},
                      tRemovalCase{"r70_settings_write", true, tPhase::SettingsWrite}),
    [](const auto& pInfo) { return std::string(pInfo.param.Name); });
