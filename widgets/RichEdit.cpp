#include "widgets/RichEdit.h"

tRichEdit::tRichEdit(QWidget* pParent) : QPlainTextEdit(pParent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  connect(this, &QPlainTextEdit::textChanged, this, &tRichEdit::TextEdited);
}

tRichEdit::tRichEdit(const QStringList& pLines, QWidget* pParent) : tRichEdit(pParent) {
  SetLines(pLines);
}

void tRichEdit::SetLines(const QStringList& pLines) {
  FLines = pLines;
  ShowLines();
  NotifyChange();
}

QString tRichEdit::Line(int pIndex) const {
  return pIndex >= 0 && pIndex < FLines.size() ? FLines[pIndex] : QString();
}

void tRichEdit::SetLine(int pIndex, const QString& pText) {
  if (pIndex < 0 || pIndex >= FLines.size()) return;
  FLines[pIndex] = pText;
  ShowLines();
  NotifyChange();
}

void tRichEdit::AddLine(const QString& pText) {
  FLines.append(pText);
  ShowLines();
  NotifyChange();
}

void tRichEdit::Clear() {
  SetLines({});
}

void tRichEdit::ShowLines() {
  mShowing = true;
  setPlainText(FLines.join(QLatin1Char('\n')));
  mShowing = false;
}

void tRichEdit::NotifyChange() {
  emit Changed();
  if (FOnChange) FOnChange();
}

void tRichEdit::TextEdited() {
  // Only edits by the user (when the box is writable) arrive here with mShowing unset.
  if (mShowing) return;
  const QString text = toPlainText();
  FLines = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
  NotifyChange();
}

