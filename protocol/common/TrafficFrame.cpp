#include "protocol/common/TrafficFrame.h"

const tEnumTable<tTrafficCommand, QString, TrafficCommandCount> TrafficCommandMnemonics = {{
    QString(),
    QStringLiteral("MA"),
    QStringLiteral("ME"),
    QStringLiteral("ER"),
    QStringLiteral("X"),
    QStringLiteral("FR"),
    QStringLiteral("KN"),
    QStringLiteral("SR"),
    QStringLiteral("SRH"),
    QStringLiteral("HD"),
    QStringLiteral("GK"),
    QStringLiteral("SO"),
    QStringLiteral("TYP"),
    QStringLiteral("NP"),
    QStringLiteral("NP"),
    QStringLiteral("NP"),
    QStringLiteral("NP"),
    QStringLiteral("SP"),
    QStringLiteral("SP"),
    QStringLiteral("SP"),
    QStringLiteral("SP"),
    QStringLiteral("RN"),
    QStringLiteral("RS"),
    QStringLiteral("RS"),
    QStringLiteral("PK"),
    QStringLiteral("TW"),
    QStringLiteral("U"),
    QStringLiteral("TWH"),
    QStringLiteral("PZ"),
    QStringLiteral("PR"),
}};

namespace TrafficFrame {

QString Number(double pValue) {
  return QString::number(pValue, 'g', 7);
}

QString MonthYear(quint8 pMonth, quint8 pYear) {
  return QString::asprintf("%.2d/%.2d", pMonth, pYear);
}

QString PrintableText(QString pText) {
  for (QChar& c : pText)
    if (!c.isPrint()) c = QLatin1Char('.');
  return pText;
}

} // namespace TrafficFrame
