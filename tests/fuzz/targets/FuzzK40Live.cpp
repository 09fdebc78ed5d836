// Live-reply parser of the K40 device interface: an interface that has read a simulated
// K-40-P keeps polling, and every live request is then answered from the fuzz input. Any
// input ends in accepted values, a checksum error report or the time-out, never a crash.
#include "FuzzPort.h"
#include "core/DeviceInfo.h"
#include "protocol/k40/DMU_K40ifc.h"
#include "sim/SimK40.h"

#include <cstdio>
#include <cstdlib>

namespace {
struct tRig {
  tSimK40 Sim{tSimK40::tModel::K40P};
  tDeviceInfo Info;
  tFuzzPort* Port = nullptr;
  std::unique_ptr<tDMU_K40ifc> Ifc;
  bool TimedOut = false;
  int Values = 0;
};

tRig& Rig() {
  static tRig* sRig = [] {
    auto* lRig = new tRig;
    auto lPort = std::make_unique<tFuzzPort>(&lRig->Sim);
    lRig->Port = lPort.get();
    lPort->SetBaud(1000000);
    lPort->SetOpen(true);
    lRig->Info.SetDeviceType(dtK4xP);
    lRig->Ifc = std::make_unique<tDMU_K40ifc>(std::move(lPort));
    try {
      lRig->Ifc->Initialize(&lRig->Info);
    } catch (const eError& e) {
      std::fprintf(stderr, "K40 rig: %s\n", qPrintable(e.Message()));
      std::abort();
    }
    lRig->Ifc->SetOnTimeOut([lRig](void*) { lRig->TimedOut = true; });
    lRig->Ifc->SetOnNewValue([lRig](void*) {
      // What the page reads on every new value.
      (void)lRig->Info.PressureBar();
      (void)lRig->Info.Temperature();
      ++lRig->Values;
    });
    return lRig;
  }();
  return *sRig;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  FuzzInitApplication(argc, argv);
  Rig();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  if (pSize < 1) return 0;
  tRig& lRig = Rig();
  lRig.Ifc->SetIsWerksDruckActive(pData[0] & 1);
  lRig.TimedOut = false;
  lRig.Port->SetFuzzInput(pData + 1, pSize - 1);
  // An aborted adjustment restarts the live exchange whatever state the last input left.
  lRig.Ifc->AdjustActionEvent(taNp, aaCancel);
  FuzzPump([&] { return lRig.TimedOut; }, 2000);
  if (!lRig.TimedOut) {
    // Input used up means silence, and silence must end in the time-out.
    std::fprintf(stderr, "K40 live exchange never timed out\n");
    std::abort();
  }
  return 0;
}
