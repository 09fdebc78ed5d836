#include "serial/USB_CP210x.h"

#include "serial/CP210xLinux.h"

namespace {
tUSB_CP210x::tBackendFactory& BackendFactory() {
  static tUSB_CP210x::tBackendFactory lFactory;
  return lFactory;
}

// The library's texts end at the first zero byte and hold at most 256 characters.
QString LibraryText(const QByteArray& pText) {
  QByteArray lText = pText.left(256);
  const qsizetype lEnd = lText.indexOf('\0');
  if (lEnd >= 0) lText.truncate(lEnd);
  return QString::fromLatin1(lText);
}
} // namespace

tUSB_CP210x::tUSB_CP210x(std::shared_ptr<iCP210xBackend> pBackend) : mBackend(std::move(pBackend)) {
  if (!mBackend) {
    if (BackendFactory())
      mBackend = BackendFactory()();
    else
      mBackend = std::make_shared<tCP210xLinux>();
  }
  if (!mBackend)
    throw eError(QStringLiteral("Die \"CP210xManufacturing.dll\" konnte nicht geöffnet werden!"));
}

void tUSB_CP210x::SetBackendFactory(tBackendFactory pFactory) {
  BackendFactory() = std::move(pFactory);
}

bool tUSB_CP210x::CheckStatus(int pStatus) const {
  if (pStatus != iCP210xBackend::kSuccess)
    throw eUSB_CP210x(QStringLiteral("CP210x-Fehler: %1").arg(pStatus));
  return true;
}

quint32 tUSB_CP210x::GetNumDevices() {
  quint32 lCount = 0;
  CheckStatus(mBackend->GetNumDevices(lCount));
  return lCount;
}

QString tUSB_CP210x::GetProductString(quint32 pIndex) {
  QByteArray lText;
  CheckStatus(mBackend->GetProductString(pIndex, lText, 0));
  return LibraryText(lText);
}

bool tUSB_CP210x::Open(quint32 pIndex) {
  iCP210xBackend::tHandle lHandle = 0;
  // A failed open leaves no handle, so later calls cannot answer for an earlier bridge.
  mDeviceHandle = 0;
  if (mBackend->Open(pIndex, lHandle) != iCP210xBackend::kSuccess) return false;
  mDeviceHandle = lHandle;
  return true;
}

void tUSB_CP210x::Close() {
  const iCP210xBackend::tHandle lHandle = mDeviceHandle;
  mDeviceHandle = 0;
  CheckStatus(mBackend->Close(lHandle));
}

quint16 tUSB_CP210x::GetVid() {
  quint16 lVid = 0;
  CheckStatus(mBackend->GetDeviceVid(mDeviceHandle, lVid));
  return lVid;
}

quint16 tUSB_CP210x::GetPid() {
  quint16 lPid = 0;
  CheckStatus(mBackend->GetDevicePid(mDeviceHandle, lPid));
  return lPid;
}

QString tUSB_CP210x::GetSerialNumber() {
  QByteArray lText;
  CheckStatus(mBackend->GetDeviceSerialNumber(mDeviceHandle, lText));
  return LibraryText(lText);
}

int tUSB_CP210x::GetComNr() {
  // The bridge is known by vendor, product and serial number; asking them first also makes
  // a bridge that is not open fail as every other call on its handle does.
  GetVid();
  GetPid();
  GetSerialNumber();
  return mBackend->GetComNr(mDeviceHandle);
}
