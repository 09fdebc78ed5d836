#include "widgets/DialogService.h"

#include "widgets/QtDialogService.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

iDialogService*& Current() {
  static iDialogService* current = nullptr;
  return current;
}

tLanguage& CurrentLanguage() {
  static tLanguage language = laGerman;
  return language;
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

tLanguage DialogLanguage() {
  return CurrentLanguage();
}

void SetDialogLanguage(tLanguage pLanguage) {
  CurrentLanguage() = pLanguage;
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

QString DialogSuffixForFilter(const QString& pNameFilter, const QString& pDefaultExt) {
  // Qt reads the patterns from the last parentheses, or takes the whole text when there are none.
  QString patterns = pNameFilter;
  const qsizetype open = pNameFilter.lastIndexOf(QLatin1Char('('));
  const qsizetype close = pNameFilter.lastIndexOf(QLatin1Char(')'));
  if (open >= 0 && close > open) patterns = pNameFilter.mid(open + 1, close - open - 1);
  static const QRegularExpression separators(QStringLiteral("[\\s;]+"));
  const QStringList list = patterns.split(separators, Qt::SkipEmptyParts);
  if (list.isEmpty() || !list.first().startsWith(QLatin1String("*."))) return pDefaultExt;
  const QString suffix = list.first().mid(2);
  static const QRegularExpression wildcard(QStringLiteral("[*?\\[\\]]"));
  if (suffix.isEmpty() || suffix.contains(wildcard)) return pDefaultExt;
  return suffix;
}
