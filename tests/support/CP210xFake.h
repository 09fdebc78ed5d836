#pragma once
// Bridges for tests, where no USB bridge is plugged in: each with its serial-number string,
// ids, the COM number it is presented as (-1: none) and whether opening it fails.
#include "serial/CP210xBackend.h"

#include <QList>
#include <QString>

class tCP210xFake : public iCP210xBackend {
public:
  struct tBridge {
    QString SerialNumber;
    int ComNr = -1;
    bool OpenFails = false;
    quint16 Vid = 0x10C4;
    quint16 Pid = 0xEA60;
  };

  explicit tCP210xFake(QList<tBridge> pBridges = {}) : mBridges(std::move(pBridges)) {}
  // A status the next listing returns instead of success.
  void SetNumDevicesStatus(int pStatus) { mNumDevicesStatus = pStatus; }
  int OpenCount() const { return mOpenCount; }
  int CloseCount() const { return mCloseCount; }

  int GetNumDevices(quint32& pCount) override;
  int GetProductString(quint32 pIndex, QByteArray& pText, int pOption) override;
  int Open(quint32 pIndex, tHandle& pHandle) override;
  int Close(tHandle pHandle) override;
  int GetDeviceVid(tHandle pHandle, quint16& pVid) override;
  int GetDevicePid(tHandle pHandle, quint16& pPid) override;
  int GetDeviceSerialNumber(tHandle pHandle, QByteArray& pText) override;
  int GetComNr(tHandle pHandle) override;

private:
  const tBridge* Bridge(tHandle pHandle) const;

  QList<tBridge> mBridges;
  int mNumDevicesStatus = kSuccess;
  tHandle mOpenHandle = 0;
  int mOpenCount = 0;
  int mCloseCount = 0;
};
