#pragma once
// A multi-line text control that is read and written as a list of lines. Forms keep their
// message texts in a hidden one (RichEditTransOutText) and show instrument faults in a
// visible one (RichEditError). Every change of the lines raises the change notification,
// which the hidden-list protocol relies on.
#include <QPlainTextEdit>
#include <QStringList>
#include <functional>
#include <vector>

class tRichEdit : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit tRichEdit(QWidget* pParent = nullptr);
  explicit tRichEdit(const QStringList& pLines, QWidget* pParent = nullptr);

  const QStringList& Lines() const { return FLines; }
  void SetLines(const QStringList& pLines);
  int LineCount() const { return FLines.size(); }
  QString Line(int pIndex) const;
  // Replaces one line; an index outside the list is ignored.
  void SetLine(int pIndex, const QString& pText);
  void AddLine(const QString& pText);
  void Clear();

  // Called after every change of the lines, also when a line is written with its own text.
  const std::function<void()>& OnChange() const { return FOnChange; }
  void SetOnChange(std::function<void()> pHandler) { FOnChange = std::move(pHandler); }

signals:
  void Changed();

private:
  void ShowLines();
  void NotifyChange();
  void TextEdited();

  QStringList FLines;
  std::function<void()> FOnChange;
  bool mShowing = false;
};

