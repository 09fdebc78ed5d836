#pragma once
// Base of every error the system raises: a text, the class name shown in the fatal-error
// dialog, an optional inner error, and the call stack captured where the error was made.
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <string>

class eError : public std::exception {
public:
  explicit eError(const QString& pMessage, const char* pClassName = "Exception");
  eError(const QString& pMessage, const eError& pInner, const char* pClassName = "Exception");
  eError(const eError& pOther);
  eError& operator=(const eError& pOther);
  ~eError() override;

  const char* what() const noexcept override { return mWhat.c_str(); }
  const QString& Message() const { return mMessage; }
  const QString& ClassName() const { return mClassName; }
  const eError* Inner() const { return mInner.get(); }
  // One line per frame, function and source line where the debug information has them.
  const QStringList& StackTrace() const { return mStackTrace; }

private:
  QString mMessage;
  QString mClassName;
  std::string mWhat;
  std::shared_ptr<eError> mInner;
  QStringList mStackTrace;
};

// Declares an error class with its own class name, derived from eError.
#define CORVANE_DECLARE_ERROR(NAME)                                                                \
  class NAME : public eError {                                                                     \
  public:                                                                                          \
    explicit NAME(const QString& pMessage) : eError(pMessage, #NAME) {}                            \
    NAME(const QString& pMessage, const eError& pInner) : eError(pMessage, pInner, #NAME) {}       \
  };

// The text of an error as the user reads it: an eError's message, else what() as it stands.
QString ErrorText(const std::exception& pError);

// The application's report of an error that no handler caught (the fatal-error dialog in the
// program; tests install their own). Without one, errors go to the standard error stream.
using tErrorReport = std::function<void(const eError& pError)>;
void SetErrorReport(tErrorReport pReport);
// Reports pError from the event loop, after the caller has returned. For boundaries that an
// exception must not cross: a port's data notification, a signal emission.
void ReportErrorQueued(const eError& pError);
void ReportErrorQueued(const std::exception& pError);

// A plain error without a class of its own ("Exception" in the dialog).
CORVANE_DECLARE_ERROR(eConvertError)
// Range error: a value outside what a type or buffer allows.
CORVANE_DECLARE_ERROR(eRangeError)
