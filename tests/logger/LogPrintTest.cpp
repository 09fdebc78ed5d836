// Printed logs: the reports rendered to PDF and read back with pdftotext, plus screenshots.
#include "LoggerFixture.h"

#include "logger/LogChart.h"
#include "logger/QRepLogging.h"
#include "logger/QRepLoggingChart.h"
#include "logger/ReportRenderer.h"
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <cmath>

namespace {
QString PdfText(const QString& pFile, int pPage = 0) {
  QStringList args = {"-layout"};
  if (pPage > 0) args << "-f" << QString::number(pPage) << "-l" << QString::number(pPage);
  args << pFile << "-";
  QProcess process;
  process.start("pdftotext", args);
  process.waitForFinished(30000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

int PdfPages(const QString& pFile) {
  QProcess process;
  process.start("pdfinfo", {pFile});
  process.waitForFinished(30000);
  for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n'))
    if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
  return 0;
}
} // namespace

class tLogPrintTest : public tLoggerFixture {
protected:
  void SetUp() override {
    tLoggerFixture::SetUp();
    QGuiApplication::setApplicationDisplayName("Corvane");
    // The preview is modal; here it renders straight into the PDF the printer is set to.
    SetReportPreview([this](QPrinter* pPrinter, const std::function<void(QPrinter*)>& pRender) {
      ++mPreviews;
      pRender(pPrinter);
    });
  }
  void TearDown() override {
    SetReportPreview({});
    tLoggerFixture::TearDown();
  }
  QString PrintTo(const QString& pName, const char* pButton) {
    QString file = OutputDir("logger-print") + "/" + pName;
    QFile::remove(file);
    mLogger->Printer()->setOutputFormat(QPrinter::PdfFormat);
    mLogger->Printer()->setOutputFileName(file);
    mDialogs.PushPrint(true);
    mLogger->ButtonPrintClick(mLogger->findChild<QPushButton*>(pButton));
    return file;
  }
  int mPreviews = 0;
};

TEST_F(tLogPrintTest, TablePdfHoldsTagsRangesHeadersEveryRowAndPageNumbers) {
  AddFrame({1, "Kessel", "A", 0, 16});
  AddFrame({2, "Pumpe", "B", -1, 5});
  Start();
  for (int i = 0; i < 40; ++i)
    DeliverAndTick(1 + i * 0.125, 20 + i * 0.1);
  QString file = PrintTo("table.pdf", "ButtonPrintTable");
  ASSERT_EQ(mPreviews, 1);
  QString text = PdfText(file);
  EXPECT_TRUE(text.contains("Corvane"));
  EXPECT_TRUE(text.contains("Kessel"));
  EXPECT_TRUE(text.contains("Pumpe"));
  EXPECT_TRUE(text.contains("0 ... 16 bar rel."));
  EXPECT_TRUE(text.contains("-1 ... 5 bar rel."));
  // Columns sorted by their headers: pressure, tag, temperature, time.
  QRegularExpression header("Druck \\[bar\\]\\s+Messstelle\\s+Temperatur \\[°C\\]\\s+Zeit");
  EXPECT_TRUE(header.match(text).hasMatch()) << text.left(2000).toStdString();
  for (int r = 1; r <= mLogger->LogEntryCnt(); ++r) {
    QString row =
        QString("%1\\s+%2\\s+%3\\s+%4")
            .arg(QRegularExpression::escape(Cell(0, r)), QRegularExpression::escape(Cell(3, r)),
                 QRegularExpression::escape(Cell(1, r)), QRegularExpression::escape(Cell(2, r)));
    EXPECT_TRUE(QRegularExpression(row).match(text).hasMatch()) << r;
  }
  const int pages = PdfPages(file);
  ASSERT_GE(pages, 2);
  for (int p = 1; p <= pages; ++p) {
    QString page = PdfText(file, p);
    // The footer, the last line of the page, ends in the page number.
    EXPECT_TRUE(page.trimmed().split('\n').last().trimmed().endsWith(" " + QString::number(p)))
        << p;
    // The header row is repeated on every page.
    EXPECT_TRUE(header.match(page).hasMatch()) << p;
  }
  // A page image to look at.
  QProcess::execute("pdftoppm", {"-png", "-r", "60", "-f", "1", "-l", "1", file,
                                 OutputDir("screenshots") + "/logger-print-table"});
}

TEST_F(tLogPrintTest, OneDeviceTableHasThreeColumns) {
  AddFrame({1, "Solo", "A"});
  Start();
  DeliverAndTick();
  QString text = PdfText(PrintTo("table1.pdf", "ButtonPrintTable"));
  EXPECT_TRUE(QRegularExpression("Druck \\[bar\\]\\s+Temperatur").match(text).hasMatch());
  EXPECT_FALSE(text.contains("Messstelle"));
  EXPECT_TRUE(text.contains(Cell(2, 1)));
}

TEST_F(tLogPrintTest, ChartPdfNamesEveryDeviceAndHasNoPageNumber) {
  AddFrame({1, "Alpha", "A", 0, 16});
  AddFrame({2, "Beta", "B", 0, 10});
  AddFrame({3, "Gamma", "C", -1, 1});
  mLogger->resize(1000, 600);
  mLogger->show();
  Start();
  for (int i = 0; i < 10; ++i)
    DeliverAndTick(0.5 + 0.05 * i);
  QString file = PrintTo("chart.pdf", "ButtonPrintChart");
  EXPECT_EQ(mLogger->Printer()->pageLayout().orientation(), QPageLayout::Landscape);
  QString text = PdfText(file);
  for (const char* tag : {"Alpha", "Beta", "Gamma"})
    EXPECT_TRUE(text.contains(tag)) << tag;
  EXPECT_TRUE(text.contains("0 ... 10 bar rel."));
  EXPECT_TRUE(text.contains("-1 ... 1 bar rel."));
  // Axis titles and legend come through as text: the chart is vector graphics.
  EXPECT_TRUE(text.contains("Alpha (p)"));
  EXPECT_TRUE(text.contains("Druck [bar]"));
  EXPECT_EQ(PdfPages(file), 1);
  QString footer = text.trimmed().split('\n').last();
  EXPECT_FALSE(footer.trimmed().endsWith(" 1")) << footer.toStdString();
  QProcess::execute("pdftoppm", {"-png", "-r", "60", "-f", "1", "-l", "1", file,
                                 OutputDir("screenshots") + "/logger-print-chart"});

  // Printing the table afterwards keeps the printer's landscape orientation.
  PrintTo("table-after-chart.pdf", "ButtonPrintTable");
  EXPECT_EQ(mLogger->Printer()->pageLayout().orientation(), QPageLayout::Landscape);
}

TEST(tLogPrintRules, ChartHeightRule) {
  EXPECT_EQ(TQRepLoggingChart::ChartHeight(1), 580);
  EXPECT_EQ(TQRepLoggingChart::ChartHeight(3), 540);
  EXPECT_EQ(TQRepLoggingChart::ChartHeight(10), 400);
  EXPECT_EQ(TQRepLoggingChart::ChartHeight(11), 680);
}

TEST_F(tLogPrintTest, CancelledPrintDialogPrintsNothing) {
  AddFrame({});
  Start();
  DeliverAndTick();
  mDialogs.PushPrint(false);
  mLogger->ButtonPrintClick(mLogger->findChild<QPushButton*>("ButtonPrintTable"));
  EXPECT_EQ(mPreviews, 0);
}

TEST_F(tLogPrintTest, ScreenshotsOfARecordedRun) {
  AddFrame({1, "Kessel", "A", 0, 16});
  AddFrame({2, "Pumpe", "B", -1, 5});
  mLogger->resize(1100, 620);
  mLogger->show();
  Start();
  for (int i = 0; i < 60; ++i) {
    Deliver(2 + std::sin(i / 6.0), 21 + i * 0.05);
    mFrames[1]->DeviceInfo()->SetPressureBar(1 + std::cos(i / 8.0));
    Tick();
  }
  mLogger->BitBtnStopLogClick();
  mLogger->TableModel()->Flush();
  auto* tabs = mLogger->findChild<QTabWidget*>("PageControl");
  const QString dir = OutputDir("screenshots");
  tabs->setCurrentIndex(0);
  QCoreApplication::processEvents();
  EXPECT_TRUE(mLogger->grab().save(dir + "/logger-table.png"));
  tabs->setCurrentIndex(1);
  QCoreApplication::processEvents();
  mLogger->Chart()->replot();
  EXPECT_TRUE(mLogger->grab().save(dir + "/logger-chart.png"));
}
