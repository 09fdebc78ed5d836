#include "app/Application.h"

#include <cstdio>

namespace {
tApplication::tErrorHandler& ErrorHandler() {
  static tApplication::tErrorHandler lHandler;
  return lHandler;
}
} // namespace

tApplication::tApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool tApplication::notify(QObject* pReceiver, QEvent* pEvent) {
  try {
    return QApplication::notify(pReceiver, pEvent);
  } catch (const eError& lError) {
    HandleError(pReceiver, lError);
  } catch (const std::exception& lError) {
    HandleError(pReceiver, lError);
  }
  return false;
}

void tApplication::HandleError(QObject* pSender, const eError& pError) {
  if (ErrorHandler()) {
    // The handler shows a modal box; an error raised meanwhile must not recurse into it.
    static bool lReporting = false;
    if (lReporting) {
      std::fprintf(stderr, "%s\n", pError.what());
      return;
    }
    lReporting = true;
    try {
      ErrorHandler()(pSender, pError);
    } catch (...) {
      lReporting = false;
      throw;
    }
    lReporting = false;
  } else {
    std::fprintf(stderr, "%s\n", pError.what());
  }
}

void tApplication::HandleError(QObject* pSender, const std::exception& pError) {
  // A library error carries no class of its own; its text is kept as it is.
  HandleError(pSender, eError(QString::fromLocal8Bit(pError.what()), "std::exception"));
}

void tApplication::SetOnError(tErrorHandler pHandler) {
  ErrorHandler() = std::move(pHandler);
}
