// A recording left behind by an earlier run of the program is offered at start-up: restored
// into the logger, kept for later, or discarded after a confirmation; an unreadable one is
// named and left alone.
#include "AppTestSupport.h"

#include "core/DateTime.h"
#include "logger/FrameLoggingOvvw.h"
#include "logger/LogJournal.h"
#include "logger/LogTableModel.h"
#include <QFile>
#include <QTabWidget>

using namespace apptest;

namespace {
// Two instruments, three samples.
void WriteJournal(const QString& pFile) {
  tLogTableModel table;
  tLogJournal journal;
  ASSERT_TRUE(journal.Create(pFile));
  tJournalRun run;
  run.StartTime = EncodeDate(2026, 12, 9) + EncodeTime(8, 30, 0, 0);
  run.UnitMBA = run.UnitMBE = "bar";
  run.UnitTemp = "°C";
  tJournalDevice a;
  a.ComNr = 3;
  a.Tag = "Kessel 1";
  a.MBEUnitStr = a.MBAUnitStr = "bar";
  tJournalDevice b = a;
  b.ComNr = 5;
  b.Tag = "Kessel 2";
  journal.Run(run, {a, b});
  for (int i = 0; i < 3; ++i) {
    for (const QString& tag : {a.Tag, b.Tag}) {
      tLogRow row;
      row.Kind = rkValues;
      row.Pressure = 1.25 + i;
      row.Digits = 3;
      row.Temperature = 20;
      row.Time = run.StartTime + i / 86400.0;
      row.Tag = table.TagIndex(tag);
      table.AppendRow(row);
    }
    journal.Tick(1.7e9 + i, table, 2 * i + 1, 2);
  }
}

QList<tDialogRecord> Choices(const tScriptedDialogService& pDialogs) {
  QList<tDialogRecord> list;
  for (const tDialogRecord& r : pDialogs.Records())
    if (r.Kind == dkChoice) list.append(r);
  return list;
}
} // namespace

class tRecordingRestore : public tAppFixture {
protected:
  QString Journal() const { return DataFolder() + "/Recording/20261209-083000-000-1.journal"; }
  void Start() {
    Window();
    PumpFor(50);
  }
};

TEST_F(tRecordingRestore, each_answer_does_what_it_says_and_only_restore_fills_the_logger) {
  struct tCase {
    const char* Name;
    int Choice;           // 0 Restore, 1 Later, 2 Discard
    tModalResult Confirm; // the answer to the discard question
    bool KeptFile;
    bool Restored;
  };
  const tCase cases[] = {
      {"restore", 0, mrNone, true, true},
      {"later", 1, mrNone, true, false},
      {"discard, then no", 2, mrNo, true, false},
      {"discard, then yes", 2, mrYes, false, false},
  };
  for (const tCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TearDown();
    SetUp();
    mDialogs.Clear();
    QFile::remove(Journal());
    WriteJournal(Journal());
    mDialogs.PushChoice(c.Choice);
    if (c.Confirm != mrNone) mDialogs.PushAnswer(c.Confirm);
    Start();
    const QList<tDialogRecord> choices = Choices(mDialogs);
    ASSERT_EQ(choices.size(), 1);
    EXPECT_EQ(choices[0].ChoiceButtons,
              QStringList({"Wiederherstellen", QString::fromUtf8("Später"), "Verwerfen"}));
    EXPECT_TRUE(choices[0].Text.startsWith(
        QString::fromUtf8("Eine Messung wurde nicht ordnungsgemäß beendet")));
    EXPECT_TRUE(choices[0].Text.contains("\rMesswerte: 3\r"));
    EXPECT_TRUE(choices[0].Text.endsWith("\rMessstellen: Kessel 1, Kessel 2"));
    EXPECT_EQ(mDialogs.MessageCount(), c.Confirm != mrNone ? 1 : 0);
    EXPECT_EQ(QFile::exists(Journal()), c.KeptFile);
    TFrameLoggingOvvw& logger = *Window().Logger();
    EXPECT_EQ(logger.HasDataToSave(), c.Restored);
    EXPECT_EQ(logger.Table().EntryCount(), c.Restored ? 6 : 0);
    EXPECT_EQ(Window().PageControlDevRecord->isVisibleTo(&Window()), c.Restored);
    if (c.Restored) {
      EXPECT_EQ(Window().PageControlDevRecord->currentWidget(), Window().TabSheetRecord);
      EXPECT_EQ(logger.Table().Cell(tLogTableModel::ColTag, 2), "Kessel 2");
      EXPECT_EQ(logger.Table().Cell(tLogTableModel::ColPressure, 6), "3,250");
      // Closing normally, with message 10 confirmed, removes the recording.
      mDialogs.PushAnswer(mrOk);
      EXPECT_TRUE(Window().close());
      mWindow.reset();
      EXPECT_FALSE(QFile::exists(Journal()));
    }
  }
}

TEST_F(tRecordingRestore, later_asks_again_at_the_next_start_in_its_language) {
  WriteJournal(Journal());
  Start();
  mWindow.reset();
  mSystemLanguage = QLocale::English;
  QFile::remove(IniPath());
  Start();
  const QList<tDialogRecord> choices = Choices(mDialogs);
  ASSERT_EQ(choices.size(), 2);
  EXPECT_EQ(choices[1].ChoiceButtons, QStringList({"Restore", "Later", "Discard"}));
  EXPECT_TRUE(choices[1].Text.contains("\rSamples: 3\r"));
  EXPECT_TRUE(QFile::exists(Journal()));
}

TEST_F(tRecordingRestore, unreadable_recording_is_named_and_left_as_it_is) {
  QDir().mkpath(DataFolder() + "/Recording");
  // And one that another running instance is writing is not offered at all.
  tLogJournal live;
  ASSERT_TRUE(live.Create(DataFolder() + "/Recording/live.journal"));
  const QString file = DataFolder() + "/Recording/foreign.journal";
  QFile out(file);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write("Messstelle;A;\r\n");
  out.close();
  Start();
  EXPECT_TRUE(Choices(mDialogs).isEmpty());
  ASSERT_EQ(mDialogs.MessageCount(), 1);
  EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
  EXPECT_TRUE(mDialogs.LastMessage().Text.contains(file));
  EXPECT_FALSE(Window().Logger()->HasDataToSave());
  QFile in(file);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  EXPECT_EQ(in.readAll(), QByteArray("Messstelle;A;\r\n"));
}
