// Family probes of the device frame fed arbitrary replies: on an ordinary port the K40
// probes run, on a port of the maker's R-7X bridge the R70 probes. Whatever answers, the
// search ends with a page or with the frame back at the disconnected state, and the
// page's reading of the instrument fails or succeeds without a crash.
#include "FuzzPort.h"
#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"
#include "pages/FrameDevice.h"
#include "tests/support/CP210xFake.h"
#include "serial/USB_CP210x.h"

#include <QPointer>
#include <QTimer>
#include <cstdint>

namespace {
QPointer<tFuzzPort> gPort;
const uint8_t* gData = nullptr;
size_t gSize = 0;
bool gBridge = false;
tScriptedDialogService gDialogs;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  FuzzInitApplication(argc, argv);
  SetDialogs(&gDialogs);
  Resources().SetLanguage(laGerman);
  TFrameDevice::SetComPortFactory([]() -> std::unique_ptr<iComPort> {
    auto lPort = std::make_unique<tFuzzPort>();
    lPort->SetFuzzInput(gData, gSize);
    gPort = lPort.get();
    return lPort;
  });
  tUSB_CP210x::SetBackendFactory([]() -> std::shared_ptr<iCP210xBackend> {
    if (!gBridge) return std::make_shared<tCP210xFake>();
    return std::make_shared<tCP210xFake>(
        QList<tCP210xFake::tBridge>{{QStringLiteral("HALVEX_R-7X_0001"), 7}});
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  if (pSize < 1) return 0;
  gBridge = pData[0] & 1;
  gData = pData + 1;
  gSize = pSize - 1;
  gPort = nullptr;
  gDialogs.Clear();
  {
    TFrameDevice lFrame;
    lFrame.Initialize(7);
    lFrame.Connect();
    // On the scaled clock the whole search, 6 s, takes some 60 ms: let it end by itself
    // (a page, or the disconnected state), then stop whatever is still running.
    FuzzPump([&] { return !lFrame.TimerConnecting->isActive(); }, 1000);
    FuzzPump([] { return false; }, 20);
    lFrame.Disconnect();
    FuzzPump([] { return false; }, 5);
  }
  // Deferred deletions of released pages.
  FuzzPump([] { return false; }, 5);
  return 0;
}
