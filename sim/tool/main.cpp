// corvane-sim: one simulated instrument on a pseudo-terminal, reached through a link, so
// that Corvane (or any serial program) can be tried without hardware.
#include "sim/PtyAttachment.h"
#include "sim/SimK40.h"
#include "sim/SimR70.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {
int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char lByte = 1;
  (void)!::write(gSignalPipe[1], &lByte, 1);
}

[[noreturn]] void Fail(const QString& pText) {
  std::fprintf(stderr, "corvane-sim: %s\n", qPrintable(pText));
  std::exit(2);
}
} // namespace

int main(int argc, char** argv) {
  // The glib event loop rounds each wait up to a whole millisecond; Qt's own loop waits to
  // the microsecond, which keeps the line's pacing close to its exact times.
  if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
  QCoreApplication lApp(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("corvane-sim"));

  QCommandLineParser lParser;
  lParser.setApplicationDescription(QStringLiteral(
      "Serves one simulated pressure transmitter on a pseudo-terminal until stopped\n"
      "(Ctrl+C or SIGTERM; the link is removed then).\n\n"
      "Give Corvane the link as a COM port: Instrument > Ports..., type the link's path,\n"
      "choose a number, Add. Or write it into the [Ports] section of its settings file\n"
      "(~/.local/share/HALVEX/Corvane/Corvane.ini), e.g.\n"
      "  [Ports]\n"
      "  COM9=/tmp/corvane-sim-k40\n\n"
      "Instruments: k40p (K-40-P), r20 (R-20/R-21), r70 (R-70/R-71), vq5 (VQ-5).\n"
      "The K40 family speaks at 9600 bit/s; the R70 family at its own rate (--baud)\n"
      "and, with --auto-baud, only after the auto-baud byte 0x55."));
  lParser.addHelpOption();
  const QCommandLineOption lLink({"l", "link"}, "Path of the link to the terminal (required).",
                                 "path");
  const QCommandLineOption lInstrument({"i", "instrument"}, "k40p, r20, r70 or vq5 (default k40p).",
                                       "name", "k40p");
  const QCommandLineOption lBaud("baud", "R70 family: the only rate it answers (9600 or 115200).",
                                 "bit/s", "9600");
  const QCommandLineOption lAutoBaud("auto-baud", "R70 family: answer only after 0x55.");
  const QCommandLineOption lPressure("pressure", "Applied pressure in the range unit.", "value");
  const QCommandLineOption lTemperature("temperature", "Temperature in degrees Celsius.", "value");
  const QCommandLineOption lStatus("status", "Status byte reporting an internal fault (0: none).",
                                   "byte");
  const QCommandLineOption lOutput("output-code",
                                   "K40 family: output-signal code of EEPROM cell 127 (1 to 10; "
                                   "10 is RS-232, which offers the settings tab; default 4, "
                                   "4 ... 20 mA).",
                                   "code");
  const QCommandLineOption lOutputKind("output-kind",
                                       "R70 family: output kind in FLASH 166 (0 digital, 1 V, "
                                       "2 mA two-wire, 3 mA three-wire, 5 USB, which offers the "
                                       "settings tab; default 2, VQ-5 5).",
                                       "code");
  const QCommandLineOption lMemory("memory",
                                   "Keep this file holding the EEPROM as it is now: 16 lines "
                                   "<address>: <16 bytes>, all in hex, rewritten on each change.",
                                   "file");
  const QCommandLineOption lSilent("silent", "Fault: answer nothing.");
  const QCommandLineOption lDelay("reply-delay", "Fault: wait this long before each reply.", "ms");
  const QCommandLineOption lStray("stray-byte", "Fault: one 0x00 before each reply.");
  const QCommandLineOption lExtra("extra-byte", "Fault: one 0x00 after each reply.");
  const QCommandLineOption lCorrupt("corrupt-checksum", "Fault: flip the checksum of each reply.");
  const QCommandLineOption lCorruptEvery(
      "corrupt-every", "Fault: flip the checksum of every Nth reply only (a noisy line).", "n");
  const QCommandLineOption lNoPacing("no-pacing",
                                     "Send at pty speed instead of 10 bit times per byte.");
  const QCommandLineOption lVanish("vanish-after",
                                   "Fault: pull the cable (remove link and terminal) after this "
                                   "many seconds, then end.",
                                   "s");
  const QCommandLineOption lLog("log",
                                "Write every received and sent frame in hex to this file, one "
                                "line each: <ms> RX|TX <baud> <bytes>.",
                                "file");
  lParser.addOptions({lLink, lInstrument, lBaud, lAutoBaud, lPressure, lTemperature, lStatus,
                      lOutputKind, lMemory, lOutput, lSilent, lDelay, lStray, lExtra, lCorrupt,
                      lCorruptEvery, lNoPacing, lVanish, lLog});
  lParser.process(lApp);
  if (!lParser.isSet(lLink)) Fail("--link is required (see --help)");

  const auto lNumber = [&](const QCommandLineOption& pOption, double pMin, double pMax) {
    bool lOk = false;
    const double lValue = lParser.value(pOption).toDouble(&lOk);
    if (!lOk || lValue < pMin || lValue > pMax)
      Fail(QStringLiteral("--%1: %2 is out of range")
               .arg(pOption.names().last(), lParser.value(pOption)));
    return lValue;
  };

  const QString lKind = lParser.value(lInstrument).toLower();
  std::unique_ptr<tSimInstrument> lSim;
  QString lTitle;
  if (lKind == "k40p" || lKind == "r20") {
    auto lK40 =
        std::make_unique<tSimK40>(lKind == "k40p" ? tSimK40::tModel::K40P : tSimK40::tModel::R2x);
    if (lParser.isSet(lPressure)) lK40->SetPressure(lNumber(lPressure, -1e9, 1e9));
    if (lParser.isSet(lTemperature)) lK40->SetTemperature(lNumber(lTemperature, -100, 300));
    if (lParser.isSet(lStatus)) lK40->SetStatusByte(quint8(lNumber(lStatus, 0, 255)));
    if (lParser.isSet(lOutput)) lK40->SetEeprom(127, quint8(lNumber(lOutput, 1, 10)));
    lTitle = lKind == "k40p" ? "K-40-P" : "R-20/R-21";
    lSim = std::move(lK40);
  } else if (lKind == "r70" || lKind == "vq5") {
    const int lOwn = int(lNumber(lBaud, 300, 4'000'000));
    auto lR70 =
        std::make_unique<tSimR70>(lKind == "r70" ? tSimR70::tModel::R7x : tSimR70::tModel::VQ5,
                                  lOwn, lParser.isSet(lAutoBaud));
    if (lParser.isSet(lPressure)) lR70->SetPressure(float(lNumber(lPressure, -1e9, 1e9)));
    if (lParser.isSet(lTemperature)) lR70->SetTemperature(lNumber(lTemperature, -100, 300));
    if (lParser.isSet(lStatus)) lR70->SetStatusByte(quint8(lNumber(lStatus, 0, 255)));
    if (lParser.isSet(lOutputKind)) lR70->SetOutputKind(quint8(lNumber(lOutputKind, 0, 255)));
    lTitle = QStringLiteral("%1 at %2 bit/s%3")
                 .arg(lKind == "r70" ? "R-70/R-71" : "VQ-5")
                 .arg(lOwn)
                 .arg(lParser.isSet(lAutoBaud) ? ", auto-baud byte required" : "");
    lSim = std::move(lR70);
  } else {
    Fail(QStringLiteral("unknown instrument \"%1\" (k40p, r20, r70, vq5)").arg(lKind));
  }

  tSimFaults lFaults;
  lFaults.Silent = lParser.isSet(lSilent);
  lFaults.ReplyDelayMs = lParser.isSet(lDelay) ? int(lNumber(lDelay, 0, 600000)) : 0;
  lFaults.StrayLeadingByte = lParser.isSet(lStray);
  lFaults.ExtraTrailingByte = lParser.isSet(lExtra);
  lFaults.CorruptChecksum = lParser.isSet(lCorrupt);
  lFaults.CorruptEvery = lParser.isSet(lCorruptEvery) ? int(lNumber(lCorruptEvery, 1, 1e9)) : 0;
  lFaults.PaceAtBaud = !lParser.isSet(lNoPacing);

  tPtyAttachment lAttachment(lSim.get());
  lAttachment.SetFaults(lFaults);
  QString lError;
  if (lParser.isSet(lLog) && !lAttachment.SetLogFile(lParser.value(lLog), &lError))
    Fail(QStringLiteral("--log %1: %2").arg(lParser.value(lLog), lError));

  // Signals end the event loop through a pipe, so the link is removed on the way out.
  if (::pipe(gSignalPipe) != 0) Fail("pipe failed");
  QSocketNotifier lSignals(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(&lSignals, &QSocketNotifier::activated, &lApp, &QCoreApplication::quit);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGHUP, OnSignal);

  if (!lAttachment.Start(lParser.value(lLink), &lError)) Fail(lError);
  if (lParser.isSet(lVanish)) {
    QTimer::singleShot(int(lNumber(lVanish, 0, 86400) * 1000), &lApp, [&] {
      lAttachment.Stop();
      std::printf("corvane-sim: cable pulled\n");
      std::fflush(stdout);
      QCoreApplication::quit();
    });
  }
  // Polled rather than hooked into every write: a tool reading the file needs it current
  // within a moment, and a whole file replaced by rename is never seen half written.
  QTimer lMemoryTimer;
  QByteArray lMemoryShown;
  if (lParser.isSet(lMemory)) {
    const QString lPath = lParser.value(lMemory);
    const auto lWrite = [&, lPath] {
      const QByteArray lImage = lSim->EepromImage();
      if (lImage == lMemoryShown) return;
      QSaveFile lFile(lPath);
      if (!lFile.open(QIODevice::WriteOnly))
        Fail(QStringLiteral("--memory %1: %2").arg(lPath, lFile.errorString()));
      for (int lAdr = 0; lAdr < lImage.size(); lAdr += 16)
        lFile.write(QByteArray::number(lAdr, 16).rightJustified(2, '0').toUpper() + ": " +
                    lImage.mid(lAdr, 16).toHex(' ').toUpper() + "\n");
      if (!lFile.commit()) Fail(QStringLiteral("--memory %1: %2").arg(lPath, lFile.errorString()));
      lMemoryShown = lImage;
    };
    lWrite();
    QObject::connect(&lMemoryTimer, &QTimer::timeout, &lApp, lWrite);
    lMemoryTimer.start(50);
  }
  std::printf("corvane-sim: %s on %s (%s)\n", qPrintable(lTitle),
              qPrintable(lAttachment.LinkPath()), qPrintable(lAttachment.SlavePath()));
  std::fflush(stdout);
  const int lResult = lApp.exec();
  lAttachment.Stop();
  return lResult;
}
