#pragma once
// The questions the bridge identification asks of the bridge maker's library, as a
// backend: on Linux they are answered from the serial devices the system reports (see
// tCP210xLinux); tests present bridges of their own (tCP210xFake).
#include <QByteArray>
#include <QtGlobal>

class iCP210xBackend {
public:
  using tHandle = quintptr;

  // Status codes as the library returns them; 0 means success.
  static constexpr int kSuccess = 0x00;
  static constexpr int kInvalidHandle = 0x01;
  static constexpr int kInvalidParameter = 0x02;
  static constexpr int kDeviceIoFailed = 0x03;
  static constexpr int kDeviceNotFound = 0xFF;

  virtual ~iCP210xBackend() = default;

  virtual int GetNumDevices(quint32& pCount) = 0;
  // Option 0: the bridge's USB serial-number string.
  virtual int GetProductString(quint32 pIndex, QByteArray& pText, int pOption) = 0;
  virtual int Open(quint32 pIndex, tHandle& pHandle) = 0;
  virtual int Close(tHandle pHandle) = 0;
  virtual int GetDeviceVid(tHandle pHandle, quint16& pVid) = 0;
  virtual int GetDevicePid(tHandle pHandle, quint16& pPid) = 0;
  virtual int GetDeviceSerialNumber(tHandle pHandle, QByteArray& pText) = 0;
  // The COM number the open bridge is presented as, -1 when it has none (what the
  // registry's "PortName" was).
  virtual int GetComNr(tHandle pHandle) = 0;
};
