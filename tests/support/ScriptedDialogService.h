#pragma once
// A dialog service for tests: records every box and dialog and answers from a script
// instead of showing anything.
#include "widgets/DialogService.h"

#include <QList>
#include <QString>
#include <deque>
#include <functional>

enum tDialogKind { dkMessage, dkSaveFile, dkPrint, dkChoice };

struct tDialogRecord {
  tDialogKind Kind = dkMessage;
  tMsgDlgType Type = mtInformation;
  // The text as passed, lines still joined with "\r".
  QString Text;
  tMsgDlgButtons Buttons = mbOK;
  tSaveFileRequest SaveRequest;
  tModalResult Answer = mrNone;
  // A choice box: its buttons and the index answered.
  QStringList ChoiceButtons;
  int ChoiceAnswer = -1;
};

class tScriptedDialogService : public iDialogService {
public:
  tModalResult MessageBox(tMsgDlgType pType, const QString& pText, tMsgDlgButtons pButtons,
                          QWidget* pParent = nullptr) override;
  tSaveFileResult SaveFile(const tSaveFileRequest& pRequest, QWidget* pParent = nullptr) override;
  bool Print(QPrinter& pPrinter, QWidget* pParent = nullptr) override;
  int Choice(tMsgDlgType pType, const QString& pText, const QStringList& pButtons, int pEscape,
             QWidget* pParent = nullptr) override;

  // Answers for the next message boxes, in order. An answer the box does not offer (Yes for
  // an OK box) is a script error: the box answers with its first button and the record
  // notes the mismatch in ScriptErrors().
  void PushAnswer(tModalResult pAnswer) { mAnswers.push_back(pAnswer); }
  // Answers for the next save dialogs; an empty name cancels.
  void PushSaveFile(const QString& pFileName, int pFilterIndex = 1);
  void PushSaveCancel() { PushSaveFile(QString()); }
  void PushPrint(bool pAccept) { mPrintAnswers.push_back(pAccept); }
  // Answers (button indexes) for the next choice boxes; without one, the escape answer.
  void PushChoice(int pIndex) { mChoiceAnswers.push_back(pIndex); }
  // Decides answers instead of the queue while set (the queue is used first).
  void SetOnMessage(std::function<tModalResult(const tDialogRecord&)> pHandler) {
    mOnMessage = std::move(pHandler);
  }

  // Without a scripted answer: the first button (OK or Yes), a cancelled save, an accepted print.
  const QList<tDialogRecord>& Records() const { return mRecords; }
  int MessageCount() const;
  // The last message box; an empty record when there was none.
  tDialogRecord LastMessage() const;
  const QStringList& ScriptErrors() const { return mScriptErrors; }
  void Clear();

private:
  QList<tDialogRecord> mRecords;
  std::deque<tModalResult> mAnswers;
  std::deque<tSaveFileResult> mSaveAnswers;
  std::deque<bool> mPrintAnswers;
  std::deque<int> mChoiceAnswers;
  std::function<tModalResult(const tDialogRecord&)> mOnMessage;
  QStringList mScriptErrors;
};
