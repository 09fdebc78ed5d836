#include "app/FormMain.h"

#include "app/AppUtils.h"
#include "app/ImageLists.h"
#include "app/Pathes.h"
#include "app/frmExceptDlg.h"
#include "core/DeviceInfo.h"
#include "core/IniFile.h"
#include "widgets/CaptionPanel.h"
#include "widgets/DialogService.h"
#include "i18n/Resources.h"
#include "widgets/RichEdit.h"
#include "logger/FrameLoggingOvvw.h"
#include "pages/FrameDevice.h"

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

const QString kCommon = QStringLiteral("Common");
const QString kLanguage = QStringLiteral("Language");

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

QAction* MakeAction(QObject* pOwner, const char* pName, const QString& pCaption, int pPicture) {
  auto* lAction = new QAction(pCaption, pOwner);
  lAction->setObjectName(QLatin1String(pName));
  if (pPicture >= 0) lAction->setIcon(ImageLists::CommandIcon(pPicture));
  return lAction;
}

} // namespace

void TFormMain::SetDeviceLister(tPortMap::tDeviceLister pLister) {
  DeviceLister() = std::move(pLister);
}
void TFormMain::SetSystemLanguage(std::function<QLocale::Language()> pQuery) {
  SystemLanguage() = std::move(pQuery);
}
void TFormMain::SetOnTerminate(std::function<void()> pHandler) {
  Terminate() = std::move(pHandler);
}

TFormMain::TFormMain(QWidget* pParent) : QMainWindow(pParent) {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QStringLiteral("Corvane"));
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
  ActionDelDevice =
      MakeAction(ActionManager, "ActionDelDevice", QStringLiteral("3@Entfernen"), iiRemove);
  ActionRenameTag =
      MakeAction(ActionManager, "ActionRenameTag", QString::fromUtf8("13@'Messstelle' ändern"), -1);
  ActionResetTag = MakeAction(ActionManager, "ActionResetTag",
                              QString::fromUtf8("14@'Messstelle' zurücksetzen"), -1);
  ActionConnectDevice = MakeAction(ActionManager, "ActionConnectDevice",
                                   QStringLiteral("4@Verbinden"), iiDisconnected);
  ActionConnectDevice->setCheckable(true);
  ActionPorts = MakeAction(ActionManager, "ActionPorts", QString::fromUtf8("601@Schnittstellen…"), -1);
  ActionTraffic =
      MakeAction(ActionManager, "ActionTraffic", QString::fromUtf8("731@Datenverkehr…"), -1);
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
  connect(ActionConnectDevice, &QAction::triggered, this, [this] { ActionConnectDeviceExecute(); });
  connect(ActionPorts, &QAction::triggered, this, [this] { ActionPortsExecute(); });
  connect(ActionTraffic, &QAction::triggered, this, [this] { ActionTrafficExecute(); });
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
  ImageLogo->setPixmap(
      ImageLists::Picture(QStringLiteral(":/images/app_logo.svg"), QSize(117, 40)));
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
  RichEditTransOutText =
      new tRichEdit({QString::fromUtf8("9@Es sind noch Geräte in Bearbeitung:"),
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
  FrameLoggingOvvw = new TFrameLoggingOvvw(this);
  FrameLoggingOvvw->setObjectName(QStringLiteral("FrameLoggingOvvw"));
  ScrollBoxFrameLoggingOvvw->setWidget(FrameLoggingOvvw);
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
  mMenuDevice->addAction(ActionTraffic);
  mMenuDevice->addSeparator();
  mMenuDevice->addAction(ActionPorts);
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
  miPopTraffic = PopupActionBar->addAction(QString());
  miPopTraffic->setObjectName(QStringLiteral("miPopTraffic"));
  connect(PopupActionBar, &QMenu::aboutToShow, this, [this] { DoListComports(); });

  // The menu entries show their command: caption, picture, enabled and checked state.
  const std::pair<QAction*, QAction*> lLinks[] = {
      {miAddDevice, ActionAddDevice},    {miPopAddDevice, ActionAddDevice},
      {miPopDelDevice, ActionDelDevice}, {miPopRenameTag, ActionRenameTag},
      {miPopResetTag, ActionResetTag},   {miPopConnectDevice, ActionConnectDevice},
      {miPopTraffic, ActionTraffic}};
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
    QTimer::singleShot(0, this, [this, pText] { Dialogs().Warning(pText, this); });
  });
  // Recordings are journalled beside the settings file, so a crash does not lose them.
  FrameLoggingOvvw->SetJournalFolder(RecordingFolder());
  mPortMap = std::make_unique<tPortMap>(*mIniFile);
  if (DeviceLister()) mPortMap->SetDeviceLister(DeviceLister());
  tPortMap::SetApplicationMap(mPortMap.get());

  UpdateActions();

  CheckTranslationLines(*RichEditTransOutText, OutTextCount);
  FOutText.Bind(*RichEditTransOutText);
  Resources().AddForm(this);
  FOutText.Take(*RichEditTransOutText);

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
  // Asked once the window is up, in the language just chosen.
  QTimer::singleShot(0, this, [this] { OfferRecordings(); });

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
  if (FrameLoggingOvvw && FrameLoggingOvvw->HasDataToSave() &&
      Dialogs().MessageBox(mtWarning, OutText(1), mbOKCancel, this) == mrCancel) {
    pCanClose = false;
    return;
  }
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
