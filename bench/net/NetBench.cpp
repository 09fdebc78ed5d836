// The R70 live exchange through a network serial server: ser2net on the loopback address in
// front of a pseudo-terminal whose peer (a child process) paces the instrument's bytes at
// the line rate. Figures as in bench_r70: the share of the line's limit the program uses
// (ratio), its time from a complete reply to the next request, and the CPU share.
//
// Every rate has two references measured in the same run on the same peer: the program on
// the pseudo-terminal directly (what the network costs it), and a bare client without an
// event loop that writes a request through the server's raw TCP port and blocks until the
// reply is in (what the server and the loopback leave for any client).
//
//   bench_net [seconds per run, default 5]
#include "bench/common/BenchLoop.h"
#include "bench/common/ExchangeMeter.h"
#include "bench/common/PacedPtyPeer.h"
#include "bench/common/RealPort.h"
#include "core/DeviceInfo.h"
#include "core/IniFile.h"
#include "protocol/common/FrameCodec.h"
#include "protocol/r70/DMU_R70ifc.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"
#include "sim/SimR70.h"
#include "tests/net/Ser2Net.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct tLiveFigures {
  double Ratio = 0;
  double TurnUs = 0;
  double ExcessUs = 0;
  double CpuShare = 0;
};

tLiveFigures MeasureLive(std::unique_ptr<iComPort> pPort, int pBaud, int pSeconds) {
  auto log = std::make_shared<tExchangeLog>(pBaud);
  tDeviceInfo info;
  tDMU_R70ifc ifc(std::make_unique<tMeteredPort>(std::move(pPort), log), false);
  ifc.Initialize(&info);
  RunEventsFor(1200);
  log->Reset();
  const double cpu0 = CpuSeconds();
  RunEventsFor(pSeconds * 1000);
  tLiveFigures f;
  f.Ratio = log->LineRatio();
  f.TurnUs = log->MedianReplyToRequestUs();
  f.ExcessUs = log->MedianReplyExcessUs();
  f.CpuShare = (CpuSeconds() - cpu0) / log->WallSeconds();
  return f;
}


qint64 NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// A client with no event loop on the server's raw TCP port: write, block until the reply
// is complete, write again. Ratio as for the program.
double MeasureBareTcp(quint16 pPort, int pBaud, double pSeconds) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(pPort);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return 0;
  }
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  // As the program does: acknowledge at once, or ser2net holds the rest of a reply back.
  const auto quickAck = [&] { setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one); };
  // Whatever the peer still sends for an earlier client goes first.
  for (pollfd p{fd, POLLIN, 0}; poll(&p, 1, 200) > 0; p.revents = 0) {
    char buf[64];
    if (read(fd, buf, sizeof buf) <= 0) break;
  }
  const QByteArray frame = FrameCodec::Request(QByteArray("PZ\0", 3), false);
  const qint64 lineNs = qint64(frame.size() + cPzReplyBytes) * 10'000'000'000LL / pBaud;
  long exchanges = 0;
  const qint64 start = NowNs();
  const qint64 end = start + qint64(pSeconds * 1e9);
  bool failed = false;
  while (!failed && NowNs() < end) {
    if (write(fd, frame.constData(), size_t(frame.size())) != frame.size()) break;
    int got = 0;
    while (got < cPzReplyBytes) {
      pollfd p{fd, POLLIN, 0};
      char buf[64];
      ssize_t n = 0;
      if (poll(&p, 1, 1000) <= 0 || (n = read(fd, buf, sizeof buf)) <= 0) {
        failed = true;
        break;
      }
      got += int(n);
      quickAck();
    }
    if (!failed) ++exchanges;
  }
  const double wall = (NowNs() - start) / 1e9;
  close(fd);
  return exchanges * (lineNs / 1e9) / wall;
}

void Print(const char* pWhat, int pBaud, const tLiveFigures& pF) {
  std::printf("%-36s %6d  %7.1f/s  limit %6.1f/s  ratio %5.3f  cpu %5.1f %%  "
              "reply->request %3.0f us  reply late %5.0f us\n",
              pWhat, pBaud, pF.Ratio * LineLimit(pBaud), LineLimit(pBaud), pF.Ratio,
              pF.CpuShare * 100, pF.TurnUs, pF.ExcessUs);
}

} // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
  tPacedPtyPeer peer9600([] { return R70PeerAt(9600); }, 9600);
  tPacedPtyPeer peer115200([] { return R70PeerAt(115200); }, 115200);
  QCoreApplication app(argc, argv);
  if (tSer2Net::Program().isEmpty()) {
    std::printf("ser2net not installed; nothing measured\n");
    return 1;
  }
  std::printf("R70 live exchange through ser2net on 127.0.0.1 (RFC 2217), %d s per run: line "
              "time of the answered exchanges against the wall time (ratio)\n",
              seconds);
  for (tPacedPtyPeer* peer : {&peer9600, &peer115200}) {
    const int baud = peer == &peer9600 ? 9600 : 115200;
    if (!peer->Ok()) {
      std::printf("pseudo-terminal: openpty failed\n");
      return 1;
    }
    tLiveFigures direct;
    {
      tRealPort real;
      direct = MeasureLive(real.Open(peer->SlavePath(), baud), baud, seconds);
      Print("pty directly, real port class", baud, direct);
    }
    // ser2net as installed (it gathers the device's bytes a few character times before
    // sending them) and tuned for short exchanges (chardelay: false).
    tLiveFigures asInstalled, tuned;
    for (bool charDelay : {true, false}) {
      tSer2Net server;
      QString error;
      if (!server.Start(peer->SlavePath(), tSer2Net::saRfc2217, &error, charDelay)) {
        std::printf("ser2net: %s\n", qPrintable(error));
        return 1;
      }
      tRealPort real;
      tLiveFigures& f = charDelay ? asInstalled : tuned;
      f = MeasureLive(real.Open(server.Url(), baud), baud, seconds);
      Print(charDelay ? "ser2net rfc2217, default chardelay" : "ser2net rfc2217, chardelay: false",
            baud, f);
    }
    double bare = 0;
    {
      tSer2Net server;
      QString error;
      if (server.Start(peer->SlavePath(), tSer2Net::saRaw, &error, false))
        bare = MeasureBareTcp(server.Port(), baud, seconds);
    }
    std::printf("%-36s %6d  ratio %5.3f for a bare write-and-read client on ser2net's raw "
                "port (chardelay: false); the program through rfc2217 reaches %.3f of it and "
                "%.3f of its own rate on the pty\n",
                "ser2net ceiling, same peer", baud, bare, bare > 0 ? tuned.Ratio / bare : 0,
                direct.Ratio > 0 ? tuned.Ratio / direct.Ratio : 0);
  }
  return 0;
}
