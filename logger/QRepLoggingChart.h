#pragma once
// The printed chart: title with logo, the logged devices with their ranges, the chart as a
// vector picture, and a footer with date and time.
#include <QList>
#include <QObject>

class QPrinter;
class tDeviceInfo;
class tLogChart;

class TQRepLoggingChart : public QObject {
  Q_OBJECT
public:
  explicit TQRepLoggingChart(QObject* pOwner = nullptr);
  ~TQRepLoggingChart() override;

  // Copies the chart for this one print, prepares the report and shows the preview.
  void PrintChart(const QList<const tDeviceInfo*>& pDeviceInfos, int pLast, const tLogChart* pChart,
                  QPrinter* pPrinter);
  // Paints the prepared report onto pPrinter (while PrintChart runs); the number of pages.
  int Render(QPrinter* pPrinter);
  // Height of the chart picture in report units for pDevices named devices.
  static int ChartHeight(int pDevices);

private:
  tLogChart* mChart = nullptr;
  QList<const tDeviceInfo*> mDeviceInfos;
};

extern TQRepLoggingChart* QRepLoggingChart;
