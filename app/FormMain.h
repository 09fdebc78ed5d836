#pragma once
// The program's working window: the device list on the left (one row and one device frame
// per serial port in use), the device and data-logger pages on the right, the commands that
// act on the selected row, and the settings file, open for the window's life.
#include "core/Error.h"
#include "core/Types.h"
#include "i18n/MessageSlots.h"
#include "serial/PortMap.h"

#include <QLocale>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QScrollArea;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TFrameDevice;
class TFrameLoggingOvvw;
class TFormTraffic;
class tCaptionPanel;
class tDeviceInfo;
class tIniFile;
class tRichEdit;

class TFormMain : public QMainWindow {
  Q_OBJECT
public:
  static constexpr int OutTextCount = 4;

  explicit TFormMain(QWidget* pParent = nullptr);
  ~TFormMain() override;

  // Where the system's serial devices come from for windows made from now on (tests present
  // their own; empty: the system's).
  static void SetDeviceLister(tPortMap::tDeviceLister pLister);
  // The system's language as the first start sees it (tests pretend another system).
  static void SetSystemLanguage(std::function<QLocale::Language()> pQuery);
  // How "No" to message 18 ends the program (tests keep running).
  static void SetOnTerminate(std::function<void()> pHandler);

  // Event handlers.
  void FormActivate();
  // pCanClose false keeps the window open.
  void FormClose(bool& pCanClose);
  void DoListComports();
  void miAddDeviceClick(QObject* Sender);
  void ActionAddDeviceExecute();
  void ActionDelDeviceExecute();
  void ActionConnectDeviceExecute();
  // Opens the Ports dialog; its edits show in the Add menu at its next opening.
  void ActionPortsExecute();
  // Opens the traffic view of the selected row, or brings it to the front.
  void ActionTrafficExecute();
  // The open traffic view of a row, none when it has none.
  TFormTraffic* TrafficForm(TFrameDevice* pFrame) const;
  // The row (1 = first) of the device list that uses COM<pComNr>, 0 for none.
  int RowOfPort(quint16 pComNr) const;
  void ActionRenameTagExecute();
  void ActionResetTagExecute();
  void miDeutschClick();
  void miEnglishClick();
  void miInfoClick();
  void TimerOpenSubMenuTimer();
  void ListViewDeviceSelectItem();
  void ListViewDeviceKeyUp(int pKey);
  void ListViewDeviceDblClick();
  void EditDeviceNameExit();
  // pKey is Qt::Key_Return/Key_Enter or Key_Escape.
  void EditDeviceNameKeyPress(int pKey);
  void ScrollBoxBkGrndResize();
  void ApplicationEventsException(QObject* Sender, const eError& pError);

  // State, for tests and the end-to-end harness.
  TFrameDevice* SelectedFrame() const;
  TFrameDevice* FrameOfRow(int pRow) const;
  int RowCount() const;
  QString OutText(int pSlot) const { return FOutText[pSlot]; }
  tIniFile& IniFile() const { return *mIniFile; }
  tPortMap& PortMap() const { return *mPortMap; }
  // The sorted port names present now ("COM1", "COM3", "COM10").
  QStringList ListComPorts();
  TFrameLoggingOvvw* Logger() const { return FrameLoggingOvvw; }
  // The folder of the logger's recording journals.
  static QString RecordingFolder();
  // Offers each recording left behind by an earlier run of the program: restore, later, discard.
  void OfferRecordings();
  QMenu* AddSubMenu() const { return mMenuAddSub; }
  QMenu* PopAddSubMenu() const { return mPopAddSub; }

  // Components (named as the localisation keys expect).
  QMenuBar* ActionMainMenuBar = nullptr;
  QToolBar* ActionToolBar = nullptr;
  QWidget* PanelLogo = nullptr;
  QLabel* ImageLogo = nullptr;
  QSplitter* Splitter1 = nullptr;
  QWidget* ScrollBoxListDevice = nullptr;
  tCaptionPanel* PanelDevices = nullptr;
  QTreeWidget* ListViewDevice = nullptr;
  QLineEdit* EditDeviceName = nullptr;
  QWidget* ScrollBoxBkGrnd = nullptr;
  QLabel* ImageBkGrnd = nullptr;
  QWidget* PanelMinSize = nullptr;
  tRichEdit* RichEditTransOutText = nullptr;
  QTabWidget* PageControlDevRecord = nullptr;
  QWidget* TabSheetDevice = nullptr;
  QScrollArea* ScrollAreaFrameDevice = nullptr;
  QWidget* ScrollBoxFrameDevice = nullptr;
  QWidget* TabSheetRecord = nullptr;
  QScrollArea* ScrollBoxFrameLoggingOvvw = nullptr;
  TFrameLoggingOvvw* FrameLoggingOvvw = nullptr;
  QTimer* TimerOpenSubMenu = nullptr;
  QObject* ActionManager = nullptr;
  QAction* ActionAddDevice = nullptr;
  QAction* ActionDelDevice = nullptr;
  QAction* ActionRenameTag = nullptr;
  QAction* ActionResetTag = nullptr;
  QAction* ActionConnectDevice = nullptr;
  QAction* ActionPorts = nullptr;
  QAction* ActionTraffic = nullptr;
  QAction* ActionGerman = nullptr;
  QAction* ActionEnglish = nullptr;
  QAction* Action3 = nullptr;
  QMenu* PopupActionBar = nullptr;
  QAction* miAddDevice = nullptr;
  QAction* miPopAddDevice = nullptr;
  QAction* miPopDelDevice = nullptr;
  QAction* miPopRenameTag = nullptr;
  QAction* miPopResetTag = nullptr;
  QAction* miPopConnectDevice = nullptr;
  QAction* miPopTraffic = nullptr;

protected:
  void closeEvent(QCloseEvent* pEvent) override;
  bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
  bool event(QEvent* pEvent) override;

private:
  void BuildControls();
  void BuildActions();
  void BuildMenus();
  void FormCreate();
  void FormDestroy();
  // Returns whether any port is free.
  bool UpdatePortMenu();
  void ClearPortMenu();
  void UpdateActions();
  void DeviceStatusUpdated(tDeviceStatus pStatus);
  void DeviceInfoUpdated(tDeviceInfo* pSender);
  void DeviceCountUpdated(std::int32_t pCount);
  QTreeWidgetItem* SelectedItem() const;
  QTreeWidgetItem* ItemOfRecord(const tDeviceInfo* pInfo) const;
  static TFrameDevice* FrameOfItem(const QTreeWidgetItem* pItem);
  void ShowPages(bool pShow);
  void FitWindowToLogger();
  void SetRowPicture(QTreeWidgetItem* pItem, int pPicture);
  void WriteTag(tDeviceInfo* pInfo, const QString& pTag);

  std::unique_ptr<tIniFile> mIniFile;
  std::unique_ptr<tPortMap> mPortMap;
  tMessageSlots FOutText{QString::fromUtf8("Es sind noch Geräte in Bearbeitung:"),
                         QStringLiteral("Es liegen Daten zum Speichern vor und gehen verloren!"),
                         QStringLiteral("Es ist ein schwerwiegender Fehler aufgetreten"),
                         QStringLiteral("Soll das Programm gestartet bleiben?")};
  QActionGroup* mLanguageGroup = nullptr;
  QMenu* mMenuDevice = nullptr;
  QMenu* mMenuLanguage = nullptr;
  QMenu* mMenuHelp = nullptr;
  QMenu* mMenuAddSub = nullptr;
  QMenu* mPopAddSub = nullptr;
  // The port number of a single free port, added by the Add command without a sub-menu.
  // One traffic view per row at most.
  QHash<TFrameDevice*, QPointer<TFormTraffic>> mTrafficForms;
  bool mActivated = false;
  bool mClosing = false;
};
