// Live-reply parser of the R70 device interface: an interface that has read a simulated
// R-70 keeps its live exchange running, and every live request is then answered from the
// fuzz input. Any input ends in accepted values, a reported error or the time-out.
#include "FuzzPort.h"
#include "core/DeviceInfo.h"
#include "protocol/r70/DMU_R70ifc.h"
#include "sim/SimR70.h"

#include <cstdio>
#include <cstdlib>

namespace {
struct tRig {
  tSimR70 Sim{tSimR70::tModel::R7x};
  tDeviceInfo Info;
  tFuzzPort* Port = nullptr;
  std::unique_ptr<tDMU_R70ifc> Ifc;
  bool TimedOut = false;
};

tRig& Rig() {
  static tRig* sRig = [] {
    auto* lRig = new tRig;
    auto lPort = std::make_unique<tFuzzPort>(&lRig->Sim);
    lRig->Port = lPort.get();
    lPort->SetBaud(1000000);
    lPort->SetOpen(true);
    lRig->Info.SetDeviceType(dtR7x);
    lRig->Ifc = std::make_unique<tDMU_R70ifc>(std::move(lPort), false);
    try {
      lRig->Ifc->Initialize(&lRig->Info);
    } catch (const eError& e) {
      std::fprintf(stderr, "R70 rig: %s\n", qPrintable(e.Message()));
      std::abort();
    }
    lRig->Ifc->SetOnTimeOut([lRig] { lRig->TimedOut = true; });
    lRig->Ifc->SetOnNewValue([lRig] {
      (void)lRig->Info.PressureBar();
      (void)lRig->Info.Temperature();
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
  lRig.Ifc->SetLiveActive(false);
  lRig.Port->SetFuzzInput(pData + 1, pSize - 1);
  lRig.Ifc->SetLiveActive(true);
  FuzzPump([&] { return lRig.TimedOut; }, 2000);
  if (!lRig.TimedOut) {
    std::fprintf(stderr, "R70 live exchange never timed out\n");
    std::abort();
  }
  return 0;
}
