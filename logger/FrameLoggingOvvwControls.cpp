// The logger frame's controls: the run settings on the left, table and chart pages on the right.
#include "core/DateTime.h"
#include "core/Error.h"
#include "core/Format.h"
#include "i18n/Resources.h"
#include "logger/FrameLoggingOvvw.h"
#include "logger/LogChart.h"
#include "logger/LogFormat.h"
#include "logger/LogGrid.h"
#include "logger/LogTableModel.h"
#include "pages/FrameDevice.h"
#include "widgets/BitButton.h"
#include "widgets/DialogService.h"
#include "widgets/GridHelpers.h"
#include "widgets/RichEdit.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {
// The hidden list's design lines; the engine rewrites them in the current language.
const QStringList cTransOutLines = {
    QStringLiteral("324@Messstelle"),
    QStringLiteral("317@Druck"),
    QStringLiteral("318@Temperatur"),
    QStringLiteral("319@Zeit"),
    QStringLiteral("320@Fortsetzen bei geänderter Einheit nicht möglich!"),
    QStringLiteral("321@Die Endezeit befindet sich nicht nach der Startzeit!"),
    QStringLiteral("322@Die Endezeit liegt in der Vergangenheit!"),
    QStringLiteral("323@Character Seperated Values (*.csv)|*.csv|Textdatei (*.txt)|*.txt"),
    QStringLiteral("325@Fortsetzen nicht möglich, weil Veränderungen vorgenommen wurden!"),
    QStringLiteral("326@Nicht alle Geräte sind bereit"),
    QStringLiteral("327@Es ist kein Gerät bereit"),
    QStringLiteral("329@jetzt bereit"),
    QStringLiteral("330@nicht mehr bereit"),
    QStringLiteral("331@hinzugefügt"),
    QStringLiteral("332@gelöscht"),
    QStringLiteral("333@getauscht mit"),
    QStringLiteral("335@Zoomfunktion"),
    QStringLiteral("336@Messstelle"),
};
} // namespace

void TFrameLoggingOvvw::BuildControls() {
  auto named = [](QWidget* pWidget, const char* pName) {
    pWidget->setObjectName(QString::fromLatin1(pName));
    return pWidget;
  };
  auto* mainLayout = new QHBoxLayout(this);
  mainLayout->setContentsMargins(2, 2, 2, 2);

  GroupBoxConfigLog = new QGroupBox(QStringLiteral("303@Einstellungen "), this);
  named(GroupBoxConfigLog, "GroupBoxConfigLog");
  // At least the designed width, wider where the pickers' texts need it in the locale's
  // formats and the language's captions: a field never cuts its text.
  GroupBoxConfigLog->setMinimumWidth(250);
  GroupBoxConfigLog->setFixedHeight(501);
  GroupBoxConfigLog->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  auto* config = new QVBoxLayout(GroupBoxConfigLog);

  Label2 = new QLabel(QStringLiteral("314@Messrate [ms]:"), GroupBoxConfigLog);
  named(Label2, "Label2");
  SpinEditLogInterval = new QSpinBox(GroupBoxConfigLog);
  named(SpinEditLogInterval, "SpinEditLogInterval");
  SpinEditLogInterval->setRange(30, INT_MAX);
  SpinEditLogInterval->setValue(100);
  SpinEditLogInterval->setToolTip(QStringLiteral("[30 ... ["));
  config->addWidget(Label2);
  config->addWidget(SpinEditLogInterval);

  GroupBoxStart = new QGroupBox(QStringLiteral("307@Start"), GroupBoxConfigLog);
  named(GroupBoxStart, "GroupBoxStart");
  auto* start = new QGridLayout(GroupBoxStart);
  RadioButtonStartLogSofort = new QRadioButton(QStringLiteral("308@Sofort"), GroupBoxStart);
  named(RadioButtonStartLogSofort, "RadioButtonStartLogSofort");
  RadioButtonStartLogSofort->setChecked(true);
  RadioButtonStartLogDate = new QRadioButton(GroupBoxStart);
  named(RadioButtonStartLogDate, "RadioButtonStartLogDate");
  dtpStartDate = new QDateEdit(QDate::currentDate(), GroupBoxStart);
  named(dtpStartDate, "dtpStartDate");
  dtpStartTime = new QTimeEdit(QTime::currentTime(), GroupBoxStart);
  named(dtpStartTime, "dtpStartTime");
  // The timed start and end act on seconds, which the short time format leaves out.
  dtpStartTime->setDisplayFormat(LongTimeFormat());
  start->addWidget(RadioButtonStartLogSofort, 0, 0, 1, 3);
  start->addWidget(RadioButtonStartLogDate, 1, 0);
  start->addWidget(dtpStartDate, 1, 1);
  start->addWidget(dtpStartTime, 1, 2);
  config->addWidget(GroupBoxStart);

  GroupBoxEnde = new QGroupBox(QStringLiteral("309@Ende"), GroupBoxConfigLog);
  named(GroupBoxEnde, "GroupBoxEnde");
  auto* end = new QVBoxLayout(GroupBoxEnde);
  RadioButtonEndLogDate = new QRadioButton(GroupBoxEnde);
  named(RadioButtonEndLogDate, "RadioButtonEndLogDate");
  dtpEndDate = new QDateEdit(GroupBoxEnde);
  named(dtpEndDate, "dtpEndDate");
  dtpEndTime = new QTimeEdit(GroupBoxEnde);
  named(dtpEndTime, "dtpEndTime");
  dtpEndTime->setDisplayFormat(LongTimeFormat());
  RadioButtonEndLogDuration = new QRadioButton(QStringLiteral("310@Dauer:"), GroupBoxEnde);
  named(RadioButtonEndLogDuration, "RadioButtonEndLogDuration");
  SpinEditDuration = new QSpinBox(GroupBoxEnde);
  named(SpinEditDuration, "SpinEditDuration");
  SpinEditDuration->setRange(0, INT_MAX);
  LabelDurationDay = new QLabel(QStringLiteral("334@Tag"), GroupBoxEnde);
  named(LabelDurationDay, "LabelDurationDay");
  dtpDuration = new QTimeEdit(QTime(0, 0), GroupBoxEnde);
  named(dtpDuration, "dtpDuration");
  dtpDuration->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  LabelDurationHour = new QLabel(QStringLiteral("hh:mm:ss"), GroupBoxEnde);
  named(LabelDurationHour, "LabelDurationHour");
  RadioButtonEndLogCount = new QRadioButton(QStringLiteral("311@Anzahl Messwerte:"), GroupBoxEnde);
  named(RadioButtonEndLogCount, "RadioButtonEndLogCount");
  RadioButtonEndLogCount->setChecked(true);
  SpinEditCountLog = new QSpinBox(GroupBoxEnde);
  named(SpinEditCountLog, "SpinEditCountLog");
  SpinEditCountLog->setRange(1, INT_MAX);
  SpinEditCountLog->setValue(100);
  // One row per line rather than one grid: in a grid the wide day and count fields set the
  // first column and squeeze the date and time pickers beside the choice.
  auto row = [end](std::initializer_list<QWidget*> pWidgets) {
    auto* line = new QHBoxLayout();
    for (QWidget* w : pWidgets)
      line->addWidget(w);
    line->addStretch(1);
    end->addLayout(line);
  };
  row({RadioButtonEndLogDate, dtpEndDate, dtpEndTime});
  row({RadioButtonEndLogDuration});
  row({SpinEditDuration, LabelDurationDay});
  row({dtpDuration, LabelDurationHour});
  row({RadioButtonEndLogCount});
  row({SpinEditCountLog});
  config->addWidget(GroupBoxEnde);

  Label3 = new QLabel(QStringLiteral("312@Druckeinheit:"), GroupBoxConfigLog);
  named(Label3, "Label3");
  config->addWidget(Label3);
  auto* units = new QGridLayout();
  LabelMinus = new QLabel(QStringLiteral("-"), GroupBoxConfigLog);
  named(LabelMinus, "LabelMinus");
  ComboBoxUnitMBA = new QComboBox(GroupBoxConfigLog);
  named(ComboBoxUnitMBA, "ComboBoxUnitMBA");
  LabelPlus = new QLabel(QStringLiteral("+"), GroupBoxConfigLog);
  named(LabelPlus, "LabelPlus");
  ComboBoxUnitMBE = new QComboBox(GroupBoxConfigLog);
  named(ComboBoxUnitMBE, "ComboBoxUnitMBE");
  units->addWidget(LabelMinus, 0, 0);
  units->addWidget(ComboBoxUnitMBA, 0, 1);
  units->addWidget(LabelPlus, 1, 0);
  units->addWidget(ComboBoxUnitMBE, 1, 1);
  config->addLayout(units);
  Label4 = new QLabel(QStringLiteral("313@Temperatureinheit:"), GroupBoxConfigLog);
  named(Label4, "Label4");
  ComboBoxTempUnit = new QComboBox(GroupBoxConfigLog);
  named(ComboBoxTempUnit, "ComboBoxTempUnit");
  config->addWidget(Label4);
  config->addWidget(ComboBoxTempUnit);
  config->addStretch(1);

  auto* buttons = new QHBoxLayout();
  BitBtnStartLog = new tBitButton(QStringLiteral("315@Start"), GroupBoxConfigLog);
  named(BitBtnStartLog, "BitBtnStartLog");
  BitBtnStopLog = new tBitButton(QStringLiteral("316@Stop"), GroupBoxConfigLog);
  named(BitBtnStopLog, "BitBtnStopLog");
  buttons->addWidget(BitBtnStartLog);
  buttons->addWidget(BitBtnStopLog);
  config->addLayout(buttons);

  RichEditTransOutText = new tRichEdit(cTransOutLines, this);
  named(RichEditTransOutText, "RichEditTransOutText");
  RichEditTransOutText->setEnabled(false);

  auto* left = new QVBoxLayout();
  left->addWidget(GroupBoxConfigLog);
  left->addStretch(1);
  mainLayout->addLayout(left);

  PageControl = new QTabWidget(this);
  named(PageControl, "PageControl");
  mainLayout->addWidget(PageControl, 1);

  // Table page.
  TabSheetTabelle = new QWidget();
  named(TabSheetTabelle, "TabSheetTabelle");
  auto* tablePage = new QVBoxLayout(TabSheetTabelle);
  StringGridLog = new TLogGrid(mTable, TabSheetTabelle);
  named(StringGridLog, "StringGridLog");
  StringGridLog->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGridLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGridLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  StringGridLog->setShowGrid(true);
  StringGridLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGridLog->setWordWrap(false);
  StringGridLog->verticalHeader()->setVisible(false);
  // Fixed row heights: the grid's window of rows is as many as fit.
  StringGridLog->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGridLog->verticalHeader()->setDefaultSectionSize(16);
  StringGridLog->verticalHeader()->setMinimumSectionSize(10);
  StringGridLog->horizontalHeader()->setDefaultSectionSize(100);
  StringGridLog->horizontalHeader()->setHighlightSections(false);
  tablePage->addWidget(StringGridLog, 1, Qt::AlignLeft);
  auto* tableButtons = new QHBoxLayout();
  ButtonSaveTable = new QPushButton(QIcon(QStringLiteral(":/images/logger_save.svg")),
                                    QStringLiteral("304@Speichern..."), TabSheetTabelle);
  named(ButtonSaveTable, "ButtonSaveTable");
  ButtonPrintTable = new QPushButton(QIcon(QStringLiteral(":/images/logger_print.svg")),
                                     QStringLiteral("305@Drucken..."), TabSheetTabelle);
  named(ButtonPrintTable, "ButtonPrintTable");
  ButtonClearTable = new QPushButton(QIcon(QStringLiteral(":/images/logger_clear.svg")),
                                     QStringLiteral("306@Löschen"), TabSheetTabelle);
  named(ButtonClearTable, "ButtonClearTable");
  tableButtons->addWidget(ButtonSaveTable);
  tableButtons->addWidget(ButtonPrintTable);
  tableButtons->addWidget(ButtonClearTable);
  tableButtons->addStretch(1);
  tablePage->addLayout(tableButtons);

  // Chart page.
  TabSheetChart = new QWidget();
  named(TabSheetChart, "TabSheetChart");
  auto* chartPage = new QVBoxLayout(TabSheetChart);
  mChart = new tLogChart(TabSheetChart);
  mChart->setObjectName(QStringLiteral("Chart"));
  chartPage->addWidget(mChart, 1);
  BitBtnHlpZoom = new tBitButton(QStringLiteral("?"), mChart);
  named(BitBtnHlpZoom, "BitBtnHlpZoom");
  BitBtnHlpZoom->setGeometry(0, 0, 25, 25);
  BitBtnHlpZoom->SetGlyph(QIcon(QStringLiteral(":/images/logger_help.svg")));
  auto* chartButtons = new QHBoxLayout();
  ButtonSaveChart = new QPushButton(QIcon(QStringLiteral(":/images/logger_save.svg")),
                                    QStringLiteral("304@Speichern..."), TabSheetChart);
  named(ButtonSaveChart, "ButtonSaveChart");
  ButtonPrintChart = new QPushButton(QIcon(QStringLiteral(":/images/logger_print.svg")),
                                     QStringLiteral("305@Drucken..."), TabSheetChart);
  named(ButtonPrintChart, "ButtonPrintChart");
  ButtonClearChart = new QPushButton(QIcon(QStringLiteral(":/images/logger_clear.svg")),
                                     QStringLiteral("306@Löschen"), TabSheetChart);
  named(ButtonClearChart, "ButtonClearChart");
  CheckBoxTempSeries = new QCheckBox(QStringLiteral("328@Temperaturkennlinie"), TabSheetChart);
  named(CheckBoxTempSeries, "CheckBoxTempSeries");
  CheckBoxTempSeries->setChecked(true);
  chartButtons->addWidget(ButtonSaveChart);
  chartButtons->addWidget(ButtonPrintChart);
  chartButtons->addWidget(ButtonClearChart);
  chartButtons->addWidget(CheckBoxTempSeries);
  chartButtons->addStretch(1);
  chartPage->addLayout(chartButtons);

  PageControl->addTab(TabSheetTabelle, QIcon(), QStringLiteral("301@Tabelle"));
  PageControl->addTab(TabSheetChart, QIcon(QStringLiteral(":/images/logger_chart.svg")),
                      QStringLiteral("302@Diagramm"));
  PageControl->setCurrentWidget(TabSheetChart);
  for (QPushButton* b : {static_cast<QPushButton*>(ButtonSaveTable), ButtonPrintTable,
                         ButtonClearTable, ButtonSaveChart, ButtonPrintChart, ButtonClearChart})
    b->setEnabled(false);

  // Wiring.
  connect(BitBtnStartLog, &QPushButton::clicked, this, [this] { BitBtnStartLogClick(); });
  connect(BitBtnStopLog, &QPushButton::clicked, this, [this] { BitBtnStopLogClick(); });
  connect(dtpStartDate, &QDateEdit::dateChanged, this, [this] { ConfigChange(); });
  connect(dtpStartTime, &QTimeEdit::timeChanged, this, [this] { ConfigChange(); });
  connect(dtpEndDate, &QDateEdit::dateChanged, this, [this] { ConfigChange(); });
  connect(dtpEndTime, &QTimeEdit::timeChanged, this, [this] { ConfigChange(); });
  connect(dtpDuration, &QTimeEdit::timeChanged, this, [this] { ConfigChange(); });
  connect(SpinEditDuration, &QSpinBox::valueChanged, this, [this] { ConfigChange(); });
  connect(SpinEditCountLog, &QSpinBox::valueChanged, this, [this] { ConfigChange(); });
  for (QRadioButton* r : {RadioButtonStartLogSofort, RadioButtonStartLogDate})
    connect(r, &QRadioButton::clicked, this, [this] { RadioButtonStartLogDateClick(); });
  for (QRadioButton* r : {RadioButtonEndLogDate, RadioButtonEndLogDuration, RadioButtonEndLogCount})
    connect(r, &QRadioButton::clicked, this, [this] { RadioButtonEndLogClick(); });
  connect(ComboBoxUnitMBA, &QComboBox::currentIndexChanged, this,
          [this] { ComboBoxUnitMBAChange(); });
  connect(ComboBoxUnitMBE, &QComboBox::currentIndexChanged, this,
          [this] { ComboBoxUnitMBEChange(); });
  connect(ButtonSaveTable, &QPushButton::clicked, this, [this] { ButtonSaveTableClick(); });
  connect(ButtonSaveChart, &QPushButton::clicked, this, [this] { ButtonSaveChartClick(); });
  connect(ButtonClearTable, &QPushButton::clicked, this,
          [this] { ButtonClearTableChartClick(ButtonClearTable); });
  connect(ButtonClearChart, &QPushButton::clicked, this,
          [this] { ButtonClearTableChartClick(ButtonClearChart); });
  connect(ButtonPrintTable, &QPushButton::clicked, this,
          [this] { ButtonPrintClick(ButtonPrintTable); });
  connect(ButtonPrintChart, &QPushButton::clicked, this,
          [this] { ButtonPrintClick(ButtonPrintChart); });
  connect(CheckBoxTempSeries, &QCheckBox::clicked, this, [this] { CheckBoxTempSeriesClick(); });
  connect(BitBtnHlpZoom, &QPushButton::clicked, this, [this] { BitBtnHlpZoomClick(); });
}
