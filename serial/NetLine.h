#pragma once
// A serial line on another machine, reached over TCP: "rfc2217://host:port" speaks Telnet
// with the com-port option, so the line settings the program makes (rate, data bits, parity,
// stop bits, DTR, RTS, purging) reach the remote port; "tcp://host:port" carries the bytes
// only, at whatever settings the server gives its port.
//
// Runs on the GUI thread over QTcpSocket. Opening waits at most the given time for the
// connection, processing events meanwhile; acknowledgements of line settings are never
// waited for (a server in front of a device that refuses DTR/RTS sends none), since the
// commands travel in the same stream before the bytes they apply to.
#include "serial/TelnetCodec.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;

class TNetLine : public QObject {
  Q_OBJECT
public:
  enum tKind { nkRfc2217, nkRaw };
  struct tAddress {
    tKind Kind = nkRfc2217;
    QString Host;
    quint16 Port = 0;
    // As the user reads it: "rfc2217://host:port".
    QString Text() const;
  };
  // "rfc2217://host:port", "tcp://host:port" (scheme in any case, a host name, an IPv4
  // address or an IPv6 address in brackets); nothing for anything else.
  static std::optional<tAddress> ParseAddress(const QString& pPath);
  // True when the path names a network port at all (it may still be malformed).
  static bool IsNetworkPath(const QString& pPath);

  // The line settings made on opening.
  struct tSettings {
    int Baud = 9600;
    int DataBits = 8;
    char Parity = 'N'; // N, O, E, M, S
    int StopBits = 1;
    bool DTR = false;
    bool RTS = false;
  };

  explicit TNetLine(tAddress pAddress, QObject* pParent = nullptr);
  ~TNetLine() override;

  // Connects and makes the settings; ENetUnreachable (an EBadId) when the host is unknown,
  // refuses or does not answer in time, eError when the server does not speak the com-port
  // option, EOpenAborted when Abort was called from a handler run inside the wait.
  void Open(const tSettings& pSettings, int pTimeoutMs);
  void Abort();
  void Close();
  bool IsOpen() const { return mOpen; }
  const tAddress& Address() const { return mAddress; }

  void SetBaud(int pBaud);
  void SetDTR(bool pValue);
  void SetRTS(bool pValue);
  // Empties the remote port's buffers, and on receive also what reached this side already.
  void Purge(bool pReceive, bool pTransmit);
  void Write(const QByteArray& pBytes);

  qsizetype BytesAvailable() const { return mData.size() - mRead; }
  bool GetChar(char* pByte);

  // The last rate the server reported for its port (0 before any report).
  int ServerBaud() const { return mServerBaud; }
  // The value of the server's last answer to a com-port command (1 rate, 2 data bits,
  // 3 parity, 4 stop bits, 5 control, 12 purge), empty before one came.
  QByteArray ServerReport(quint8 pCommand) const { return mReports.value(pCommand); }

  // Bytes arrived; called from the socket's notification on the GUI thread.
  std::function<void()> OnDataAvailable;
  // The connection ended while open; called once.
  std::function<void(const QString& pText)> OnLost;

private:
  // Reads what the socket holds through the codec; true when data arrived.
  bool Pull();
  void Readable();
  void Failed();
  void Subnegotiation(quint8 pOption, const QByteArray& pPayload);
  void SendCommand(quint8 pCommand, const QByteArray& pValue);
  void SendRaw(const QByteArray& pBytes);
  void Lose(const QString& pReason);

  tAddress mAddress;
  std::unique_ptr<QTcpSocket> mSocket;
  tTelnetCodec mCodec;
  QByteArray mData;
  qsizetype mRead = 0;
  bool mOpen = false;
  bool mAborted = false;
  bool mLost = false;
  int mServerBaud = 0;
  QMap<quint8, QByteArray> mReports;
  std::optional<QAbstractSocket::SocketError> mError;
};
