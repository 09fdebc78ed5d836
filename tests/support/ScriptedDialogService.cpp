#include "tests/support/ScriptedDialogService.h"

namespace {

bool Offers(tMsgDlgButtons pButtons, tModalResult pAnswer) {
  switch (pButtons) {
  case mbOK:
    return pAnswer == mrOk;
  case mbOKCancel:
    return pAnswer == mrOk || pAnswer == mrCancel;
  case mbYesNo:
    return pAnswer == mrYes || pAnswer == mrNo;
  }
  return false;
}

tModalResult FirstButton(tMsgDlgButtons pButtons) {
  return pButtons == mbYesNo ? mrYes : mrOk;
}

} // namespace

tModalResult tScriptedDialogService::MessageBox(tMsgDlgType pType, const QString& pText,
                                                tMsgDlgButtons pButtons, QWidget*) {
  tDialogRecord record;
  record.Kind = dkMessage;
  record.Type = pType;
  record.Text = pText;
  record.Buttons = pButtons;
  tModalResult answer = FirstButton(pButtons);
  if (!mAnswers.empty()) {
    answer = mAnswers.front();
    mAnswers.pop_front();
  } else if (mOnMessage) {
    answer = mOnMessage(record);
  }
  if (!Offers(pButtons, answer)) {
    mScriptErrors << QStringLiteral("answer %1 not offered for \"%2\"").arg(answer).arg(pText);
    answer = FirstButton(pButtons);
  }
  record.Answer = answer;
  mRecords.append(record);
  return answer;
}

tSaveFileResult tScriptedDialogService::SaveFile(const tSaveFileRequest& pRequest, QWidget*) {
  tDialogRecord record;
  record.Kind = dkSaveFile;
  record.SaveRequest = pRequest;
  tSaveFileResult result;
  if (!mSaveAnswers.empty()) {
    result = mSaveAnswers.front();
    mSaveAnswers.pop_front();
  }
  record.Answer = result.Accepted ? mrOk : mrCancel;
  mRecords.append(record);
  return result;
}

bool tScriptedDialogService::Print(QPrinter&, QWidget*) {
  tDialogRecord record;
  record.Kind = dkPrint;
  bool accept = true;
  if (!mPrintAnswers.empty()) {
    accept = mPrintAnswers.front();
    mPrintAnswers.pop_front();
  }
  record.Answer = accept ? mrOk : mrCancel;
  mRecords.append(record);
  return accept;
}

void tScriptedDialogService::PushSaveFile(const QString& pFileName, int pFilterIndex) {
  tSaveFileResult result;
  result.Accepted = !pFileName.isEmpty();
  result.FileName = pFileName;
  result.FilterIndex = pFilterIndex;
  mSaveAnswers.push_back(result);
}

int tScriptedDialogService::Choice(tMsgDlgType pType, const QString& pText,
                                   const QStringList& pButtons, int pEscape, QWidget*) {
  tDialogRecord record;
  record.Kind = dkChoice;
  record.Type = pType;
  record.Text = pText;
  record.ChoiceButtons = pButtons;
  int answer = pEscape;
  if (!mChoiceAnswers.empty()) {
    answer = mChoiceAnswers.front();
    mChoiceAnswers.pop_front();
  }
  if (answer < 0 || answer >= pButtons.size()) {
    mScriptErrors << QStringLiteral("choice %1 not offered for \"%2\"").arg(answer).arg(pText);
    answer = pEscape;
  }
  record.ChoiceAnswer = answer;
  mRecords.append(record);
  return answer;
}

int tScriptedDialogService::MessageCount() const {
  int n = 0;
  for (const tDialogRecord& r : mRecords)
    if (r.Kind == dkMessage) ++n;
  return n;
}

tDialogRecord tScriptedDialogService::LastMessage() const {
  for (auto it = mRecords.crbegin(); it != mRecords.crend(); ++it)
    if (it->Kind == dkMessage) return *it;
  return {};
}

void tScriptedDialogService::Clear() {
  mRecords.clear();
  mAnswers.clear();
  mSaveAnswers.clear();
  mPrintAnswers.clear();
  mChoiceAnswers.clear();
  mScriptErrors.clear();
}
