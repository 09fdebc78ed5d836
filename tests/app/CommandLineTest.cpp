// The real program on the command line, started with no display at all: --help and --version
// answer in the system's language and end; anything else still goes on to open the window
// (and fails here for want of a display, which also proves the run really had none).
#include "app/AppUtils.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {
struct tRun {
  bool Finished = false;
  bool NormalExit = false;
  int ExitCode = -1;
  QString Out;
  QString Err;
};

tRun RunProgram(const QStringList& pArgs, const QString& pLang) {
  QProcessEnvironment lEnv = QProcessEnvironment::systemEnvironment();
  for (const char* lName : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL",
                            "LC_MESSAGES", "LC_NUMERIC", "LANGUAGE"})
    lEnv.remove(QString::fromLatin1(lName));
  lEnv.insert("LANG", pLang);
  QProcess lProcess;
  lProcess.setProcessEnvironment(lEnv);
  lProcess.start(QStringLiteral(CORVANE_PROGRAM), pArgs);
  tRun lRun;
  lRun.Finished = lProcess.waitForFinished(60000);
  if (!lRun.Finished) lProcess.kill();
  lRun.NormalExit = lProcess.exitStatus() == QProcess::NormalExit;
  lRun.ExitCode = lProcess.exitCode();
  lRun.Out = QString::fromUtf8(lProcess.readAllStandardOutput());
  lRun.Err = QString::fromUtf8(lProcess.readAllStandardError());
  return lRun;
}

QString CompiledVersion() {
  const tVersionResource lVersion = tAppUtils::CompiledVersion();
  return QStringLiteral("%1.%2.%3.%4")
      .arg(lVersion.Major)
      .arg(lVersion.Minor)
      .arg(lVersion.Release)
      .arg(lVersion.Build);
}
} // namespace

struct tCommandCase {
  const char* Name;
  QStringList Args;
  const char* Lang;
  // Empty: the program must try to open its window.
  QString FirstLine;
  const char* Contains;
};

class tCommandLineRun : public ::testing::TestWithParam<tCommandCase> {};

TEST_P(tCommandLineRun, answers_without_a_display_or_goes_on_to_the_window) {
  const tCommandCase& c = GetParam();
  const tRun lRun = RunProgram(c.Args, QString::fromLatin1(c.Lang));
  ASSERT_TRUE(lRun.Finished);
  if (c.FirstLine.isEmpty()) {
    EXPECT_FALSE(lRun.NormalExit && lRun.ExitCode == 0) << qPrintable(lRun.Out);
    EXPECT_TRUE(lRun.Err.contains("display")) << qPrintable(lRun.Err);
    EXPECT_EQ(lRun.Out, "");
    return;
  }
  EXPECT_TRUE(lRun.NormalExit);
  EXPECT_EQ(lRun.ExitCode, 0);
  EXPECT_EQ(lRun.Out.section('\n', 0, 0), c.FirstLine);
  EXPECT_TRUE(lRun.Out.contains(QString::fromUtf8(c.Contains))) << qPrintable(lRun.Out);
  EXPECT_EQ(lRun.Err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Options, tCommandLineRun,
    ::testing::Values(
        tCommandCase{"version_english",
                     {"--version"},
                     "en_GB.UTF-8",
                     "Corvane " + CompiledVersion() +
                         (tAppUtils::CompiledVersion().PreRelease ? " (pre-release)" : ""),
                     "Copyright "},
        tCommandCase{"version_short_german",
                     {"-v"},
                     "de_DE.UTF-8",
                     "Corvane " + CompiledVersion() +
                         (tAppUtils::CompiledVersion().PreRelease ? " (Vorabversion)" : ""),
                     "HALVEX Produktion"},
        tCommandCase{"help_german_among_qt_options",
                     {"-style", "fusion", "--help"},
                     "de_AT.UTF-8",
                     "Aufruf: corvane [--help | --version]",
                     "Die Version zeigen und beenden."},
        tCommandCase{"help_short_english",
                     {"-h"},
                     "C",
                     "Usage: corvane [--help | --version]",
                     "Show the version and exit."},
        tCommandCase{"no_option", {}, "C", {}, ""},
        tCommandCase{"unknown_option_is_ignored", {"--verbose"}, "C", {}, ""},
        tCommandCase{"help_after_end_of_options", {"--", "--help"}, "C", {}, ""}),
    [](const auto& pInfo) { return std::string(pInfo.param.Name); });
