// The rows of the device list with their frames, the commands acting on the selected row,
// tags, and the port entries of the Add menus.
#include "app/FormMain.h"
#include "app/FormPorts.h"

#include "app/ImageLists.h"
#include "core/DeviceInfo.h"
#include "core/IniFile.h"
#include "logger/FrameLoggingOvvw.h"
#include "pages/FrameDevice.h"
#include "traffic/FormTraffic.h"
#include "pages/FrameDeviceBase.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

namespace {

const char* const kTag = "Tag";
const QString kIdents = QStringLiteral("Idents");

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

// Deletes a port entry later: it may be the entry whose click is running.
void DiscardAction(QAction* pAction) {
  pAction->setParent(nullptr);
  pAction->deleteLater();
}

} // namespace

// --- Rows and their frames ---------------------------------------------------------------

TFrameDevice* TFormMain::FrameOfItem(const QTreeWidgetItem* pItem) {
  if (!pItem) return nullptr;
  return qobject_cast<TFrameDevice*>(pItem->data(0, Qt::UserRole).value<QObject*>());
}

QTreeWidgetItem* TFormMain::SelectedItem() const {
  const QList<QTreeWidgetItem*> lSelected = ListViewDevice->selectedItems();
  return lSelected.isEmpty() ? nullptr : lSelected.first();
}

TFrameDevice* TFormMain::SelectedFrame() const {
  return FrameOfItem(SelectedItem());
}

TFrameDevice* TFormMain::FrameOfRow(int pRow) const {
  return FrameOfItem(ListViewDevice->topLevelItem(pRow));
}

int TFormMain::RowCount() const {
  return ListViewDevice->topLevelItemCount();
}

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
  if (pShow) {
    PageControlDevRecord->raise();
    // Once the pages have their geometry.
    QTimer::singleShot(0, this, &TFormMain::FitWindowToLogger);
  }
}

void TFormMain::FitWindowToLogger() {
  // The logger's pages were laid out for a smaller screen font. Rather than leave the table's
  // last column behind a scroll bar, the window grows to show them whole, as far as the
  // screen allows; it never shrinks, and a maximised window stays as it is.
  if (isMaximized() || isFullScreen() || !PageControlDevRecord->isVisible()) return;
  const int lMissing =
      FrameLoggingOvvw->minimumSizeHint().width() - ScrollBoxFrameLoggingOvvw->viewport()->width();
  if (lMissing <= 0) return;
  QRect lGeometry = geometry();
  int lWidth = lGeometry.width() + lMissing;
  if (QScreen* lScreen = screen()) {
    const QRect lRoom = lScreen->availableGeometry();
    const int lDecoration = frameGeometry().width() - lGeometry.width();
    lWidth = std::min(lWidth, lRoom.width() - lDecoration);
    if (lWidth <= lGeometry.width()) return;
    lGeometry.setWidth(lWidth);
    if (lGeometry.right() > lRoom.right() - lDecoration / 2)
      lGeometry.moveRight(lRoom.right() - lDecoration / 2);
  } else {
    lGeometry.setWidth(lWidth);
  }
  setGeometry(lGeometry);
}

void TFormMain::miAddDeviceClick(QObject* Sender) {
  const int lComNr = Sender ? Sender->property(kTag).toInt() : 0;
  if (lComNr <= 0) return;
  // An entry triggered without a click (keyboard, accessibility) leaves its menu open.
  PopupActionBar->hide();
  mMenuAddSub->hide();
  mMenuDevice->hide();

  ShowPages(true);
  auto* lFrame = new TFrameDevice(ScrollBoxFrameDevice);
  lFrame->hide();
  if (RowCount() == 0 && FrameLoggingOvvw) {
    FrameLoggingOvvw->SetOnDeviceCountChanged(
        [this](std::int32_t pCount) { DeviceCountUpdated(pCount); });
    FrameLoggingOvvw->InitComponents();
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

  if (FrameLoggingOvvw) FrameLoggingOvvw->AddDevice(lFrame);
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
  // Any status: the Delete key removes a searching, reading, logging, adjusting or writing
  // instrument too. The logger keeps what it recorded, a memory write still finishes, and the
  // frame goes once no wait of its own is on the stack.
  if (FrameLoggingOvvw) FrameLoggingOvvw->DelDevice(lFrame);
  // The row's traffic goes with it.
  if (TFormTraffic* lTraffic = mTrafficForms.take(lFrame)) lTraffic->close();
  lFrame->SetOnDeviceStatusChanged(nullptr);
  lFrame->DeviceInfo()->DeleteEvent(tNotifyEvent(this, &TFormMain::DeviceInfoUpdated));
  const int lIndex = ListViewDevice->indexOfTopLevelItem(lItem);
  {
    const QSignalBlocker lBlock(ListViewDevice);
    delete lItem;
    ListViewDevice->clearSelection();
  }
  lFrame->Release();

  QTreeWidgetItem* lNext = ListViewDevice->topLevelItem(lIndex);
  if (!lNext) lNext = ListViewDevice->topLevelItem(0);
  if (lNext) {
    const QSignalBlocker lBlock(ListViewDevice);
    ListViewDevice->setCurrentItem(lNext);
    lNext->setSelected(true);
  }
  bool lHasData = false;
  lHasData = FrameLoggingOvvw && FrameLoggingOvvw->HasDataToSave();
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
    PageControlDevRecord->setTabIcon(
        PageControlDevRecord->indexOf(TabSheetRecord),
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
    ActionTraffic->setEnabled(true);
  } else {
    ActionTraffic->setEnabled(false);
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
  if ((lFrame = SelectedFrame()))
    ActionConnectDevice->setChecked(lFrame->DeviceStatus() == dsConnecting);
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

// --- Port entries ------------------------------------------------------------------------

int TFormMain::RowOfPort(quint16 pComNr) const {
  for (int i = 0; i < ListViewDevice->topLevelItemCount(); ++i)
    if (ListViewDevice->topLevelItem(i)->text(3).toInt() == pComNr) return i + 1;
  return 0;
}

void TFormMain::ActionPortsExecute() {
  if (!mPortMap) return;
  TFormPorts lForm(*mPortMap, [this](quint16 pComNr) { return RowOfPort(pComNr); }, this);
  lForm.Execute();
}

TFormTraffic* TFormMain::TrafficForm(TFrameDevice* pFrame) const {
  return mTrafficForms.value(pFrame);
}

void TFormMain::ActionTrafficExecute() {
  TFrameDevice* lFrame = SelectedFrame();
  if (!lFrame) return;
  TFormTraffic* lForm = mTrafficForms.value(lFrame);
  if (!lForm) {
    const QPointer<TFrameDevice> lRow = lFrame;
    const int lComNr = lFrame->DeviceInfo()->ComNr();
    auto lTitle = [lRow, lComNr] {
      QString lText = QStringLiteral("COM%1").arg(lComNr);
      if (!lRow || !lRow->DeviceInfo()) return lText;
      const tDeviceInfo* lInfo = lRow->DeviceInfo();
      if (lInfo->DeviceType() != dtNone)
        lText += QStringLiteral(" – ") + DeviceTypeNames[lInfo->DeviceType()];
      if (!lInfo->Tag().isEmpty()) lText += QStringLiteral(" – ") + lInfo->Tag();
      return lText;
    };
    lForm = new TFormTraffic(lFrame->TrafficLog(), lTitle, this);
    mTrafficForms.insert(lFrame, lForm);
  }
  lForm->show();
  lForm->raise();
  lForm->activateWindow();
}

QStringList TFormMain::ListComPorts() {
  // The map scans the serial devices once while it lists the present ports.
  return mPortMap ? mPortMap->ListComPorts() : QStringList();
}

void TFormMain::DoListComports() {
  UpdatePortMenu();
}

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
