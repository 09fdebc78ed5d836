#include "app/FormMain.h"

#include "app/AppUtils.h"
#include "app/ImageLists.h"
#include "app/Pathes.h"
#include "app/frmExceptDlg.h"
#include "core/DeviceInfo.h"
#include "core/IniFile.h"
#include "i18n/CaptionPanel.h"
#include "i18n/DialogService.h"
#include "i18n/Resources.h"
#include "i18n/RichEdit.h"
#include "pages/FrameDevice.h"
#if __has_include("logger/FrameLoggingOvvw.h")
#include "logger/FrameLoggingOvvw.h"
#define CORVANE_WITH_LOGGER 1
#endif

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char* const kTag = "Tag";
const QString kCommon = QStringLiteral("Common");
const QString kLanguage = QStringLiteral("Language");
const QString kIdents = QStringLiteral("Idents");

tPortMap::tDeviceLister& DeviceLister() {
  static tPortMap::tDeviceLister lLister;
  return lLister;
}

std::function<QLocale::Language()>& SystemLanguage() {
  static std::function<QLocale::Language()> lQuery;
  return lQuery;
}

std::function<void()>& Terminate() {
  static std::function<void()> lHandler;
  return lHandler;
}

// Row picture by status; -1 leaves the picture as it is.
int StatusPicture(tDeviceStatus pStatus) {
  switch (pStatus) {
  case dsDisconnected:
    return iiDisconnected;
  case dsConnecting:
    return iiConnecting;
  case dsConnectRead:
    return -1;
  case dsConnected:
    return iiConnected;
  case dsLogging:
    return iiChart;
  case dsAdjusting:
    return iiArrows;
  case dsProgramming:
    return iiTools;
  case dsInternalError:
    return iiWarning;
  }
  return -1;
}

QAction* MakeAction(QObject* pOwner, const char* pName, const QString& pCaption, int pPicture) {
  auto* lAction = new QAction(pCaption, pOwner);
  lAction->setObjectName(QLatin1String(pName));
  if (pPicture >= 0) lAction->setIcon(ImageLists::CommandIcon(pPicture));
  return lAction;
}

// Deletes a port entry later: it may be the entry whose click is running.
void DiscardAction(QAction* pAction) {
  pAction->setParent(nullptr);
  pAction->deleteLater();
}

} // namespace

void TFormMain::SetDeviceLister(tPortMap::tDeviceLister pLister) {
  DeviceLister() = std::move(pLister);
}
void TFormMain::SetSystemLanguage(std::function<QLocale::Language()> pQuery) {
  SystemLanguage() = std::move(pQuery);
}
void TFormMain::SetOnTerminate(std::function<void()> pHandler) { Terminate() = std::move(pHandler); }

TFormMain::TFormMain(QWidget* pParent) : QMainWindow(pParent), FOutText(OutTextCount) {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QStringLiteral("Corvane"));
  FOutText = {QString::fromUtf8("Es sind noch Geräte in Bearbeitung:"),
              QStringLiteral("Es liegen Daten zum Speichern vor und gehen verloren!"),
              QStringLiteral("Es ist ein schwerwiegender Fehler aufgetreten"),
              QStringLiteral("Soll das Programm gestartet bleiben?")};
  BuildActions();
  BuildControls();
  BuildMenus();
  resize(1089, 793);
  if (QScreen* lScreen = QGuiApplication::primaryScreen()) {
    QRect lFrame(QPoint(), size());
    lFrame.moveCenter(lScreen->availableGeometry().center());
    move(lFrame.topLeft());
  }
  FormCreate();
}

TFormMain::~TFormMain() {
  // Frames go before the window's own parts: their records and the logger still call back.
  while (ListViewDevice->topLevelItemCount() > 0) {
    ListViewDevice->setCurrentItem(ListViewDevice->topLevelItem(0));
    ActionDelDeviceExecute();
  }
  FormDestroy();
}

void TFormMain::BuildActions() {
  ActionManager = new QObject(this);
  ActionManager->setObjectName(QStringLiteral("ActionManager"));
  ActionAddDevice =
      MakeAction(ActionManager, "ActionAddDevice", QString::fromUtf8("2@Hinzufügen"), iiAdd);
  ActionDelDevice = MakeAction(ActionManager, "ActionDelDevice", QStringLiteral("3@Entfernen"),
                               iiRemove);
  ActionRenameTag = MakeAction(ActionManager, "ActionRenameTag",
                               QString::fromUtf8("13@'Messstelle' ändern"), -1);
  ActionResetTag = MakeAction(ActionManager, "ActionResetTag",
                              QString::fromUtf8("14@'Messstelle' zurücksetzen"), -1);
  ActionConnectDevice = MakeAction(ActionManager, "ActionConnectDevice",
                                   QStringLiteral("4@Verbinden"), iiDisconnected);
  ActionConnectDevice->setCheckable(true);
  ActionGerman = MakeAction(ActionManager, "ActionGerman", QStringLiteral("Deutsch"), -1);
  ActionEnglish = MakeAction(ActionManager, "ActionEnglish", QStringLiteral("English"), -1);
  Action3 = MakeAction(ActionManager, "Action3", QStringLiteral("Info ..."), -1);
  mLanguageGroup = new QActionGroup(this);
  mLanguageGroup->setExclusive(true);
  for (QAction* lAction : {ActionGerman, ActionEnglish}) {
    lAction->setCheckable(true);
    mLanguageGroup->addAction(lAction);
  }
  ActionGerman->setChecked(true);

  // A trigger runs the handler; a programmatic check of the language commands does not.
  connect(ActionAddDevice, &QAction::triggered, this, [this] { ActionAddDeviceExecute(); });
  connect(ActionDelDevice, &QAction::triggered, this, [this] { ActionDelDeviceExecute(); });
  connect(ActionRenameTag, &QAction::triggered, this, [this] { ActionRenameTagExecute(); });
  connect(ActionResetTag, &QAction::triggered, this, [this] { ActionResetTagExecute(); });
  connect(ActionConnectDevice, &QAction::triggered, this,
          [this] { ActionConnectDeviceExecute(); });
  connect(ActionGerman, &QAction::triggered, this, [this] { miDeutschClick(); });
  connect(ActionEnglish, &QAction::triggered, this, [this] { miEnglishClick(); });
  connect(Action3, &QAction::triggered, this, [this] { miInfoClick(); });

  TimerOpenSubMenu = new QTimer(this);
  TimerOpenSubMenu->setObjectName(QStringLiteral("TimerOpenSubMenu"));
  TimerOpenSubMenu->setInterval(1);
  TimerOpenSubMenu->setSingleShot(false);
  connect(TimerOpenSubMenu, &QTimer::timeout, this, [this] { TimerOpenSubMenuTimer(); });
}

void TFormMain::BuildControls() {
  ActionToolBar = new QToolBar(this);
  ActionToolBar->setObjectName(QStringLiteral("ActionToolBar"));
  ActionToolBar->setAccessibleName(QStringLiteral("ActionToolBar"));
  ActionToolBar->setMovable(false);
  ActionToolBar->setFloatable(false);
  ActionToolBar->setIconSize(QSize(32, 32));
  ActionToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ActionToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
  ActionToolBar->addAction(ActionAddDevice);
  ActionToolBar->addAction(ActionDelDevice);
  ActionToolBar->addAction(ActionConnectDevice);
  auto* lSpacer = new QWidget(ActionToolBar);
  lSpacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  ActionToolBar->addWidget(lSpacer);
  PanelLogo = new QWidget(ActionToolBar);
  PanelLogo->setObjectName(QStringLiteral("PanelLogo"));
  auto* lLogoLayout = new QVBoxLayout(PanelLogo);
  lLogoLayout->setContentsMargins(4, 2, 8, 2);
  ImageLogo = new QLabel(PanelLogo);
  ImageLogo->setObjectName(QStringLiteral("ImageLogo"));
  ImageLogo->setAccessibleName(QStringLiteral("ImageLogo"));
  ImageLogo->setPixmap(ImageLists::Picture(QStringLiteral(":/images/app_logo.svg"), QSize(117, 40)));
  lLogoLayout->addWidget(ImageLogo);
  ActionToolBar->addWidget(PanelLogo);
  addToolBar(Qt::TopToolBarArea, ActionToolBar);

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setChildrenCollapsible(false);
  setCentralWidget(Splitter1);

  ScrollBoxListDevice = new QWidget(Splitter1);
  ScrollBoxListDevice->setObjectName(QStringLiteral("ScrollBoxListDevice"));
  auto* lLeft = new QVBoxLayout(ScrollBoxListDevice);
  lLeft->setContentsMargins(0, 0, 0, 0);
  lLeft->setSpacing(0);
  PanelDevices = new tCaptionPanel(QString::fromUtf8("8@Geräte"), ScrollBoxListDevice);
  PanelDevices->setObjectName(QStringLiteral("PanelDevices"));
  PanelDevices->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  PanelDevices->SetColor(QColor(22, 72, 154));
  PanelDevices->SetFontColor(Qt::white);
  PanelDevices->setFixedHeight(24);
  QFont lBold = PanelDevices->font();
  lBold.setBold(true);
  PanelDevices->setFont(lBold);
  lLeft->addWidget(PanelDevices);

  ListViewDevice = new QTreeWidget(ScrollBoxListDevice);
  ListViewDevice->setObjectName(QStringLiteral("ListViewDevice"));
  ListViewDevice->setAccessibleName(QStringLiteral("ListViewDevice"));
  ListViewDevice->setColumnCount(4);
  ListViewDevice->setHeaderLabels({QString(), QStringLiteral("11@Messstelle"),
                                   QStringLiteral("12@Messbereich"), QStringLiteral("COM")});
  ListViewDevice->headerItem()->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
  ListViewDevice->setRootIsDecorated(false);
  ListViewDevice->setItemsExpandable(false);
  ListViewDevice->setUniformRowHeights(true);
  ListViewDevice->setSortingEnabled(false);
  ListViewDevice->setSelectionMode(QAbstractItemView::SingleSelection);
  ListViewDevice->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListViewDevice->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListViewDevice->setIconSize(QSize(32, 32));
  ListViewDevice->setAllColumnsShowFocus(true);
  ListViewDevice->setContextMenuPolicy(Qt::CustomContextMenu);
  QPalette lListPalette = ListViewDevice->palette();
  lListPalette.setColor(QPalette::Base, QColor(249, 255, 225));
  // The selection stays visible when the list loses the focus.
  lListPalette.setColor(QPalette::Inactive, QPalette::Highlight,
                        lListPalette.color(QPalette::Active, QPalette::Highlight));
  lListPalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                        lListPalette.color(QPalette::Active, QPalette::HighlightedText));
  ListViewDevice->setPalette(lListPalette);
  QHeaderView* lHeader = ListViewDevice->header();
  lHeader->setSectionsClickable(false);
  lHeader->setSectionsMovable(false);
  lHeader->setStretchLastSection(false);
  lHeader->setMinimumSectionSize(38);
  lHeader->setSectionResizeMode(0, QHeaderView::Fixed);
  lHeader->setSectionResizeMode(1, QHeaderView::Stretch);
  lHeader->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  lHeader->setSectionResizeMode(3, QHeaderView::Fixed);
  lHeader->resizeSection(0, 38);
  lHeader->resizeSection(3, 39);
  lLeft->addWidget(ListViewDevice, 1);
  ListViewDevice->installEventFilter(this);
  connect(ListViewDevice, &QTreeWidget::itemSelectionChanged, this,
          [this] { ListViewDeviceSelectItem(); });
  connect(ListViewDevice, &QTreeWidget::itemDoubleClicked, this,
          [this] { ListViewDeviceDblClick(); });
  connect(ListViewDevice, &QWidget::customContextMenuRequested, this, [this](const QPoint& pPos) {
    PopupActionBar->popup(ListViewDevice->viewport()->mapToGlobal(pPos));
  });

  EditDeviceName = new QLineEdit(ScrollBoxListDevice);
  EditDeviceName->setObjectName(QStringLiteral("EditDeviceName"));
  EditDeviceName->setAccessibleName(QStringLiteral("EditDeviceName"));
  EditDeviceName->hide();
  EditDeviceName->installEventFilter(this);

  ScrollBoxBkGrnd = new QWidget(Splitter1);
  ScrollBoxBkGrnd->setObjectName(QStringLiteral("ScrollBoxBkGrnd"));
  ScrollBoxBkGrnd->setAutoFillBackground(true);
  ScrollBoxBkGrnd->installEventFilter(this);
  ImageBkGrnd = new QLabel(ScrollBoxBkGrnd);
  ImageBkGrnd->setObjectName(QStringLiteral("ImageBkGrnd"));
  ImageBkGrnd->setAccessibleName(QStringLiteral("ImageBkGrnd"));
  PanelMinSize = new QWidget(ScrollBoxBkGrnd);
  PanelMinSize->setObjectName(QStringLiteral("PanelMinSize"));
  PanelMinSize->setGeometry(0, 0, 692, 41);
  PanelMinSize->hide();
  RichEditTransOutText = new tRichEdit(
      {QString::fromUtf8("9@Es sind noch Geräte in Bearbeitung:"),
       QStringLiteral("10@Es liegen Daten zum Speichern vor und gehen verloren!"),
       QStringLiteral("17@Es ist ein schwerwiegender Fehler aufgetreten"),
       QStringLiteral("18@Soll das Programm gestartet bleiben?")},
      ScrollBoxBkGrnd);
  RichEditTransOutText->setObjectName(QStringLiteral("RichEditTransOutText"));
  RichEditTransOutText->setEnabled(false);
  RichEditTransOutText->hide();

  PageControlDevRecord = new QTabWidget(ScrollBoxBkGrnd);
  PageControlDevRecord->setObjectName(QStringLiteral("PageControlDevRecord"));
  PageControlDevRecord->setDocumentMode(true);
  PageControlDevRecord->setIconSize(QSize(32, 32));
  PageControlDevRecord->hide();

  TabSheetDevice = new QWidget(PageControlDevRecord);
  TabSheetDevice->setObjectName(QStringLiteral("TabSheetDevice"));
  auto* lDeviceLayout = new QVBoxLayout(TabSheetDevice);
  lDeviceLayout->setContentsMargins(0, 0, 0, 0);
  ScrollAreaFrameDevice = new QScrollArea(TabSheetDevice);
  ScrollAreaFrameDevice->setFrameStyle(QFrame::NoFrame);
  ScrollAreaFrameDevice->setWidgetResizable(true);
  ScrollBoxFrameDevice = new QWidget;
  ScrollBoxFrameDevice->setObjectName(QStringLiteral("ScrollBoxFrameDevice"));
  auto* lFrames = new QVBoxLayout(ScrollBoxFrameDevice);
  lFrames->setContentsMargins(0, 0, 0, 0);
  ScrollAreaFrameDevice->setWidget(ScrollBoxFrameDevice);
  lDeviceLayout->addWidget(ScrollAreaFrameDevice);
  PageControlDevRecord->addTab(TabSheetDevice, QIcon(ImageLists::ImageList32(iiTransmitter)),
                               QString::fromUtf8("15@Gerät"));

  TabSheetRecord = new QWidget(PageControlDevRecord);
  TabSheetRecord->setObjectName(QStringLiteral("TabSheetRecord"));
  auto* lRecordLayout = new QVBoxLayout(TabSheetRecord);
  lRecordLayout->setContentsMargins(0, 0, 0, 0);
  ScrollBoxFrameLoggingOvvw = new QScrollArea(TabSheetRecord);
  ScrollBoxFrameLoggingOvvw->setObjectName(QStringLiteral("ScrollBoxFrameLoggingOvvw"));
  ScrollBoxFrameLoggingOvvw->setFrameStyle(QFrame::NoFrame);
  ScrollBoxFrameLoggingOvvw->setWidgetResizable(true);
#ifdef CORVANE_WITH_LOGGER
  FrameLoggingOvvw = new TFrameLoggingOvvw(this);
  FrameLoggingOvvw->setObjectName(QStringLiteral("FrameLoggingOvvw"));
  ScrollBoxFrameLoggingOvvw->setWidget(FrameLoggingOvvw);
#endif
  lRecordLayout->addWidget(ScrollBoxFrameLoggingOvvw);
  PageControlDevRecord->addTab(TabSheetRecord, QIcon(ImageLists::ImageList32(iiChart)),
                               QStringLiteral("16@Aufzeichnung"));

  Splitter1->addWidget(ScrollBoxListDevice);
  Splitter1->addWidget(ScrollBoxBkGrnd);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({305, 1089 - 305});
}

void TFormMain::BuildMenus() {
  ActionMainMenuBar = menuBar();
  ActionMainMenuBar->setObjectName(QStringLiteral("ActionMainMenuBar"));

  miAddDevice = new QAction(this);
  miAddDevice->setObjectName(QStringLiteral("miAddDevice"));
  mMenuAddSub = new QMenu(this);
  mMenuAddSub->setObjectName(QStringLiteral("miAddDeviceSub"));
  connect(miAddDevice, &QAction::triggered, this, [this] { ActionAddDeviceExecute(); });

  mMenuDevice = ActionMainMenuBar->addMenu(QString::fromUtf8("1@&Gerät"));
  mMenuDevice->addAction(miAddDevice);
  mMenuDevice->addAction(ActionDelDevice);
  mMenuDevice->addSeparator();
  mMenuDevice->addAction(ActionRenameTag);
  mMenuDevice->addAction(ActionResetTag);
  mMenuDevice->addAction(ActionConnectDevice);
  mMenuDevice->addSeparator();
  connect(mMenuDevice, &QMenu::aboutToShow, this, [this] { DoListComports(); });
  mMenuLanguage = ActionMainMenuBar->addMenu(QStringLiteral("&5@Sprache"));
  mMenuLanguage->addAction(ActionGerman);
  mMenuLanguage->addAction(ActionEnglish);
  mMenuHelp = ActionMainMenuBar->addMenu(QStringLiteral("?"));
  mMenuHelp->addAction(Action3);

  PopupActionBar = new QMenu(this);
  PopupActionBar->setObjectName(QStringLiteral("PopupActionBar"));
  miPopAddDevice = new QAction(PopupActionBar);
  miPopAddDevice->setObjectName(QStringLiteral("miPopAddDevice"));
  connect(miPopAddDevice, &QAction::triggered, this, [this] { ActionAddDeviceExecute(); });
  mPopAddSub = new QMenu(PopupActionBar);
  mPopAddSub->setObjectName(QStringLiteral("miPopAddDeviceSub"));
  PopupActionBar->addAction(miPopAddDevice);
  miPopDelDevice = PopupActionBar->addAction(QString());
  miPopDelDevice->setObjectName(QStringLiteral("miPopDelDevice"));
  PopupActionBar->addSeparator()->setObjectName(QStringLiteral("N3"));
  miPopRenameTag = PopupActionBar->addAction(QString());
  miPopRenameTag->setObjectName(QStringLiteral("miPopRenameTag"));
  miPopResetTag = PopupActionBar->addAction(QString());
  miPopResetTag->setObjectName(QStringLiteral("miPopResetTag"));
  PopupActionBar->addSeparator()->setObjectName(QStringLiteral("N4"));
  miPopConnectDevice = PopupActionBar->addAction(QString());
  miPopConnectDevice->setObjectName(QStringLiteral("miPopConnectDevice"));
  connect(PopupActionBar, &QMenu::aboutToShow, this, [this] { DoListComports(); });

  // The menu entries show their command: caption, picture, enabled and checked state.
  const std::pair<QAction*, QAction*> lLinks[] = {{miAddDevice, ActionAddDevice},
                                                  {miPopAddDevice, ActionAddDevice},
                                                  {miPopDelDevice, ActionDelDevice},
                                                  {miPopRenameTag, ActionRenameTag},
                                                  {miPopResetTag, ActionResetTag},
                                                  {miPopConnectDevice, ActionConnectDevice}};
  for (auto [lEntry, lAction] : lLinks) {
    auto lMirror = [lEntry = lEntry, lAction = lAction] {
      lEntry->setText(lAction->text());
      lEntry->setIcon(lAction->icon());
      lEntry->setEnabled(lAction->isEnabled());
      lEntry->setCheckable(lAction->isCheckable());
      lEntry->setChecked(lAction->isChecked());
    };
    lMirror();
    connect(lAction, &QAction::changed, lEntry, lMirror);
    if (lEntry != miAddDevice && lEntry != miPopAddDevice)
      connect(lEntry, &QAction::triggered, lAction, [lAction = lAction] {
        if (lAction->isEnabled()) lAction->trigger();
      });
  }
}

void TFormMain::FormCreate() {
  Pathes().SetCompanyFolder(QStringLiteral("HALVEX"));
  ScrollBoxBkGrndResize();

  // The port list lives in the settings file here, so the file opens before the first
  // UpdateActions builds the port entries.
  const QString lIniName = Pathes().ProgramDataFolder() + QLatin1Char('/') +
                           tPathes::ProgramBaseName() + QStringLiteral(".ini");
  mIniFile = std::make_unique<tIniFile>(lIniName);
  mIniFile->SetOnWriteError([this](const QString& pText) {
    // Shown after the running handler, once per failing period (the file reports it once).
    QTimer::singleShot(0, this, [this, pText] {
      Dialogs().Warning(QStringLiteral("%1\r%2").arg(mIniFile->FileName(), pText), this);
    });
  });
  mPortMap = std::make_unique<tPortMap>(*mIniFile);
  if (DeviceLister()) mPortMap->SetDeviceLister(DeviceLister());
  tPortMap::SetApplicationMap(mPortMap.get());

  UpdateActions();

  CheckTranslationLines(*RichEditTransOutText, OutTextCount);
  BindMessageSlots(*RichEditTransOutText, FOutText);
  RichEditTransOutText->SetOnChange([this] { RichEditTransOutTextChange(); });
  Resources().AddForm(this);
  RichEditTransOutTextChange();

  switch (mIniFile->ReadInteger(kCommon, kLanguage, -1)) {
  case laGerman:
    miDeutschClick();
    break;
  case laEnglish:
    miEnglishClick();
    break;
  default: {
    const QLocale::Language lSystem =
        SystemLanguage() ? SystemLanguage()() : QLocale::system().language();
    if (lSystem == QLocale::German)
      miDeutschClick();
    else
      miEnglishClick();
  }
  }

  delete frmExceptDlg;
  frmExceptDlg = nullptr;
}

void TFormMain::FormDestroy() {
  tPortMap::SetApplicationMap(nullptr);
  mPortMap.reset();
  mIniFile.reset();
  if (Resources().IsRegistered(this)) Resources().DeleteForm(this);
}

bool TFormMain::event(QEvent* pEvent) {
  if (!mActivated && (pEvent->type() == QEvent::WindowActivate || pEvent->type() == QEvent::Show))
    FormActivate();
  return QMainWindow::event(pEvent);
}

void TFormMain::FormActivate() {
  if (mActivated) return;
  mActivated = true;
  setWindowTitle(QCoreApplication::applicationName());
  ImageLogo->setVisible(AppUtils ? AppUtils->LogoVisible() : true);
  const QString lBackground = QStringLiteral(":/images/app_background.svg");
  if (QFile::exists(lBackground)) {
    ImageBkGrnd->setPixmap(ImageLists::Picture(lBackground, QSize(520, 360)));
    ImageBkGrnd->adjustSize();
    ScrollBoxBkGrndResize();
  }
}

void TFormMain::ScrollBoxBkGrndResize() {
  const int lTop = (ScrollBoxBkGrnd->height() - ImageBkGrnd->height()) / 2;
  const int lLeft = (ScrollBoxBkGrnd->width() - ImageBkGrnd->width()) / 2;
  ImageBkGrnd->move(qMax(0, lLeft), qMax(0, lTop));
}

void TFormMain::RichEditTransOutTextChange() {
  for (int i = 0; i < OutTextCount && i < RichEditTransOutText->LineCount(); ++i)
    FOutText[std::size_t(i)] = RichEditTransOutText->Line(i);
}

bool TFormMain::eventFilter(QObject* pWatched, QEvent* pEvent) {
  if (pWatched == ScrollBoxBkGrnd && pEvent->type() == QEvent::Resize) {
    PageControlDevRecord->setGeometry(ScrollBoxBkGrnd->rect());
    ScrollBoxBkGrndResize();
  } else if (pWatched == ListViewDevice && pEvent->type() == QEvent::KeyRelease) {
    auto* lKey = static_cast<QKeyEvent*>(pEvent);
    if (!lKey->isAutoRepeat()) ListViewDeviceKeyUp(lKey->key());
  } else if (pWatched == EditDeviceName) {
    if (pEvent->type() == QEvent::KeyPress) {
      const int lKey = static_cast<QKeyEvent*>(pEvent)->key();
      if (lKey == Qt::Key_Return || lKey == Qt::Key_Enter || lKey == Qt::Key_Escape) {
        EditDeviceNameKeyPress(lKey);
        return true;
      }
    } else if (pEvent->type() == QEvent::FocusOut) {
      EditDeviceNameExit();
    }
  }
  return QMainWindow::eventFilter(pWatched, pEvent);
}

// --- Rows and their frames ---------------------------------------------------------------

TFrameDevice* TFormMain::FrameOfItem(const QTreeWidgetItem* pItem) {
  if (!pItem) return nullptr;
  return qobject_cast<TFrameDevice*>(pItem->data(0, Qt::UserRole).value<QObject*>());
}

QTreeWidgetItem* TFormMain::SelectedItem() const {
  const QList<QTreeWidgetItem*> lSelected = ListViewDevice->selectedItems();
  return lSelected.isEmpty() ? nullptr : lSelected.first();
}

TFrameDevice* TFormMain::SelectedFrame() const { return FrameOfItem(SelectedItem()); }

TFrameDevice* TFormMain::FrameOfRow(int pRow) const {
  return FrameOfItem(ListViewDevice->topLevelItem(pRow));
}

int TFormMain::RowCount() const { return ListViewDevice->topLevelItemCount(); }

QTreeWidgetItem* TFormMain::ItemOfRecord(const tDeviceInfo* pInfo) const {
  for (int i = 0; i < ListViewDevice->topLevelItemCount(); ++i) {
    QTreeWidgetItem* lItem = ListViewDevice->topLevelItem(i);
    TFrameDevice* lFrame = FrameOfItem(lItem);
    if (lFrame && lFrame->DeviceInfo() == pInfo) return lItem;
  }
  return nullptr;
}

void TFormMain::SetRowPicture(QTreeWidgetItem* pItem, int pPicture) {
  if (pPicture >= 0) pItem->setIcon(0, QIcon(ImageLists::ImageList32(pPicture)));
}

void TFormMain::ShowPages(bool pShow) {
  ImageBkGrnd->setVisible(!pShow);
  PanelMinSize->setVisible(pShow);
  PageControlDevRecord->setVisible(pShow);
  // The pages need their room; the scroll box of the original grew scroll bars instead.
  ScrollBoxBkGrnd->setMinimumWidth(pShow ? PanelMinSize->width() : 0);
  if (pShow) PageControlDevRecord->raise();
}

void TFormMain::miAddDeviceClick(QObject* Sender) {
  const int lComNr = Sender ? Sender->property(kTag).toInt() : 0;
  if (lComNr <= 0) return;

  ShowPages(true);
  auto* lFrame = new TFrameDevice(ScrollBoxFrameDevice);
  lFrame->hide();
  if (RowCount() == 0 && FrameLoggingOvvw) {
#ifdef CORVANE_WITH_LOGGER
    FrameLoggingOvvw->SetOnDeviceCountChanged(
        [this](std::int32_t pCount) { DeviceCountUpdated(pCount); });
    FrameLoggingOvvw->InitComponents();
#endif
  }
  lFrame->DeviceInfo()->AddEvent(tNotifyEvent(this, &TFormMain::DeviceInfoUpdated));
  lFrame->setObjectName(QStringLiteral("Frame%1").arg(lComNr));
  ScrollBoxFrameDevice->layout()->addWidget(lFrame);
  lFrame->Initialize(lComNr);
  lFrame->SetOnDeviceStatusChanged([this](tDeviceStatus pStatus) { DeviceStatusUpdated(pStatus); });

  auto* lItem = new QTreeWidgetItem;
  lItem->setData(0, Qt::UserRole, QVariant::fromValue<QObject*>(lFrame));
  lItem->setText(3, QString::number(lComNr));
  lItem->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
  SetRowPicture(lItem, iiDisconnected);
  ListViewDevice->addTopLevelItem(lItem);
  ListViewDevice->setCurrentItem(lItem);
  lItem->setSelected(true);

#ifdef CORVANE_WITH_LOGGER
  if (FrameLoggingOvvw) FrameLoggingOvvw->AddDevice(lFrame);
#endif
  PageControlDevRecord->setCurrentWidget(TabSheetDevice);
  lFrame->show();
  UpdateActions();
  lFrame->Connect();
}

void TFormMain::ListViewDeviceSelectItem() {
  static bool lBusy = false;
  if (lBusy) return;
  lBusy = true;
  for (int i = 0; i < RowCount(); ++i)
    if (TFrameDevice* lFrame = FrameOfRow(i)) lFrame->hide();
  if (!SelectedItem() && ListViewDevice->currentItem())
    ListViewDevice->currentItem()->setSelected(true);
  if (TFrameDevice* lFrame = SelectedFrame()) lFrame->show();
  lBusy = false;
  UpdateActions();
}

void TFormMain::ActionDelDeviceExecute() {
  QTreeWidgetItem* lItem = SelectedItem();
  TFrameDevice* lFrame = FrameOfItem(lItem);
  if (!lFrame) return;
  switch (lFrame->DeviceStatus()) {
  case dsConnecting:
  case dsConnected:
  case dsInternalError:
    lFrame->Disconnect();
    break;
  case dsConnectRead:
  case dsLogging:
  case dsAdjusting:
  case dsProgramming:
    // Only the Delete key gets here: the communication ends first, so that no timer or
    // notification of the page outlives the frame.
    if (lFrame->Page() && lFrame->Page()->Connected()) lFrame->Page()->SetConnected(false);
    if (lFrame->DeviceStatus() != dsDisconnected) lFrame->Disconnect();
    break;
  case dsDisconnected:
    break;
  }
#ifdef CORVANE_WITH_LOGGER
  if (FrameLoggingOvvw) FrameLoggingOvvw->DelDevice(lFrame);
#endif
  lFrame->SetOnDeviceStatusChanged(nullptr);
  lFrame->DeviceInfo()->DeleteEvent(tNotifyEvent(this, &TFormMain::DeviceInfoUpdated));
  const int lIndex = ListViewDevice->indexOfTopLevelItem(lItem);
  {
    const QSignalBlocker lBlock(ListViewDevice);
    delete lItem;
    ListViewDevice->clearSelection();
  }
  delete lFrame;

  QTreeWidgetItem* lNext = ListViewDevice->topLevelItem(lIndex);
  if (!lNext) lNext = ListViewDevice->topLevelItem(0);
  if (lNext) {
    const QSignalBlocker lBlock(ListViewDevice);
    ListViewDevice->setCurrentItem(lNext);
    lNext->setSelected(true);
  }
  bool lHasData = false;
#ifdef CORVANE_WITH_LOGGER
  lHasData = FrameLoggingOvvw && FrameLoggingOvvw->HasDataToSave();
#endif
  if (RowCount() == 0 && !lHasData) ShowPages(false);
  ListViewDeviceSelectItem();
  UpdateActions();
}

void TFormMain::DeviceStatusUpdated(tDeviceStatus) {
  UpdateActions();
  for (int i = 0; i < RowCount(); ++i)
    if (TFrameDevice* lFrame = FrameOfRow(i))
      SetRowPicture(ListViewDevice->topLevelItem(i), StatusPicture(lFrame->DeviceStatus()));
}

void TFormMain::DeviceInfoUpdated(tDeviceInfo* pSender) {
  QTreeWidgetItem* lItem = ItemOfRecord(pSender);
  if (!lItem) return;
  if (!pSender->Ident().isEmpty()) {
    const QString lTag = mIniFile->ReadString(kIdents, pSender->Ident(), pSender->Ident());
    pSender->SetTag(lTag);
    lItem->setText(1, pSender->Tag());
  } else {
    lItem->setText(1, QString());
  }
  lItem->setText(2, pSender->MBRange());
}

void TFormMain::DeviceCountUpdated(std::int32_t pCount) {
  if (pCount <= 0)
    ShowPages(false);
  else
    PageControlDevRecord->setTabIcon(PageControlDevRecord->indexOf(TabSheetRecord),
                                     QIcon(ImageLists::ImageList32(pCount == 1 ? iiChart : iiTwoChart)));
}

// --- Commands ----------------------------------------------------------------------------

void TFormMain::UpdateActions() {
  TFrameDevice* lFrame = SelectedFrame();
  if (lFrame) {
    const tDeviceStatus s = lFrame->DeviceStatus();
    const tDeviceInfo* lInfo = lFrame->DeviceInfo();
    ActionDelDevice->setEnabled(s == dsDisconnected || s == dsConnected || s == dsInternalError);
    ActionConnectDevice->setEnabled(s == dsDisconnected || s == dsConnecting || s == dsConnected ||
                                    s == dsInternalError);
    ActionConnectDevice->setChecked(s != dsDisconnected);
    ActionRenameTag->setEnabled((s == dsDisconnected && !lInfo->Ident().isEmpty()) ||
                                (s != dsDisconnected && s != dsConnecting));
    ActionResetTag->setEnabled(lInfo->Tag() != lInfo->Ident());
  } else {
    ActionDelDevice->setEnabled(false);
    ActionConnectDevice->setEnabled(false);
    ActionConnectDevice->setChecked(false);
    ActionRenameTag->setEnabled(false);
    ActionResetTag->setEnabled(false);
  }
  ActionConnectDevice->setIcon(
      ImageLists::CommandIcon(ActionConnectDevice->isChecked() ? iiConnected : iiDisconnected));
  UpdatePortMenu();
}

void TFormMain::ActionConnectDeviceExecute() {
  TFrameDevice* lFrame = SelectedFrame();
  if (!lFrame) return;
  if (lFrame->DeviceStatus() == dsDisconnected)
    lFrame->Connect();
  else
    lFrame->Disconnect();
  // The frame may be gone when its connection attempt let other events run.
  if ((lFrame = SelectedFrame())) ActionConnectDevice->setChecked(lFrame->DeviceStatus() == dsConnecting);
}

void TFormMain::ListViewDeviceDblClick() {
  TFrameDevice* lFrame = SelectedFrame();
  if (!lFrame) return;
  switch (lFrame->DeviceStatus()) {
  case dsDisconnected:
    PageControlDevRecord->setCurrentWidget(TabSheetDevice);
    lFrame->Connect();
    break;
  case dsConnecting:
    PageControlDevRecord->setCurrentWidget(TabSheetDevice);
    break;
  case dsLogging:
    PageControlDevRecord->setCurrentWidget(TabSheetRecord);
    break;
  case dsAdjusting:
  case dsProgramming:
  case dsInternalError:
    PageControlDevRecord->setCurrentWidget(TabSheetDevice);
    lFrame->GotoDeviceStatus();
    break;
  case dsConnectRead:
  case dsConnected:
    break;
  }
}

void TFormMain::ListViewDeviceKeyUp(int pKey) {
  if (pKey == Qt::Key_Insert) {
    ActionAddDeviceExecute();
    return;
  }
  if (!SelectedFrame()) return;
  switch (pKey) {
  case Qt::Key_Space:
    ActionConnectDeviceExecute();
    break;
  case Qt::Key_Delete:
    ActionDelDeviceExecute();
    break;
  case Qt::Key_F2:
    ActionRenameTagExecute();
    break;
  default:
    break;
  }
}

// --- Tags --------------------------------------------------------------------------------

void TFormMain::ActionRenameTagExecute() {
  QTreeWidgetItem* lItem = SelectedItem();
  if (!lItem || !ActionRenameTag->isEnabled()) return;
  EditDeviceName->setText(lItem->text(1));
  const QRect lRow = ListViewDevice->visualItemRect(lItem);
  const QPoint lTopLeft = ListViewDevice->viewport()->mapTo(ScrollBoxListDevice, lRow.topLeft());
  const int lHeight = EditDeviceName->sizeHint().height();
  EditDeviceName->setGeometry(lTopLeft.x() + ListViewDevice->columnWidth(0) + 2,
                              lTopLeft.y() + qMax(0, (lRow.height() - lHeight) / 2),
                              qMax(50, ListViewDevice->columnWidth(1) - 2), lHeight);
  EditDeviceName->show();
  EditDeviceName->raise();
  EditDeviceName->setFocus();
  EditDeviceName->selectAll();
}

void TFormMain::EditDeviceNameKeyPress(int pKey) {
  if (EditDeviceName->isHidden()) return;
  if (pKey == Qt::Key_Escape) {
    if (QTreeWidgetItem* lItem = SelectedItem()) EditDeviceName->setText(lItem->text(1));
  }
  ListViewDevice->setFocus();
  // Without an active window no focus-out reaches the editor; the rename ends here then.
  EditDeviceNameExit();
}

void TFormMain::EditDeviceNameExit() {
  if (EditDeviceName->isHidden()) return;
  EditDeviceName->hide();
  QTreeWidgetItem* lItem = SelectedItem();
  TFrameDevice* lFrame = FrameOfItem(lItem);
  if (!lFrame) return;
  const QString lText = EditDeviceName->text();
  lItem->setText(1, lText);
  WriteTag(lFrame->DeviceInfo(), lText);
  ActionResetTag->setEnabled(lFrame->DeviceInfo()->Tag() != lFrame->DeviceInfo()->Ident());
}

void TFormMain::ActionResetTagExecute() {
  QTreeWidgetItem* lItem = SelectedItem();
  TFrameDevice* lFrame = FrameOfItem(lItem);
  if (!lFrame || !ActionResetTag->isEnabled()) return;
  tDeviceInfo* lInfo = lFrame->DeviceInfo();
  lItem->setText(1, lInfo->Ident());
  WriteTag(lInfo, lInfo->Ident());
  ActionResetTag->setEnabled(false);
}

void TFormMain::WriteTag(tDeviceInfo* pInfo, const QString& pTag) {
  // An instrument never read has no identity to keep a tag under.
  if (!pInfo->Ident().isEmpty()) mIniFile->WriteString(kIdents, pInfo->Ident(), pTag);
  pInfo->SetTag(pTag);
}

// --- Language, about, closing, errors ----------------------------------------------------

void TFormMain::miDeutschClick() {
  ActionGerman->setChecked(true);
  Resources().SetLanguage(laGerman);
  mIniFile->WriteInteger(kCommon, kLanguage, int(Resources().Language()));
}

void TFormMain::miEnglishClick() {
  ActionEnglish->setChecked(true);
  Resources().SetLanguage(laEnglish);
  mIniFile->WriteInteger(kCommon, kLanguage, int(Resources().Language()));
}

void TFormMain::miInfoClick() {
  if (AppUtils) AppUtils->ShowAbout();
}

void TFormMain::closeEvent(QCloseEvent* pEvent) {
  bool lCanClose = true;
  FormClose(lCanClose);
  if (lCanClose)
    pEvent->accept();
  else
    pEvent->ignore();
}

void TFormMain::FormClose(bool& pCanClose) {
  QString lBusy;
  for (int i = 0; i < RowCount(); ++i) {
    TFrameDevice* lFrame = FrameOfRow(i);
    if (!lFrame) continue;
    const tDeviceStatus s = lFrame->DeviceStatus();
    if (s == dsDisconnected || s == dsConnected || s == dsInternalError) continue;
    lBusy += QStringLiteral("COM%1: ").arg(lFrame->DeviceInfo()->ComNr()) +
             lFrame->DeviceInfo()->Tag() + QLatin1Char('\r');
  }
  if (!lBusy.isEmpty()) {
    Dialogs().MessageBox(mtError, OutText(0) + QLatin1Char('\r') + lBusy, mbOK, this);
    pCanClose = false;
    return;
  }
#ifdef CORVANE_WITH_LOGGER
  if (FrameLoggingOvvw && FrameLoggingOvvw->HasDataToSave() &&
      Dialogs().MessageBox(mtWarning, OutText(1), mbOKCancel, this) == mrCancel) {
    pCanClose = false;
    return;
  }
#endif
  pCanClose = true;
  while (RowCount() > 0) {
    ListViewDevice->setCurrentItem(ListViewDevice->topLevelItem(0));
    ListViewDevice->topLevelItem(0)->setSelected(true);
    ActionDelDeviceExecute();
  }
}

void TFormMain::ApplicationEventsException(QObject*, const eError& pError) {
  const QString lText =
      OutText(2) + QLatin1Char('\r') + pError.Message() + QLatin1Char('\r') + OutText(3);
  if (Dialogs().MessageBox(mtError, lText, mbYesNo, this) == mrNo) {
    if (Terminate())
      Terminate()();
    else
      QCoreApplication::exit(1);
  }
}

// --- Port entries ------------------------------------------------------------------------

QStringList TFormMain::ListComPorts() {
  if (!mPortMap) return {};
  mPortMap->Update();
  return mPortMap->ListComPorts();
}

void TFormMain::DoListComports() { UpdatePortMenu(); }

void TFormMain::ClearPortMenu() {
  for (QAction* lAction : mPopAddSub->actions()) {
    mPopAddSub->removeAction(lAction);
    DiscardAction(lAction);
  }
  for (QAction* lAction : mMenuAddSub->actions()) {
    mMenuAddSub->removeAction(lAction);
    DiscardAction(lAction);
  }
  miPopAddDevice->setMenu(nullptr);
  miAddDevice->setMenu(nullptr);
}

bool TFormMain::UpdatePortMenu() {
  ActionAddDevice->setEnabled(false);
  ClearPortMenu();
  QSet<QString> lInUse;
  for (int i = 0; i < RowCount(); ++i)
    lInUse.insert(QStringLiteral("COM") + ListViewDevice->topLevelItem(i)->text(3));
  for (const QString& lPort : ListComPorts()) {
    if (lInUse.contains(lPort)) continue;
    const int lComNr = lPort.mid(3).toInt();
    auto* lItem = new QAction(lPort, PopupActionBar);
    lItem->setObjectName(QStringLiteral("mi") + lPort);
    lItem->setProperty(kTag, lComNr);
    connect(lItem, &QAction::triggered, this, [this, lItem] { miAddDeviceClick(lItem); });
    mPopAddDeviceTag = lComNr;
    miPopAddDevice->setProperty(kTag, lComNr);
    mPopAddSub->addAction(lItem);

    auto* lAction = new QAction(lPort, ActionManager);
    lAction->setObjectName(QStringLiteral("mj") + lPort);
    lAction->setProperty(kTag, lComNr);
    connect(lAction, &QAction::triggered, this, [this, lAction] { miAddDeviceClick(lAction); });
    mMenuAddSub->addAction(lAction);
    ActionAddDevice->setEnabled(true);
  }
  if (mPopAddSub->actions().size() == 1) ClearPortMenu();
  if (!mPopAddSub->actions().isEmpty()) {
    miPopAddDevice->setMenu(mPopAddSub);
    miAddDevice->setMenu(mMenuAddSub);
  }
  return ActionAddDevice->isEnabled();
}

void TFormMain::ActionAddDeviceExecute() {
  if (!UpdatePortMenu()) return;
  if (mPopAddSub->actions().isEmpty()) {
    miAddDeviceClick(miPopAddDevice);
    return;
  }
  TimerOpenSubMenu->start();
  QPoint lPoint = ListViewDevice->pos();
  QWidget* lBase = ListViewDevice->parentWidget();
  if (QTreeWidgetItem* lItem = SelectedItem()) {
    lPoint = ListViewDevice->visualItemRect(lItem).topLeft();
    lBase = ListViewDevice->viewport();
  }
  PopupActionBar->popup(lBase->mapToGlobal(lPoint) + QPoint(20, 20));
}

void TFormMain::TimerOpenSubMenuTimer() {
  TimerOpenSubMenu->stop();
  // Down highlights Add, Right opens its port sub-menu, Home highlights the first port; each
  // key goes to the menu that is open at that moment.
  for (int lKey : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Home}) {
    QWidget* lTarget = QApplication::activePopupWidget();
    if (!lTarget) return;
    QKeyEvent lPress(QEvent::KeyPress, lKey, Qt::NoModifier);
    QCoreApplication::sendEvent(lTarget, &lPress);
  }
}
