#include "serial/NetLine.h"

#include "core/Clock.h"
#include "core/Wait.h"
#include "serial/ComPortIntf.h"

#include <QTcpSocket>
#include <QUrl>
#include <algorithm>
#include <cstdint>
#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {
// Com-port commands from the client; the server answers with the same number plus 100.
enum : quint8 {
  ccSetBaudRate = 1,
  ccSetDataSize = 2,
  ccSetParity = 3,
  ccSetStopSize = 4,
  ccSetControl = 5,
  ccPurgeData = 12,
  ccServerOffset = 100,
};
// Values of SET-CONTROL.
enum : quint8 { ctNoFlowControl = 1, ctDtrOn = 8, ctDtrOff = 9, ctRtsOn = 11, ctRtsOff = 12 };

// How long opening waits for the server to report the rate before the first bytes may go;
// a server that never reports it costs this once per connection, no more.
constexpr int cSettleMs = 1000;

QByteArray Be32(quint32 pValue) {
  QByteArray lOut(4, '\0');
  lOut[0] = char(pValue >> 24);
  lOut[1] = char(pValue >> 16);
  lOut[2] = char(pValue >> 8);
  lOut[3] = char(pValue);
  return lOut;
}
} // namespace

QString TNetLine::tAddress::Text() const {
  const QString lHost = Host.contains(':') ? QStringLiteral("[%1]").arg(Host) : Host;
  return QStringLiteral("%1://%2:%3")
      .arg(Kind == nkRfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"), lHost)
      .arg(Port);
}

bool TNetLine::IsNetworkPath(const QString& pPath) {
  const QString lPath = pPath.trimmed();
  return lPath.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive) ||
         lPath.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

std::optional<TNetLine::tAddress> TNetLine::ParseAddress(const QString& pPath) {
  if (!IsNetworkPath(pPath)) return std::nullopt;
  const QUrl lUrl(pPath.trimmed(), QUrl::StrictMode);
  if (!lUrl.isValid() || lUrl.host().isEmpty() || lUrl.port() < 1 || lUrl.port() > 65535 ||
      !(lUrl.path().isEmpty() || lUrl.path() == QLatin1String("/")) || lUrl.hasQuery() ||
      lUrl.hasFragment() || !lUrl.userInfo().isEmpty())
    return std::nullopt;
  tAddress lAddress;
  lAddress.Kind =
      lUrl.scheme().compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0 ? nkRaw : nkRfc2217;
  lAddress.Host = lUrl.host();
  lAddress.Port = quint16(lUrl.port());
  return lAddress;
}

TNetLine::TNetLine(tAddress pAddress, QObject* pParent)
    : QObject(pParent), mAddress(std::move(pAddress)) {
  mCodec.OnSubnegotiation = [this](quint8 pOption, const QByteArray& pPayload) {
    Subnegotiation(pOption, pPayload);
  };
}

TNetLine::~TNetLine() {
  Close();
}

void TNetLine::Open(const tSettings& pSettings, int pTimeoutMs) {
  const std::int64_t lStart = MonotonicMSecs();
  const auto lLeft = [&] {
    return std::max<std::int64_t>(0, pTimeoutMs - (MonotonicMSecs() - lStart));
  };
  const QString lAddress = mAddress.Text();
  mSocket = std::make_unique<QTcpSocket>();
  connect(mSocket.get(), &QTcpSocket::readyRead, this, &TNetLine::Readable);
  connect(mSocket.get(), &QAbstractSocket::errorOccurred, this,
          [this](QAbstractSocket::SocketError pError) {
            if (!mError) mError = pError;
            Failed();
          });
  connect(mSocket.get(), &QAbstractSocket::disconnected, this, &TNetLine::Failed);
  mSocket->connectToHost(mAddress.Host, mAddress.Port);
  // The lookup and the connection run in the event loop, so the window stays responsive.
  WaitUntil(
      [this] { return mAborted || mError || mSocket->state() == QAbstractSocket::ConnectedState; },
      lLeft());
  if (mAborted)
    throw EOpenAborted(QStringLiteral("%1: Verbindungsaufbau abgebrochen").arg(lAddress));
  if (mSocket->state() != QAbstractSocket::ConnectedState) {
    ENetUnreachable::tReason lReason = ENetUnreachable::nrNoAnswer;
    if (mError == QAbstractSocket::HostNotFoundError)
      lReason = ENetUnreachable::nrUnknownHost;
    else if (mError == QAbstractSocket::ConnectionRefusedError)
      lReason = ENetUnreachable::nrRefused;
    const QString lWhy = mError
                             ? mSocket->errorString()
                             : QStringLiteral("keine Antwort innerhalb von %1 ms").arg(pTimeoutMs);
    Close();
    throw ENetUnreachable(QStringLiteral("%1: %2").arg(lAddress, lWhy), lAddress, lReason);
  }
  // Requests are a few bytes each and wait for their reply: never hold one back.
  mSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

  if (mAddress.Kind == nkRfc2217) {
    SendRaw(mCodec.Start());
    WaitUntil(
        [this] {
          const auto lState = mCodec.Local(tTelnetCodec::coComPort);
          return mAborted || mError || lState == tTelnetCodec::osYes ||
                 lState == tTelnetCodec::osNo;
        },
        lLeft());
    if (mAborted)
      throw EOpenAborted(QStringLiteral("%1: Verbindungsaufbau abgebrochen").arg(lAddress));
    const auto lComPort = mCodec.Local(tTelnetCodec::coComPort);
    if (lComPort == tTelnetCodec::osWantYes && !mError) {
      // Connected, but nothing came back: a server that hangs counts as one not answering.
      Close();
      throw ENetUnreachable(
          QStringLiteral("%1: keine Antwort innerhalb von %2 ms").arg(lAddress).arg(pTimeoutMs),
          lAddress, ENetUnreachable::nrNoAnswer);
    }
    if (lComPort != tTelnetCodec::osYes) {
      const QString lWhy = mError ? mSocket->errorString()
                                  : QStringLiteral("der Server stellt keine Schnittstelle ein "
                                                   "(RFC 2217 nicht angeboten)");
      Close();
      throw eError(QStringLiteral("%1: %2").arg(lAddress, lWhy));
    }
    mOpen = true; // the commands below are sent only on an open line
    mServerBaud = 0;
    SendCommand(ccSetBaudRate, Be32(quint32(pSettings.Baud)));
    SendCommand(ccSetDataSize, QByteArray(1, char(pSettings.DataBits)));
    const int lParity = QByteArrayLiteral("NOEMS").indexOf(pSettings.Parity);
    SendCommand(ccSetParity, QByteArray(1, char(lParity < 0 ? 1 : lParity + 1)));
    SendCommand(ccSetStopSize, QByteArray(1, char(pSettings.StopBits == 2 ? 2 : 1)));
    SendCommand(ccSetControl, QByteArray(1, char(ctNoFlowControl)));
    SetDTR(pSettings.DTR);
    SetRTS(pSettings.RTS);
    // Bytes the remote port received while nobody listened are no reply to anything.
    SendCommand(ccPurgeData, QByteArray(1, char(3)));
    mOpen = false;
    WaitUntil([this] { return mAborted || mError || mServerBaud != 0; },
              std::min<std::int64_t>(lLeft(), cSettleMs));
    if (mAborted)
      throw EOpenAborted(QStringLiteral("%1: Verbindungsaufbau abgebrochen").arg(lAddress));
  }
  if (mSocket->state() != QAbstractSocket::ConnectedState) {
    const QString lWhy = mSocket->errorString();
    Close();
    throw eError(QStringLiteral("%1: %2").arg(lAddress, lWhy));
  }
  mData.clear();
  mRead = 0;
  mOpen = true;
}

void TNetLine::Abort() {
  mAborted = true;
}

void TNetLine::Close() {
  mOpen = false;
  mAborted = true;
  if (!mSocket) return;
  mSocket->disconnect(this);
  mSocket->abort();
  // May run inside one of the socket's own signals.
  mSocket.release()->deleteLater();
}

void TNetLine::SetBaud(int pBaud) {
  SendCommand(ccSetBaudRate, Be32(quint32(pBaud)));
}

void TNetLine::SetDTR(bool pValue) {
  SendCommand(ccSetControl, QByteArray(1, char(pValue ? ctDtrOn : ctDtrOff)));
}

void TNetLine::SetRTS(bool pValue) {
  SendCommand(ccSetControl, QByteArray(1, char(pValue ? ctRtsOn : ctRtsOff)));
}

void TNetLine::Purge(bool pReceive, bool pTransmit) {
  if (!mOpen) return;
  if (pReceive) {
    // What the socket holds already is older than the purge: read it through the codec, so
    // that commands in it still count, and drop its data.
    Pull();
    mData.clear();
    mRead = 0;
  }
  const int lWhich = (pReceive ? 1 : 0) | (pTransmit ? 2 : 0);
  if (lWhich != 0) SendCommand(ccPurgeData, QByteArray(1, char(lWhich)));
}

void TNetLine::Write(const QByteArray& pBytes) {
  if (!mOpen || pBytes.isEmpty()) return;
  SendRaw(mAddress.Kind == nkRfc2217 ? tTelnetCodec::Escape(pBytes) : pBytes);
}

bool TNetLine::GetChar(char* pByte) {
  if (mRead >= mData.size()) return false;
  *pByte = mData.at(mRead++);
  if (mRead == mData.size()) {
    mData.clear();
    mRead = 0;
  }
  return true;
}

void TNetLine::SendCommand(quint8 pCommand, const QByteArray& pValue) {
  if (!mOpen || mAddress.Kind != nkRfc2217) return;
  SendRaw(tTelnetCodec::Subnegotiation(tTelnetCodec::coComPort, pCommand, pValue));
}

void TNetLine::SendRaw(const QByteArray& pBytes) {
  if (!mSocket || pBytes.isEmpty()) return;
  mSocket->write(pBytes);
  // QTcpSocket would hand the bytes to the system on a later pass of the event loop.
  mSocket->flush();
}

bool TNetLine::Pull() {
  if (!mSocket) return false;
  const QByteArray lBytes = mSocket->readAll();
  if (lBytes.isEmpty()) return false;
#ifdef TCP_QUICKACK
  // The system delays an acknowledgement by up to 40 ms; a server that holds back the rest of
  // a reply until its first bytes are acknowledged (Nagle's rule, ser2net's default) would
  // then hold every reply that long. The flag lasts until the next read, so it is set anew.
  const int lOne = 1;
  ::setsockopt(int(mSocket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &lOne, sizeof lOne);
#endif
  const qsizetype lBefore = mData.size();
  if (mAddress.Kind == nkRfc2217)
    SendRaw(mCodec.Decode(lBytes.constData(), lBytes.size(), mData));
  else
    mData.append(lBytes);
  return mData.size() > lBefore;
}

void TNetLine::Readable() {
  // A copy: the handler may close this line.
  if (Pull() && mOpen && OnDataAvailable) {
    const auto lHandler = OnDataAvailable;
    lHandler();
  }
}

void TNetLine::Subnegotiation(quint8 pOption, const QByteArray& pPayload) {
  if (pOption != tTelnetCodec::coComPort || pPayload.isEmpty()) return;
  const quint8 lCommand = quint8(pPayload.at(0));
  if (lCommand > ccServerOffset)
    mReports.insert(quint8(lCommand - ccServerOffset), pPayload.mid(1));
  if (lCommand == ccServerOffset + ccSetBaudRate && pPayload.size() >= 5) {
    const auto b = [&](int i) { return quint32(quint8(pPayload.at(i))); };
    mServerBaud = int(b(1) << 24 | b(2) << 16 | b(3) << 8 | b(4));
  }
  // The other reports (line and modem state, acknowledgements) change nothing here.
}

void TNetLine::Failed() {
  if (!mOpen || mLost) return;
  Lose(mSocket ? mSocket->errorString() : QString());
}

void TNetLine::Lose(const QString& pReason) {
  mLost = true;
  mOpen = false;
  if (OnLost) {
    const auto lHandler = OnLost;
    lHandler(QStringLiteral("Verbindung zu %1 verloren (%2)").arg(mAddress.Text(), pReason));
  }
}
