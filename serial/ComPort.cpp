#include "serial/ComPort.h"

#include "serial/NetLine.h"
#include "serial/PortMap.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtDebug>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Devices held open by port objects of this program, by canonical path: a link and its
// target are the same device although QSerialPort's lock files differ for them.
QSet<QString>& HeldPaths() {
  static QSet<QString> lHeld;
  return lHeld;
}

// How long opening a network port may take before it counts as absent.
constexpr int cNetConnectMs = 3000;

} // namespace

TApdComPort::TApdComPort(tPortMap* pMap, QObject* pParent) : QObject(pParent), mMap(pMap) {}

TApdComPort::~TApdComPort() {
  *mAlive = false;
  ClosePort();
}

void TApdComPort::SetComNumber(qint64 pValue) {
  if (pValue < 0 || pValue > 65535)
    throw eRangeError(QStringLiteral("Bereichsüberschreitung: COM%1").arg(pValue));
  FComNumber = quint16(pValue);
}

void TApdComPort::SetBaud(int pValue) {
  FBaud = pValue;
  if (FOpen && mNet) mNet->SetBaud(pValue);
  if (FOpen && mPort && !mPort->setBaudRate(pValue))
    throw eError(QStringLiteral("COM%1: Baudrate %2 nicht einstellbar: %3")
                     .arg(FComNumber)
                     .arg(pValue)
                     .arg(mPort->errorString()));
}

void TApdComPort::SetRTS(bool pValue) {
  FRTS = pValue;
  // A pseudo-terminal refuses the modem lines; that is harmless for the protocols.
  if (FOpen && mPort) mPort->setRequestToSend(pValue);
  if (FOpen && mNet) mNet->SetRTS(pValue);
}

void TApdComPort::SetDTR(bool pValue) {
  FDTR = pValue;
  if (FOpen && mPort) mPort->setDataTerminalReady(pValue);
  if (FOpen && mNet) mNet->SetDTR(pValue);
}

void TApdComPort::SetOpen(bool pValue) {
  // Closed from a handler while a network port still connects: that opening ends.
  if (!pValue && mOpening) mOpening->Abort();
  if (pValue == FOpen) return;
  if (pValue)
    OpenPort();
  else
    ClosePort();
}

void TApdComPort::SetOnTriggerAvail(TTriggerAvailEvent pHandler) {
  FOnTriggerAvail = std::move(pHandler);
}

QString TApdComPort::ResolvePath() const {
  tPortMap* lMap = mMap ? mMap : tPortMap::ApplicationMap();
  return lMap ? lMap->DevicePath(FComNumber) : QString();
}

void TApdComPort::OpenPort() {
  ClosePort(); // a port that lost its device may still hold it
  const QString lPath = ResolvePath();
  if (lPath.isEmpty())
    throw EBadId(QStringLiteral("COM%1: Schnittstelle existiert nicht").arg(FComNumber));
  if (TNetLine::IsNetworkPath(lPath)) {
    OpenNetwork(lPath);
    return;
  }
  // Told apart in this order, because QSerialPort reports all three as a permission error.
  const QByteArray lNative = QFile::encodeName(lPath);
  struct stat lStat {};
  if (::stat(lNative.constData(), &lStat) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      throw EBadId(QStringLiteral("COM%1: %2 existiert nicht").arg(FComNumber).arg(lPath));
    throw eError(QStringLiteral("COM%1: %2: %3")
                     .arg(FComNumber)
                     .arg(lPath, QString::fromLocal8Bit(strerror(errno))));
  }
  if (!S_ISCHR(lStat.st_mode))
    throw EBadId(QStringLiteral("COM%1: %2 ist keine Schnittstelle").arg(FComNumber).arg(lPath));
  const tPortMap::tAccess lAccess = tPortMap::Access(lPath);
  if (!lAccess.Allowed) {
    const QString lText =
        lAccess.InGroup
            ? QStringLiteral("COM%1: Keine Berechtigung für %2. Die Zugriffsrechte des Geräts "
                             "erlauben kein Lesen und Schreiben.")
                  .arg(FComNumber)
                  .arg(lPath)
            : QStringLiteral("COM%1: Keine Berechtigung für %2. Den Benutzer in die Gruppe "
                             "\"%3\" aufnehmen (sudo usermod -a -G %3 $USER) und neu anmelden.")
                  .arg(FComNumber)
                  .arg(lPath, lAccess.Group);
    throw ENoPermission(lText, lAccess.Group, lAccess.InGroup);
  }
  const QString lCanonical = QFileInfo(lPath).canonicalFilePath();
  if (HeldPaths().contains(lCanonical))
    throw EAlreadyOpen(QStringLiteral("COM%1: Schnittstelle ist bereits geöffnet").arg(FComNumber));

  auto lPort = std::make_unique<QSerialPort>();
  lPort->setPortName(lPath);
  lPort->setBaudRate(FBaud);
  lPort->setDataBits(QSerialPort::Data8);
  lPort->setParity(QSerialPort::NoParity);
  lPort->setStopBits(QSerialPort::OneStop);
  lPort->setFlowControl(QSerialPort::NoFlowControl);
  if (!lPort->open(QIODevice::ReadWrite)) {
    const QString lText =
        QStringLiteral("COM%1: %2: %3").arg(FComNumber).arg(lPath, lPort->errorString());
    switch (lPort->error()) {
    case QSerialPort::DeviceNotFoundError:
      throw EBadId(lText);
    case QSerialPort::PermissionError:
      // Access was allowed above: a lock file of a live process or an exclusive open.
      throw EAlreadyOpen(lText);
    default:
      throw eError(lText);
    }
  }
  // Bytes that reached the device while nobody had it open are no reply to anything.
  lPort->clear(QSerialPort::AllDirections);
  lPort->setDataTerminalReady(FDTR);
  lPort->setRequestToSend(FRTS);
  connect(lPort.get(), &QSerialPort::readyRead, this, &TApdComPort::ReadyRead);
  connect(lPort.get(), &QSerialPort::errorOccurred, this, &TApdComPort::ErrorOccurred);
  mPort = std::move(lPort);
  mDevicePath = lPath;
  mHeldPath = lCanonical;
  HeldPaths().insert(mHeldPath);
  mLineLost = false;
  FOpen = true;
}

void TApdComPort::OpenNetwork(const QString& pPath) {
  const std::optional<TNetLine::tAddress> lAddress = TNetLine::ParseAddress(pPath);
  if (!lAddress)
    throw EBadId(
        QStringLiteral("COM%1: %2 ist keine gültige Netzwerkadresse").arg(FComNumber).arg(pPath));
  const QString lHeld = lAddress->Text().toLower();
  if (HeldPaths().contains(lHeld))
    throw EAlreadyOpen(QStringLiteral("COM%1: Schnittstelle ist bereits geöffnet").arg(FComNumber));
  auto lLine = std::make_unique<TNetLine>(*lAddress);
  TNetLine::tSettings lSettings;
  lSettings.Baud = FBaud;
  lSettings.DTR = FDTR;
  lSettings.RTS = FRTS;
  // Held while it connects, so that a second port object opened meanwhile is refused; the
  // wait runs the event loop, in which this object may be closed or even released.
  HeldPaths().insert(lHeld);
  mOpening = lLine.get();
  const std::shared_ptr<bool> lAlive = mAlive;
  const auto lDone = [&] {
    if (*lAlive) mOpening = nullptr;
  };
  try {
    lLine->Open(lSettings, cNetConnectMs);
  } catch (const ENetUnreachable& e) {
    if (!*lAlive) throw;
    lDone();
    HeldPaths().remove(lHeld);
    throw ENetUnreachable(QStringLiteral("COM%1: %2").arg(FComNumber).arg(e.Message()), e.Address,
                          e.Reason);
  } catch (...) {
    lDone();
    HeldPaths().remove(lHeld);
    throw;
  }
  lDone();
  if (!*lAlive) {
    HeldPaths().remove(lHeld);
    throw EOpenAborted(QStringLiteral("%1: Verbindungsaufbau abgebrochen").arg(pPath));
  }
  lLine->OnDataAvailable = [this] { ReadyRead(); };
  lLine->OnLost = [this](const QString& pText) {
    if (!mLineLost && FOpen) LoseLine(QStringLiteral("COM%1: %2").arg(FComNumber).arg(pText));
  };
  mNet = std::move(lLine);
  mDevicePath = pPath;
  mHeldPath = lHeld;
  mLineLost = false;
  FOpen = true;
}

void TApdComPort::ClosePort() {
  FOpen = false;
  if (mOpening) mOpening->Abort();
  if (!mHeldPath.isEmpty()) HeldPaths().remove(mHeldPath);
  mHeldPath.clear();
  mDevicePath.clear();
  if (mNet) {
    mNet->OnDataAvailable = nullptr;
    mNet->OnLost = nullptr;
    mNet->Close();
    // Closing may happen inside the line's own notification.
    mNet.release()->deleteLater();
  }
  if (!mPort) return;
  mPort->disconnect(this);
  mPort->close();
  // The port may be closed from inside one of its own signals (a handler that disconnects,
  // a lost device); it is deleted once that signal has returned.
  mPort.release()->deleteLater();
}

void TApdComPort::ClearReceive() {
  if (FOpen && mPort) mPort->clear(QSerialPort::Input);
  if (FOpen && mNet) mNet->Purge(true, false);
}

void TApdComPort::ClearTransmit() {
  if (FOpen && mPort) mPort->clear(QSerialPort::Output);
  if (FOpen && mNet) mNet->Purge(false, true);
}

void TApdComPort::SendBytes(const QByteArray& pBytes) {
  if (!FOpen && FAutoOpen && !mLineLost) SetOpen(true);
  // Bytes for a closed port are dropped: after a lost device the layers time out once
  // instead of raising an error on every request.
  if (FOpen && mNet) {
    mNet->Write(pBytes);
    return;
  }
  if (!FOpen || !mPort || pBytes.isEmpty()) return;
  // QSerialPort only buffers a write and hands it to the device from a write notifier on a
  // later pass of the event loop: tens of microseconds on every request. With nothing of
  // its own waiting, the bytes go to the device at once; what the device does not take, and
  // an error, go through QSerialPort, which reports a lost device from the loop as before.
  qsizetype lDone = 0;
  if (mPort->bytesToWrite() == 0) {
    while (lDone < pBytes.size()) {
      const ssize_t lWritten =
          ::write(mPort->handle(), pBytes.constData() + lDone, size_t(pBytes.size() - lDone));
      if (lWritten > 0)
        lDone += lWritten;
      else if (lWritten < 0 && errno == EINTR)
        continue;
      else
        break;
    }
  }
  if (lDone < pBytes.size()) mPort->write(pBytes.constData() + lDone, pBytes.size() - lDone);
}

void TApdComPort::SendByte(quint8 pByte) {
  SendBytes(QByteArray(1, char(pByte)));
}

quint8 TApdComPort::ReadByte() {
  char lByte = 0;
  if (FOpen && mNet) return mNet->GetChar(&lByte) ? quint8(lByte) : 0;
  if (!FOpen || !mPort || !mPort->getChar(&lByte)) return 0;
  return quint8(lByte);
}

void TApdComPort::ReadyRead() {
  if (!FOpen || (!mPort && !mNet) || !FOnTriggerAvail) return;
  const qint64 lAvailable = mNet ? mNet->BytesAvailable() : mPort->bytesAvailable();
  const quint16 lCount = quint16(std::min<qint64>(lAvailable, 65535));
  // A copy: the handler may replace itself, or release this port.
  const TTriggerAvailEvent lHandler = FOnTriggerAvail;
  DeliverTriggerAvail(lHandler, this, lCount);
}

void TApdComPort::ErrorOccurred(QSerialPort::SerialPortError pError) {
  if (pError != QSerialPort::ResourceError && pError != QSerialPort::ReadError &&
      pError != QSerialPort::WriteError)
    return;
  if (mLineLost || !FOpen) return;
  LoseLine(QStringLiteral("COM%1: Verbindung zum Gerät verloren (%2)")
               .arg(FComNumber)
               .arg(mPort ? mPort->errorString() : QString()));
}

void TApdComPort::LoseLine(const QString& pText) {
  mLineLost = true;
  // Closing inside QSerialPort's own error signal is not safe; stop using it now and close
  // on the next pass, which also stops the flood of further errors.
  FOpen = false;
  if (mPort) mPort->disconnect(this);
  QMetaObject::invokeMethod(
      this, [this] { ClosePort(); }, Qt::QueuedConnection);
  qWarning().noquote() << pText;
  if (OnLineLost) OnLineLost(this, pText);
}
