#include "widgets/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

tRadioGroup::tRadioGroup(QWidget* pParent)
    : QGroupBox(pParent), mGroup(new QButtonGroup(this)), mLayout(new QGridLayout(this)) {
  mGroup->setExclusive(true);
  connect(mGroup, &QButtonGroup::buttonClicked, this, [this] {
    if (FOnClick) FOnClick();
  });
}

tRadioGroup::tRadioGroup(const QString& pCaption, const QStringList& pItems, QWidget* pParent)
    : tRadioGroup(pParent) {
  setTitle(pCaption);
  SetItems(pItems);
}

QStringList tRadioGroup::Items() const {
  QStringList items;
  for (const QRadioButton* b : mButtons)
    items << b->text();
  return items;
}

void tRadioGroup::SetItems(const QStringList& pItems) {
  const int checked = ItemIndex();
  ClearItems();
  for (const QString& text : pItems)
    AddItem(text);
  if (checked >= 0 && checked < mButtons.size()) SetItemIndex(checked);
}

QString tRadioGroup::Item(int pIndex) const {
  return pIndex >= 0 && pIndex < mButtons.size() ? mButtons[pIndex]->text() : QString();
}

void tRadioGroup::SetItem(int pIndex, const QString& pText) {
  if (pIndex >= 0 && pIndex < mButtons.size()) mButtons[pIndex]->setText(pText);
}

void tRadioGroup::AddItem(const QString& pText) {
  auto* button = new QRadioButton(pText, this);
  mGroup->addButton(button, mButtons.size());
  mButtons.append(button);
  Arrange();
}

void tRadioGroup::ClearItems() {
  for (QRadioButton* b : mButtons) {
    mGroup->removeButton(b);
    delete b;
  }
  mButtons.clear();
}

QRadioButton* tRadioGroup::Button(int pIndex) const {
  return pIndex >= 0 && pIndex < mButtons.size() ? mButtons[pIndex] : nullptr;
}

int tRadioGroup::ItemIndex() const {
  for (int i = 0; i < mButtons.size(); ++i)
    if (mButtons[i]->isChecked()) return i;
  return -1;
}

void tRadioGroup::SetItemIndex(int pIndex) {
  if (pIndex >= 0 && pIndex < mButtons.size()) {
    mButtons[pIndex]->setChecked(true);
    return;
  }
  // Unchecking the last button of an exclusive group needs the exclusivity lifted briefly.
  mGroup->setExclusive(false);
  for (QRadioButton* b : mButtons)
    b->setChecked(false);
  mGroup->setExclusive(true);
}

void tRadioGroup::SetColumns(int pColumns) {
  FColumns = qMax(1, pColumns);
  Arrange();
}

void tRadioGroup::Arrange() {
  // Items fill the columns top to bottom, as many rows as the longest column needs.
  const int rows = (mButtons.size() + FColumns - 1) / FColumns;
  for (QRadioButton* b : mButtons)
    mLayout->removeWidget(b);
  for (int i = 0; i < mButtons.size(); ++i)
    mLayout->addWidget(mButtons[i], i % qMax(1, rows), i / qMax(1, rows));
}
