#include "app/CommandLine.h"

#include "app/AppUtils.h"

#include <QLocale>
#include <cstdio>
#include <cstring>

tCommandLine::tAction tCommandLine::ActionOf(int argc, const char* const* argv) {
  for (int lIdx = 1; lIdx < argc; ++lIdx) {
    const char* lArg = argv[lIdx];
    if (std::strcmp(lArg, "--") == 0) break;
    if (!std::strcmp(lArg, "-h") || !std::strcmp(lArg, "--help") || !std::strcmp(lArg, "-?"))
      return tAction::Help;
    if (!std::strcmp(lArg, "-v") || !std::strcmp(lArg, "--version")) return tAction::Version;
  }
  return tAction::Run;
}

tLanguage tCommandLine::SystemLanguage() {
  return QLocale::system().language() == QLocale::German ? laGerman : laEnglish;
}

QString tCommandLine::HelpText(tLanguage pLanguage) {
  if (pLanguage == laGerman)
    return QString::fromUtf8(
        "Aufruf: corvane [--help | --version]\n"
        "\n"
        "Corvane ist das Servicewerkzeug für digitale Drucktransmitter der Familien K40 und\n"
        "R70: es erkennt ein Gerät an einer seriellen Schnittstelle, zeigt Kennung, Messbereich\n"
        "und Messwerte, schreibt die Schnittstellenparameter, justiert Nullpunkt und Spanne und\n"
        "zeichnet mehrere Geräte in Tabelle und Diagramm auf.\n"
        "\n"
        "Optionen:\n"
        "  -h, --help     Diese Hilfe zeigen und beenden.\n"
        "  -v, --version  Die Version zeigen und beenden.\n"
        "\n"
        "Die seriellen Schnittstellen erhalten ihre COM-Nummern im Abschnitt [Ports] der\n"
        "Einstellungsdatei $XDG_DATA_HOME/HALVEX/Corvane/Corvane.ini (ohne XDG_DATA_HOME:\n"
        "~/.local/share/HALVEX/Corvane/Corvane.ini). Ohne Geräte lässt sich Corvane mit\n"
        "corvane-sim ausprobieren. Mehr in corvane(1).\n");
  return QStringLiteral(
      "Usage: corvane [--help | --version]\n"
      "\n"
      "Corvane is the service tool for digital pressure transmitters of the K40 and R70\n"
      "families: it detects an instrument on a serial port, shows its identity, range and\n"
      "live values, writes its communication parameters, adjusts zero point and span, and\n"
      "logs several instruments into a table and a chart.\n"
      "\n"
      "Options:\n"
      "  -h, --help     Show this help and exit.\n"
      "  -v, --version  Show the version and exit.\n"
      "\n"
      "Serial ports get their COM numbers in the [Ports] section of the settings file\n"
      "$XDG_DATA_HOME/HALVEX/Corvane/Corvane.ini (without XDG_DATA_HOME:\n"
      "~/.local/share/HALVEX/Corvane/Corvane.ini). Without instruments, try Corvane with\n"
      "corvane-sim. More in corvane(1).\n");
}

QString tCommandLine::VersionText(tLanguage pLanguage) {
  const tVersionResource lVersion = tAppUtils::CompiledVersion();
  QString lText = QStringLiteral("Corvane %1.%2.%3.%4")
                      .arg(lVersion.Major)
                      .arg(lVersion.Minor)
                      .arg(lVersion.Release)
                      .arg(lVersion.Build);
  if (lVersion.PreRelease)
    lText += pLanguage == laGerman ? QStringLiteral(" (Vorabversion)")
                                   : QStringLiteral(" (pre-release)");
  lText += QStringLiteral("\nCopyright %1\n").arg(lVersion.LegalCopyright);
  return lText;
}

int tCommandLine::Answer(tAction pAction) {
  const QString lText =
      pAction == tAction::Help ? HelpText(SystemLanguage()) : VersionText(SystemLanguage());
  const QByteArray lBytes = lText.toLocal8Bit();
  std::fwrite(lBytes.constData(), 1, size_t(lBytes.size()), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
