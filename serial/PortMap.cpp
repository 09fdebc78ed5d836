#include "serial/PortMap.h"

#include "core/IniFile.h"
#include "serial/ComPort.h"
#include "serial/NetLine.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char* const tPortMap::kSection = "Ports";

namespace {
tPortMap* gApplicationMap = nullptr;

// "COM12" (any letter case, as the file's keys are) → 12; anything else → 0.
quint16 NumberOfKey(const QString& pKey) {
  if (!pKey.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) return 0;
  const QString lDigits = pKey.mid(3);
  if (lDigits.isEmpty() || lDigits.size() > 5 ||
      !std::all_of(lDigits.begin(), lDigits.end(), [](QChar c) { return c.isDigit(); }))
    return 0;
  const uint lNumber = lDigits.toUInt();
  return lNumber >= 1 && lNumber <= 65535 ? quint16(lNumber) : 0;
}

bool InGroup(gid_t pGroup) {
  if (getegid() == pGroup) return true;
  const int lCount = getgroups(0, nullptr);
  if (lCount <= 0) return false;
  std::vector<gid_t> lGroups(static_cast<size_t>(lCount));
  getgroups(lCount, lGroups.data());
  return std::find(lGroups.begin(), lGroups.end(), pGroup) != lGroups.end();
}

QString Canonical(const QString& pPath) {
  const QString lCanonical = QFileInfo(pPath).canonicalFilePath();
  return lCanonical.isEmpty() ? QDir::cleanPath(pPath) : lCanonical;
}
} // namespace

tPortMap::tPortMap(tIniFile& pIni) : mIni(pIni), mLister(&tPortMap::SystemDevices) {}

QList<tPortMap::tSerialDevice> tPortMap::SystemDevices() {
  // udev's stable names, keyed by the node they point to.
  QMap<QString, QString> lById;
  const QDir lByIdDir(QStringLiteral("/dev/serial/by-id"));
  for (const QFileInfo& lLink : lByIdDir.entryInfoList(QDir::System | QDir::Files, QDir::Name))
    lById.insert(lLink.canonicalFilePath(), lLink.absoluteFilePath());
  QList<tSerialDevice> lDevices;
  for (const QSerialPortInfo& lInfo : QSerialPortInfo::availablePorts()) {
    const QString lLocation = lInfo.systemLocation();
    lDevices.append({lLocation, lById.value(Canonical(lLocation))});
  }
  return lDevices;
}

QMap<quint16, QString> tPortMap::Entries() const {
  QMap<quint16, QString> lEntries;
  for (const QString& lKey : mIni.ReadSection(QLatin1String(kSection))) {
    const quint16 lNumber = NumberOfKey(lKey);
    const QString lPath = mIni.ReadString(QLatin1String(kSection), lKey).trimmed();
    if (lNumber != 0 && !lPath.isEmpty() && !lEntries.contains(lNumber))
      lEntries.insert(lNumber, lPath);
  }
  return lEntries;
}

void tPortMap::Update() {
  QMap<quint16, QString> lEntries = Entries();
  QSet<QString> lKnown;
  for (const QString& lPath : lEntries)
    lKnown.insert(Canonical(lPath));

  QList<tSerialDevice> lDevices = mLister ? mLister() : QList<tSerialDevice>();
  static const QRegularExpression kTtyS(QStringLiteral("^/dev/ttyS(\\d+)$"));
  // The on-board ports first, so that a USB device seen at the same time cannot take the
  // number a ttyS port is expected under.
  std::stable_partition(lDevices.begin(), lDevices.end(), [](const tSerialDevice& d) {
    return kTtyS.match(d.SystemLocation).hasMatch();
  });
  for (const tSerialDevice& lDevice : lDevices) {
    const QString lPath =
        lDevice.StablePath.isEmpty() ? lDevice.SystemLocation : lDevice.StablePath;
    if (lPath.isEmpty() || lKnown.contains(Canonical(lPath)) ||
        lKnown.contains(Canonical(lDevice.SystemLocation)))
      continue;
    quint16 lNumber = 0;
    const QRegularExpressionMatch lMatch = kTtyS.match(lDevice.SystemLocation);
    if (lMatch.hasMatch()) {
      const uint lPreferred = lMatch.captured(1).toUInt() + 1;
      if (lPreferred <= 65535 && !lEntries.contains(quint16(lPreferred)))
        lNumber = quint16(lPreferred);
    }
    for (uint lFree = 1; lNumber == 0 && lFree <= 65535; ++lFree)
      if (!lEntries.contains(quint16(lFree))) lNumber = quint16(lFree);
    if (lNumber == 0) break; // every number taken
    lEntries.insert(lNumber, lPath);
    lKnown.insert(Canonical(lPath));
    mIni.WriteString(QLatin1String(kSection), Key(lNumber), lPath);
  }
}

bool tPortMap::DeviceExists(const QString& pDevicePath) {
  struct stat lStat {};
  return !pDevicePath.isEmpty() &&
         ::stat(QFile::encodeName(pDevicePath).constData(), &lStat) == 0 && S_ISCHR(lStat.st_mode);
}

bool tPortMap::IsNetworkPath(const QString& pDevicePath) {
  return TNetLine::IsNetworkPath(pDevicePath);
}

tPortMap::tAccess tPortMap::Access(const QString& pDevicePath) {
  tAccess lAccess;
  const QByteArray lNative = QFile::encodeName(pDevicePath);
  struct stat lStat {};
  if (pDevicePath.isEmpty() || ::stat(lNative.constData(), &lStat) != 0) return lAccess;
  if (::access(lNative.constData(), R_OK | W_OK) == 0 || errno != EACCES) return lAccess;
  lAccess.Allowed = false;
  const struct group* lGroup = getgrgid(lStat.st_gid);
  lAccess.Group = lGroup ? QString::fromLocal8Bit(lGroup->gr_name) : QString::number(lStat.st_gid);
  lAccess.InGroup = InGroup(lStat.st_gid);
  return lAccess;
}

QList<quint16> tPortMap::PresentNumbers() {
  Update();
  QList<quint16> lNumbers;
  const QMap<quint16, QString> lEntries = Entries();
  for (auto lIt = lEntries.begin(); lIt != lEntries.end(); ++lIt)
    // A network port is offered without asking the network: that would hold up every
    // listing for as long as an unreachable host takes to time out.
    if (DeviceExists(lIt.value()) || TNetLine::ParseAddress(lIt.value()))
      lNumbers.append(lIt.key()); // QMap: already in order
  return lNumbers;
}

QStringList tPortMap::ListComPorts() {
  QStringList lNames;
  for (quint16 lNumber : PresentNumbers())
    lNames << Key(lNumber);
  return lNames;
}

QString tPortMap::DevicePath(quint16 pComNr) const {
  return Entries().value(pComNr);
}

int tPortMap::ComNumberOf(const QString& pDevicePath) const {
  const QString lWanted = Canonical(pDevicePath);
  const QMap<quint16, QString> lEntries = Entries();
  for (auto lIt = lEntries.begin(); lIt != lEntries.end(); ++lIt)
    if (lIt.value() == pDevicePath || Canonical(lIt.value()) == lWanted) return lIt.key();
  return -1;
}

bool tPortMap::SetEntry(quint16 pComNr, const QString& pDevicePath) {
  if (pComNr == 0) return false;
  // Another spelling of the same key ("com5") would otherwise shadow the new value.
  for (const QString& lKey : mIni.ReadSection(QLatin1String(kSection)))
    if (NumberOfKey(lKey) == pComNr && lKey != Key(pComNr))
      mIni.DeleteKey(QLatin1String(kSection), lKey);
  return mIni.WriteString(QLatin1String(kSection), Key(pComNr), pDevicePath);
}

bool tPortMap::RemoveEntry(quint16 pComNr) {
  bool lOk = true;
  for (const QString& lKey : mIni.ReadSection(QLatin1String(kSection)))
    if (NumberOfKey(lKey) == pComNr) lOk = mIni.DeleteKey(QLatin1String(kSection), lKey) && lOk;
  return lOk;
}

tPortMap::tEditResult tPortMap::AddEntry(int pComNr, const QString& pDevicePath) {
  if (pComNr < 1 || pComNr > 65535) return erNumberInvalid;
  if (pDevicePath.trimmed().isEmpty()) return erNoPath;
  if (Entries().contains(quint16(pComNr))) return erNumberInUse;
  return SetEntry(quint16(pComNr), pDevicePath.trimmed()) ? erOk : erWriteFailed;
}

tPortMap::tEditResult tPortMap::Renumber(quint16 pFrom, int pTo) {
  if (pTo < 1 || pTo > 65535) return erNumberInvalid;
  const QMap<quint16, QString> lEntries = Entries();
  if (!lEntries.contains(pFrom)) return erNoEntry;
  if (pTo == pFrom) return erOk;
  if (lEntries.contains(quint16(pTo))) return erNumberInUse;
  // The new key first: a failed write must not lose the entry.
  if (!SetEntry(quint16(pTo), lEntries.value(pFrom))) return erWriteFailed;
  return RemoveEntry(pFrom) ? erOk : erWriteFailed;
}

quint16 tPortMap::FreeNumber() const {
  const QMap<quint16, QString> lEntries = Entries();
  for (uint lNumber = 1; lNumber <= 65535; ++lNumber)
    if (!lEntries.contains(quint16(lNumber))) return quint16(lNumber);
  return 0;
}

tComPortFactory tPortMap::ComPortFactory() {
  return [this]() -> std::unique_ptr<iComPort> { return std::make_unique<TApdComPort>(this); };
}

void tPortMap::SetApplicationMap(tPortMap* pMap) {
  gApplicationMap = pMap;
}

tPortMap* tPortMap::ApplicationMap() {
  return gApplicationMap;
}
