#pragma once
// The printed log table: title with logo, the logged devices with their ranges, the values
// table with its header row on every page, and a footer with date, time and page number.
#include <QList>
#include <QObject>
#include <functional>

class QPrinter;
class tDeviceInfo;
class tLogTableModel;
class tReportCrossTable;

class TQRepLogging : public QObject {
  Q_OBJECT
public:
  explicit TQRepLogging(QObject* pOwner = nullptr);
  ~TQRepLogging() override;

  // Prepares the report for the devices 0 … pLast and the logger's table, and shows the
  // preview, from which the user prints or exports.
  void PrintLog(const QList<const tDeviceInfo*>& pDeviceInfos, int pLast,
                const tLogTableModel* pStringGrid, QPrinter* pPrinter);
  // Paints the prepared report onto pPrinter; the number of pages.
  int Render(QPrinter* pPrinter);

private:
  void frxReportBeforePrint(tReportCrossTable& pCross, bool pIsDeviceTable);
  QString frxReportGetValue(const QString& pName) const;

  const tLogTableModel* mStringGrid = nullptr;
  QList<const tDeviceInfo*> mDeviceInfos;
};

// The program's table report, created at start-up; nullptr before.
extern TQRepLogging* QRepLogging;

// Whether the reports show the maker's logo (the about box decides); shown by default.
void SetReportLogoVisible(std::function<bool()> pQuery);
bool ReportLogoVisible();
