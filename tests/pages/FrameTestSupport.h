#pragma once
// Shared set-up of the device frame and page tests: simulated ports for every connection
// attempt, a scripted dialog service, the language, and waiting in the event loop.
#include "tests/support/WaitFor.h"
#include "core/Types.h"
#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"
#include "pages/FrameDevice.h"
#include "tests/support/CP210xFake.h"
#include "serial/USB_CP210x.h"
#include "sim/SimPort.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace frametest {

using ::PumpFor;
using ::WaitFor;

// Where the tests keep their screenshots.
inline QString ScreenshotDir() {
  QString lBase = qEnvironmentVariable("CORVANE_TEST_OUTPUT");
  if (lBase.isEmpty()) lBase = QDir::tempPath() + "/corvane-test-output";
  const QString lDir = lBase + "/screenshots";
  QDir().mkpath(lDir);
  return lDir;
}

inline bool SaveScreenshot(QWidget* pWidget, const QString& pName) {
  pWidget->show();
  PumpFor(50);
  const QImage lImage = pWidget->grab().toImage();
  return lImage.save(ScreenshotDir() + "/" + pName + ".png");
}

// Installs the port factory and the scripted dialogs for one test; German by default.
class tFrameFixture : public ::testing::Test {
protected:
  void SetUp() override {
    mDialogScope = std::make_unique<tDialogsScope>(mDialogs);
    UseBridges({});
    Resources().SetLanguage(laGerman);
  }
  void TearDown() override {
    TFrameDevice::SetComPortFactory({});
    tUSB_CP210x::SetBackendFactory({});
    mDialogScope.reset();
    Resources().SetLanguage(laGerman);
    // Deferred deletions of released pages and interfaces.
    PumpFor(20);
  }
  void UsePorts(tSimPortFactory& pFactory) { TFrameDevice::SetComPortFactory(pFactory.Factory()); }
  // The USB bridges the frames see (none by default, whatever is plugged into this machine).
  void UseBridges(const QList<tCP210xFake::tBridge>& pBridges) {
    mBridges = std::make_shared<tCP210xFake>(pBridges);
    tUSB_CP210x::SetBackendFactory([this] { return mBridges; });
  }

  tScriptedDialogService mDialogs;
  std::shared_ptr<tCP210xFake> mBridges;
  std::unique_ptr<tDialogsScope> mDialogScope;
};

} // namespace frametest
