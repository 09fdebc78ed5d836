#include "traffic/TrafficWriter.h"

#include "traffic/TrafficModel.h"
#include "traffic/TrafficTexts.h"

const char* const tTrafficWriter::cFormatLine = "# Corvane traffic 1";

void tTrafficWriter::Write(const QString& pFileName, const tTrafficModel& pModel,
                           const QString& pTitle) {
  tSafeTextFile lFile(pFileName);
  const QChar lEnd = QLatin1Char('\n');
  QString lText = QString::fromLatin1(cFormatLine) + lEnd;
  if (!pTitle.isEmpty()) lText += QStringLiteral("# ") + pTitle + lEnd;
  // The column names stay English: a reader of the file should not depend on the language
  // it was saved in.
  lText += QStringLiteral("# ms since opened\twall time\tdirection\tbit/s\tbytes\ttext\tmeaning"
                          "\tphase") +
           lEnd;
  const int lRows = pModel.rowCount();
  for (int lRow = 0; lRow < lRows; ++lRow) {
    lText += pModel.FileLine(lRow) + lEnd;
    lFile.Put(lText);
  }
  lFile.Commit(lText);
}
