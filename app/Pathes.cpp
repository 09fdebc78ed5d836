#include "app/Pathes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

tPathes::tPathes() : FCompanyFolder(QStringLiteral("HALVEX Produktion")) {}

void tPathes::SetCompanyFolder(const QString& pName) {
  FCompanyFolder = pName.trimmed();
  mProgramDataFolder.clear();
}

QString tPathes::ProgramDataFolder() {
  if (!mProgramDataFolder.isEmpty()) return mProgramDataFolder;
  QString lBase = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).trimmed();
  if (lBase.isEmpty()) {
    throw eError(QString::fromUtf8("Der gemeinsame Datenordner des Systems ist unbekannt"));
  }
  while (lBase.size() > 1 && lBase.endsWith(QLatin1Char('/')))
    lBase.chop(1);
  QString lFolder = lBase;
  if (!FCompanyFolder.isEmpty()) lFolder += QLatin1Char('/') + FCompanyFolder;
  lFolder += QLatin1Char('/') + ProgramBaseName();
  mProgramDataFolder = lFolder;
  EnsureFolder(lFolder);
  return lFolder;
}

void tPathes::EnsureFolder(const QString& pPath) {
  const QString lPath = pPath.trimmed();
  if (lPath.isEmpty()) throw ePathes(QStringLiteral("Leerer Verzeichnis-String"));
  if (QFileInfo(lPath).isDir() || QDir().mkpath(lPath)) return;
  throw ePathes(QStringLiteral("Kann %1 nicht anlegen").arg(pPath));
}

QString tPathes::ProgramBaseName() {
  // The application name defaults to the program file's base name; the program sets it to
  // "Corvane", so its folder keeps that name although Linux programs are named in lower case.
  const QString lName = QCoreApplication::applicationName().trimmed();
  if (!lName.isEmpty()) return lName;
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().trimmed();
}

tPathes& Pathes() {
  static tPathes lPathes;
  return lPathes;
}
