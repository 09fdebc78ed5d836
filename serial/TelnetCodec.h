#pragma once
// The Telnet layer of a network serial port: data bytes with 0xFF doubled in both
// directions, option negotiation (each side's options kept in one of four states, so that
// a request is answered once and never starts a loop of replies), and subnegotiations,
// which carry the com-port commands. Knows nothing of sockets; the stream may be cut
// anywhere, also inside an escape or a subnegotiation.
#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <functional>

class tTelnetCodec {
public:
  enum : quint8 {
    cSE = 240,
    cNOP = 241,
    cSB = 250,
    cWILL = 251,
    cWONT = 252,
    cDO = 253,
    cDONT = 254,
    cIAC = 255,
  };
  // Options this side speaks.
  enum : quint8 { coBinary = 0, coEcho = 1, coSuppressGoAhead = 3, coComPort = 44 };

  enum tOptionState : quint8 { osNo, osYes, osWantYes, osWantNo };

  // Data for the wire: every 0xFF doubled.
  static QByteArray Escape(const QByteArray& pData);
  // IAC SB option command value IAC SE, the value escaped.
  static QByteArray Subnegotiation(quint8 pOption, quint8 pCommand, const QByteArray& pValue);

  // The opening requests: both directions binary (the frames hold any byte, 0x0D and 0x00
  // among them, which a Telnet line in text mode would change), no go-ahead, and this side
  // offers the com-port option.
  QByteArray Start();

  // Takes bytes from the wire: appends their data to pData and returns what must be sent
  // back (answers to the peer's requests). Subnegotiations go to OnSubnegotiation.
  QByteArray Decode(const char* pBytes, qsizetype pCount, QByteArray& pData);

  // The option's payload without its option byte, unescaped.
  std::function<void(quint8 pOption, const QByteArray& pPayload)> OnSubnegotiation;

  // This side's option (agreed through WILL/DO) and the peer's (through DO/WILL).
  tOptionState Local(quint8 pOption) const { return tOptionState(mLocal[pOption]); }
  tOptionState Remote(quint8 pOption) const { return tOptionState(mRemote[pOption]); }

private:
  enum tParse : quint8 { psData, psIac, psVerb, psSb, psSbIac };

  static bool LocalWanted(quint8 pOption);
  static bool RemoteWanted(quint8 pOption);
  void Negotiate(quint8 pVerb, quint8 pOption, QByteArray& pReply);
  static void Send(QByteArray& pOut, quint8 pVerb, quint8 pOption);

  tParse mParse = psData;
  quint8 mVerb = 0;
  QByteArray mSb; // option byte, then the payload so far
  std::array<quint8, 256> mLocal{};
  std::array<quint8, 256> mRemote{};
};
