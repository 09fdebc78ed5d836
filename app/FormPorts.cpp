#include "app/FormPorts.h"

#include "i18n/Resources.h"
#include "pages/FrameDevice.h"
#include "widgets/DialogService.h"
#include "widgets/RichEdit.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSerialPortInfo>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// What the system reports about the device behind a path, found by the device node it names.
QMap<QString, QSerialPortInfo> SystemPortsByNode() {
  QMap<QString, QSerialPortInfo> lPorts;
  for (const QSerialPortInfo& lInfo : QSerialPortInfo::availablePorts()) {
    const QString lNode = QFileInfo(lInfo.systemLocation()).canonicalFilePath();
    lPorts.insert(lNode.isEmpty() ? lInfo.systemLocation() : lNode, lInfo);
  }
  return lPorts;
}

QString Hex4(quint16 pValue) {
  return QStringLiteral("%1").arg(pValue, 4, 16, QLatin1Char('0'));
}

} // namespace

TFormPorts::TFormPorts(tPortMap& pPortMap, tRowOfPort pRowOf, QWidget* pOwner)
    : QDialog(pOwner), mPortMap(pPortMap), mRowOf(std::move(pRowOf)) {
  BuildComponents();
  CheckTranslationLines(*RichEditTransOutText, mOutText.Count());
  Resources().AddForm(this);
  Refresh();
}

TFormPorts::~TFormPorts() {
  Resources().DeleteForm(this);
}

void TFormPorts::BuildComponents() {
  setObjectName(QStringLiteral("FormPorts"));
  setWindowTitle(QStringLiteral("602@Schnittstellen"));
  resize(860, 380);

  TablePorts = new QTableWidget(0, coCount, this);
  TablePorts->setObjectName(QStringLiteral("TablePorts"));
  TablePorts->setAccessibleName(QStringLiteral("TablePorts"));
  TablePorts->setSelectionBehavior(QAbstractItemView::SelectRows);
  TablePorts->setSelectionMode(QAbstractItemView::SingleSelection);
  TablePorts->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TablePorts->verticalHeader()->hide();
  TablePorts->horizontalHeader()->setStretchLastSection(true);
  connect(TablePorts, &QTableWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });

  LabelComNr = new QLabel(QStringLiteral("624@Nummer:"), this);
  LabelComNr->setObjectName(QStringLiteral("LabelComNr"));
  SpinEditComNr = new QSpinBox(this);
  SpinEditComNr->setObjectName(QStringLiteral("SpinEditComNr"));
  SpinEditComNr->setAccessibleName(QStringLiteral("SpinEditComNr"));
  SpinEditComNr->setRange(1, 65535);
  SpinEditComNr->setPrefix(QStringLiteral("COM"));
  LabelComNr->setBuddy(SpinEditComNr);

  LabelPath = new QLabel(QStringLiteral("625@Gerätepfad:"), this);
  LabelPath->setObjectName(QStringLiteral("LabelPath"));
  // Typed or picked: the serial devices found (stable links first), or any file such as a
  // simulator's link.
  ComboBoxPath = new QComboBox(this);
  ComboBoxPath->setObjectName(QStringLiteral("ComboBoxPath"));
  ComboBoxPath->setAccessibleName(QStringLiteral("ComboBoxPath"));
  ComboBoxPath->setEditable(true);
  ComboBoxPath->setInsertPolicy(QComboBox::NoInsert);
  ComboBoxPath->setMinimumContentsLength(40);
  ComboBoxPath->lineEdit()->setAccessibleName(QStringLiteral("EditPath"));
  LabelPath->setBuddy(ComboBoxPath);

  ButtonAdd = new QPushButton(QStringLiteral("620@Hinzufügen"), this);
  ButtonAdd->setObjectName(QStringLiteral("ButtonAdd"));
  ButtonRenumber = new QPushButton(QStringLiteral("621@Nummer ändern"), this);
  ButtonRenumber->setObjectName(QStringLiteral("ButtonRenumber"));
  ButtonRemove = new QPushButton(QStringLiteral("622@Entfernen"), this);
  ButtonRemove->setObjectName(QStringLiteral("ButtonRemove"));
  ButtonClose = new QPushButton(QStringLiteral("623@Schließen"), this);
  ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
  connect(ButtonAdd, &QPushButton::clicked, this,
          [this] { AddEntry(SpinEditComNr->value(), ComboBoxPath->currentText()); });
  connect(ButtonRenumber, &QPushButton::clicked, this,
          [this] { RenumberSelected(SpinEditComNr->value()); });
  connect(ButtonRemove, &QPushButton::clicked, this, [this] { RemoveSelected(); });
  connect(ButtonClose, &QPushButton::clicked, this, &QDialog::accept);

  RichEditTransOutText = new tRichEdit(
      {QStringLiteral("603@Nummer"), QStringLiteral("604@Gerätepfad"),
       QStringLiteral("605@Vorhanden"), QStringLiteral("606@Zugriff"),
       QStringLiteral("607@USB-Kennung"), QStringLiteral("608@Hersteller"),
       QStringLiteral("609@Produkt"), QStringLiteral("610@Seriennummer"),
       QStringLiteral("611@Verwendet von"), QStringLiteral("612@ja"), QStringLiteral("613@nein"),
       QStringLiteral("614@Zeile %1"), QStringLiteral("615@COM%1 ist bereits vergeben."),
       QStringLiteral("616@Die Nummer muss zwischen 1 und 65535 liegen."),
       QStringLiteral("617@Bitte einen Gerätepfad angeben."),
       QStringLiteral("618@Die Einstellungsdatei konnte nicht geschrieben werden."),
       QStringLiteral("619@COM%1 wird von Zeile %2 der Geräteliste verwendet und bleibt, wie es "
                      "ist."),
       QStringLiteral("626@Netzwerk")},
      this);
  RichEditTransOutText->setObjectName(QStringLiteral("RichEditTransOutText"));
  RichEditTransOutText->hide();
  RichEditTransOutText->SetOnChange([this] { Translated(); });

  auto* lEntry = new QGridLayout();
  lEntry->addWidget(LabelComNr, 0, 0);
  lEntry->addWidget(SpinEditComNr, 0, 1);
  lEntry->addWidget(LabelPath, 0, 2);
  lEntry->addWidget(ComboBoxPath, 0, 3);
  lEntry->setColumnStretch(3, 1);
  auto* lButtons = new QHBoxLayout();
  lButtons->addWidget(ButtonAdd);
  lButtons->addWidget(ButtonRenumber);
  lButtons->addWidget(ButtonRemove);
  lButtons->addStretch(1);
  lButtons->addWidget(ButtonClose);
  auto* lLayout = new QVBoxLayout(this);
  lLayout->addWidget(TablePorts, 1);
  lLayout->addLayout(lEntry);
  lLayout->addLayout(lButtons);
}

void TFormPorts::Execute() {
  exec();
}

void TFormPorts::Translated() {
  mOutText.Take(*RichEditTransOutText);
  QStringList lHeaders;
  for (int c = 0; c < coCount; ++c)
    lHeaders << mOutText[otHeaders + c];
  TablePorts->setHorizontalHeaderLabels(lHeaders);
  // The cells carry words of the language too.
  if (isVisible() || TablePorts->rowCount() > 0) Refresh();
}

void TFormPorts::Refresh() {
  const quint16 lSelected = SelectedNumber();
  mPortMap.Update();
  const QMap<quint16, QString> lEntries = mPortMap.Entries();
  const QMap<QString, QSerialPortInfo> lSystem = SystemPortsByNode();

  const QSignalBlocker lBlock(TablePorts);
  TablePorts->setRowCount(int(lEntries.size()));
  int lRow = 0;
  for (auto lIt = lEntries.begin(); lIt != lEntries.end(); ++lIt, ++lRow) {
    const quint16 lComNr = lIt.key();
    const QString& lPath = lIt.value();
    const bool lPresent = tPortMap::DeviceExists(lPath);
    // A network port is not asked on every refresh: an unreachable host would hold the
    // dialog up; whether it answers shows when it is connected.
    const bool lNetwork = tPortMap::IsNetworkPath(lPath);
    QString lAccess;
    if (lPresent) {
      const tPortMap::tAccess lRights = tPortMap::Access(lPath);
      lAccess = lRights.Allowed ? mOutText[otYes]
                                : TFrameDevice::NoPermissionText(lRights.Group, lRights.InGroup);
    }
    const QString lNode = QFileInfo(lPath).canonicalFilePath();
    const auto lInfo = lPresent ? lSystem.find(lNode) : lSystem.end();
    QString lUsbId, lMaker, lProduct, lSerial;
    if (lInfo != lSystem.end()) {
      if (lInfo->hasVendorIdentifier() && lInfo->hasProductIdentifier())
        lUsbId = Hex4(lInfo->vendorIdentifier()) + QLatin1Char(':') +
                 Hex4(lInfo->productIdentifier());
      lMaker = lInfo->manufacturer();
      lProduct = lInfo->description();
      lSerial = lInfo->serialNumber();
    }
    const int lUser = mRowOf ? mRowOf(lComNr) : 0;
    const QString lCells[coCount] = {
        QStringLiteral("COM%1").arg(lComNr),
        lPath,
        lNetwork ? mOutText[otNetwork] : lPresent ? mOutText[otYes] : mOutText[otNo],
        lAccess,
        lUsbId,
        lMaker,
        lProduct,
        lSerial,
        lUser > 0 ? QString(mOutText[otRow]).replace(QLatin1String("%1"), QString::number(lUser))
                  : QString()};
    for (int c = 0; c < coCount; ++c) {
      auto* lItem = new QTableWidgetItem(lCells[c]);
      lItem->setToolTip(lCells[c]);
      if (c == coNumber) lItem->setData(Qt::UserRole, int(lComNr));
      TablePorts->setItem(lRow, c, lItem);
    }
  }
  TablePorts->resizeColumnsToContents();
  // A long permission text would push the columns after it out of sight.
  TablePorts->setColumnWidth(coAccess, qMin(TablePorts->columnWidth(coAccess), 220));
  FitWidth();
  FillPathChoices();
  if (lSelected != 0) Select(lSelected);
  if (SelectedNumber() == 0) SpinEditComNr->setValue(qMax<int>(1, mPortMap.FreeNumber()));
  SelectionChanged();
}

void TFormPorts::FitWidth() {
  // Wide enough for every column, in either language, as far as the screen allows.
  int lNeeded = 2 * TablePorts->frameWidth() + TablePorts->verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < coCount; ++c)
    lNeeded += TablePorts->columnWidth(c);
  const QMargins lMargins = layout()->contentsMargins();
  const int lWanted = lNeeded + lMargins.left() + lMargins.right();
  if (lWanted <= width()) return;
  const QScreen* lScreen = screen();
  const int lMax = lScreen ? lScreen->availableGeometry().width() - 40 : lWanted;
  resize(qMax(width(), qMin(lWanted, lMax)), height());
}

void TFormPorts::FillPathChoices() {
  const QString lTyped = ComboBoxPath->currentText();
  QStringList lStable, lNodes;
  for (const tPortMap::tSerialDevice& lDevice : tPortMap::SystemDevices()) {
    if (!lDevice.StablePath.isEmpty()) lStable << lDevice.StablePath;
    lNodes << lDevice.SystemLocation;
  }
  lStable.sort();
  lNodes.sort();
  ComboBoxPath->clear();
  ComboBoxPath->addItems(lStable + lNodes);
  ComboBoxPath->setEditText(lTyped);
}

quint16 TFormPorts::SelectedNumber() const {
  const QList<QTableWidgetItem*> lItems = TablePorts->selectedItems();
  for (QTableWidgetItem* lItem : lItems)
    if (lItem->column() == coNumber) return quint16(lItem->data(Qt::UserRole).toInt());
  return 0;
}

void TFormPorts::Select(quint16 pComNr) {
  for (int r = 0; r < TablePorts->rowCount(); ++r)
    if (TablePorts->item(r, coNumber)->data(Qt::UserRole).toInt() == pComNr) {
      TablePorts->selectRow(r);
      return;
    }
}

void TFormPorts::SelectionChanged() {
  const quint16 lComNr = SelectedNumber();
  ButtonRenumber->setEnabled(lComNr != 0);
  ButtonRemove->setEnabled(lComNr != 0);
  if (lComNr == 0) return;
  SpinEditComNr->setValue(lComNr);
  ComboBoxPath->setEditText(mPortMap.DevicePath(lComNr));
}

bool TFormPorts::Report(tPortMap::tEditResult pResult, int pComNr) {
  QString lText;
  switch (pResult) {
  case tPortMap::erOk:
    return true;
  case tPortMap::erNumberInUse:
    lText = QString(mOutText[otNumberInUse]).replace(QLatin1String("%1"), QString::number(pComNr));
    break;
  case tPortMap::erNumberInvalid:
    lText = mOutText[otNumberInvalid];
    break;
  case tPortMap::erNoPath:
    lText = mOutText[otNoPath];
    break;
  case tPortMap::erNoEntry:
    return false; // the selection went meanwhile; the refresh shows it
  case tPortMap::erWriteFailed:
    lText = mOutText[otWriteFailed];
    break;
  }
  Dialogs().Error(lText, this);
  return false;
}

bool TFormPorts::AddEntry(int pComNr, const QString& pDevicePath) {
  const tPortMap::tEditResult lResult = mPortMap.AddEntry(pComNr, pDevicePath);
  if (lResult == tPortMap::erOk) {
    TablePorts->clearSelection();
    Refresh();
    Select(quint16(pComNr));
  }
  return Report(lResult, pComNr);
}

bool TFormPorts::RenumberSelected(int pComNr) {
  const quint16 lFrom = SelectedNumber();
  if (lFrom == 0) return false;
  // A row of the device list holds its number: it would lose its port.
  const int lUser = mRowOf ? mRowOf(lFrom) : 0;
  if (lUser > 0 && pComNr != lFrom) {
    Dialogs().Error(QString(mOutText[otInUse])
                        .replace(QLatin1String("%1"), QString::number(lFrom))
                        .replace(QLatin1String("%2"), QString::number(lUser)),
                    this);
    return false;
  }
  const tPortMap::tEditResult lResult = mPortMap.Renumber(lFrom, pComNr);
  if (lResult == tPortMap::erOk) {
    TablePorts->clearSelection();
    Refresh();
    Select(quint16(pComNr));
  }
  return Report(lResult, pComNr);
}

bool TFormPorts::RemoveSelected() {
  const quint16 lComNr = SelectedNumber();
  if (lComNr == 0) return false;
  const int lUser = mRowOf ? mRowOf(lComNr) : 0;
  if (lUser > 0) {
    Dialogs().Error(QString(mOutText[otInUse])
                        .replace(QLatin1String("%1"), QString::number(lComNr))
                        .replace(QLatin1String("%2"), QString::number(lUser)),
                    this);
    return false;
  }
  const bool lWritten = mPortMap.RemoveEntry(lComNr);
  TablePorts->clearSelection();
  Refresh();
  return Report(lWritten ? tPortMap::erOk : tPortMap::erWriteFailed, lComNr);
}
