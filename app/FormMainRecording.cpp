// Recordings left behind by a crash, a kill or a power cut: offered once at start-up.
#include "app/FormMain.h"
#include "app/Pathes.h"
#include "core/Format.h"
#include "widgets/DialogService.h"
#include "i18n/Resources.h"
#include "logger/FrameLoggingOvvw.h"
#include "logger/LogJournal.h"
#include <QFile>
#include <QFileInfo>

namespace {
enum : int {
  cTextFound = 508,
  cTextStarted = 509,
  cTextSamples = 510,
  cTextTags = 511,
  cTextRestore = 512,
  cTextLater = 513,
  cTextDiscard = 514,
  cTextDiscardSure = 515,
  cTextUnreadable = 516,
};

QString Text(int pId) {
  return Resources().CatalogueText(pId);
}

// The buttons in their order; closing the box means Later, which keeps the recording.
enum tRecordingChoice { rcRestore, rcLater, rcDiscard };
} // namespace

QString TFormMain::RecordingFolder() {
  return Pathes().ProgramDataFolder() + QStringLiteral("/Recording");
}

void TFormMain::OfferRecordings() {
  const QChar CR = QLatin1Char('\r');
  for (const QString& file : tLogJournalReader::Journals(RecordingFolder())) {
    // Another instance of the program is recording into it.
    if (tLogJournalReader::InUse(file)) continue;
    // Created just before the program ended, before anything was written to it.
    if (QFileInfo(file).size() == 0) {
      QFile::remove(file);
      continue;
    }
    // One recording fits the logger; any further one is offered at the next start.
    if (FrameLoggingOvvw->HasDataToSave()) return;
    const tJournalSummary summary = tLogJournalReader::Scan(file);
    if (!summary.Valid) {
      Dialogs().Error(Text(cTextUnreadable) + CR + file + CR + summary.Error, this);
      continue;
    }
    const QString text = Text(cTextFound) + CR + Text(cTextStarted) + QLatin1Char(' ') +
                         FormatDateTime(summary.StartTime) + CR + Text(cTextSamples) +
                         QLatin1Char(' ') + QString::number(summary.Samples) + CR +
                         Text(cTextTags) + QLatin1Char(' ') +
                         summary.Tags.join(QStringLiteral(", "));
    const int choice =
        Dialogs().Choice(mtConfirmation, text,
                         {Text(cTextRestore), Text(cTextLater), Text(cTextDiscard)}, rcLater, this);
    if (choice == rcRestore) {
      QString error;
      if (FrameLoggingOvvw->RestoreJournal(file, error)) {
        // Without instruments the pages are hidden; the restored data must be reachable.
        ShowPages(true);
        PageControlDevRecord->setCurrentWidget(TabSheetRecord);
      } else {
        Dialogs().Error(Text(cTextUnreadable) + CR + file + CR + error, this);
      }
    } else if (choice == rcDiscard) {
      if (Dialogs().Question(Text(cTextDiscardSure), mbYesNo, this)) QFile::remove(file);
    }
  }
}
