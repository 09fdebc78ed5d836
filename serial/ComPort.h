#pragma once
// The real serial port: a device node reached through its COM number, over QSerialPort,
// 8 data bits, no parity, 1 stop bit, no handshake. Notifications come from readyRead on the
// GUI thread.
//
// The number is resolved through the port map given at construction, else through the
// application's map (tPortMap::SetApplicationMap). Opening fails with EBadId when there is
// no entry or no device, EAlreadyOpen when another program or another port object holds
// it, and a plain eError otherwise; "permission denied" is such an other error and says
// what to do about it.
//
// A device that goes away (cable pulled, simulator stopped) closes the port at the first
// read or resource error and is reported once; further bytes sent are dropped, so the
// protocol layers see silence and their time-outs take over.
//
// An entry may also name a port on another machine ("rfc2217://host:port", "tcp://host:port",
// see serial/NetLine.h): the same members then act on the network line. A server that cannot
// be reached within 3 s counts as a port that does not exist (ENetUnreachable), a connection
// that ends as a device that went away.
#include "serial/ComPortIntf.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <memory>

class tPortMap;
class TNetLine;

class TApdComPort : public QObject, public iComPort {
  Q_OBJECT
public:
  explicit TApdComPort(tPortMap* pMap = nullptr, QObject* pParent = nullptr);
  ~TApdComPort() override;

  bool AutoOpen() const override { return FAutoOpen; }
  void SetAutoOpen(bool pValue) override { FAutoOpen = pValue; }
  quint16 ComNumber() const override { return FComNumber; }
  void SetComNumber(qint64 pValue) override;
  int Baud() const override { return FBaud; }
  void SetBaud(int pValue) override;
  bool RTS() const override { return FRTS; }
  void SetRTS(bool pValue) override;
  bool DTR() const override { return FDTR; }
  void SetDTR(bool pValue) override;
  bool Open() const override { return FOpen; }
  void SetOpen(bool pValue) override;
  TTriggerAvailEvent OnTriggerAvail() const override { return FOnTriggerAvail; }
  void SetOnTriggerAvail(TTriggerAvailEvent pHandler) override;
  void ClearReceive() override;
  void ClearTransmit() override;
  void SendBytes(const QByteArray& pBytes) override;
  void SendByte(quint8 pByte) override;
  quint8 ReadByte() override;

  // The device path the port was opened on (empty while closed).
  const QString& DevicePath() const { return mDevicePath; }
  // Called once when an open port loses its device.
  std::function<void(iComPort* CP, const QString& pText)> OnLineLost;

private:
  QString ResolvePath() const;
  void OpenPort();
  void OpenNetwork(const QString& pPath);
  void ClosePort();
  void ReadyRead();
  void ErrorOccurred(QSerialPort::SerialPortError pError);
  void LoseLine(const QString& pText);

  tPortMap* mMap;
  bool FAutoOpen = false;
  quint16 FComNumber = 0;
  int FBaud = 9600;
  bool FRTS = false;
  bool FDTR = false;
  bool FOpen = false;
  TTriggerAvailEvent FOnTriggerAvail;

  std::unique_ptr<QSerialPort> mPort;
  std::unique_ptr<TNetLine> mNet;
  TNetLine* mOpening = nullptr; // a network line while it connects
  QString mDevicePath;
  QString mHeldPath; // canonical path registered as held by this program
  bool mLineLost = false;
  std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
};
