#pragma once
// The network serial server as a lab runs it: ser2net, started here on the loopback address
// with a configuration of its own, in front of a device path (a simulator's pseudo-terminal).
#include "tests/support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>

class tSer2Net {
public:
  enum tAccepter { saRfc2217, saRaw };

  ~tSer2Net() { Stop(); }

  static QString Program() {
    QString lPath = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (lPath.isEmpty())
      lPath = QStandardPaths::findExecutable(
          QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return lPath;
  }

  // A port on 127.0.0.1 that nothing listens on at this moment.
  static quint16 FreePort() {
    QTcpServer lServer;
    if (!lServer.listen(QHostAddress::LocalHost, 0)) return 0;
    return lServer.serverPort();
  }

  // Serves pDevice on a free port, the line at 9600 8N1 ignoring the modem lines (a pty
  // has none); true once the server accepts connections. ser2net by default gathers what the
  // device sends for a few character times before passing it on; pCharDelay false turns
  // that off, as a lab tuned for short exchanges would.
  bool Start(const QString& pDevice, tAccepter pAccepter, QString* pError, bool pCharDelay = true) {
    if (!mDir.isValid()) return Fail(pError, QStringLiteral("no temporary folder"));
    const QString lProgram = Program();
    if (lProgram.isEmpty()) return Fail(pError, QStringLiteral("ser2net not installed"));
    mPort = FreePort();
    mDevice = pDevice;
    mAccepter = pAccepter;
    const QString lConfig = mDir.filePath(QStringLiteral("ser2net.yaml"));
    QFile lFile(lConfig);
    if (!lFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
      return Fail(pError, lFile.errorString());
    QTextStream lOut(&lFile);
    lOut << "%YAML 1.1\n---\n"
         << "connection: &bench\n"
         << "  accepter: " << (pAccepter == saRfc2217 ? "telnet(rfc2217),tcp," : "tcp,")
         << "127.0.0.1," << mPort << "\n"
         << "  connector: serialdev," << pDevice << ",9600n81,local\n"
         << "  options:\n"
         << "    kickolduser: true\n"
         << "    chardelay: " << (pCharDelay ? "true" : "false") << "\n";
    lFile.close();
    mProcess.setProcessChannelMode(QProcess::MergedChannels);
    // -d: in the foreground, logging to standard output; -u: no lock files in /var/lock.
    mProcess.start(lProgram,
                   {QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-c"), lConfig});
    if (!mProcess.waitForStarted(5000)) return Fail(pError, mProcess.errorString());
    const bool lListening = WaitFor(
        [&] {
          if (mProcess.state() != QProcess::Running) return true;
          QTcpSocket lProbe;
          lProbe.connectToHost(QHostAddress::LocalHost, mPort);
          return lProbe.waitForConnected(100);
        },
        5000);
    if (!lListening || mProcess.state() != QProcess::Running)
      return Fail(pError, QStringLiteral("ser2net did not listen: ") +
                              QString::fromLocal8Bit(mProcess.readAll()));
    return true;
  }

  // Ends the server as an administrator would (SIGTERM), its connections with it.
  void Stop() {
    if (mProcess.state() == QProcess::NotRunning) return;
    mProcess.terminate();
    if (!mProcess.waitForFinished(3000)) {
      mProcess.kill();
      mProcess.waitForFinished(3000);
    }
  }

  quint16 Port() const { return mPort; }
  QString Url() const {
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(mAccepter == saRfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
        .arg(mPort);
  }
  QString Log() { return QString::fromLocal8Bit(mProcess.readAll()); }

private:
  static bool Fail(QString* pError, const QString& pText) {
    if (pError) *pError = pText;
    return false;
  }

  QTemporaryDir mDir;
  QProcess mProcess;
  QString mDevice;
  tAccepter mAccepter = saRfc2217;
  quint16 mPort = 0;
};
