#pragma once
// A group box with a caption and radio buttons made from a list of item texts, addressed
// by position. The buttons belong to the group: they carry no names of their own.
#include <QGroupBox>
#include <QList>
#include <QStringList>
#include <functional>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

class tRadioGroup : public QGroupBox {
  Q_OBJECT
public:
  explicit tRadioGroup(QWidget* pParent = nullptr);
  tRadioGroup(const QString& pCaption, const QStringList& pItems, QWidget* pParent = nullptr);

  QString Caption() const { return title(); }
  void SetCaption(const QString& pCaption) { setTitle(pCaption); }

  QStringList Items() const;
  // Rebuilds the buttons; the checked position is kept when it still exists.
  void SetItems(const QStringList& pItems);
  int ItemCount() const { return mButtons.size(); }
  QString Item(int pIndex) const;
  // Changes the text of one item in place; an index outside the list is ignored.
  void SetItem(int pIndex, const QString& pText);
  void AddItem(const QString& pText);
  void ClearItems();
  QRadioButton* Button(int pIndex) const;

  // -1 when no item is checked.
  int ItemIndex() const;
  void SetItemIndex(int pIndex);
  int Columns() const { return FColumns; }
  void SetColumns(int pColumns);

  // Called when the user checks an item (not when ItemIndex is set by code).
  const std::function<void()>& OnClick() const { return FOnClick; }
  void SetOnClick(std::function<void()> pHandler) { FOnClick = std::move(pHandler); }

private:
  void Arrange();

  QList<QRadioButton*> mButtons;
  QButtonGroup* mGroup;
  QGridLayout* mLayout;
  int FColumns = 1;
  std::function<void()> FOnClick;
};
