// The run settings as the user sees them: time pickers with seconds, and fields that show
// their whole text in both languages and in the locales' date and time formats.
#include "LoggerFixture.h"

#include "core/LocaleGuard.h"
#include <QAbstractSpinBox>
#include <QApplication>
#include <QLineEdit>

namespace {

struct tLocaleCase {
  const char* Name;
  QLocale Locale;
};

// German and US English, and the C locale the end-to-end runs use.
const tLocaleCase cLocales[] = {
    {"de_DE", tLocaleGuard::German()}, {"en_US", tLocaleGuard::English()}, {"C", QLocale::c()}};

// The width the editor's text needs: QLineEdit keeps 2 pixels free on either side.
int TextRoom(const QAbstractSpinBox* pEdit) {
  const auto* line = pEdit->findChild<QLineEdit*>();
  return line ? line->contentsRect().width() - 4 : 0;
}

int TextWidth(const QAbstractSpinBox* pEdit) {
  return pEdit->fontMetrics().horizontalAdvance(pEdit->text());
}

} // namespace

TEST_F(tLoggerFixture, StartAndEndTimesShowAndEditSeconds) {
  for (const tLocaleCase& l : cLocales) {
    SCOPED_TRACE(l.Name);
    tLocaleGuard locale(l.Locale);
    TFrameLoggingOvvw logger;
    // With the immediate start chosen the start picker follows the clock.
    logger.findChild<QRadioButton*>("RadioButtonStartLogDate")->setChecked(true);
    for (const char* name : {"dtpStartTime", "dtpEndTime"}) {
      SCOPED_TRACE(name);
      auto* picker = logger.findChild<QTimeEdit*>(name);
      picker->setTime(QTime(13, 40, 57));
      EXPECT_TRUE(picker->text().contains("40:57")) << qPrintable(picker->text());
      // Stepping the seconds is stepping the time the run acts on.
      picker->setCurrentSection(QDateTimeEdit::SecondSection);
      picker->stepBy(1);
      EXPECT_EQ(picker->time(), QTime(13, 40, 58));
    }
  }
}

TEST_F(tLoggerFixture, SettingsFieldsShowTheirWholeTextAtTheFramesSmallestSize) {
  const char* fields[] = {"SpinEditLogInterval", "dtpStartDate",    "dtpStartTime",
                          "dtpEndDate",          "dtpEndTime",      "SpinEditDuration",
                          "dtpDuration",         "SpinEditCountLog"};
  for (const tLocaleCase& l : cLocales) {
    tLocaleGuard locale(l.Locale);
    for (tLanguage language : {laGerman, laEnglish}) {
      SCOPED_TRACE(std::string(l.Name) + (language == laGerman ? " German" : " English"));
      Resources().SetLanguage(language);
      TFrameLoggingOvvw logger;
      logger.InitComponents();
      logger.resize(logger.minimumSizeHint());
      logger.show();
      QApplication::processEvents();
      for (const char* name : fields) {
        auto* edit = logger.findChild<QAbstractSpinBox*>(name);
        ASSERT_NE(edit, nullptr) << name;
        // Qt's own measure: the texts of the range's ends.
        EXPECT_GE(edit->width(), edit->minimumSizeHint().width()) << name;
      }
      // The widest texts the fields take: every month's name, late hours, the largest counts.
      auto* endDate = logger.findChild<QDateEdit*>("dtpEndDate");
      for (int month = 1; month <= 12; ++month) {
        endDate->setDate(QDate(2088, month, 28));
        EXPECT_GE(TextRoom(endDate), TextWidth(endDate)) << qPrintable(endDate->text());
      }
      for (const char* name : {"dtpStartTime", "dtpEndTime", "dtpDuration"}) {
        auto* time = logger.findChild<QTimeEdit*>(name);
        for (QTime value : {QTime(23, 58, 58), QTime(10, 58, 58)}) {
          time->setTime(value);
          EXPECT_GE(TextRoom(time), TextWidth(time)) << name << " " << qPrintable(time->text());
        }
      }
      for (const char* name : {"SpinEditDuration", "SpinEditCountLog"}) {
        auto* spin = logger.findChild<QSpinBox*>(name);
        spin->setValue(spin->maximum());
        EXPECT_GE(TextRoom(spin), TextWidth(spin)) << name;
      }
      // To be looked at as a user would.
      logger.grab().save(OutputDir("logger-fields") + "/settings-" + l.Name +
                         (language == laGerman ? "-German.png" : "-English.png"));
    }
  }
  Resources().SetLanguage(laGerman);
}
