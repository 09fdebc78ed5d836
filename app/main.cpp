// Start-up: the module objects in their fixed order (about box, localisation engine, folders,
// fatal-error dialog), then the main window and the two report modules, then the event loop.
#include "app/AppUtils.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/FormMain.h"
#include "app/Pathes.h"
#include "app/frmExceptDlg.h"
#include "i18n/Resources.h"
#include "logger/QRepLogging.h"
#include "logger/QRepLoggingChart.h"

#include <QIcon>
#include <QPointer>
#include <memory>

int main(int argc, char** argv) {
  // Answered before the application object, which needs a display.
  if (const auto lAction = tCommandLine::ActionOf(argc, argv);
      lAction != tCommandLine::tAction::Run)
    return tCommandLine::Answer(lAction);

  // Qt needs its application object before any window, the module objects included.
  tApplication lApp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  // The desktop file's name lets the task bar pair the window with the menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(CORVANE_APP_ID));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.svg")));

  AppUtils = new tAppUtils();
  Resources();
  Pathes();
  frmExceptDlg = new TfrmExceptDlg();

  QPointer<TFormMain> lMain;
  tApplication::SetOnError([&lMain](QObject* pSender, const eError& pError) {
    if (frmExceptDlg)
      frmExceptDlg->ApplicationEventsException(pSender, pError);
    else if (lMain)
      lMain->ApplicationEventsException(pSender, pError);
  });

  // Errors that a boundary must not let through (a port's notification) arrive here queued.
  SetErrorReport([](const eError& pError) { tApplication::HandleError(nullptr, pError); });

  AppUtils->SetShowDeveloper(false);

  std::unique_ptr<TFormMain> lWindow;
  try {
    lWindow = std::make_unique<TFormMain>();
    lMain = lWindow.get();
    SetReportLogoVisible([] { return AppUtils ? AppUtils->LogoVisible() : true; });
    QRepLogging = new TQRepLogging(&lApp);
    QRepLoggingChart = new TQRepLoggingChart(&lApp);
  } catch (const eError& lError) {
    // The window's creation failed: the start-up dialog reports it and ends the program.
    tApplication::HandleError(nullptr, lError);
    return 1;
  } catch (const std::exception& lError) {
    tApplication::HandleError(nullptr, lError);
    return 1;
  }
  lWindow->show();
  const int lResult = lApp.exec();

  lWindow.reset();
  SetErrorReport(nullptr);
  tApplication::SetOnError(nullptr);
  delete frmExceptDlg;
  delete AppUtils;
  return lResult;
}
