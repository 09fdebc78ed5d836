#include "serial/TelnetCodec.h"

QByteArray tTelnetCodec::Escape(const QByteArray& pData) {
  if (!pData.contains(char(cIAC))) return pData;
  QByteArray lOut;
  lOut.reserve(pData.size() + 8);
  for (char c : pData) {
    lOut.append(c);
    if (quint8(c) == cIAC) lOut.append(c);
  }
  return lOut;
}

QByteArray tTelnetCodec::Subnegotiation(quint8 pOption, quint8 pCommand, const QByteArray& pValue) {
  QByteArray lOut;
  lOut.append(char(cIAC)).append(char(cSB)).append(char(pOption));
  lOut.append(Escape(QByteArray(1, char(pCommand)) + pValue));
  lOut.append(char(cIAC)).append(char(cSE));
  return lOut;
}

void tTelnetCodec::Send(QByteArray& pOut, quint8 pVerb, quint8 pOption) {
  pOut.append(char(cIAC)).append(char(pVerb)).append(char(pOption));
}

bool tTelnetCodec::LocalWanted(quint8 pOption) {
  return pOption == coBinary || pOption == coSuppressGoAhead || pOption == coComPort;
}

bool tTelnetCodec::RemoteWanted(quint8 pOption) {
  // A server that echoed would return every request as if it were the reply.
  return pOption == coBinary || pOption == coSuppressGoAhead || pOption == coComPort;
}

QByteArray tTelnetCodec::Start() {
  QByteArray lOut;
  for (quint8 lOption : {coBinary, coSuppressGoAhead, coComPort}) {
    if (mLocal[lOption] == osNo) {
      mLocal[lOption] = osWantYes;
      Send(lOut, cWILL, lOption);
    }
  }
  for (quint8 lOption : {coBinary, coSuppressGoAhead}) {
    if (mRemote[lOption] == osNo) {
      mRemote[lOption] = osWantYes;
      Send(lOut, cDO, lOption);
    }
  }
  return lOut;
}

void tTelnetCodec::Negotiate(quint8 pVerb, quint8 pOption, QByteArray& pReply) {
  const bool lRemote = pVerb == cWILL || pVerb == cWONT;
  const bool lEnable = pVerb == cWILL || pVerb == cDO;
  quint8& lState = lRemote ? mRemote[pOption] : mLocal[pOption];
  const bool lWanted = lRemote ? RemoteWanted(pOption) : LocalWanted(pOption);
  const quint8 lAgree = lRemote ? cDO : cWILL;
  const quint8 lRefuse = lRemote ? cDONT : cWONT;
  // A request that matches the state, or answers one of ours, gets no reply: that is what
  // keeps two sides that both answer everything from echoing each other for ever.
  switch (lState) {
  case osNo:
    if (!lEnable) break;
    if (lWanted) {
      lState = osYes;
      Send(pReply, lAgree, pOption);
    } else {
      Send(pReply, lRefuse, pOption);
    }
    break;
  case osYes:
    if (lEnable) break;
    lState = osNo;
    Send(pReply, lRefuse, pOption);
    break;
  case osWantYes:
    lState = lEnable ? osYes : osNo;
    break;
  case osWantNo:
    lState = osNo;
    break;
  }
}

QByteArray tTelnetCodec::Decode(const char* pBytes, qsizetype pCount, QByteArray& pData) {
  QByteArray lReply;
  for (qsizetype i = 0; i < pCount; ++i) {
    const quint8 c = quint8(pBytes[i]);
    switch (mParse) {
    case psData:
      if (c == cIAC)
        mParse = psIac;
      else
        pData.append(char(c));
      break;
    case psIac:
      if (c == cIAC) {
        pData.append(char(c));
        mParse = psData;
      } else if (c >= cWILL && c <= cDONT) {
        mVerb = c;
        mParse = psVerb;
      } else if (c == cSB) {
        mSb.clear();
        mParse = psSb;
      } else {
        mParse = psData; // NOP, go-ahead, a stray SE and the like carry nothing here
      }
      break;
    case psVerb:
      Negotiate(mVerb, c, lReply);
      mParse = psData;
      break;
    case psSb:
      if (c == cIAC)
        mParse = psSbIac;
      else
        mSb.append(char(c));
      break;
    case psSbIac:
      if (c == cIAC) {
        mSb.append(char(c));
        mParse = psSb;
      } else if (c == cSE) {
        mParse = psData;
        if (!mSb.isEmpty() && OnSubnegotiation) OnSubnegotiation(quint8(mSb.at(0)), mSb.mid(1));
        mSb.clear();
      } else {
        // A subnegotiation cut off by another command: dropped, the command still counts.
        mSb.clear();
        mParse = psIac;
        --i;
      }
      break;
    }
  }
  return lReply;
}
