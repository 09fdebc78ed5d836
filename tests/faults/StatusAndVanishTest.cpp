// Status faults the instrument reports, and a simulated cable pulled during the reading of
// the instrument and during the live exchange.
#include "FaultRig.h"

#include "widgets/RichEdit.h"
#include "pages/FrameDeviceK40.h"
#include "pages/FrameDeviceR70.h"

#include <QTimer>

using namespace faults;

namespace {

class StatusFault : public tFaultFixture, public ::testing::WithParamInterface<tFamily> {};

tRichEdit* ErrorBoxOf(TFrameDevice& pFrame) {
  if (auto* lK40 = qobject_cast<TFrameDeviceK40*>(pFrame.Page())) return lK40->RichEditError;
  if (auto* lR70 = qobject_cast<TFrameDeviceR70*>(pFrame.Page())) return lR70->RichEditError;
  return nullptr;
}

} // namespace

// A status byte other than 0 puts the device into dsInternalError and shows the family's
// message in the page's red box (230 for the K40 family, 229 for the R70 family); the live
// values keep coming and nothing pops up.
TEST_P(StatusFault, shows_internal_error_with_the_familys_message) {
  const tFamily lFamily = GetParam();
  UseInstrument(lFamily);
  auto lFrame = ConnectedFrame();
  ASSERT_EQ(lFrame->DeviceStatus(), dsConnected);
  if (lFamily == tFamily::K40P)
    static_cast<tSimK40*>(mInstrument.get())->SetStatusByte(0x01);
  else
    static_cast<tSimR70*>(mInstrument.get())->SetStatusByte(0x01);

  ASSERT_TRUE(WaitFor([&] { return lFrame->DeviceStatus() == dsInternalError; }, 4000))
      << "status " << int(lFrame->DeviceStatus());
  tRichEdit* lBox = ErrorBoxOf(*lFrame);
  ASSERT_NE(lBox, nullptr);
  lFrame->show();
  PumpFor(50);
  EXPECT_TRUE(lBox->isVisible());
  const QString lExpected = lFamily == tFamily::K40P
                                ? QStringLiteral("Die Versorgungsspannung ist zu gering!")
                                : QStringLiteral("Es ist ein interner Gerätefehler aufgetreten!");
  EXPECT_TRUE(lBox->toPlainText().contains(lExpected)) << qPrintable(lBox->toPlainText());
  PumpFor(1500);
  EXPECT_EQ(lFrame->DeviceStatus(), dsInternalError) << "the live exchange stopped";
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));
}

INSTANTIATE_TEST_SUITE_P(Faults, StatusFault, ::testing::Values(tFamily::K40P, tFamily::R7x),
                         [](const auto& pInfo) { return std::string(FamilyName(pInfo.param)); });

namespace {
class VanishingPort : public tFaultFixture, public ::testing::WithParamInterface<tFamily> {};
} // namespace

// The cable is pulled while the page reads the instrument: the reading fails with message
// 213 and the frame is back at dsDisconnected; once the cable is back it connects again.
TEST_P(VanishingPort, mid_transaction_ends_in_message_213_and_can_reconnect) {
  UseInstrument(GetParam());
  TFrameDevice lFrame;
  lFrame.Initialize(cComNr);
  lFrame.Connect();
  // The page reads the instrument inside the frame's timer tick, so the cable is pulled
  // from a timer that runs within the page's waits: three commands after the hand-over.
  int lAtHandOver = -1;
  bool lPulled = false;
  QTimer lPull;
  QObject::connect(&lPull, &QTimer::timeout, [&] {
    tSimPort* lPort = mPorts->Last();
    if (lPulled || !lPort || !lFrame.Page()) return;
    if (lAtHandOver < 0) lAtHandOver = int(lPort->SentLog().size());
    if (lPort->SentLog().size() < lAtHandOver + 15) return;
    lPulled = true;
    lPort->Vanish();
  });
  lPull.start(1);
  ASSERT_TRUE(WaitFor([&] { return lPulled; }, 15000));
  lPull.stop();
  ASSERT_TRUE(WaitFor([&] { return lFrame.DeviceStatus() == dsDisconnected; }, 20000))
      << "status " << int(lFrame.DeviceStatus());
  PumpFor(200);
  ASSERT_EQ(Errors().size(), 1) << qPrintable(Errors().join(" | "));
  EXPECT_EQ(Errors().front(), cConnectionFailed);

  mDialogs.Clear();
  lFrame.Connect();
  EXPECT_TRUE(WaitFor([&] { return lFrame.DeviceStatus() == dsConnected; }, 15000));
}

// Pulled while the live values run: the interface's time-out disconnects the page quietly.
TEST_P(VanishingPort, mid_poll_ends_disconnected_without_a_box) {
  UseInstrument(GetParam());
  auto lFrame = ConnectedFrame();
  ASSERT_EQ(lFrame->DeviceStatus(), dsConnected);
  mDialogs.Clear();
  mPorts->Last()->Vanish();
  EXPECT_TRUE(WaitFor([&] { return lFrame->DeviceStatus() == dsDisconnected; }, 4000));
  PumpFor(200);
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));
}

INSTANTIATE_TEST_SUITE_P(Faults, VanishingPort, ::testing::Values(tFamily::K40P, tFamily::R7x),
                         [](const auto& pInfo) { return std::string(FamilyName(pInfo.param)); });
