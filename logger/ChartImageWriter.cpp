#include "logger/ChartImageWriter.h"

#include "logger/LogTableWriter.h"
#include <QImageWriter>
#include <QSaveFile>
#include <qcustomplot.h>

void tChartImageWriter::Write(QCustomPlot& pChart, const QString& pFileName, tFormat pFormat) {
  const QSize size = pChart.size().isEmpty() ? QSize(800, 600) : pChart.size();
  QImage image = pChart.toPixmap(size.width(), size.height()).toImage();
  QSaveFile file(pFileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    throw eLogFile(QStringLiteral("Datei \"%1\" kann nicht erstellt werden: %2")
                       .arg(pFileName, file.errorString()));
  QImageWriter writer(&file, pFormat == ifBmp ? "bmp" : "png");
  if (!writer.write(image.convertToFormat(QImage::Format_RGB32)))
    throw eLogFile(QStringLiteral("Datei \"%1\" kann nicht geschrieben werden: %2")
                       .arg(pFileName, writer.errorString()));
  if (!file.commit())
    throw eLogFile(QStringLiteral("Datei \"%1\" kann nicht geschrieben werden: %2")
                       .arg(pFileName, file.errorString()));
}
