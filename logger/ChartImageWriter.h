#pragma once
// Saves the chart as it is displayed into a bitmap file (BMP or PNG), through a temporary file
// beside the target, so a failed save leaves an old file as it was.
#include <QString>

class QCustomPlot;

class tChartImageWriter {
public:
  enum tFormat { ifBmp, ifPng };
  // Raises eLogFile naming the file when it cannot be written.
  static void Write(QCustomPlot& pChart, const QString& pFileName, tFormat pFormat);
};
