// K40 command layer fed arbitrary replies: every operation must end with its data or with
// an error, never crash, hang or read outside the reply.
#include "FuzzPort.h"
#include "protocol/k40/DMU_K40.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  FuzzInitApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  if (pSize < 1) return 0;
  auto lOwned = std::make_unique<tFuzzPort>();
  tFuzzPort* lPort = lOwned.get();
  // A fast line: the layer lets its no-reply frames leave the line at the port's rate.
  lPort->SetBaud(1000000);
  lPort->SetOpen(true);
  // The first bytes choose the operations (at most four), the rest are the replies.
  const size_t lOps = std::min<size_t>(4, 1 + pData[0] % 4);
  if (pSize < 1 + lOps) return 0;
  lPort->SetFuzzInput(pData + 1 + lOps, pSize - 1 - lOps);
  tDMU_K40 lK40(std::move(lOwned));
  for (size_t i = 0; i < lOps; ++i) {
    const quint8 lOp = pData[1 + i];
    const tToAdjust lTarget = (lOp & 0x80) ? taSp : taNp;
    try {
      switch (lOp % 13) {
      case 0: {
        float lMBA, lMBE;
        quint8 lUnit;
        tDruckKennung lKennung;
        lK40.ReadRange(lMBA, lMBE, lUnit, lKennung);
        break;
      }
      case 1:
        lK40.ReadEEPROM(lOp);
        break;
      case 2:
        lK40.WriteEEPROM(lOp, quint8(~lOp));
        break;
      case 3:
        (void)lK40.ReadIdent().size();
        break;
      case 4:
        (void)lK40.ReadFirmwareRevision().size();
        break;
      case 5: {
        quint8 lMonth, lYear;
        lK40.ReadDateOfProduction(lMonth, lYear);
        break;
      }
      case 6:
        lK40.SetToPollMode();
        break;
      case 7:
        lK40.SetAdjustOn(lTarget);
        break;
      case 8:
        lK40.AdjustInc(lTarget);
        break;
      case 9:
        lK40.AdjustDec(lTarget);
        break;
      case 10:
        lK40.AdjustSave(lTarget);
        break;
      case 11:
        lK40.FactoryReset(lTarget);
        break;
      case 12:
        lK40.SoftwareReset();
        break;
      }
    } catch (const eError&) {
      // Time-outs and bad sums are the expected outcome of most inputs.
    }
  }
  return 0;
}
