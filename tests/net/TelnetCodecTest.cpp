// The Telnet layer without a socket: escaping, negotiation answers and subnegotiations,
// with the stream cut at every position, as TCP may deliver it.
#include "serial/TelnetCodec.h"

#include <QList>
#include <gtest/gtest.h>

namespace {

using tc = tTelnetCodec;

QByteArray B(std::initializer_list<int> pBytes) {
  QByteArray lOut;
  for (int b : pBytes)
    lOut.append(char(b));
  return lOut;
}

struct tDecoded {
  QByteArray Data;
  QByteArray Reply;
  QList<QByteArray> Subs; // option byte, then payload
};

// Feeds pWire in two pieces cut at pCut.
tDecoded Feed(tc& pCodec, const QByteArray& pWire, qsizetype pCut) {
  tDecoded lOut;
  pCodec.OnSubnegotiation = [&](quint8 pOption, const QByteArray& pPayload) {
    lOut.Subs << QByteArray(1, char(pOption)) + pPayload;
  };
  lOut.Reply += pCodec.Decode(pWire.constData(), pCut, lOut.Data);
  lOut.Reply += pCodec.Decode(pWire.constData() + pCut, pWire.size() - pCut, lOut.Data);
  return lOut;
}

} // namespace

// Every byte value travels both ways unchanged, 0xFF doubled on the wire, whichever byte
// the stream is cut before; a subnegotiation in between is taken out whole.
TEST(TelnetCodec, data_and_subnegotiations_survive_any_cut_of_the_stream) {
  QByteArray lAll;
  for (int i = 0; i < 256; ++i)
    lAll.append(char(i));
  lAll += B({0xFF, 0xFF, 0x0D, 0x00, 0xFF});
  const QByteArray lEscaped = tc::Escape(lAll);
  EXPECT_EQ(lEscaped.size(), lAll.size() + lAll.count(char(0xFF)));

  // A rate report whose value holds 0xFF (escaped inside the subnegotiation) between data.
  const QByteArray lReport = tc::Subnegotiation(tc::coComPort, 101, B({0x00, 0x00, 0xFF, 0x10}));
  EXPECT_EQ(lReport, B({0xFF, 0xFA, 44, 101, 0x00, 0x00, 0xFF, 0xFF, 0x10, 0xFF, 0xF0}));
  const QByteArray lWire = lEscaped.left(100) + lReport + lEscaped.mid(100);

  for (qsizetype lCut = 0; lCut <= lWire.size(); ++lCut) {
    tc lCodec;
    const tDecoded lOut = Feed(lCodec, lWire, lCut);
    ASSERT_EQ(lOut.Data, lAll) << "cut at " << lCut;
    ASSERT_EQ(lOut.Subs.size(), 1) << "cut at " << lCut;
    EXPECT_EQ(lOut.Subs.front(), B({44, 101, 0x00, 0x00, 0xFF, 0x10})) << "cut at " << lCut;
    EXPECT_TRUE(lOut.Reply.isEmpty());
  }
}

// The opening burst a ser2net 4.3 server sends, before and after this side's own requests:
// each request gets one answer, ECHO is refused (the requests would come back as replies),
// answers to this side's requests get none, and a repeated request starts no loop.
TEST(TelnetCodec, negotiation_answers_each_request_once_and_agrees_on_the_com_port) {
  const QByteArray lServerBurst =
      B({0xFF, tc::cWILL, 3, 0xFF, tc::cDO,   3, 0xFF, tc::cWILL, 1, 0xFF, tc::cDONT, 1,
         0xFF, tc::cDO,   0, 0xFF, tc::cWILL, 0, 0xFF, tc::cDO,   44});

  {
    // This side asked first: the burst only answers it.
    tc lCodec;
    const QByteArray lStart = lCodec.Start();
    EXPECT_EQ(lStart, B({0xFF, tc::cWILL, 0, 0xFF, tc::cWILL, 3, 0xFF, tc::cWILL, 44, 0xFF, tc::cDO,
                         0, 0xFF, tc::cDO, 3}));
    EXPECT_EQ(lCodec.Local(tc::coComPort), tc::osWantYes);
    const tDecoded lOut = Feed(lCodec, lServerBurst, 7);
    EXPECT_EQ(lOut.Reply, B({0xFF, tc::cDONT, 1})) << lOut.Reply.toHex(' ').constData();
    EXPECT_EQ(lCodec.Local(tc::coComPort), tc::osYes);
    EXPECT_EQ(lCodec.Local(tc::coBinary), tc::osYes);
    EXPECT_EQ(lCodec.Remote(tc::coBinary), tc::osYes);
    EXPECT_EQ(lCodec.Remote(tc::coEcho), tc::osNo);
    // The server repeats itself (ser2net answers a WILL it had asked for with DO again):
    // agreed options are not confirmed again, only the unwanted one is refused again.
    EXPECT_EQ(Feed(lCodec, lServerBurst, 0).Reply, B({0xFF, tc::cDONT, 1}));
  }
  {
    // The server spoke first: every request it made is answered, after that nothing.
    tc lCodec;
    const tDecoded lOut = Feed(lCodec, lServerBurst, 11);
    EXPECT_EQ(lOut.Reply, B({0xFF, tc::cDO, 3, 0xFF, tc::cWILL, 3, 0xFF, tc::cDONT, 1, 0xFF,
                             tc::cWILL, 0, 0xFF, tc::cDO, 0, 0xFF, tc::cWILL, 44}))
        << lOut.Reply.toHex(' ').constData();
    EXPECT_TRUE(lCodec.Start().isEmpty());
    EXPECT_EQ(Feed(lCodec, lServerBurst, 3).Reply, B({0xFF, tc::cDONT, 1}));
  }
  {
    // Unknown options are refused in the direction asked; a refused com-port option is
    // seen as refused, and switching an agreed option off is confirmed once.
    tc lCodec;
    lCodec.Start();
    const tDecoded lOut = Feed(
        lCodec, B({0xFF, tc::cDO, 24, 0xFF, tc::cWILL, 31, 0xFF, tc::cWONT, 44, 0xFF, tc::cDONT, 44,
                   0xFF, tc::cDO, 0,  0xFF, tc::cDONT, 0,  0xFF, tc::cDONT, 0}),
        5);
    EXPECT_EQ(lOut.Reply, B({0xFF, tc::cWONT, 24, 0xFF, tc::cDONT, 31, 0xFF, tc::cWONT, 0}))
        << lOut.Reply.toHex(' ').constData();
    EXPECT_EQ(lCodec.Local(tc::coComPort), tc::osNo);
    EXPECT_EQ(lCodec.Local(tc::coBinary), tc::osNo);
  }
}

// A subnegotiation cut short by another command is dropped, and the command still counts;
// commands without meaning here (NOP, a stray SE) vanish from the data.
TEST(TelnetCodec, broken_subnegotiation_and_bare_commands_leave_the_data_alone) {
  tc lCodec;
  lCodec.Start();
  const QByteArray lWire = B({'A', 0xFF, 0xFA, 44, 101, 0x00, 0xFF, tc::cDO, 24, 'B', 0xFF,
                              tc::cNOP, 'C', 0xFF, tc::cSE, 'D'});
  for (qsizetype lCut = 0; lCut <= lWire.size(); ++lCut) {
    tc lFresh;
    lFresh.Start();
    const tDecoded lOut = Feed(lFresh, lWire, lCut);
    EXPECT_EQ(lOut.Data, QByteArray("ABCD")) << "cut at " << lCut;
    EXPECT_TRUE(lOut.Subs.isEmpty()) << "cut at " << lCut;
    EXPECT_EQ(lOut.Reply, B({0xFF, tc::cWONT, 24})) << "cut at " << lCut;
  }
}
