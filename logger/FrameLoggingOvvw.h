#pragma once
// The data logger: records the live values of several instruments at a fixed rate into a table
// and a chart, saves, clears and prints them. Embedded once in the main window.
#include "core/Types.h"
#include "i18n/MessageSlots.h"
#include "logger/Device.h"
#include "logger/LogGrid.h"
#include <QPrinter>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTimeEdit;
class tBitButton;
class tRichEdit;
class tLogChart;
class tLogTableModel;
class tDeviceInfo;
class tLogJournal;

class TFrameLoggingOvvw : public QWidget {
  Q_OBJECT
public:
  static constexpr int LoggerTextCount = 18;

  explicit TFrameLoggingOvvw(QWidget* pOwner = nullptr);
  ~TFrameLoggingOvvw() override;

  void AddDevice(TFrameDevice* pFrameDevice);
  void DelDevice(TFrameDevice* pFrameDevice);
  void InitComponents();
  bool HasDataToSave() const;
  const tDeviceCountChangedEvent& OnDeviceCountChanged() const { return FOnDeviceCountChanged; }
  void SetOnDeviceCountChanged(const tDeviceCountChangedEvent& pHandler) {
    FOnDeviceCountChanged = pHandler;
  }

  // Handlers of the controls and timers, public so the main window and tests can drive them.
  void BitBtnStartLogClick();
  void BitBtnStopLogClick();
  void TimerLoggerTimer();
  void TimerConfigTimer();
  void ConfigChange();
  void RadioButtonStartLogDateClick();
  void RadioButtonEndLogClick();
  void ComboBoxUnitMBAChange();
  void ComboBoxUnitMBEChange();
  void RichEditTransOutTextChange();
  void ButtonSaveTableClick();
  void ButtonSaveChartClick();
  // pSender: the button pressed, or this frame to clear both without asking.
  void ButtonClearTableChartClick(QObject* pSender);
  void ButtonPrintClick(QObject* pSender);
  void CheckBoxTempSeriesClick();
  void BitBtnHlpZoomClick();

  // State, for the main window and tests.
  bool IsLogging() const;
  int LogCnt() const { return mLogCnt; }
  int LogEntryCnt() const { return mLogEntryCnt; }
  const tLogTableModel& Table() const { return *mTable; }
  tLogTableModel* TableModel() const { return mTable; }
  TLogGrid* Grid() const { return StringGridLog; }
  tLogChart* Chart() const { return mChart; }
  const std::vector<tDevice*>& DeviceList() const { return mDeviceList; }
  const std::vector<tDevice*>& DeviceListLog() const { return mDeviceListLog; }
  QString LoggerText(int pSlot) const { return FLoggerText[std::size_t(pSlot)]; }
  QPrinter* Printer() { return &mPrinter; }

  // The folder of the recording journal; empty (the default) records no journal.
  void SetJournalFolder(const QString& pFolder) { mJournalFolder = pFolder; }
  // The journal being written, empty when there is none.
  QString JournalFileName() const;
  // Fills the empty logger from a journal left behind and goes on writing that journal. False,
  // with the reason in pError, when it cannot be restored; the file is then left as it is.
  bool RestoreJournal(const QString& pFileName, QString& pError);

private:
  void BuildControls();
  void FillUnitLists();
  void SetLogState(tDeviceStatus pState);
  void EnableConfigControls(bool pEnabled);
  void AddLogPoint(tLogSeries* pSeries, double pValue, double pKey);
  void DeviceInfoChanged(tDeviceInfo* pSender);
  void UpdateHeaders();
  void UpdateTableColumns();
  void FitColumnWidths();
  void UpdateDataButtons();
  void KeepNewestRowInView();
  bool ChartHasData() const;
  bool InLogList(const tDevice* pDevice) const;
  tDevice* FindLog(const tDevice* pDevice) const;
  void ClearTable();
  void ClearChart();
  void DestroyRecord(tDevice* pDevice);
  // Start and end of the run from the pickers (the time pickers take their dates' days).
  tDateTime StartTime() const;
  tDateTime EndTime() const;
  void SetStartTime(tDateTime pValue);
  void SetEndTime(tDateTime pValue);
  void ShowTickError(const QString& pText);
  // The journal's side of the run (FrameLoggingOvvwJournal.cpp).
  class tRestorer;
  void JournalRunStarted();
  void JournalRunEnded();
  void JournalTick(double pKey, int pFirst, int pCount);
  void JournalTag(const tDevice* pDevice, const QString& pTag);
  void JournalCleared(bool pTable, bool pChart);
  void ShowJournalError(const QString& pReason);

  // Run data.
  std::vector<tDevice*> mDeviceList;
  std::vector<tDevice*> mDeviceListLog;
  std::int32_t mLogCnt = 0;
  std::int32_t mLogEntryCnt = 0;
  std::int32_t mLogCntEnd = 0;
  QString mLogUnitMBA;
  QString mLogUnitMBE;
  QString mLogUnitTemp;
  double mMaxSpanBA = 0;
  double mMaxSpanBE = 0;
  tDeviceCountChangedEvent FOnDeviceCountChanged;
  // Messages 307 on, German design texts until the first translation; the table's column
  // titles need the first four before then.
  tMessageSlots FLoggerText{"Messstelle", "Druck", "Temperatur", "Zeit", "", "", "", "", "",
                            "",           "",      "",           "",     "", "", "", "", ""};
  bool mTickAttached = true;
  // A conversion error of the sampling tick is shown once per run, not at every tick.
  bool mTickErrorShown = false;
  bool mInDestroy = false;
  // The save dialog remembers the last name and filter, as the one dialog object did.
  QString mSaveFileName;
  int mSaveFilterIndex = 1;
  QString mJournalFolder;
  std::unique_ptr<tLogJournal> mJournal;
  // A failing journal is reported once per recording.
  bool mJournalErrorShown = false;

  // Controls.
  QGroupBox* GroupBoxConfigLog = nullptr;
  QGroupBox* GroupBoxStart = nullptr;
  QGroupBox* GroupBoxEnde = nullptr;
  QSpinBox* SpinEditLogInterval = nullptr;
  QRadioButton* RadioButtonStartLogSofort = nullptr;
  QRadioButton* RadioButtonStartLogDate = nullptr;
  QDateEdit* dtpStartDate = nullptr;
  QTimeEdit* dtpStartTime = nullptr;
  QRadioButton* RadioButtonEndLogDate = nullptr;
  QDateEdit* dtpEndDate = nullptr;
  QTimeEdit* dtpEndTime = nullptr;
  QRadioButton* RadioButtonEndLogDuration = nullptr;
  QSpinBox* SpinEditDuration = nullptr;
  QTimeEdit* dtpDuration = nullptr;
  QLabel* LabelDurationDay = nullptr;
  QLabel* LabelDurationHour = nullptr;
  QRadioButton* RadioButtonEndLogCount = nullptr;
  QSpinBox* SpinEditCountLog = nullptr;
  QComboBox* ComboBoxUnitMBA = nullptr;
  QComboBox* ComboBoxUnitMBE = nullptr;
  QLabel* LabelMinus = nullptr;
  QLabel* LabelPlus = nullptr;
  QComboBox* ComboBoxTempUnit = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  tBitButton* BitBtnStartLog = nullptr;
  tBitButton* BitBtnStopLog = nullptr;
  QTabWidget* PageControl = nullptr;
  QWidget* TabSheetTabelle = nullptr;
  QWidget* TabSheetChart = nullptr;
  TLogGrid* StringGridLog = nullptr;
  tLogChart* mChart = nullptr;
  tBitButton* BitBtnHlpZoom = nullptr;
  QPushButton* ButtonSaveTable = nullptr;
  QPushButton* ButtonPrintTable = nullptr;
  QPushButton* ButtonClearTable = nullptr;
  QPushButton* ButtonSaveChart = nullptr;
  QPushButton* ButtonPrintChart = nullptr;
  QPushButton* ButtonClearChart = nullptr;
  QCheckBox* CheckBoxTempSeries = nullptr;
  tRichEdit* RichEditTransOutText = nullptr;
  QTimer TimerLogger;
  QTimer TimerConfig;
  QPrinter mPrinter;
  tLogTableModel* mTable = nullptr;
};
