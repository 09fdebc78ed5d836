#pragma once
// The members of a serial port that the protocol layers and the device frame use, so that
// the same code runs over a real port, a pseudo-terminal and an in-process simulator.
#include "core/Error.h"

#include <QByteArray>
#include <QtGlobal>
#include <functional>
#include <memory>

class iComPort;

// Data-available notification: the port that raised it and the number of bytes waiting.
// Delivered on the GUI thread from the event loop, never from inside SendBytes.
using TTriggerAvailEvent = std::function<void(iComPort* CP, quint16 Count)>;

class iComPort {
public:
  virtual ~iComPort() = default;

  virtual bool AutoOpen() const = 0;
  virtual void SetAutoOpen(bool pValue) = 0;
  // Port "COM<n>"; a number above 65535 is refused with eRangeError before it is stored.
  virtual quint16 ComNumber() const = 0;
  virtual void SetComNumber(qint64 pValue) = 0;
  // Takes effect for the next bytes, also while the port is open.
  virtual int Baud() const = 0;
  virtual void SetBaud(int pValue) = 0;
  virtual bool RTS() const = 0;
  virtual void SetRTS(bool pValue) = 0;
  virtual bool DTR() const = 0;
  virtual void SetDTR(bool pValue) = 0;
  // Setting true opens with all settings applied (EBadId, EAlreadyOpen or another eError on
  // failure); false closes and stops notifications.
  virtual bool Open() const = 0;
  virtual void SetOpen(bool pValue) = 0;
  // Exactly one handler at a time; setting one replaces the previous, an empty one removes it.
  virtual TTriggerAvailEvent OnTriggerAvail() const = 0;
  virtual void SetOnTriggerAvail(TTriggerAvailEvent pHandler) = 0;

  virtual void ClearReceive() = 0;
  virtual void ClearTransmit() = 0;
  virtual void SendBytes(const QByteArray& pBytes) = 0;
  virtual void SendByte(quint8 pByte) = 0;
  // Oldest unread byte; called from the data-available handler exactly Count times.
  virtual quint8 ReadByte() = 0;
};

// Calls a data-available handler at the port's notification boundary. An error the handler
// raises must not cross that boundary (a real port would never notify again): it goes to the
// application's error report by a queued call, and the port keeps delivering.
void DeliverTriggerAvail(const TTriggerAvailEvent& pHandler, iComPort* pPort, quint16 pCount);

// Creates a new, unopened port object for one connection attempt.
using tComPortFactory = std::function<std::unique_ptr<iComPort>()>;

// Opening errors the device frame tells apart (messages 103 and 104).
CORVANE_DECLARE_ERROR(EBadId)
CORVANE_DECLARE_ERROR(EAlreadyOpen)
// An opening that waits (a network port connecting) was ended meanwhile by closing or
// releasing the port: the user disconnected, nothing to report.
CORVANE_DECLARE_ERROR(EOpenAborted)

// A device this user may not open. Group is the device's group; InGroup tells whether the
// user is in it already (then the device's own access rights forbid reading and writing).
class ENoPermission : public eError {
public:
  ENoPermission(const QString& pMessage, QString pGroup, bool pInGroup)
      : eError(pMessage, "ENoPermission"), Group(std::move(pGroup)), InGroup(pInGroup) {}
  QString Group;
  bool InGroup = false;
};

// A network port whose server cannot be reached: it counts as a port that does not exist,
// and the frame names the address and the reason.
class ENetUnreachable : public EBadId {
public:
  enum tReason { nrUnknownHost, nrRefused, nrNoAnswer };
  ENetUnreachable(const QString& pMessage, QString pAddress, tReason pReason)
      : EBadId(pMessage), Address(std::move(pAddress)), Reason(pReason) {}
  QString Address;
  tReason Reason = nrNoAnswer;
};
