// R70 command layer and data link fed arbitrary replies: every operation ends with its
// value or with eDMU_R70, never a crash, a hang or a read outside the reply.
#include "FuzzPort.h"
#include "protocol/r70/DMU_R70.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  FuzzInitApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  if (pSize < 2) return 0;
  auto lOwned = std::make_unique<tFuzzPort>();
  tFuzzPort* lPort = lOwned.get();
  lPort->SetBaud(1000000);
  lPort->SetOpen(true);
  const bool lAutoBaud = pData[0] & 0x80;
  const size_t lOps = std::min<size_t>(4, 1 + pData[0] % 4);
  if (pSize < 1 + lOps) return 0;
  lPort->SetFuzzInput(pData + 1 + lOps, pSize - 1 - lOps);
  tDMU_R70 lR70(std::move(lOwned), lAutoBaud);
  for (size_t i = 0; i < lOps; ++i) {
    const quint8 lOp = pData[1 + i];
    const tToAdjust lTarget = (lOp & 0x80) ? taSp : taNp;
    const quint8 lStep = (lOp >> 5) & 0x03; // 3 is no step and must be refused
    try {
      switch (lOp % 16) {
      case 0:
        lR70.ReadEEPROM(lOp);
        break;
      case 1:
        lR70.ReadFLASH(lOp);
        break;
      case 2:
        lR70.WriteEEPROM(lOp, quint8(~lOp));
        break;
      case 3:
        lR70.SoftwareReset();
        break;
      case 4:
        (void)lR70.ReadFirmwareRevision().size();
        break;
      case 5:
        (void)lR70.ReadSerialDigits().size();
        break;
      case 6:
        (void)lR70.ReadSerialNumber().size();
        break;
      case 7:
        (void)lR70.ReadRange();
        break;
      case 8:
        (void)lR70.ReadDateOfProduction();
        break;
      case 9:
        (void)lR70.ReadAccuracy();
        break;
      case 10:
        lR70.SetAdjustOn(lTarget);
        break;
      case 11:
        (void)lR70.AdjustInc(lTarget, lStep);
        break;
      case 12:
        (void)lR70.AdjustDec(lTarget, lStep);
        break;
      case 13:
        lR70.AdjustSave(lTarget);
        break;
      case 14:
        lR70.FactoryReset(lTarget);
        break;
      case 15:
        lR70.ReadEEPROM(quint8(240));
        break;
      }
    } catch (const eError&) {
    }
  }
  return 0;
}
