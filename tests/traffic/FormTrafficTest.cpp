// The traffic view as a user works it, without a screen: its lines, pause, clear, the
// filters, copying, the saved file, and both languages.
#include "TrafficTestSupport.h"

#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"
#include "traffic/FormTraffic.h"
#include "traffic/TrafficModel.h"
#include "traffic/TrafficWriter.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

using namespace traffictest;

namespace {

QByteArray Hex(const char* pHex) {
  return QByteArray::fromHex(pHex);
}

// One line of traffic, fed to the log as the tap would.
struct tFrame {
  char Kind; // s: request, r: received
  const char* Hex;
};

class FormTraffic : public ::testing::Test {
protected:
  void SetUp() override {
    Resources().SetLanguage(laGerman);
    mLog = std::make_shared<tTrafficLog>();
    mLog->Opened(9600);
    tTrafficContext lContext;
    lContext.Family = tfK40;
    lContext.ReplyWindowMs = 1500;
    mLog->SetContext(lContext);
  }
  void TearDown() override {
    mForm.reset();
    Resources().SetLanguage(laGerman);
  }
  void Feed(std::initializer_list<tFrame> pFrames) {
    for (const tFrame& f : pFrames) {
      const QByteArray lBytes = Hex(f.Hex);
      if (f.Kind == 's') {
        mLog->Boundary();
        mLog->Sent(lBytes.constData(), lBytes.size(), 9600);
      } else {
        mLog->Received(lBytes.constData(), lBytes.size(), 9600);
      }
    }
  }
  void Open() {
    mForm = std::make_unique<TFormTraffic>(mLog, [] { return QStringLiteral("COM5 – K-40-P"); });
    mForm->show();
  }
  // Lets the view take what is new: its timer runs at the interval the last batch's cost set.
  void Tick() { PumpFor(mForm->TimerRefresh->interval() + 50); }
  int Rows() const { return mForm->Model().rowCount(); }
  QString Cell(int pRow, int pColumn) const {
    return mForm->Model().data(mForm->Model().index(pRow, pColumn)).toString();
  }
  QStringList Meanings() const {
    QStringList lTexts;
    for (int r = 0; r < Rows(); ++r)
      lTexts << Cell(r, tTrafficModel::coMeaning);
    return lTexts;
  }

  std::shared_ptr<tTrafficLog> mLog;
  std::unique_ptr<TFormTraffic> mForm;
  tScriptedDialogService mDialogs;
  tDialogsScope mDialogScope{mDialogs};
};

// A pressure exchange, an EEPROM read whose reply lost its sum, a temperature exchange.
const std::initializer_list<tFrame> cExchanges = {
    {'s', "505a00560d"}, {'r', "50006450fc0d"}, {'s', "455251180d"},
    {'r', "1c51f0a40d"}, {'s', "545700550d"},   {'r', "540032007a0d"},
};

} // namespace

TEST_F(FormTraffic, decodes_each_frame_for_its_family_with_every_verdict) {
  struct tCase {
    tTrafficFamily Family;
    std::initializer_list<tFrame> Frames;
    QStringList Expected;
  };
  const tCase lCases[] = {
      {tfK40,
       {{'s', "455251180d"}, {'r', "1c51f0a30d"}, {'s', "5865fe450d"}, {'r', "1d65fe800d"}},
       {"EEPROM lesen (ER), Zelle 81, Prüfsumme gut",
        "EEPROM lesen (ER), Zelle 81 = 240, Prüfsumme gut",
        "EEPROM schreiben (X), Zelle 101 = 254, Prüfsumme gut",
        "EEPROM schreiben (X), Zelle 101 = 254, Prüfsumme gut"}},
      {tfK40,
       {{'s', "455251180d"},
        {'r', "001c51f0a30d"},
        {'s', "455251180d"},
        {'r', "1c51f0a30d00"},
        {'s', "455251180d"},
        {'r', "1c52f0a20d"}},
       {"EEPROM lesen (ER), Zelle 81, Prüfsumme gut",
        "EEPROM lesen (ER), Zelle 81 = 240, 1 fremde Bytes davor, Prüfsumme gut",
        "EEPROM lesen (ER), Zelle 81, Prüfsumme gut",
        "EEPROM lesen (ER), Zelle 81 = 240, 1 Bytes zu viel am Ende, Prüfsumme gut",
        "EEPROM lesen (ER), Zelle 81, Prüfsumme gut",
        "EEPROM lesen (ER), Zelle 81, falscher Anfang, Prüfsumme gut"}},
      {tfK40,
       {{'r', "50006450fc0d"}, {'s', "5253005b0d"}, {'r', "4e50620d"}},
       {"außerhalb jedes Austauschs, Prüfsumme gut", "Software-Reset (RS), Prüfsumme gut",
        "außerhalb jedes Austauschs, Prüfsumme gut"}},
      {tfR70,
       {{'s', "554d4100720d"}, {'r', "0300000000feff0d"}},
       {"Messbereichsanfang lesen (MA), Autobaud-Byte, Prüfsumme gut",
        "Messbereichsanfang lesen (MA) = 0 bar, Prüfsumme gut"}},
  };
  for (const tCase& c : lCases) {
    SetUp();
    tTrafficContext lContext;
    lContext.Family = c.Family;
    mLog->SetContext(lContext);
    Feed(c.Frames);
    mLog->Closed(false);
    Open();
    QStringList lMeanings = Meanings();
    ASSERT_GE(lMeanings.size(), 2);
    EXPECT_EQ(lMeanings.takeFirst(), "Schnittstelle geöffnet");
    EXPECT_EQ(lMeanings.takeLast(), "Schnittstelle geschlossen");
    EXPECT_EQ(lMeanings, c.Expected);
    mForm.reset();
  }
}

TEST_F(FormTraffic, shows_new_frames_at_the_paint_rate_holds_them_while_paused_and_clears) {
  Feed({{'s', "505a00560d"}, {'r', "50006450fc0d"}});
  Open();
  ASSERT_EQ(Rows(), 3);
  EXPECT_EQ(Cell(1, tTrafficModel::coDirection), "gesendet");
  EXPECT_EQ(Cell(1, tTrafficModel::coBaud), "9600");
  EXPECT_EQ(Cell(1, tTrafficModel::coHex), "50 5A 00 56 0D");
  EXPECT_EQ(Cell(1, tTrafficModel::coText), "PZ.V.");
  EXPECT_EQ(Cell(2, tTrafficModel::coDirection), "empfangen");
  EXPECT_EQ(Cell(2, tTrafficModel::coMeaning), "Druck lesen (PZ) = 1, Prüfsumme gut");
  EXPECT_EQ(Cell(2, tTrafficModel::coPhase), "K40");

  // Frames come in between two refreshes of the view, not one by one.
  Feed({{'s', "505a00560d"}});
  EXPECT_EQ(Rows(), 3);
  Tick();
  EXPECT_EQ(Rows(), 4);

  mForm->ButtonPause->click();
  Feed({{'r', "50006450fc0d"}, {'s', "505a00560d"}});
  Tick();
  EXPECT_EQ(Rows(), 4);
  mForm->ButtonPause->click();
  Tick();
  EXPECT_EQ(Rows(), 6);

  mForm->ButtonClear->click();
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(mLog->FirstSeq(), mLog->EndSeq());
  Feed({{'r', "50006450fc0d"}});
  Tick();
  EXPECT_EQ(Rows(), 1);
  // A view opened later starts after the clearing too.
  TFormTraffic lLater(mLog, {});
  EXPECT_EQ(lLater.Model().rowCount(), 1);
}

// A line shown while its reply was still arriving is read again once the rest came, even
// when more frames followed before the next refresh.
TEST_F(FormTraffic, a_reply_shown_while_arriving_is_shown_whole_after_the_next_refresh) {
  Feed({{'s', "505a00560d"}, {'r', "500064"}});
  Open();
  ASSERT_EQ(Rows(), 3);
  EXPECT_EQ(Cell(2, tTrafficModel::coHex), "50 00 64");
  Feed({{'r', "50fc0d"}, {'s', "505a00560d"}, {'r', "50006450fc0d"}, {'s', "505a00560d"}});
  Tick();
  ASSERT_EQ(Rows(), 6);
  EXPECT_EQ(Cell(2, tTrafficModel::coHex), "50 00 64 50 FC 0D");
  EXPECT_EQ(Cell(2, tTrafficModel::coMeaning), "Druck lesen (PZ) = 1, Prüfsumme gut");
}

TEST_F(FormTraffic, a_request_without_a_reply_is_marked_once_its_window_has_passed) {
  tTrafficContext lContext;
  lContext.Family = tfR70;
  lContext.ReplyWindowMs = 150;
  mLog->SetContext(lContext);
  Feed({{'s', "505a00560d"}});
  Open();
  EXPECT_EQ(Cell(1, tTrafficModel::coMeaning), "Druck lesen (PZ), Prüfsumme gut");
  PumpFor(250);
  EXPECT_EQ(Cell(1, tTrafficModel::coMeaning),
            "Druck lesen (PZ), Prüfsumme gut; keine Antwort nach 150 ms");
}

TEST_F(FormTraffic, filters_errors_only_or_one_command) {
  Feed(cExchanges);
  Open();
  ASSERT_EQ(Rows(), 7);
  mForm->SelectFilter(1);
  EXPECT_EQ(Meanings(), QStringList({"EEPROM lesen (ER), Zelle 81 = 240, Prüfsumme falsch"}));
  // A filter entry per command, named in the view's language.
  EXPECT_EQ(mForm->ComboBoxFilter->count(), 2 + TrafficCommandCount - 1);
  const int lTemperature = mForm->ComboBoxFilter->findText("Temperatur lesen (TW)");
  ASSERT_GE(lTemperature, 0);
  mForm->SelectFilter(lTemperature);
  // The newest reply counts once no more of it can come.
  Tick();
  EXPECT_EQ(Meanings(), QStringList({"Temperatur lesen (TW), Prüfsumme gut",
                                     "Temperatur lesen (TW) = 25 °C, Prüfsumme gut"}));
  // New frames that match join the filtered lines.
  Feed({{'s', "545700550d"}, {'r', "540032007a0d"}, {'s', "505a00560d"}});
  Tick();
  EXPECT_EQ(Rows(), 4);
  mForm->SelectFilter(0);
  EXPECT_EQ(Rows(), 10);
}

TEST_F(FormTraffic, copies_the_selected_lines_and_saves_the_shown_ones_in_the_documented_format) {
  Feed(cExchanges);
  mLog->Closed(false);
  Open();
  ASSERT_EQ(Rows(), 8);
  QItemSelectionModel* lSelection = mForm->TableTraffic->selectionModel();
  for (int r : {4, 2})
    lSelection->select(mForm->Model().index(r, 0),
                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
  mForm->CopySelection();
  const QString lCopied = QApplication::clipboard()->text();
  EXPECT_EQ(lCopied, mForm->Model().FileLine(2) + "\n" + mForm->Model().FileLine(4) + "\n");

  QTemporaryDir lDir;
  const QString lName = lDir.path() + "/traffic.txt";
  mDialogs.PushSaveFile(lName);
  mForm->ButtonSave->click();
  ASSERT_EQ(mDialogs.Records().size(), 1);
  EXPECT_EQ(mDialogs.Records()[0].SaveRequest.Filter, "Textdatei (*.txt)|*.txt");
  QFile lFile(lName);
  ASSERT_TRUE(lFile.open(QIODevice::ReadOnly));
  const QStringList lLines = QString::fromUtf8(lFile.readAll()).split('\n');
  ASSERT_EQ(lLines.size(), 3 + 8 + 1);
  EXPECT_EQ(lLines[0], "# Corvane traffic 1");
  EXPECT_EQ(lLines[1], "# COM5 – K-40-P");
  EXPECT_EQ(lLines[2],
            "# ms since opened\twall time\tdirection\tbit/s\tbytes\ttext\tmeaning\tphase");
  EXPECT_EQ(lLines.last(), "");
  const QStringList lDirections = {"--", "TX", "RX", "TX", "RX", "TX", "RX", "--"};
  const QByteArray lBytes[] = {{},
                               Hex("505a00560d"),
                               Hex("50006450fc0d"),
                               Hex("455251180d"),
                               Hex("1c51f0a40d"),
                               Hex("545700550d"),
                               Hex("540032007a0d"),
                               {}};
  double lBefore = -1;
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    const QStringList lFields = lLines[3 + i].split('\t');
    ASSERT_EQ(lFields.size(), 8);
    bool lOk = false;
    const double lMs = lFields[0].toDouble(&lOk);
    EXPECT_TRUE(lOk);
    EXPECT_GE(lMs, lBefore);
    lBefore = lMs;
    EXPECT_TRUE(QDateTime::fromString(lFields[1], "yyyy-MM-ddTHH:mm:ss.zzz").isValid());
    EXPECT_EQ(lFields[2], lDirections[i]);
    EXPECT_EQ(lFields[3], "9600");
    EXPECT_EQ(QByteArray::fromHex(lFields[4].toLatin1()), lBytes[i]);
    EXPECT_EQ(lFields[6], Cell(i, tTrafficModel::coMeaning));
  }

  // A failed save says so and leaves the file that was there.
  EXPECT_FALSE(mForm->SaveTo(lDir.path() + "/missing/traffic.txt"));
  EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
  mForm->SelectFilter(1);
  ASSERT_TRUE(mForm->SaveTo(lName));
  QFile lFiltered(lName);
  ASSERT_TRUE(lFiltered.open(QIODevice::ReadOnly));
  EXPECT_EQ(lFiltered.readAll().count('\n'), 3 + 1);
}

TEST_F(FormTraffic, switches_every_text_with_the_language) {
  Feed({{'s', "505a00560d"}, {'r', "50006450fc0d"}});
  Open();
  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(mForm->Model().headerData(0, Qt::Horizontal).toString(), "Time [ms]");
  EXPECT_EQ(Cell(0, tTrafficModel::coMeaning), "port opened");
  EXPECT_EQ(Cell(1, tTrafficModel::coDirection), "sent");
  EXPECT_EQ(Cell(2, tTrafficModel::coMeaning), "Read pressure (PZ) = 1, checksum good");
  EXPECT_EQ(mForm->ButtonPause->text(), "Pause");
  EXPECT_EQ(mForm->ComboBoxFilter->itemText(1), "Errors only");
  EXPECT_TRUE(mForm->windowTitle().startsWith("Traffic – COM5"))
      << qPrintable(mForm->windowTitle());
  Resources().SetLanguage(laGerman);
  EXPECT_EQ(Cell(2, tTrafficModel::coMeaning), "Druck lesen (PZ) = 1, Prüfsumme gut");
  EXPECT_EQ(mForm->ButtonPause->text(), "Anhalten");
}
