// The K40 device page against the K40 instrument simulator, connected directly on a
// simulated port as the frame hands it over.
#include "FrameTestSupport.h"

#include "core/DeviceInfo.h"
#include "widgets/CaptionPanel.h"
#include "widgets/RadioGroup.h"
#include "widgets/RichEdit.h"
#include "pages/FrameAdjust.h"
#include "pages/FrameDeviceK40.h"
#include "protocol/k40/DMU_K40ifc.h"
#include "sim/SimK40.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <memory>

using namespace frametest;

namespace {

struct tK40Setup {
  tSimK40::tModel Model = tSimK40::tModel::K40P;
  double RangeStart = 0;
  double RangeEnd = 16;
  quint8 OutputCode = 4; // 4 ... 20 mA
  double Pressure = 8;
};

// One connected page: instrument, port, record and page, released in the right order.
class tK40Bench {
public:
  explicit tK40Bench(const tK40Setup& pSetup = {}) : Sim(pSetup.Model) {
    Sim.SetRange(pSetup.RangeStart, pSetup.RangeEnd, false);
    Sim.SetEeprom(127, pSetup.OutputCode);
    Sim.SetPressure(pSetup.Pressure);
    Sim.SetTemperature(25);
    Info.SetDeviceType(pSetup.Model == tSimK40::tModel::K40P ? dtK4xP : dtR2x);
    auto lPort = std::make_unique<tSimPort>(&Sim);
    lPort->SetBaud(9600);
    lPort->SetOpen(true);
    Port = lPort.get();
    Page = std::make_unique<TFrameDeviceK40>(nullptr, &Info);
    Page->resize(600, 390);
    Page->SetOnDeviceStatusChanged([this](tDeviceStatus s) { States.push_back(s); });
    Page->SetOnTimeOut([this](QObject*) { ++TimeOuts; });
    Page->SetDeviceStatus(dsConnecting);
    Page->Initialize(std::move(lPort));
    Page->SetConnected(true);
  }

  QString Grid(int pRow, int pCol = 1) const {
    return Page->StringGridInfo->item(pRow, pCol)->text();
  }
  bool WaitPressure(const QString& pText, int pBoundMs = 3000) {
    return WaitFor([&] { return Page->PanelPressure->Caption() == pText; }, pBoundMs);
  }
  void SelectUnit(const QString& pUnit) {
    Page->ComboBoxUnitMBE->setCurrentIndex(Page->ComboBoxUnitMBE->findText(pUnit));
  }

  tSimK40 Sim;
  tDeviceInfo Info;
  tSimPort* Port = nullptr;
  std::vector<tDeviceStatus> States;
  int TimeOuts = 0;
  std::unique_ptr<TFrameDeviceK40> Page;
};

using PageK40 = tFrameFixture;

} // namespace

TEST_F(PageK40, connecting_reads_the_instrument_into_grid_and_controls) {
  tK40Bench b;
  ASSERT_TRUE(b.Page->Connected());
  EXPECT_EQ(b.Page->DeviceStatus(), dsConnected);
  EXPECT_EQ(b.States, (std::vector<tDeviceStatus>{dsConnecting, dsConnected}));
  EXPECT_EQ(b.Grid(0, 0), "Gerätetyp:");
  EXPECT_EQ(b.Grid(0), "K-40-P / K-41-P");
  EXPECT_EQ(b.Grid(1, 0), "Messbereich:");
  EXPECT_EQ(b.Grid(1), "0 ... 16 bar rel.");
  EXPECT_EQ(b.Grid(2), "4 ... 20 mA");
  EXPECT_EQ(b.Grid(3), "0,1 %");
  EXPECT_EQ(b.Grid(4), "4711");
  EXPECT_EQ(b.Grid(5), "03.14");
  EXPECT_EQ(b.Grid(6), "05.12");
  EXPECT_EQ(b.Grid(7, 0), "Firmware-Version:");
  EXPECT_FALSE(b.Grid(7).isEmpty());
  EXPECT_EQ(b.Page->ComboBoxUnitMBE->currentText(), "bar");
  EXPECT_EQ(b.Page->ComboBoxTempUnit->currentText(), "°C");
  EXPECT_TRUE(b.WaitPressure(" 8,000"));
  EXPECT_TRUE(WaitFor([&] { return b.Page->PanelTemperature->Caption() == "25,0"; }));
  EXPECT_EQ(mDialogs.MessageCount(), 0);

  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(b.Grid(0, 0), "Instrument type:");
  EXPECT_EQ(b.Grid(4, 0), "Head number:");
  EXPECT_EQ(b.Page->PageControl->tabText(0), "Information");
  EXPECT_EQ(b.Page->PageControl->tabText(1), "Adjustment");
}

// The unit box: 25 units, "%", then the output-signal unit; the settings tab only for
// instruments with RS-232 output.
TEST_F(PageK40, unit_box_and_settings_tab_follow_the_output_signal) {
  {
    tK40Bench b({.OutputCode = 4});
    EXPECT_EQ(b.Page->ComboBoxUnitMBE->count(), 27);
    EXPECT_EQ(b.Page->ComboBoxUnitMBE->itemText(25), "%");
    EXPECT_EQ(b.Page->ComboBoxUnitMBE->itemText(26), "mA");
    EXPECT_EQ(b.Page->ItemIdxAnalog(), 26);
    EXPECT_FALSE(b.Page->SettingsTabVisible());
  }
  {
    tK40Bench b({.OutputCode = 10});
    EXPECT_EQ(b.Page->ComboBoxUnitMBE->count(), 26);
    EXPECT_EQ(b.Page->ItemIdxAnalog(), -1);
    EXPECT_TRUE(b.Page->SettingsTabVisible());
    EXPECT_EQ(b.Grid(2), "RS-232");
  }
  {
    tK40Bench b({.OutputCode = 1}); // 0 ... 10 V
    EXPECT_EQ(b.Page->ComboBoxUnitMBE->itemText(26), "V");
    EXPECT_FALSE(b.Page->SettingsTabVisible());
  }
}

namespace {
struct tDisplayCase {
  const char* Name;
  double RangeStart, RangeEnd, Pressure;
  const char* Unit;
  const char* Shown;
};
} // namespace

// Display masks: a leading blank where a negative value has its minus sign, decimals from
// the range of the chosen unit.
TEST_F(PageK40, pressure_display_in_the_chosen_unit) {
  const tDisplayCase lCases[] = {
      {"positive with leading blank", 0, 16, 12.345, "bar", " 12,345"},
      {"negative with minus sign", 0, 16, -0.001, "bar", "-0,001"},
      {"output signal", 0, 16, 8, "mA", " 12,000"},
      {"percent of the range", 0, 16, 8, "%", " 50,00"},
      {"another pressure unit", 0, 16, 8, "psi", " 116,03"},
      {"compound range below zero", -1, 15, -0.5, "bar", "-0,500"},
      {"compound range above zero", -1, 15, 7.5, "bar", " 7,500"},
      {"compound range in percent", -1, 15, 7, "%", " 50,00"},
  };
  for (const tDisplayCase& c : lCases) {
    SCOPED_TRACE(c.Name);
    tK40Bench b({.RangeStart = c.RangeStart, .RangeEnd = c.RangeEnd, .Pressure = c.Pressure});
    b.SelectUnit(c.Unit);
    EXPECT_TRUE(b.WaitPressure(c.Shown)) << b.Page->PanelPressure->Caption().toStdString();
  }
}

TEST_F(PageK40, emptied_unit_boxes_show_no_value) {
  tK40Bench b;
  ASSERT_TRUE(b.WaitPressure(" 8,000"));
  b.Page->ComboBoxUnitMBE->setCurrentIndex(-1);
  b.Page->ComboBoxTempUnit->setCurrentIndex(-1);
  PumpFor(100);
  EXPECT_EQ(b.Page->PanelPressure->Caption(), "- - -");
  EXPECT_EQ(b.Page->PanelTemperature->Caption(), "- - -");
  b.Page->ComboBoxTempUnit->setCurrentIndex(1);
  EXPECT_TRUE(WaitFor([&] {
    return b.Page->PanelTemperature->Caption() == "298,1" ||
           b.Page->PanelTemperature->Caption() == "298,2";
  }));
}

TEST_F(PageK40, adjustment_tab_shows_the_factory_pressure_readout) {
  tK40Bench b({.Pressure = 4});
  ASSERT_TRUE(b.WaitPressure(" 4,000"));
  EXPECT_EQ(b.Page->PanelP->Caption(), "- - -");
  b.Page->PageControl->setCurrentWidget(b.Page->TabSheetJustage);
  EXPECT_TRUE(b.Page->K40ifc()->IsWerksDruckActive());
  EXPECT_TRUE(WaitFor([&] { return b.Page->PanelP->Caption() == " 4,000 bar"; }));
  EXPECT_TRUE(WaitFor([&] { return b.Page->PanelPWz->Caption() == " 4,000 bar"; }));
  b.Sim.ClearRequests();
  PumpFor(200);
  EXPECT_TRUE(b.Sim.Requests().contains(QByteArray("PR\x00", 3)));

  b.Page->PageControl->setCurrentWidget(b.Page->TabSheetInfo);
  EXPECT_FALSE(b.Page->K40ifc()->IsWerksDruckActive());
  EXPECT_EQ(b.Page->PanelP->Caption(), "- - -");
  EXPECT_EQ(b.Page->PanelPWz->Caption(), "- - -");
}

TEST_F(PageK40, instrument_fault_turns_the_page_to_internal_error_for_good) {
  tK40Bench b;
  ASSERT_TRUE(b.WaitPressure(" 8,000"));
  EXPECT_FALSE(b.Page->RichEditError->isVisibleTo(b.Page.get()));
  b.Sim.SetStatusByte(0x04);
  ASSERT_TRUE(WaitFor([&] { return b.Page->DeviceStatus() == dsInternalError; }, 3000));
  EXPECT_TRUE(b.Page->RichEditError->isVisibleTo(b.Page.get()));
  EXPECT_EQ(b.Page->RichEditError->Lines(), QStringList{"Die Versorgungsspannung ist zu gering!"});
  EXPECT_FALSE(b.Page->ButtonWriteSettings->isEnabled());
  // Live values go on in the fault state.
  b.Sim.SetPressure(9);
  EXPECT_TRUE(b.WaitPressure(" 9,000"));
  EXPECT_TRUE(SaveScreenshot(b.Page.get(), "k40_internal_error_de"));

  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(b.Page->RichEditError->Lines(), QStringList{"The voltage supply is too low!"});

  b.Sim.SetStatusByte(0);
  PumpFor(1500);
  EXPECT_EQ(b.Page->DeviceStatus(), dsInternalError);
}

TEST_F(PageK40, live_time_out_disconnects_the_page_and_reports_it) {
  tK40Bench b;
  ASSERT_TRUE(b.WaitPressure(" 8,000"));
  b.Port->SetFaults(tSimFaults{.Silent = true});
  ASSERT_TRUE(WaitFor([&] { return b.TimeOuts == 1; }, 3000));
  EXPECT_FALSE(b.Page->Connected());
  PumpFor(50);
  EXPECT_EQ(b.TimeOuts, 1);
  EXPECT_EQ(mDialogs.MessageCount(), 0);
}

TEST_F(PageK40, settings_are_written_into_the_instrument_memory) {
  tK40Bench b({.OutputCode = 10});
  ASSERT_EQ(b.Page->DeviceStatus(), dsConnected);
  EXPECT_EQ(b.Page->RadioGroupOperMode->ItemIndex(), 0);
  EXPECT_EQ(b.Page->SpinEditResponse->value(), 1);
  EXPECT_EQ(b.Page->SpinEditInterval->value(), 100);

  b.Page->RadioGroupOperMode->SetItemIndex(1);
  b.Page->SpinEditResponse->setValue(3);
  b.Page->SpinEditInterval->setValue(300);
  b.States.clear();
  b.Page->ButtonWriteSettings->click();
  EXPECT_EQ(b.States, (std::vector<tDeviceStatus>{dsProgramming, dsConnected}));
  EXPECT_EQ(b.Sim.Eeprom(101), 0xFE);
  EXPECT_EQ(b.Sim.Eeprom(102), 0x2C);
  EXPECT_EQ(b.Sim.Eeprom(103), 0x01);
  EXPECT_EQ(b.Sim.Eeprom(104), 0x33);
  // Live values run again.
  b.Sim.SetPressure(5);
  EXPECT_TRUE(b.WaitPressure(" 5,000"));
}

TEST_F(PageK40, factory_settings_are_restored_and_shown) {
  tK40Bench b({.OutputCode = 10});
  b.Sim.SetEeprom(123, 0x2C);
  b.Sim.SetEeprom(124, 0x01);
  b.Sim.SetEeprom(125, 0x55);
  b.Sim.SetEeprom(126, 0xFD);
  b.Page->ButtonFactorySettings->click();
  EXPECT_EQ(b.Page->DeviceStatus(), dsConnected);
  EXPECT_EQ(b.Page->RadioGroupOperMode->ItemIndex(), 2);
  EXPECT_EQ(b.Page->SpinEditResponse->value(), 5);
  EXPECT_EQ(b.Page->SpinEditInterval->value(), 300);
  EXPECT_EQ(b.Sim.Eeprom(101), 0xFD);
  EXPECT_EQ(b.Sim.Eeprom(102), 0x2C);
  EXPECT_EQ(b.Sim.Eeprom(103), 0x01);
  EXPECT_EQ(b.Sim.Eeprom(104), 0x55);
}

// A failed write must not leave the page in dsProgramming with its live values stopped: the
// error is shown, then the live values resume.
TEST_F(PageK40, failed_settings_write_reports_and_resumes_the_live_values) {
  for (bool lFactory : {false, true}) {
    SCOPED_TRACE(lFactory ? "restore" : "write");
    mDialogs.Clear();
    tK40Bench b({.OutputCode = 10});
    b.Port->SetFaults(tSimFaults{.Silent = true});
    if (lFactory)
      b.Page->ButtonFactorySettings->click();
    else
      b.Page->ButtonWriteSettings->click();
    ASSERT_EQ(mDialogs.MessageCount(), 1);
    EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
    EXPECT_FALSE(mDialogs.LastMessage().Text.isEmpty());
    EXPECT_EQ(b.Page->DeviceStatus(), dsConnected);
    EXPECT_TRUE(b.Page->Connected());
    EXPECT_EQ(b.States.back(), dsConnected);
    b.Port->SetFaults(tSimFaults{});
    b.Sim.SetPressure(5);
    EXPECT_TRUE(b.WaitPressure(" 5,000"));
  }
}

// A noisy line: spoilt replies are counted under the live values, in the page's language,
// and never shown in a box; the live values keep coming.
TEST_F(PageK40, spoilt_live_replies_are_counted_on_the_page_without_a_box) {
  tK40Bench b;
  auto* lLabel = b.Page->findChild<QLabel*>("LabelBadReplies");
  ASSERT_NE(lLabel, nullptr);
  EXPECT_FALSE(lLabel->isVisibleTo(b.Page.get()));
  tSimFaults lNoisy;
  lNoisy.CorruptEvery = 4;
  b.Port->SetFaults(lNoisy);
  ASSERT_TRUE(WaitFor([&] { return b.Page->K40ifc()->BadReplies() >= 3; }, 3000));
  b.Sim.SetPressure(6);
  EXPECT_TRUE(b.WaitPressure(" 6,000"));
  EXPECT_TRUE(lLabel->isVisibleTo(b.Page.get()));
  EXPECT_TRUE(lLabel->text().startsWith("Gestörte Antworten: ")) << qPrintable(lLabel->text());
  Resources().SetLanguage(laEnglish);
  b.Sim.SetPressure(7);
  EXPECT_TRUE(b.WaitPressure(" 7,000"));
  EXPECT_TRUE(lLabel->text().startsWith("Corrupted replies: ")) << qPrintable(lLabel->text());
  EXPECT_EQ(b.Page->DeviceStatus(), dsConnected);
  EXPECT_EQ(mDialogs.MessageCount(), 0);
  SaveScreenshot(b.Page.get(), "k40-page-corrupted-replies");
  Resources().SetLanguage(laGerman);
}

TEST_F(PageK40, connection_failure_shows_message_213) {
  tSimK40 lSim(tSimK40::tModel::K40P);
  tDeviceInfo lInfo;
  lInfo.SetDeviceType(dtK4xP);
  auto lPort = std::make_unique<tSimPort>(&lSim);
  lPort->SetOpen(true);
  lPort->SetFaults(tSimFaults{.Silent = true});
  TFrameDeviceK40 lPage(nullptr, &lInfo);
  std::vector<tDeviceStatus> lStates;
  lPage.SetOnDeviceStatusChanged([&](tDeviceStatus s) { lStates.push_back(s); });
  lPage.SetDeviceStatus(dsConnecting);
  lPage.Initialize(std::move(lPort));
  lPage.SetConnected(true);
  ASSERT_EQ(mDialogs.MessageCount(), 1);
  EXPECT_EQ(mDialogs.LastMessage().Text, "Verbindungsaufbau gescheitert!");
  EXPECT_FALSE(lPage.Connected());
  EXPECT_EQ(lPage.DeviceStatus(), dsDisconnected);
  EXPECT_FALSE(lSim.OnTransmit); // the port was closed with the stack
}

TEST_F(PageK40, older_r20_has_no_status_and_no_parameters) {
  tK40Bench b({.Model = tSimK40::tModel::R2x});
  ASSERT_EQ(b.Page->DeviceStatus(), dsConnected);
  EXPECT_EQ(b.Grid(0), "R-20 / R-21");
  EXPECT_EQ(b.Page->K40ifc()->OperatingMode(), tDMU_K40ifc::omPoll);
  EXPECT_TRUE(b.WaitPressure(" 8,000"));
}

TEST_F(PageK40, status_decides_which_controls_are_usable) {
  tK40Bench b({.OutputCode = 10});
  EXPECT_TRUE(b.Page->ButtonWriteSettings->isEnabled());
  EXPECT_TRUE(b.Page->ComboBoxUnitMBE->isEnabled());
  b.Page->SetDeviceStatus(dsLogging);
  EXPECT_FALSE(b.Page->ButtonWriteSettings->isEnabled());
  EXPECT_FALSE(b.Page->SpinEditInterval->isEnabled());
  EXPECT_TRUE(b.Page->ComboBoxUnitMBE->isEnabled());
  EXPECT_EQ(b.Page->FrameAdjust->DeviceStatus(), dsLogging);
  b.Page->SetDeviceStatus(dsConnected);
  b.Page->SetConnected(false);
  b.Page->SetDeviceStatus(dsDisconnected);
  EXPECT_FALSE(b.Page->ComboBoxUnitMBE->isEnabled());
  EXPECT_TRUE(b.Page->PageControl->isEnabled());
  EXPECT_EQ(b.Page->PanelPressure->Caption(), "- - -");
}

TEST_F(PageK40, goto_device_status_shows_the_tab_of_the_status) {
  tK40Bench b({.OutputCode = 10});
  b.Page->PageControl->setCurrentWidget(b.Page->TabSheetSettings);
  b.Page->GotoDeviceStatus();
  EXPECT_EQ(b.Page->PageControl->currentWidget(), b.Page->TabSheetInfo);
  b.Page->SetDeviceStatus(dsAdjusting);
  b.Page->GotoDeviceStatus();
  EXPECT_EQ(b.Page->PageControl->currentWidget(), b.Page->TabSheetJustage);
  EXPECT_TRUE(b.Page->K40ifc()->IsWerksDruckActive());
  b.Page->SetDeviceStatus(dsProgramming);
  b.Page->GotoDeviceStatus();
  EXPECT_EQ(b.Page->PageControl->currentWidget(), b.Page->TabSheetSettings);
  b.Page->SetDeviceStatus(dsConnected);
}

// Screenshots of the three tabs in both languages with a simulated instrument connected.
TEST_F(PageK40, screenshots_of_the_tabs) {
  for (tLanguage lLanguage : {laGerman, laEnglish}) {
    Resources().SetLanguage(lLanguage);
    tK40Bench b({.OutputCode = 10, .Pressure = 12.345});
    const QString lSuffix = lLanguage == laGerman ? "de" : "en";
    ASSERT_TRUE(b.WaitPressure(" 12,345"));
    ASSERT_TRUE(WaitFor([&] { return b.Page->PanelTemperature->Caption() == "25,0"; }));
    EXPECT_TRUE(SaveScreenshot(b.Page.get(), "k40_information_" + lSuffix));
    b.Page->PageControl->setCurrentWidget(b.Page->TabSheetJustage);
    ASSERT_TRUE(WaitFor([&] { return b.Page->PanelPWz->Caption() != "- - -"; }));
    EXPECT_TRUE(SaveScreenshot(b.Page.get(), "k40_adjustment_" + lSuffix));
    b.Page->PageControl->setCurrentWidget(b.Page->TabSheetSettings);
    EXPECT_TRUE(SaveScreenshot(b.Page.get(), "k40_settings_" + lSuffix));
    b.Page->hide();
  }
}

// The frame may end the connection while the page still reads the instrument (a click on
// Disconnect inside the reading's waits): the reading finishes, then the stack goes quietly.
TEST_F(PageK40, disconnect_while_reading_the_instrument_ends_quietly) {
  tSimK40 lSim(tSimK40::tModel::K40P);
  tDeviceInfo lInfo;
  lInfo.SetDeviceType(dtK4xP);
  auto lPort = std::make_unique<tSimPort>(&lSim);
  lPort->SetOpen(true);
  TFrameDeviceK40 lPage(nullptr, &lInfo);
  std::vector<tDeviceStatus> lStates;
  lPage.SetOnDeviceStatusChanged([&](tDeviceStatus s) { lStates.push_back(s); });
  lPage.SetDeviceStatus(dsConnecting);
  lPage.Initialize(std::move(lPort));
  bool lConnectedInside = true;
  QTimer::singleShot(30, [&] {
    lPage.SetConnected(false);
    lConnectedInside = lPage.Connected();
  });
  lPage.SetConnected(true);
  EXPECT_FALSE(lConnectedInside);
  EXPECT_FALSE(lPage.Connected());
  EXPECT_EQ(lPage.DeviceStatus(), dsDisconnected);
  EXPECT_EQ(lStates.back(), dsDisconnected);
  EXPECT_EQ(mDialogs.MessageCount(), 0);
  EXPECT_FALSE(lSim.OnTransmit); // port closed with the stack
}
