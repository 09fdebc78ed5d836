#include "i18n/DialogService.h"

#include "i18n/QtDialogService.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

iDialogService*& Current() {
  static iDialogService* current = nullptr;
  return current;
}

} // namespace

iDialogService& Dialogs() {
  static tQtDialogService real;
  iDialogService* current = Current();
  return current ? *current : real;
}

iDialogService* SetDialogs(iDialogService* pService) {
  iDialogService* previous = Current();
  Current() = pService;
  return previous;
}

QString DialogDisplayText(const QString& pText) {
  QString text = pText;
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

QStringList DialogNameFilters(const QString& pFilter) {
  // Names and patterns alternate; Qt shows the name and reads the patterns from the
  // parentheses, so a name without them gets the pattern appended.
  const QStringList parts = pFilter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i].trimmed();
    const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
    if (!name.contains(QLatin1Char('('))) name += QStringLiteral(" (%1)").arg(patterns);
    filters << name;
  }
  if (parts.size() % 2 == 1 && !parts.last().isEmpty()) filters << parts.last();
  return filters;
}
