#include "traffic/TrafficTexts.h"

namespace TrafficTexts {

const QStringList& DesignLines() {
  static const QStringList sLines = {
      QStringLiteral("701@Unbekannter Befehl"),
      QStringLiteral("702@Messbereichsanfang lesen"),
      QStringLiteral("703@Messbereichsende lesen"),
      QStringLiteral("704@EEPROM lesen"),
      QStringLiteral("705@EEPROM schreiben"),
      QStringLiteral("706@FLASH lesen"),
      QStringLiteral("707@Kennung lesen"),
      QStringLiteral("708@Firmware-Version lesen"),
      QStringLiteral("709@Firmware-Version lesen"),
      QStringLiteral("710@Herstelldatum lesen"),
      QStringLiteral("711@Genauigkeit lesen"),
      QStringLiteral("712@Poll-Mode einstellen"),
      QStringLiteral("713@Typ abfragen"),
      QStringLiteral("714@Nullpunkt-Verstellung einschalten"),
      QStringLiteral("715@Nullpunkt anheben"),
      QStringLiteral("716@Nullpunkt absenken"),
      QStringLiteral("717@Nullpunkt bestätigen"),
      QStringLiteral("718@Spanne-Verstellung einschalten"),
      QStringLiteral("719@Spanne anheben"),
      QStringLiteral("720@Spanne absenken"),
      QStringLiteral("721@Spanne bestätigen"),
      QStringLiteral("722@Nullpunkt auf Werkseinstellung"),
      QStringLiteral("723@Spanne auf Werkseinstellung"),
      QStringLiteral("724@Software-Reset"),
      QStringLiteral("725@Status lesen"),
      QStringLiteral("726@Temperatur lesen"),
      QStringLiteral("727@Status lesen"),
      QStringLiteral("728@Temperatur lesen"),
      QStringLiteral("729@Druck lesen"),
      QStringLiteral("730@Druck ohne Benutzerjustage lesen"),
      QStringLiteral("732@Datenverkehr"),
      QStringLiteral("733@Zeit [ms]"),
      QStringLiteral("734@Uhrzeit"),
      QStringLiteral("735@Richtung"),
      QStringLiteral("736@Bit/s"),
      QStringLiteral("737@Bytes (hex)"),
      QStringLiteral("738@Text"),
      QStringLiteral("739@Bedeutung"),
      QStringLiteral("740@Phase"),
      QStringLiteral("741@gesendet"),
      QStringLiteral("742@empfangen"),
      QStringLiteral("743@außerhalb jedes Austauschs"),
      QStringLiteral("744@nach einer Pause von %1 ms"),
      QStringLiteral("745@Zelle %1"),
      QStringLiteral("746@Autobaud-Byte"),
      QStringLiteral("747@Prüfsumme gut"),
      QStringLiteral("748@Prüfsumme falsch"),
      QStringLiteral("749@unvollständig"),
      QStringLiteral("750@falscher Anfang"),
      QStringLiteral("751@%1 fremde Bytes davor"),
      QStringLiteral("752@%1 Bytes zu viel am Ende"),
      QStringLiteral("753@keine Antwort nach %1 ms"),
      QStringLiteral("754@Schnittstelle geöffnet"),
      QStringLiteral("755@Schnittstelle geschlossen"),
      QStringLiteral("756@Verbindung zum Gerät verloren"),
      QStringLiteral("757@Suche, Versuch %1"),
      QStringLiteral("758@Durchlauf %1"),
      QStringLiteral("759@Anhalten"),
      QStringLiteral("760@Leeren"),
      QStringLiteral("761@Kopieren"),
      QStringLiteral("762@Speichern…"),
      QStringLiteral("763@Filter:"),
      QStringLiteral("764@Alle Rahmen"),
      QStringLiteral("765@Nur Fehler"),
      QStringLiteral("766@Textdatei (*.txt)|*.txt"),
      QStringLiteral("767@%1 Rahmen"),
  };
  return sLines;
}

QStringList GermanTexts() {
  QStringList lTexts;
  for (const QString& lLine : DesignLines())
    lTexts << lLine.mid(lLine.indexOf(QLatin1Char('@')) + 1);
  return lTexts;
}

} // namespace TrafficTexts
