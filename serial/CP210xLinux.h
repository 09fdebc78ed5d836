#pragma once
// Bridge identification on Linux: the bridges are the serial devices of vendor id 0x10C4;
// QSerialPortInfo gives their USB ids and serial-number strings from the udev database,
// and where that is empty (no udev daemon) they are read from sysfs. The COM number is the
// device's entry in the port map.
#include "serial/CP210xBackend.h"

#include <QList>
#include <QString>
#include <functional>

class tPortMap;

class tCP210xLinux : public iCP210xBackend {
public:
  // A serial device as the system reports it; ids and serial may be missing.
  struct tPortInfo {
    QString PortName;       // e.g. ttyUSB0
    QString SystemLocation; // e.g. /dev/ttyUSB0
    bool HasIds = false;
    quint16 Vid = 0;
    quint16 Pid = 0;
    QString SerialNumber;
  };
  static constexpr quint16 kBridgeVendor = 0x10C4;

  // No map: the application's (tPortMap::ApplicationMap).
  explicit tCP210xLinux(tPortMap* pMap = nullptr);

  // For tests: where the devices and the sysfs tree come from.
  void SetPortLister(std::function<QList<tPortInfo>()> pLister) { mLister = std::move(pLister); }
  void SetSysfsRoot(const QString& pRoot) { mSysfsRoot = pRoot; }
  static QList<tPortInfo> SystemPorts();

  int GetNumDevices(quint32& pCount) override;
  int GetProductString(quint32 pIndex, QByteArray& pText, int pOption) override;
  int Open(quint32 pIndex, tHandle& pHandle) override;
  int Close(tHandle pHandle) override;
  int GetDeviceVid(tHandle pHandle, quint16& pVid) override;
  int GetDevicePid(tHandle pHandle, quint16& pPid) override;
  int GetDeviceSerialNumber(tHandle pHandle, QByteArray& pText) override;
  int GetComNr(tHandle pHandle) override;

private:
  // Fills ids and serial number from /sys/class/tty/<name>/device and its USB parents.
  void CompleteFromSysfs(tPortInfo& pInfo) const;
  const tPortInfo* Bridge(tHandle pHandle) const;

  tPortMap* mMap;
  std::function<QList<tPortInfo>()> mLister;
  QString mSysfsRoot = QStringLiteral("/sys/class/tty");
  QList<tPortInfo> mBridges;
  QList<bool> mOpen;
};
