#include "core/Error.h"

#include <QCoreApplication>
#include <QTimer>
#include <boost/stacktrace.hpp>
#include <cstdio>
#include <sstream>

namespace {
tErrorReport& ErrorReport() {
  static tErrorReport lReport;
  return lReport;
}

QStringList CaptureStack() {
  QStringList lLines;
  // Skip the frames of the capture itself and of the eError constructor.
  const boost::stacktrace::stacktrace lTrace(3, 64);
  for (const auto& lFrame : lTrace) {
    std::ostringstream lOut;
    lOut << lFrame;
    lLines << QString::fromStdString(lOut.str());
  }
  return lLines;
}
} // namespace

eError::eError(const QString& pMessage, const char* pClassName)
    : mMessage(pMessage), mClassName(QString::fromLatin1(pClassName)),
      mWhat(pMessage.toStdString()), mStackTrace(CaptureStack()) {}

eError::eError(const QString& pMessage, const eError& pInner, const char* pClassName)
    : eError(pMessage, pClassName) {
  mInner = std::make_shared<eError>(pInner);
}

eError::eError(const eError& pOther) = default;
eError& eError::operator=(const eError& pOther) = default;
eError::~eError() = default;

void SetErrorReport(tErrorReport pReport) {
  ErrorReport() = std::move(pReport);
}

void ReportErrorQueued(const eError& pError) {
  const auto lReport = [lError = pError] {
    if (ErrorReport()) {
      try {
        ErrorReport()(lError);
        return;
      } catch (...) {
        // The report itself failed; the text still reaches the error stream below.
      }
    }
    std::fprintf(stderr, "%s\n", lError.what());
  };
  if (QCoreApplication::instance())
    QTimer::singleShot(0, QCoreApplication::instance(), lReport);
  else
    lReport();
}

void ReportErrorQueued(const std::exception& pError) {
  if (const auto* lError = dynamic_cast<const eError*>(&pError)) {
    ReportErrorQueued(*lError);
    return;
  }
  ReportErrorQueued(eError(QString::fromLocal8Bit(pError.what()), "std::exception"));
}

QString ErrorText(const std::exception& pError) {
  if (const auto* lError = dynamic_cast<const eError*>(&pError)) return lError->Message();
  return QString::fromUtf8(pError.what());
}
