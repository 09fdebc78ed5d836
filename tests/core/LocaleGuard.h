#pragma once
// Sets the default locale for one test and restores the previous one afterwards.
#include <QLocale>

class tLocaleGuard {
public:
  explicit tLocaleGuard(const QLocale& pLocale) : mSaved(QLocale()) {
    QLocale::setDefault(pLocale);
  }
  ~tLocaleGuard() { QLocale::setDefault(mSaved); }
  tLocaleGuard(const tLocaleGuard&) = delete;
  tLocaleGuard& operator=(const tLocaleGuard&) = delete;

  static QLocale German() { return QLocale(QLocale::German, QLocale::Germany); }
  static QLocale English() { return QLocale(QLocale::English, QLocale::UnitedStates); }

private:
  QLocale mSaved;
};
