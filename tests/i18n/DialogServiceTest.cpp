#include "widgets/DialogService.h"
#include "widgets/QtDialogService.h"
#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs pAction on the modal dialog of type T once it is shown.
template <class T> void WhenShown(std::function<void(T*)> pAction) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, pAction] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      pAction(dialog);
    }
  });
  timer->start();
}

const QString cTableFilter = "Character Seperated Values (*.csv)|*.csv|Textdatei (*.txt)|*.txt";
const QString cChartFilter = "Bitmap (*.bmp)|*.bmp|PNG (*.png)|*.png";

// Chooses filter pIndex (from 1) in the dialog's filter box as a user does, with the arrow keys.
void ChooseFilter(QFileDialog* pDialog, int pIndex) {
  auto* box = pDialog->findChild<QComboBox*>("fileTypeCombo");
  ASSERT_NE(box, nullptr);
  for (int i = 0; i < 4 && box->currentIndex() != pIndex - 1; ++i)
    QTest::keyClick(box, box->currentIndex() < pIndex - 1 ? Qt::Key_Down : Qt::Key_Up);
  ASSERT_EQ(box->currentIndex(), pIndex - 1);
}

QStringList ButtonTexts(QMessageBox* pBox) {
  QStringList texts;
  for (QAbstractButton* b : pBox->buttons())
    texts << b->text();
  texts.sort();
  return texts;
}

} // namespace

TEST(ScriptedDialogService, RecordsEveryBoxAndAnswersAsScripted) {
  tScriptedDialogService dialogs;
  dialogs.PushAnswer(mrNo);
  dialogs.PushAnswer(mrCancel);
  EXPECT_FALSE(dialogs.Question("Soll die Werkseinstellung wiederhergestellt werden?"));
  EXPECT_EQ(dialogs.MessageBox(mtWarning, "a\rb", mbOKCancel), mrCancel);
  dialogs.Error("Timeout!");
  EXPECT_TRUE(dialogs.Question("weiter?"));

  ASSERT_EQ(dialogs.MessageCount(), 4);
  const QList<tDialogRecord>& r = dialogs.Records();
  EXPECT_EQ(r[0].Type, mtConfirmation);
  EXPECT_EQ(r[0].Buttons, mbYesNo);
  EXPECT_EQ(r[0].Answer, mrNo);
  EXPECT_EQ(r[1].Text, "a\rb");
  EXPECT_EQ(r[1].Buttons, mbOKCancel);
  EXPECT_EQ(r[2].Type, mtError);
  EXPECT_EQ(r[2].Buttons, mbOK);
  EXPECT_EQ(r[2].Answer, mrOk);
  EXPECT_EQ(r[3].Answer, mrYes);
  EXPECT_EQ(dialogs.LastMessage().Text, "weiter?");
  EXPECT_TRUE(dialogs.ScriptErrors().isEmpty());
}

TEST(ScriptedDialogService, AnswerTheBoxDoesNotOfferIsAScriptError) {
  tScriptedDialogService dialogs;
  dialogs.PushAnswer(mrYes);
  EXPECT_EQ(dialogs.MessageBox(mtError, "x", mbOK), mrOk);
  EXPECT_EQ(dialogs.ScriptErrors().size(), 1);
}

TEST(ScriptedDialogService, HandlerDecidesOnceTheQueueIsEmpty) {
  tScriptedDialogService dialogs;
  dialogs.SetOnMessage(
      [](const tDialogRecord& pRecord) { return pRecord.Type == mtWarning ? mrCancel : mrOk; });
  EXPECT_EQ(dialogs.MessageBox(mtWarning, "w", mbOKCancel), mrCancel);
  EXPECT_EQ(dialogs.MessageBox(mtInformation, "i", mbOKCancel), mrOk);
}

TEST(ScriptedDialogService, SaveAndPrintDialogsFollowTheScript) {
  tScriptedDialogService dialogs;
  tSaveFileRequest request;
  request.Filter = "Bitmap (*.bmp)|*.bmp";
  request.DefaultExt = "csv";
  EXPECT_FALSE(dialogs.SaveFile(request).Accepted);
  dialogs.PushSaveFile("/tmp/log.txt", 2);
  const tSaveFileResult saved = dialogs.SaveFile(request);
  EXPECT_TRUE(saved.Accepted);
  EXPECT_EQ(saved.FileName, "/tmp/log.txt");
  EXPECT_EQ(saved.FilterIndex, 2);
  QPrinter printer;
  dialogs.PushPrint(false);
  EXPECT_FALSE(dialogs.Print(printer));
  EXPECT_TRUE(dialogs.Print(printer));
  ASSERT_EQ(dialogs.Records().size(), 4);
  EXPECT_EQ(dialogs.Records()[0].Kind, dkSaveFile);
  EXPECT_EQ(dialogs.Records()[0].SaveRequest.Filter, "Bitmap (*.bmp)|*.bmp");
  EXPECT_EQ(dialogs.Records()[2].Kind, dkPrint);
  EXPECT_EQ(dialogs.MessageCount(), 0);
}

TEST(DialogService, TestsReplaceTheCurrentServiceForAScope) {
  iDialogService* real = &Dialogs();
  EXPECT_NE(dynamic_cast<tQtDialogService*>(real), nullptr);
  tScriptedDialogService scripted;
  {
    tDialogsScope scope(scripted);
    EXPECT_EQ(&Dialogs(), &scripted);
    Dialogs().Warning("Die maximale Verstellung wurde erreicht!");
  }
  EXPECT_EQ(&Dialogs(), real);
  EXPECT_EQ(scripted.LastMessage().Type, mtWarning);
}

TEST(DialogService, CarriageReturnsAndFiltersAreConverted) {
  EXPECT_EQ(DialogDisplayText("a\rb\r\nc\nd"), "a\nb\nc\nd");
  EXPECT_EQ(DialogNameFilters(QString::fromUtf8(
                "Character Seperated Values (*.csv)|*.csv|Textdatei (*.txt)|*.txt")),
            QStringList({"Character Seperated Values (*.csv)", "Textdatei (*.txt)"}));
  EXPECT_EQ(DialogNameFilters("Bitmap|*.bmp"), QStringList({"Bitmap (*.bmp)"}));
  EXPECT_EQ(DialogNameFilters(""), QStringList());
}

TEST(QtDialogService, BoxShowsLinesSeparatelyWithButtonsOfTheLanguage) {
  struct tCase {
    tLanguage Language;
    tMsgDlgButtons Buttons;
    QStringList Texts;
    const char* Press;
    tModalResult Expected;
  };
  const tCase cases[] = {
      {laGerman, mbYesNo, {"Ja", "Nein"}, "Nein", mrNo},
      {laEnglish, mbYesNo, {"No", "Yes"}, "Yes", mrYes},
      {laGerman, mbOKCancel, {"Abbrechen", "OK"}, "Abbrechen", mrCancel},
      {laEnglish, mbOK, {"OK"}, "OK", mrOk},
  };
  tQtDialogService service;
  for (const tCase& c : cases) {
    Resources().SetLanguage(c.Language);
    QString shown;
    QStringList buttons;
    WhenShown<QMessageBox>([&](QMessageBox* pBox) {
      shown = pBox->text();
      buttons = ButtonTexts(pBox);
      for (QAbstractButton* b : pBox->buttons())
        if (b->text() == c.Press) b->click();
    });
    EXPECT_EQ(service.MessageBox(mtConfirmation, "Es sind noch Geräte in Bearbeitung:\rCOM3\rCOM5",
                                 c.Buttons),
              c.Expected);
    EXPECT_EQ(shown, QString::fromUtf8("Es sind noch Geräte in Bearbeitung:\nCOM3\nCOM5"));
    EXPECT_EQ(buttons, c.Texts);
  }
  Resources().SetLanguage(laGerman);
}

TEST(DialogService, SuffixFollowsTheChosenFilter) {
  struct tCase {
    QString Filter;
    QString DefaultExt;
    QString Suffix;
  };
  const tCase cases[] = {
      {"Character Seperated Values (*.csv)", "csv", "csv"},
      {"Textdatei (*.txt)", "csv", "txt"},
      {"PNG (*.png)", "bmp", "png"},
      {"Bilder (*.png *.bmp)", "bmp", "png"},
      {"Archiv (*.tar.gz)", "", "tar.gz"},
      {"Messwerte (Tabelle) (*.log)", "csv", "log"},
      {"*.txt", "csv", "txt"},
      {"Alle Dateien (*)", "csv", "csv"},
      {"Alle Dateien (*.*)", "csv", "csv"},
      {"Protokolle (*.lo?)", "csv", "csv"},
      {"", "csv", "csv"},
  };
  for (const tCase& c : cases)
    EXPECT_EQ(DialogSuffixForFilter(c.Filter, c.DefaultExt), c.Suffix) << qPrintable(c.Filter);
}

// The real dialog, set up as SaveFile sets it up, with a filter chosen and a name typed.
TEST(QtDialogService, BareNameGetsTheExtensionOfTheChosenFilter) {
  struct tCase {
    QString Filter;
    QString DefaultExt;
    int Proposed; // filter the dialog opens on
    int Chosen;   // filter the user leaves selected
    QString Typed;
    QString Expected;
  };
  const tCase cases[] = {
      {cTableFilter, "csv", 1, 2, "log", "log.txt"},
      {cTableFilter, "csv", 2, 1, "log", "log.csv"},
      {cTableFilter, "csv", 1, 1, "log", "log.csv"},
      {cTableFilter, "csv", 2, 2, "log", "log.txt"},
      {cTableFilter, "csv", 1, 2, "typed.csv", "typed.csv"},
      {cChartFilter, "bmp", 1, 2, "chart", "chart.png"},
      {cChartFilter, "bmp", 2, 1, "chart", "chart.bmp"},
  };
  QTemporaryDir dir;
  for (const tCase& c : cases) {
    SCOPED_TRACE(qPrintable(c.Typed + " " + QString::number(c.Chosen)));
    tSaveFileRequest request;
    request.Filter = c.Filter;
    request.FilterIndex = c.Proposed;
    request.DefaultExt = c.DefaultExt;
    request.FileName = QDir(dir.path()).filePath("proposed");
    QFileDialog dialog;
    tQtDialogService::PrepareSaveDialog(dialog, request);
    dialog.show();
    ChooseFilter(&dialog, c.Chosen);
    auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(c.Typed);
    EXPECT_EQ(dialog.selectedFiles().value(0).toStdString(),
              QDir(dir.path()).filePath(c.Expected).toStdString());
  }
}

TEST(QtDialogService, SaveDialogReportsFileAndChosenFilter) {
  QTemporaryDir dir;
  tQtDialogService service;
  tSaveFileRequest request;
  request.Filter = cTableFilter;
  request.DefaultExt = "csv";
  request.FileName = QDir(dir.path()).filePath("log");
  WhenShown<QFileDialog>([&](QFileDialog* pDialog) {
    ChooseFilter(pDialog, 2);
    pDialog->findChild<QLineEdit*>("fileNameEdit")->setText("log");
    static_cast<QDialog*>(pDialog)->accept();
  });
  const tSaveFileResult result = service.SaveFile(request);
  EXPECT_TRUE(result.Accepted);
  EXPECT_EQ(result.FileName.toStdString(), QDir(dir.path()).filePath("log.txt").toStdString());
  EXPECT_EQ(result.FilterIndex, 2);

  WhenShown<QFileDialog>([](QFileDialog* pDialog) { pDialog->reject(); });
  EXPECT_FALSE(service.SaveFile(request).Accepted);
}
