#pragma once
// The application object: an error that an event handler lets escape ends up here instead
// of unwinding out of the event loop, and goes to the program's error handler (the
// fatal-error dialog during start-up, the main window's handler afterwards).
#include "core/Error.h"

#include <QApplication>
#include <functional>

class tApplication : public QApplication {
  Q_OBJECT
public:
  using tErrorHandler = std::function<void(QObject* pSender, const eError& pError)>;

  tApplication(int& argc, char** argv);

  bool notify(QObject* pReceiver, QEvent* pEvent) override;

  // Routes an unhandled error to the current handler; without one it is written to stderr.
  static void HandleError(QObject* pSender, const eError& pError);
  static void HandleError(QObject* pSender, const std::exception& pError);
  static void SetOnError(tErrorHandler pHandler);
};
