#include "tests/support/CP210xFake.h"

int tCP210xFake::GetNumDevices(quint32& pCount) {
  if (mNumDevicesStatus != kSuccess) return mNumDevicesStatus;
  pCount = quint32(mBridges.size());
  return kSuccess;
}

int tCP210xFake::GetProductString(quint32 pIndex, QByteArray& pText, int pOption) {
  if (pIndex >= quint32(mBridges.size())) return kDeviceNotFound;
  if (pOption != 0) return kInvalidParameter;
  pText = mBridges[int(pIndex)].SerialNumber.toLatin1();
  return kSuccess;
}

int tCP210xFake::Open(quint32 pIndex, tHandle& pHandle) {
  if (pIndex >= quint32(mBridges.size()) || mBridges[int(pIndex)].OpenFails) return kDeviceNotFound;
  ++mOpenCount;
  mOpenHandle = pHandle = tHandle(pIndex) + 1;
  return kSuccess;
}

const tCP210xFake::tBridge* tCP210xFake::Bridge(tHandle pHandle) const {
  if (pHandle == 0 || pHandle != mOpenHandle) return nullptr;
  return &mBridges[int(pHandle - 1)];
}

int tCP210xFake::Close(tHandle pHandle) {
  if (!Bridge(pHandle)) return kInvalidHandle;
  ++mCloseCount;
  mOpenHandle = 0;
  return kSuccess;
}

int tCP210xFake::GetDeviceVid(tHandle pHandle, quint16& pVid) {
  if (!Bridge(pHandle)) return kInvalidHandle;
  pVid = Bridge(pHandle)->Vid;
  return kSuccess;
}

int tCP210xFake::GetDevicePid(tHandle pHandle, quint16& pPid) {
  if (!Bridge(pHandle)) return kInvalidHandle;
  pPid = Bridge(pHandle)->Pid;
  return kSuccess;
}

int tCP210xFake::GetDeviceSerialNumber(tHandle pHandle, QByteArray& pText) {
  if (!Bridge(pHandle)) return kInvalidHandle;
  pText = Bridge(pHandle)->SerialNumber.toLatin1();
  return kSuccess;
}

int tCP210xFake::GetComNr(tHandle pHandle) {
  return Bridge(pHandle) ? Bridge(pHandle)->ComNr : -1;
}
