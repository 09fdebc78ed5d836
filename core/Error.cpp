#include "core/Error.h"

#include <boost/stacktrace.hpp>
#include <sstream>

namespace {
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
