// The R70 page over the R70 stack and an in-process simulated instrument.
#include "PageR70Support.h"

#include "widgets/RadioGroup.h"
#include "widgets/RichEdit.h"
#include "pages/FrameAdjust.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

QString Cell(TFrameDeviceR70& pPage, int pRow, int pCol = 1) {
  return pPage.StringGridInfo->item(pRow, pCol)->text();
}

class PageR70 : public ::testing::Test {
protected:
  void TearDown() override { Resources().SetLanguage(laGerman); }
};

TEST_F(PageR70, ConnectingReadsTheInstrumentIntoTheGrid) {
  tR70PageBench lBench;
  lBench.Sim().SetRange(0, 16, 0xFE, 0xFE);
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  EXPECT_EQ(lBench.Reported(),
            (std::vector<tDeviceStatus>{dsConnecting, dsConnectRead, dsConnected}));
  EXPECT_TRUE(lPage.Connected());
  const QStringList lExpected = {"R-70 / R-71", "0 ... 16 bar rel.", "4 ... 20 mA",
                                 "0,1 %",       "0012345",           "70123",
                                 "01.06.25",    "15.03.24",          "1.5"};
  for (int lRow = 0; lRow < lExpected.size(); ++lRow) {
    EXPECT_EQ(Cell(lPage, lRow), lExpected[lRow]) << "row " << lRow;
  }
  EXPECT_EQ(Cell(lPage, 0, 0), QStringLiteral("Gerätetyp:"));
  EXPECT_EQ(Cell(lPage, 4, 0), QStringLiteral("Seriennummer (S#):"));
  EXPECT_FALSE(lPage.SettingsTabVisible()) << "a 4 ... 20 mA instrument has no settings";
  EXPECT_EQ(lPage.ComboBoxUnitMBE->currentText(), QStringLiteral("bar"));
  EXPECT_TRUE(lPage.ComboBoxUnitMBA->isHidden());
  EXPECT_EQ(lPage.ComboBoxUnitMBE->count(), 27);
  EXPECT_EQ(lPage.ComboBoxUnitMBE->itemText(25), QStringLiteral("%"));
  EXPECT_EQ(lPage.ComboBoxUnitMBE->itemText(26), QStringLiteral("mA"));
  EXPECT_EQ(lPage.ItemIdxAnalog(), 26);

  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(Cell(lPage, 0, 0), QStringLiteral("Instrument type:"));
  EXPECT_EQ(lPage.PageControl->tabText(1), QStringLiteral("Adjustment"));
}

TEST_F(PageR70, AccuracyRowShowsPercentOrMoreThanOnePercent) {
  tR70PageBench lBench;
  lBench.Create();
  const struct {
    float Accuracy;
    const char* Text;
  } lCases[] = {
      {0.1f, "0,1 %"}, {1.27f, "1,27 %"}, {0.25f, "0,25 %"}, {1.275f, "> 1 %"}, {2.0f, "> 1 %"}};
  for (const auto& lCase : lCases) {
    lBench.Info().SetAccuracy(lCase.Accuracy);
    EXPECT_EQ(Cell(lBench.Page(), 3), QString::fromUtf8(lCase.Text)) << lCase.Accuracy;
  }
}

TEST_F(PageR70, AccuracyByte255OfTheInstrumentShowsMoreThanOnePercent) {
  tR70PageBench lBench;
  lBench.Sim().SetAccuracyByte(255);
  ASSERT_TRUE(lBench.Connect());
  EXPECT_EQ(Cell(lBench.Page(), 3), QStringLiteral("> 1 %"));
}

TEST_F(PageR70, PressureIsTheMeanOfTheTenNewestSamplesInTheChosenUnit) {
  tR70PageBench lBench;
  lBench.Sim().SetRange(0, 16, 0xFE, 0xFE);
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  // Live values keep arriving, but without 200 ms passing no sample is added.
  ASSERT_TRUE(WaitFor([&] { return !lPage.MeasVal().isEmpty(); }));
  const auto lSamples = lPage.MeasVal().size();
  PumpFor(100);
  EXPECT_EQ(lPage.MeasVal().size(), lSamples);

  for (int i = 1; i <= 12; ++i) {
    lBench.Sim().SetPressure(float(i));
    ASSERT_TRUE(lBench.Sample(i)) << i;
  }
  ASSERT_EQ(lPage.MeasVal().size(), 10);
  EXPECT_EQ(lPage.MeasVal().front(), 3.0);
  // 3 ... 12 bar: 7.5 bar, three decimals for a 16 bar range, a blank where a minus would be.
  EXPECT_EQ(lPage.PanelPressure->Caption(), QStringLiteral(" 7,500"));

  lBench.Sim().SetPressure(8);
  ASSERT_TRUE(lBench.Settle(8));
  const struct {
    const char* Unit;
    const char* Text;
  } lCases[] = {
      {"bar", " 8,000"}, {"%", " 50,00"}, {"mA", " 12,000"}, {"mbar", " 8000"}, {"psi", " 116,03"}};
  for (const auto& lCase : lCases) {
    tR70PageBench::Pick(lPage.ComboBoxUnitMBE, QString::fromUtf8(lCase.Unit));
    EXPECT_EQ(lPage.ComboBoxUnitMBA->currentText(), QString::fromUtf8(lCase.Unit))
        << "the hidden start box follows";
    EXPECT_EQ(lPage.PanelPressure->Caption(), QString::fromUtf8(lCase.Text)) << lCase.Unit;
  }
  tR70PageBench::Pick(lPage.ComboBoxUnitMBE, QStringLiteral("bar"));
  lBench.Sim().SetPressure(-0.001f);
  ASSERT_TRUE(lBench.Settle(-0.001f));
  EXPECT_EQ(lPage.PanelPressure->Caption(), QStringLiteral("-0,001"));
}

TEST_F(PageR70, TemperatureInTheChosenUnitWithOneDecimal) {
  tR70PageBench lBench;
  lBench.Sim().SetTemperature(20.0);
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  const struct {
    const char* Unit;
    const char* Text;
  } lCases[] = {{"°C", "20,0"}, {"K", "293,1"}, {"°F", "68,0"}};
  for (const auto& lCase : lCases) {
    tR70PageBench::Pick(lPage.ComboBoxTempUnit, QString::fromUtf8(lCase.Unit));
    ASSERT_TRUE(WaitFor([&] {
      return lPage.PanelTemperature->Caption() == QString::fromUtf8(lCase.Text);
    })) << lCase.Unit
        << ": " << lPage.PanelTemperature->Caption().toStdString();
  }
}

TEST_F(PageR70, CompoundRangeShowsBothUnitBoxesAndLabelsNegativeValuesInTheStartUnit) {
  tR70PageBench lBench;
  lBench.Sim().SetRange(-1, 15, 0xFE, 0x1F); // -1 bar ... 15 psi absolute
  lBench.Sim().SetBarFactors(1, 0.06894757f);
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  EXPECT_EQ(Cell(lPage, 1), QStringLiteral("-1 bar ... 15 psi abs."));
  EXPECT_FALSE(lPage.ComboBoxUnitMBA->isHidden());
  EXPECT_EQ(lPage.ComboBoxUnitMBA->currentText(), QStringLiteral("bar"));
  EXPECT_EQ(lPage.ComboBoxUnitMBE->currentText(), QStringLiteral("psi"));
  EXPECT_EQ(lPage.ComboBoxUnitMBE->y(), 46);
  EXPECT_EQ(lPage.PanelPressure->width(), 153);
  EXPECT_EQ(lPage.PanelTemperature->width(), 153);
  // The labels sit beside the two boxes, no longer covered by the narrowed panel.
  EXPECT_GE(lPage.LabelMinus->x(), lPage.PanelPressure->geometry().right());
  EXPECT_LT(lPage.LabelMinus->x(), lPage.ComboBoxUnitMBA->x());
  EXPECT_LT(lPage.LabelMinus->y(), lPage.LabelPlus->y());

  lPage.PageControl->setCurrentWidget(lPage.TabSheetJustage);
  lBench.Sim().SetPressure(-0.5f);
  ASSERT_TRUE(lBench.Settle(-0.5));
  EXPECT_EQ(lPage.PanelPressure->Caption().left(4), QStringLiteral("-0,5"));
  EXPECT_TRUE(lPage.PanelP->Caption().endsWith(QStringLiteral(" bar")))
      << lPage.PanelP->Caption().toStdString();
  lBench.Sim().SetPressure(10);
  ASSERT_TRUE(lBench.Settle(10.0 * double(0.06894757f)));
  EXPECT_EQ(lPage.PanelP->Caption(), QStringLiteral(" 10,000 psi"));
  // Positive values use the end unit: 10 psi of the range shown in psi.
  EXPECT_EQ(lPage.PanelPressure->Caption(), QStringLiteral(" 10,000"));
}

TEST_F(PageR70, AdjustmentTabShowsOutputAndFactoryPressureOnlyWhileShown) {
  tR70PageBench lBench;
  lBench.Sim().SetRange(0, 16, 0xFE, 0xFE);
  lBench.Sim().SetPressure(4);
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  EXPECT_EQ(lPage.PanelP->Caption(), QStringLiteral("- - -"));
  lPage.PageControl->setCurrentWidget(lPage.TabSheetJustage);
  EXPECT_TRUE(lPage.R70ifc()->IsWerksDruckActive());
  ASSERT_TRUE(lBench.Settle(4));
  ASSERT_TRUE(WaitFor([&] { return lPage.MeasWz().size() >= 3; }));
  EXPECT_EQ(lPage.PanelP->Caption(), QStringLiteral(" 4,000 bar"));
  EXPECT_EQ(lPage.PanelPWz->Caption().right(4), QStringLiteral(" bar"));
  EXPECT_NE(lPage.PanelPWz->Caption(), QStringLiteral("- - -"));

  lPage.PageControl->setCurrentWidget(lPage.TabSheetInfo);
  EXPECT_FALSE(lPage.R70ifc()->IsWerksDruckActive());
  EXPECT_EQ(lPage.PanelP->Caption(), QStringLiteral("- - -"));
  EXPECT_EQ(lPage.PanelPWz->Caption(), QStringLiteral("- - -"));
}

TEST_F(PageR70, AdjustingThroughThePanelReachesTheInstrument) {
  tR70PageBench lBench;
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  lPage.PageControl->setCurrentWidget(lPage.TabSheetJustage);
  EXPECT_TRUE(lPage.FrameAdjust->IncModeTimer()) << "the R70 page accelerates by time";
  auto* lAdjust = lPage.FrameAdjust->findChild<QPushButton*>(QStringLiteral("BitBtnAdjust"));
  auto* lOK = lPage.FrameAdjust->findChild<QPushButton*>(QStringLiteral("BitBtnOK"));
  lAdjust->click();
  EXPECT_EQ(lPage.DeviceStatus(), dsAdjusting);
  EXPECT_TRUE(lBench.Sim().AdjustOn());
  EXPECT_FALSE(lPage.ButtonWriteSettings->isEnabled());
  lOK->click();
  EXPECT_EQ(lPage.DeviceStatus(), dsConnected);
  EXPECT_EQ(lBench.Reported().back(), dsConnected);
  EXPECT_TRUE(lBench.Sim().EepromCrcValid()) << "adjustment date written with its checksum";
}

TEST_F(PageR70, InstrumentFaultTurnsThePageToInternalErrorWithTheRedText) {
  tR70PageBench lBench;
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  EXPECT_TRUE(lPage.RichEditError->isHidden());
  lBench.Sim().SetStatusByte(0x04);
  ASSERT_TRUE(WaitFor([&] { return lPage.DeviceStatus() == dsInternalError; }, 4000));
  EXPECT_EQ(lBench.Reported().back(), dsInternalError);
  EXPECT_FALSE(lPage.RichEditError->isHidden());
  EXPECT_EQ(lPage.RichEditError->Lines(),
            QStringList{QStringLiteral("Es ist ein interner Gerätefehler aufgetreten!")});
  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(lPage.RichEditError->Lines(),
            QStringList{QStringLiteral("An internal instrument error occured!")});
}

TEST_F(PageR70, Vq5ShowsNoTemperatureAndThreeModesWhoseThirdKeepsItsText) {
  tR70PageBench lBench(tSimR70::tModel::VQ5);
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  EXPECT_EQ(Cell(lPage, 0), QStringLiteral("VQ-5 USB"));
  EXPECT_TRUE(lPage.SettingsTabVisible());
  ASSERT_TRUE(lBench.Settle(0));
  EXPECT_EQ(lPage.PanelTemperature->Caption(), QStringLiteral("nicht unterstützt"));
  ASSERT_EQ(lPage.RadioGroupOperMode->ItemCount(), 3);
  const QStringList lGerman = {"auf Abfrage", "zyklisch Druck",
                               "zyklisch Druck [Digit (10000-60000)]"};
  const QStringList lEnglish = {"Polling", "cycl. pressure",
                                "cycl. pressure [Digit (10000-60000)]"};
  EXPECT_EQ(lPage.RadioGroupOperMode->Items(), lGerman);
  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(lPage.RadioGroupOperMode->Items(), lEnglish);
  EXPECT_EQ(lPage.PanelTemperature->Caption(), QStringLiteral("not supported"));
  Resources().SetLanguage(laGerman);
  EXPECT_EQ(lPage.RadioGroupOperMode->Items(), lGerman);

  // A raised tab moves to the end of Qt's child order, so the settings tab is then translated
  // after the info tab's hidden lists; the third item must still read message 232.
  lPage.PageControl->setCurrentWidget(lPage.TabSheetSettings);
  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(lPage.RadioGroupOperMode->Items(), lEnglish);
  Resources().SetLanguage(laGerman);
  EXPECT_EQ(lPage.RadioGroupOperMode->Items(), lGerman);
  {
    // Another VQ-5 page rebuilding its list re-translates every page.
    tR70PageBench lOther(tSimR70::tModel::VQ5);
    lOther.Create();
    EXPECT_EQ(lOther.Page().RadioGroupOperMode->Items(), lGerman);
    EXPECT_EQ(lPage.RadioGroupOperMode->Items(), lGerman);
  }

  // Not connected any more: the temperature panel still names the missing feature.
  lPage.SetDeviceStatus(dsProgramming);
  EXPECT_EQ(lPage.PanelTemperature->Caption(), QStringLiteral("nicht unterstützt"));
  EXPECT_EQ(lPage.PanelPressure->Caption(), QStringLiteral("- - -"));
}

TEST_F(PageR70, OperatingModesMapOntoTheListItemsPerInstrument) {
  const struct {
    tSimR70::tModel Model;
    quint8 Code;
    int Item;
  } lCases[] = {{tSimR70::tModel::VQ5, 0x7F, 0}, {tSimR70::tModel::VQ5, 0x7C, 1},
                {tSimR70::tModel::VQ5, 0x7B, 1}, {tSimR70::tModel::VQ5, 0x7E, 2},
                {tSimR70::tModel::VQ5, 0x7D, 2}, {tSimR70::tModel::R7x, 0x7B, 2},
                {tSimR70::tModel::R7x, 0x7D, 4}};
  for (const auto& lCase : lCases) {
    tR70PageBench lBench(lCase.Model);
    lBench.Sim().SetOutputKind(5);
    lBench.Sim().SetOperatingParam(lCase.Code, 750);
    ASSERT_TRUE(lBench.Connect());
    EXPECT_EQ(lBench.Page().RadioGroupOperMode->ItemIndex(), lCase.Item) << int(lCase.Code);
    EXPECT_EQ(lBench.Page().SpinEditInterval->value(), 750);
  }
}

TEST_F(PageR70, WritingSettingsStoresModeAndIntervalInTheInstrument) {
  const struct {
    tSimR70::tModel Model;
    int Item;
    quint8 Code;
  } lCases[] = {{tSimR70::tModel::VQ5, 0, 0x7F},
                {tSimR70::tModel::VQ5, 1, 0x7C},
                {tSimR70::tModel::VQ5, 2, 0x7E},
                {tSimR70::tModel::R7x, 2, 0x7B},
                {tSimR70::tModel::R7x, 4, 0x7D}};
  for (const auto& lCase : lCases) {
    tR70PageBench lBench(lCase.Model);
    lBench.Sim().SetOutputKind(5);
    ASSERT_TRUE(lBench.Connect());
    TFrameDeviceR70& lPage = lBench.Page();
    lPage.RadioGroupOperMode->SetItemIndex(lCase.Item);
    lPage.SpinEditInterval->setValue(1234);
    lPage.ButtonWriteSettings->click();
    EXPECT_EQ(lBench.Sim().OperatingModeCode(), lCase.Code) << "item " << lCase.Item;
    EXPECT_EQ(lBench.Sim().OpInterval(), 1234);
    EXPECT_EQ(lPage.DeviceStatus(), dsConnected);
    EXPECT_EQ(lBench.Reported().end()[-2], dsProgramming);
    // The live exchange runs again.
    lBench.Sim().SetPressure(3);
    EXPECT_TRUE(lBench.WaitForPressure(3));
  }
}

TEST_F(PageR70, FactorySettingsAreRestoredAndShown) {
  tR70PageBench lBench;
  lBench.Sim().SetOutputKind(5);
  lBench.Sim().SetOperatingParam(0x7D, 40);
  lBench.Sim().SetFactoryOperatingParam(0x7C, 250);
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  EXPECT_EQ(lPage.RadioGroupOperMode->ItemIndex(), 4);
  lPage.ButtonFactorySettings->click();
  EXPECT_EQ(lBench.Sim().OperatingModeCode(), 0x7C);
  EXPECT_EQ(lBench.Sim().OpInterval(), 250);
  EXPECT_EQ(lPage.RadioGroupOperMode->ItemIndex(), 1);
  EXPECT_EQ(lPage.SpinEditInterval->value(), 250);
  EXPECT_EQ(lPage.DeviceStatus(), dsConnected);
}

TEST_F(PageR70, FailedWritingReportsTheErrorAndReturnsToLiveValues) {
  for (const bool lFactory : {false, true}) {
    tR70PageBench lBench;
    lBench.Sim().SetOutputKind(5);
    ASSERT_TRUE(lBench.Connect());
    TFrameDeviceR70& lPage = lBench.Page();
    lBench.Sim().FailNextCommands(1000);
    (lFactory ? lPage.ButtonFactorySettings : lPage.ButtonWriteSettings)->click();
    EXPECT_EQ(lBench.Dialogs().MessageCount(), 1);
    EXPECT_EQ(lBench.Dialogs().LastMessage().Type, mtError);
    EXPECT_FALSE(lBench.Dialogs().LastMessage().Text.isEmpty());
    EXPECT_EQ(lPage.DeviceStatus(), dsConnected) << "not stuck in dsProgramming";
    EXPECT_TRUE(lPage.ButtonWriteSettings->isEnabled());
    lBench.Sim().FailNextCommands(0);
    lBench.Sim().SetPressure(2);
    EXPECT_TRUE(lBench.WaitForPressure(2)) << "live values run again";
  }
}

TEST_F(PageR70, SettingsTabOnlyForUsbInstruments) {
  const struct {
    quint8 Kind;
    bool Visible;
  } lCases[] = {{0, false}, {1, false}, {2, false}, {3, false}, {5, true}};
  for (const auto& lCase : lCases) {
    tR70PageBench lBench;
    lBench.Sim().SetOutputKind(lCase.Kind);
    ASSERT_TRUE(lBench.Connect());
    EXPECT_EQ(lBench.Page().SettingsTabVisible(), lCase.Visible) << int(lCase.Kind);
  }
}

TEST_F(PageR70, SignalUnitEntryFollowsTheRecordInBothBoxes) {
  tR70PageBench lBench;
  lBench.Create();
  TFrameDeviceR70& lPage = lBench.Page();
  const struct {
    const char* Unit;
    int Count;
  } lSteps[] = {{"V", 27}, {"mA", 27}, {"", 26}, {"mA", 27}};
  for (const auto& lStep : lSteps) {
    lBench.Info().SetSignalUnitStr(QString::fromUtf8(lStep.Unit));
    for (QComboBox* lBox : {lPage.ComboBoxUnitMBA, lPage.ComboBoxUnitMBE}) {
      EXPECT_EQ(lBox->count(), lStep.Count) << lStep.Unit;
      EXPECT_EQ(lBox->itemText(25), QStringLiteral("%"));
      if (lStep.Count == 27) {
        EXPECT_EQ(lBox->itemText(26), QString::fromUtf8(lStep.Unit));
      }
    }
    EXPECT_EQ(lPage.ItemIdxAnalog(), lStep.Count == 27 ? 26 : -1);
  }
}

TEST_F(PageR70, EmptyUnitSelectionShowsNoValue) {
  tR70PageBench lBench;
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  ASSERT_TRUE(lBench.Settle(0));
  ASSERT_NE(lPage.PanelPressure->Caption(), QStringLiteral("- - -"));
  lPage.ComboBoxUnitMBE->setCurrentIndex(-1);
  emit lPage.ComboBoxUnitMBE->activated(-1);
  EXPECT_EQ(lPage.PanelPressure->Caption(), QStringLiteral("- - -"));
  lPage.ComboBoxTempUnit->setCurrentIndex(-1);
  emit lPage.ComboBoxTempUnit->activated(-1);
  EXPECT_EQ(lPage.PanelTemperature->Caption(), QStringLiteral("- - -"));
}

TEST_F(PageR70, FailedReadingShowsMessage213AndDisconnects) {
  tR70PageBench lBench;
  lBench.Sim().SetOutputKind(4); // unknown output kind
  EXPECT_FALSE(lBench.Connect());
  EXPECT_FALSE(lBench.Page().Connected());
  EXPECT_EQ(lBench.Page().DeviceStatus(), dsDisconnected);
  EXPECT_EQ(lBench.Reported().back(), dsDisconnected);
  ASSERT_EQ(lBench.Dialogs().MessageCount(), 1);
  EXPECT_EQ(lBench.Dialogs().LastMessage().Type, mtError);
  EXPECT_EQ(lBench.Dialogs().LastMessage().Text, QStringLiteral("Verbindungsaufbau gescheitert!"));
  EXPECT_FALSE(lBench.Page().PanelPressure->isEnabled());
}

TEST_F(PageR70, SilentInstrumentDisconnectsThePageAndRaisesItsTimeOut) {
  tR70PageBench lBench;
  ASSERT_TRUE(lBench.Connect());
  tSimFaults lFaults = lBench.Port()->Faults();
  lFaults.Silent = true;
  lBench.Port()->SetFaults(lFaults);
  ASSERT_TRUE(WaitFor([&] { return lBench.TimeOuts() == 1; }, 4000));
  EXPECT_FALSE(lBench.Page().Connected());
  PumpFor(50);
  EXPECT_EQ(lBench.TimeOuts(), 1);
}

TEST_F(PageR70, ControlsAndSettingsFollowTheStatus) {
  tR70PageBench lBench;
  lBench.Sim().SetOutputKind(5);
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  const struct {
    tDeviceStatus Status;
    bool Controls;
    bool Settings;
  } lCases[] = {{dsLogging, true, false},       {dsConnected, true, true},
                {dsProgramming, true, false},   {dsAdjusting, true, false},
                {dsInternalError, true, false}, {dsDisconnected, false, false}};
  for (const auto& lCase : lCases) {
    lPage.SetDeviceStatus(lCase.Status);
    EXPECT_EQ(lPage.ComboBoxUnitMBE->isEnabled(), lCase.Controls) << lCase.Status;
    EXPECT_EQ(lPage.PanelP->isEnabled(), lCase.Controls) << lCase.Status;
    EXPECT_EQ(lPage.ButtonWriteSettings->isEnabled(), lCase.Settings) << lCase.Status;
    EXPECT_EQ(lPage.SpinEditInterval->isEnabled(), lCase.Settings) << lCase.Status;
    EXPECT_EQ(lPage.RadioGroupOperMode->isEnabled(), lCase.Settings) << lCase.Status;
    EXPECT_EQ(lPage.FrameAdjust->DeviceStatus(), lCase.Status);
    EXPECT_TRUE(lPage.PageControl->isEnabled());
  }
}

TEST_F(PageR70, GotoDeviceStatusBringsTheTabOfTheStatus) {
  tR70PageBench lBench;
  lBench.Sim().SetOutputKind(5);
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  const struct {
    tDeviceStatus Status;
    QWidget* Tab;
  } lCases[] = {{dsAdjusting, lPage.TabSheetJustage},
                {dsProgramming, lPage.TabSheetSettings},
                {dsInternalError, lPage.TabSheetInfo}};
  for (const auto& lCase : lCases) {
    lPage.SetDeviceStatus(lCase.Status);
    lPage.GotoDeviceStatus();
    EXPECT_EQ(lPage.PageControl->currentWidget(), lCase.Tab) << lCase.Status;
  }
}

TEST_F(PageR70, DestroyedPageLeavesRecordAndEngine) {
  tDeviceInfo lInfo;
  const int lBefore = lInfo.EventCount();
  auto lPage = std::make_unique<TFrameDeviceR70>(nullptr, &lInfo);
  const QWidget* lRaw = lPage.get();
  EXPECT_TRUE(Resources().IsRegistered(lRaw));
  lPage.reset();
  EXPECT_EQ(lInfo.EventCount(), lBefore);
  EXPECT_FALSE(Resources().IsRegistered(lRaw));
  lInfo.SetDeviceType(dtVQ5); // must reach nobody
}

} // namespace
