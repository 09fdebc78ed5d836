#include "traffic/FormTraffic.h"

#include "core/Clock.h"
#include "i18n/Resources.h"
#include "traffic/TrafficDelegate.h"
#include "traffic/TrafficModel.h"
#include "traffic/TrafficTexts.h"
#include "traffic/TrafficWriter.h"
#include "widgets/DialogService.h"
#include "widgets/RichEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {
// The two entries before the commands in the filter box.
constexpr int cFirstCommandEntry = 2;
} // namespace

TFormTraffic::TFormTraffic(std::shared_ptr<tTrafficLog> pLog, std::function<QString()> pTitle,
                           QWidget* pOwner)
    : QWidget(pOwner, Qt::Window), mModel(std::make_unique<tTrafficModel>(std::move(pLog))),
      mTitle(std::move(pTitle)) {
  BuildComponents();
  CheckTranslationLines(*RichEditTransOutText, ttCount);
  Resources().AddForm(this);
  Translated();
  TableTraffic->scrollToBottom();
  TimerRefresh->start();
}

TFormTraffic::~TFormTraffic() {
  TimerRefresh->stop();
  if (Resources().IsRegistered(this)) Resources().DeleteForm(this);
  // The view lets go of the model before it goes.
  TableTraffic->setModel(nullptr);
}

void TFormTraffic::BuildComponents() {
  setObjectName(QStringLiteral("FormTraffic"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(1180, 520);

  ButtonPause = new QPushButton(QStringLiteral("759@Anhalten"), this);
  ButtonPause->setObjectName(QStringLiteral("ButtonPause"));
  ButtonPause->setCheckable(true);
  connect(ButtonPause, &QPushButton::toggled, this, [this](bool pOn) {
    mModel->SetPaused(pOn);
    if (!pOn && mFollow) TableTraffic->scrollToBottom();
  });
  ButtonClear = new QPushButton(QStringLiteral("760@Leeren"), this);
  ButtonClear->setObjectName(QStringLiteral("ButtonClear"));
  connect(ButtonClear, &QPushButton::clicked, this, [this] {
    mModel->Clear();
    UpdateCaption();
  });
  LabelFilter = new QLabel(QStringLiteral("763@Filter:"), this);
  LabelFilter->setObjectName(QStringLiteral("LabelFilter"));
  ComboBoxFilter = new QComboBox(this);
  ComboBoxFilter->setObjectName(QStringLiteral("ComboBoxFilter"));
  ComboBoxFilter->setAccessibleName(QStringLiteral("ComboBoxFilter"));
  ComboBoxFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  LabelFilter->setBuddy(ComboBoxFilter);
  connect(ComboBoxFilter, &QComboBox::activated, this,
          [this](int pIndex) { SelectFilter(pIndex); });
  ButtonCopy = new QPushButton(QStringLiteral("761@Kopieren"), this);
  ButtonCopy->setObjectName(QStringLiteral("ButtonCopy"));
  connect(ButtonCopy, &QPushButton::clicked, this, [this] { CopySelection(); });
  ButtonSave = new QPushButton(QString::fromUtf8("762@Speichern…"), this);
  ButtonSave->setObjectName(QStringLiteral("ButtonSave"));
  connect(ButtonSave, &QPushButton::clicked, this, [this] { Save(); });
  LabelCount = new QLabel(this);
  LabelCount->setObjectName(QStringLiteral("LabelCount"));
  LabelCount->setAccessibleName(QStringLiteral("LabelCount"));

  TableTraffic = new QTableView(this);
  TableTraffic->setObjectName(QStringLiteral("TableTraffic"));
  TableTraffic->setAccessibleName(QStringLiteral("TableTraffic"));
  TableTraffic->setModel(mModel.get());
  TableTraffic->setItemDelegate(new tTrafficDelegate(TableTraffic));
  TableTraffic->setSelectionBehavior(QAbstractItemView::SelectRows);
  TableTraffic->setSelectionMode(QAbstractItemView::ExtendedSelection);
  TableTraffic->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TableTraffic->setWordWrap(false);
  TableTraffic->setShowGrid(false);
  TableTraffic->setAlternatingRowColors(true);
  TableTraffic->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Fixed row heights: the view then needs no look at rows it does not paint.
  QHeaderView* lRows = TableTraffic->verticalHeader();
  lRows->hide();
  lRows->setSectionResizeMode(QHeaderView::Fixed);
  lRows->setDefaultSectionSize(fontMetrics().height() + 4);
  QHeaderView* lColumns = TableTraffic->horizontalHeader();
  lColumns->setStretchLastSection(true);
  lColumns->setHighlightSections(false);
  // The meaning, the longest text, comes last and takes the room that is left.
  lColumns->moveSection(tTrafficModel::coPhase, tTrafficModel::coMeaning);
  const int lChar = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  const int lFixedChar = QFontMetrics(QFontDatabase::systemFont(QFontDatabase::FixedFont))
                             .horizontalAdvance(QLatin1Char('0'));
  const int lWidths[tTrafficModel::coCount] = {10 * lChar, 12 * lChar,      10 * lChar,
                                               7 * lChar,  25 * lFixedChar, 10 * lFixedChar,
                                               60 * lChar, 22 * lChar};
  for (int c = 0; c < tTrafficModel::coCount; ++c)
    TableTraffic->setColumnWidth(c, lWidths[c]);

  // Follows the newest lines until the user scrolls away from them, and again once the user
  // is back at the end. Only the user's own scrolling counts: the table's range grows after
  // each batch of lines, a moment after it was scrolled to the end.
  connect(TableTraffic->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
    QTimer::singleShot(0, this, [this] {
      const QScrollBar* lBar = TableTraffic->verticalScrollBar();
      mFollow = lBar->value() >= lBar->maximum();
    });
  });

  auto* lCopy = new QAction(this);
  lCopy->setShortcut(QKeySequence::Copy);
  lCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(lCopy, &QAction::triggered, this, [this] { CopySelection(); });
  TableTraffic->addAction(lCopy);

  TimerRefresh = new QTimer(this);
  TimerRefresh->setObjectName(QStringLiteral("TimerRefresh"));
  TimerRefresh->setInterval(cRefreshMs);
  connect(TimerRefresh, &QTimer::timeout, this, [this] { TimerRefreshTimer(); });

  RichEditTransOutText = new tRichEdit(TrafficTexts::DesignLines(), this);
  RichEditTransOutText->setObjectName(QStringLiteral("RichEditTransOutText"));
  RichEditTransOutText->hide();
  RichEditTransOutText->SetOnChange([this] { Translated(); });

  auto* lBar = new QHBoxLayout();
  lBar->addWidget(ButtonPause);
  lBar->addWidget(ButtonClear);
  lBar->addSpacing(12);
  lBar->addWidget(LabelFilter);
  lBar->addWidget(ComboBoxFilter);
  lBar->addSpacing(12);
  lBar->addWidget(ButtonCopy);
  lBar->addWidget(ButtonSave);
  lBar->addStretch(1);
  lBar->addWidget(LabelCount);
  auto* lLayout = new QVBoxLayout(this);
  lLayout->addLayout(lBar);
  lLayout->addWidget(TableTraffic, 1);
}

void TFormTraffic::Translated() {
  mModel->Texts().Take(*RichEditTransOutText);
  mModel->Retranslated();
  FillFilterChoices();
  mShownTitle.clear();
  UpdateCaption();
}

void TFormTraffic::FillFilterChoices() {
  const int lIndex = std::max(ComboBoxFilter->currentIndex(), 0);
  const tMessageSlots& lTexts = mModel->Texts();
  const QSignalBlocker lBlock(ComboBoxFilter);
  ComboBoxFilter->clear();
  ComboBoxFilter->addItem(lTexts[ttAllFrames]);
  ComboBoxFilter->addItem(lTexts[ttErrorsOnly]);
  for (int c = tcUnknown + 1; c < TrafficCommandCount; ++c)
    ComboBoxFilter->addItem(lTexts[ttCommands + c] + QStringLiteral(" (") +
                            TrafficCommandMnemonics[c] + QLatin1Char(')'));
  ComboBoxFilter->setCurrentIndex(lIndex);
}

void TFormTraffic::SelectFilter(int pIndex) {
  if (pIndex < 0 || pIndex >= ComboBoxFilter->count()) return;
  ComboBoxFilter->setCurrentIndex(pIndex);
  if (pIndex == 0)
    mModel->SetFilter(tTrafficModel::fiAll);
  else if (pIndex == 1)
    mModel->SetFilter(tTrafficModel::fiErrors);
  else
    mModel->SetFilter(tTrafficModel::fiCommand,
                      tTrafficCommand(pIndex - cFirstCommandEntry + tcUnknown + 1));
  TableTraffic->scrollToBottom();
  UpdateCaption();
}

void TFormTraffic::TimerRefreshTimer() {
  const std::int64_t lStartUs = MonotonicUSecs();
  mModel->Refresh();
  if (mFollow && !mModel->Paused()) TableTraffic->scrollToBottom();
  UpdateCaption();
  // Painted here rather than on a later pass, so that the batch's cost includes its painting.
  if (isVisible()) TableTraffic->viewport()->repaint();
  const std::int64_t lCostUs = MonotonicUSecs() - lStartUs;
  const int lInterval =
      int(std::clamp<std::int64_t>(lCostUs * cCostShare / 1000, cRefreshMs, cMaxRefreshMs));
  if (lInterval != TimerRefresh->interval()) TimerRefresh->setInterval(lInterval);
}

QString TFormTraffic::Title() const {
  return mModel->Texts()[ttTitle] + QStringLiteral(" – ") + (mTitle ? mTitle() : QString());
}

void TFormTraffic::UpdateCaption() {
  const QString lTitle = Title();
  if (lTitle != mShownTitle) {
    mShownTitle = lTitle;
    setWindowTitle(lTitle);
  }
  LabelCount->setText(QString(mModel->Texts()[ttFrameCount])
                          .replace(QLatin1String("%1"), QString::number(mModel->rowCount())));
}

QString TFormTraffic::SelectedLines() const {
  QModelIndexList lRows = TableTraffic->selectionModel()->selectedRows();
  std::sort(lRows.begin(), lRows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QString lText;
  for (const QModelIndex& lRow : lRows)
    lText += mModel->FileLine(lRow.row()) + QLatin1Char('\n');
  return lText;
}

void TFormTraffic::CopySelection() {
  const QString lText = SelectedLines();
  if (!lText.isEmpty()) QApplication::clipboard()->setText(lText);
}

void TFormTraffic::Save() {
  tSaveFileRequest lRequest;
  lRequest.Filter = mModel->Texts()[ttFileFilter];
  lRequest.DefaultExt = QStringLiteral("txt");
  lRequest.FileName = (mTitle ? mTitle() : QString()).section(QLatin1Char(' '), 0, 0);
  const tSaveFileResult lResult = Dialogs().SaveFile(lRequest, this);
  if (!lResult.Accepted || lResult.FileName.isEmpty()) return;
  SaveTo(lResult.FileName);
}

bool TFormTraffic::SaveTo(const QString& pFileName) {
  try {
    tTrafficWriter::Write(pFileName, *mModel, mTitle ? mTitle() : QString());
    return true;
  } catch (const eError& e) {
    Dialogs().Error(e.Message(), this);
    return false;
  }
}
