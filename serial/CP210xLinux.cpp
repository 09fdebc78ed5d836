#include "serial/CP210xLinux.h"

#include "serial/PortMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace {
QString ReadAttribute(const QString& pDir, const char* pName) {
  QFile lFile(pDir + QLatin1Char('/') + QLatin1String(pName));
  if (!lFile.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(lFile.readAll()).trimmed();
}
} // namespace

tCP210xLinux::tCP210xLinux(tPortMap* pMap) : mMap(pMap), mLister(&tCP210xLinux::SystemPorts) {}

QList<tCP210xLinux::tPortInfo> tCP210xLinux::SystemPorts() {
  QList<tPortInfo> lPorts;
  for (const QSerialPortInfo& lInfo : QSerialPortInfo::availablePorts()) {
    tPortInfo lPort;
    lPort.PortName = lInfo.portName();
    lPort.SystemLocation = lInfo.systemLocation();
    lPort.HasIds = lInfo.hasVendorIdentifier() && lInfo.hasProductIdentifier();
    lPort.Vid = lInfo.vendorIdentifier();
    lPort.Pid = lInfo.productIdentifier();
    lPort.SerialNumber = lInfo.serialNumber();
    lPorts.append(lPort);
  }
  return lPorts;
}

void tCP210xLinux::CompleteFromSysfs(tPortInfo& pInfo) const {
  // The tty's device is the USB interface (or a port below it); the ids and the serial
  // number are attributes of the USB device a few levels up.
  QString lDir =
      QFileInfo(mSysfsRoot + QLatin1Char('/') + pInfo.PortName + "/device").canonicalFilePath();
  for (int lLevel = 0; lLevel < 6 && !lDir.isEmpty() && lDir != QLatin1String("/"); ++lLevel) {
    if (QFile::exists(lDir + "/idVendor")) {
      bool lVidOk = false, lPidOk = false;
      const quint16 lVid = ReadAttribute(lDir, "idVendor").toUShort(&lVidOk, 16);
      const quint16 lPid = ReadAttribute(lDir, "idProduct").toUShort(&lPidOk, 16);
      if (!lVidOk || !lPidOk) return;
      pInfo.HasIds = true;
      pInfo.Vid = lVid;
      pInfo.Pid = lPid;
      if (pInfo.SerialNumber.isEmpty()) pInfo.SerialNumber = ReadAttribute(lDir, "serial");
      return;
    }
    lDir = QFileInfo(lDir).path();
  }
}

int tCP210xLinux::GetNumDevices(quint32& pCount) {
  mBridges.clear();
  for (tPortInfo lPort : mLister ? mLister() : QList<tPortInfo>()) {
    if (!lPort.HasIds || lPort.SerialNumber.isEmpty()) CompleteFromSysfs(lPort);
    if (lPort.HasIds && lPort.Vid == kBridgeVendor) mBridges.append(lPort);
  }
  // Indices stay the same between listings as long as the same bridges are plugged in.
  std::sort(mBridges.begin(), mBridges.end(), [](const tPortInfo& a, const tPortInfo& b) {
    return a.SystemLocation < b.SystemLocation;
  });
  mOpen = QList<bool>(mBridges.size(), false);
  pCount = quint32(mBridges.size());
  return kSuccess;
}

int tCP210xLinux::GetProductString(quint32 pIndex, QByteArray& pText, int pOption) {
  if (pIndex >= quint32(mBridges.size())) return kDeviceNotFound;
  if (pOption != 0) return kInvalidParameter;
  pText = mBridges[int(pIndex)].SerialNumber.toLatin1();
  return kSuccess;
}

int tCP210xLinux::Open(quint32 pIndex, tHandle& pHandle) {
  if (pIndex >= quint32(mBridges.size())) return kDeviceNotFound;
  // A bridge pulled since the listing cannot be opened.
  if (!tPortMap::DeviceExists(mBridges[int(pIndex)].SystemLocation)) return kDeviceNotFound;
  mOpen[int(pIndex)] = true;
  pHandle = tHandle(pIndex) + 1;
  return kSuccess;
}

const tCP210xLinux::tPortInfo* tCP210xLinux::Bridge(tHandle pHandle) const {
  if (pHandle == 0 || pHandle > tHandle(mBridges.size()) || !mOpen[int(pHandle - 1)])
    return nullptr;
  return &mBridges[int(pHandle - 1)];
}

int tCP210xLinux::Close(tHandle pHandle) {
  if (!Bridge(pHandle)) return kInvalidHandle;
  mOpen[int(pHandle - 1)] = false;
  return kSuccess;
}

int tCP210xLinux::GetDeviceVid(tHandle pHandle, quint16& pVid) {
  const tPortInfo* lBridge = Bridge(pHandle);
  if (!lBridge) return kInvalidHandle;
  pVid = lBridge->Vid;
  return kSuccess;
}

int tCP210xLinux::GetDevicePid(tHandle pHandle, quint16& pPid) {
  const tPortInfo* lBridge = Bridge(pHandle);
  if (!lBridge) return kInvalidHandle;
  pPid = lBridge->Pid;
  return kSuccess;
}

int tCP210xLinux::GetDeviceSerialNumber(tHandle pHandle, QByteArray& pText) {
  const tPortInfo* lBridge = Bridge(pHandle);
  if (!lBridge) return kInvalidHandle;
  pText = lBridge->SerialNumber.toLatin1();
  return kSuccess;
}

int tCP210xLinux::GetComNr(tHandle pHandle) {
  const tPortInfo* lBridge = Bridge(pHandle);
  tPortMap* lMap = mMap ? mMap : tPortMap::ApplicationMap();
  if (!lBridge || !lMap) return -1;
  // The map names USB devices by their by-id link; both lead to the same node.
  return lMap->ComNumberOf(lBridge->SystemLocation);
}
