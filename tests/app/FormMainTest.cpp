// The main window against real settings files in a temporary data folder, with frames whose
// ports fail to open (no instrument) unless a test attaches a simulated one.
#include "AppTestSupport.h"

#include "app/ImageLists.h"
#include "core/DeviceInfo.h"
#include "traffic/FormTraffic.h"
#include "widgets/RichEdit.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTabWidget>
#include <QTreeWidget>

using namespace apptest;

namespace {

QStringList Names(const QMenu* pMenu) {
  QStringList lNames;
  for (const QAction* lAction : pMenu->actions())
    lNames << lAction->objectName();
  return lNames;
}

QString Column(const TFormMain& pWindow, int pRow, int pColumn) {
  return pWindow.ListViewDevice->topLevelItem(pRow)->text(pColumn);
}

// The record filled as a connection reads the instrument: identity first, then connected.
void ReadInstrument(TFrameDevice* pFrame, const QString& pIdent) {
  pFrame->SetDeviceStatus(dsConnectRead);
  tDeviceInfo* lInfo = pFrame->DeviceInfo();
  lInfo->SetUpdating(true);
  lInfo->SetIdent(pIdent);
  lInfo->SetMBAinUnit(0);
  lInfo->SetMBEinUnit(16);
  lInfo->SetMBAUnitStr("bar");
  lInfo->SetMBEUnitStr("bar");
  lInfo->SetUpdating(false);
  pFrame->SetDeviceStatus(dsConnected);
}

int SelectedRow(const TFormMain& pWindow) {
  const auto lSelected = pWindow.ListViewDevice->selectedItems();
  return lSelected.isEmpty() ? -1 : pWindow.ListViewDevice->indexOfTopLevelItem(lSelected.first());
}

} // namespace

struct tLanguageCase {
  const char* Name;
  QByteArray Stored; // the settings file before the start; empty: none
  QLocale::Language System;
  int Expected;
  const char* AddCaption;
};

class tFirstStart : public tAppFixture, public ::testing::WithParamInterface<tLanguageCase> {};

TEST_P(tFirstStart, language_is_chosen_and_written_back_as_0_or_1) {
  const tLanguageCase& c = GetParam();
  if (!c.Stored.isEmpty()) WriteIni(c.Stored);
  mSystemLanguage = c.System;
  Window();
  EXPECT_EQ(IniValue("Common", "Language"), QString::number(c.Expected));
  EXPECT_EQ(int(Resources().Language()), c.Expected);
  EXPECT_EQ(Window().ActionAddDevice->text(), QString::fromUtf8(c.AddCaption));
  EXPECT_EQ(Window().ActionGerman->isChecked(), c.Expected == 0);
  EXPECT_EQ(Window().ActionEnglish->isChecked(), c.Expected == 1);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, tFirstStart,
    ::testing::Values(tLanguageCase{"no_file_german_system", {}, QLocale::German, 0, "Hinzufügen"},
                      tLanguageCase{"no_file_english_system", {}, QLocale::English, 1, "Add"},
                      tLanguageCase{"no_file_french_system", {}, QLocale::French, 1, "Add"},
                      tLanguageCase{"stored_5_german_system", "[Common]\nLanguage=5\n",
                                    QLocale::German, 0, "Hinzufügen"},
                      tLanguageCase{"stored_5_english_system", "[Common]\nLanguage=5\n",
                                    QLocale::English, 1, "Add"},
                      tLanguageCase{"stored_english_on_german_system", "[Common]\nLanguage=1\n",
                                    QLocale::German, 1, "Add"},
                      tLanguageCase{"stored_text_is_no_language", "[Common]\nLanguage=Deutsch\n",
                                    QLocale::English, 1, "Add"}),
    [](const auto& pInfo) { return std::string(pInfo.param.Name); });

TEST_F(tAppFixture, damaged_settings_file_keeps_what_it_can_and_is_rewritten_sound) {
  WriteIni(QByteArray("\x00\xff garbage without equals\n[Common\nLanguage=1\n[Idents]\nX=Kessel 1\n"
                      "=no key\n\x01\x02\n",
                      70));
  Window();
  AddPort(3);
  ReadInstrument(Window().FrameOfRow(0), "X");
  EXPECT_EQ(Column(Window(), 0, 1), "Kessel 1");
  // The language line is readable again by anyone.
  const QString lLanguage = IniValue("Common", "Language");
  EXPECT_TRUE(lLanguage == "0" || lLanguage == "1") << lLanguage.toStdString();
  EXPECT_EQ(IniValue("Idents", "X"), "Kessel 1");
}

TEST_F(tAppFixture, language_commands_translate_the_window_and_its_message_texts) {
  Window().miEnglishClick();
  EXPECT_EQ(IniValue("Common", "Language"), "1");
  EXPECT_EQ(Window().ActionDelDevice->text(), "Delete");
  EXPECT_EQ(Window().ListViewDevice->headerItem()->text(1), "Tag");
  EXPECT_EQ(Window().OutText(0), "There are instruments in process:");
  EXPECT_EQ(Window().OutText(3), "Keep the software running?");
  Window().miDeutschClick();
  EXPECT_EQ(IniValue("Common", "Language"), "0");
  EXPECT_EQ(Window().ActionRenameTag->text(), QString::fromUtf8("'Messstelle' ändern"));
  EXPECT_EQ(Window().OutText(1), "Es liegen Daten zum Speichern vor und gehen verloren!");
  EXPECT_EQ(Window().ListViewDevice->headerItem()->text(3), "COM");
}

TEST_F(tAppFixture, port_entries_offer_free_ports_in_numeric_order) {
  WritePorts({10, 3, 1});
  Window();
  AddPort(3);
  Window().DoListComports();
  EXPECT_EQ(Names(Window().PopAddSubMenu()), QStringList({"miCOM1", "miCOM10"}));
  EXPECT_EQ(Names(Window().AddSubMenu()), QStringList({"mjCOM1", "mjCOM10"}));
  EXPECT_EQ(Window().miPopAddDevice->menu(), Window().PopAddSubMenu());
  EXPECT_TRUE(Window().ActionAddDevice->isEnabled());
  QList<int> lTags;
  for (const QAction* lAction : Window().AddSubMenu()->actions())
    lTags << lAction->property("Tag").toInt();
  EXPECT_EQ(lTags, QList<int>({1, 10}));

  // Picking a port entry adds that port.
  Window().AddSubMenu()->actions().last()->trigger();
  ASSERT_EQ(Window().RowCount(), 2);
  EXPECT_EQ(Column(Window(), 1, 3), "10");
}

TEST_F(tAppFixture, single_free_port_is_added_at_once_and_none_disables_add) {
  WritePorts({4});
  Window();
  Window().DoListComports();
  EXPECT_TRUE(Window().PopAddSubMenu()->actions().isEmpty());
  EXPECT_EQ(Window().miPopAddDevice->menu(), nullptr);
  EXPECT_EQ(Window().miAddDevice->menu(), nullptr);
  EXPECT_TRUE(Window().ActionAddDevice->isEnabled());

  Window().ListViewDeviceKeyUp(Qt::Key_Insert);
  ASSERT_EQ(Window().RowCount(), 1);
  EXPECT_EQ(Column(Window(), 0, 3), "4");
  EXPECT_EQ(Window().FrameOfRow(0)->objectName(), "Frame4");

  EXPECT_FALSE(Window().ActionAddDevice->isEnabled());
  Window().ListViewDeviceKeyUp(Qt::Key_Insert);
  Window().ActionAddDeviceExecute();
  EXPECT_EQ(Window().RowCount(), 1);
}

TEST_F(tAppFixture, no_ports_at_all_disable_add) {
  Window();
  EXPECT_FALSE(Window().ActionAddDevice->isEnabled());
  EXPECT_FALSE(Window().miAddDevice->isEnabled());
  Window().ActionAddDeviceExecute();
  EXPECT_EQ(Window().RowCount(), 0);
}

// A status change of an instrument refreshes the port list: one scan of the serial devices,
// not one per step of the refresh.
TEST_F(tAppFixture, a_port_list_refresh_scans_the_devices_once) {
  WritePorts({3});
  // The lister outlives the test body (the window scans once more when it closes).
  auto lScans = std::make_shared<int>(0);
  TFormMain::SetDeviceLister([lScans] {
    ++*lScans;
    return QList<tPortMap::tSerialDevice>{};
  });
  Window();
  AddPort(3);
  TFrameDevice* lFrame = Window().FrameOfRow(0);
  *lScans = 0;
  lFrame->SetDeviceStatus(dsConnected);
  EXPECT_EQ(*lScans, 1);
  lFrame->SetDeviceStatus(dsDisconnected);
}

TEST_F(tAppFixture, add_pops_the_menu_up_with_the_first_port_highlighted) {
  WritePorts({2, 6});
  Window().show();
  Window().ActionAddDeviceExecute();
  ASSERT_TRUE(WaitFor([&] { return Window().PopAddSubMenu()->isVisible(); }, 2000));
  EXPECT_EQ(Window().PopupActionBar->activeAction(), Window().miPopAddDevice);
  ASSERT_NE(Window().PopAddSubMenu()->activeAction(), nullptr);
  EXPECT_EQ(Window().PopAddSubMenu()->activeAction()->objectName(), "miCOM2");
  EXPECT_FALSE(Window().TimerOpenSubMenu->isActive());
  Window().PopupActionBar->close();
}

TEST_F(tAppFixture, adding_selects_the_row_shows_its_frame_and_connects) {
  WritePorts({3});
  Window();
  AddPort(3);
  ASSERT_EQ(Window().RowCount(), 1);
  TFrameDevice* lFrame = Window().FrameOfRow(0);
  EXPECT_EQ(Window().SelectedFrame(), lFrame);
  EXPECT_EQ(lFrame->parentWidget(), Window().ScrollBoxFrameDevice);
  EXPECT_TRUE(lFrame->isVisibleTo(&Window()));
  EXPECT_TRUE(Window().PageControlDevRecord->isVisibleTo(&Window()));
  EXPECT_FALSE(Window().ImageBkGrnd->isVisibleTo(&Window()));
  EXPECT_EQ(Window().PageControlDevRecord->currentWidget(), Window().TabSheetDevice);
  // The connection was tried at once: the port does not exist here, and the frame says so.
  EXPECT_GE(mDialogs.MessageCount(), 1);
  EXPECT_TRUE(mDialogs.LastMessage().Text.contains("COM3"))
      << mDialogs.LastMessage().Text.toStdString();
  EXPECT_EQ(lFrame->DeviceStatus(), dsDisconnected);
}

TEST_F(tAppFixture, removing_a_row_selects_the_one_in_its_place_or_the_first) {
  Window();
  for (int n : {3, 5, 7})
    AddPort(n);
  Window().ListViewDevice->setCurrentItem(Window().ListViewDevice->topLevelItem(1));
  Window().ActionDelDeviceExecute();
  ASSERT_EQ(Window().RowCount(), 2);
  EXPECT_EQ(SelectedRow(Window()), 1);
  EXPECT_EQ(Column(Window(), 1, 3), "7");
  EXPECT_EQ(Window().SelectedFrame()->objectName(), "Frame7");
  EXPECT_TRUE(Window().SelectedFrame()->isVisibleTo(&Window()));
  EXPECT_FALSE(Window().FrameOfRow(0)->isVisibleTo(&Window()));

  Window().ListViewDeviceKeyUp(Qt::Key_Delete);
  ASSERT_EQ(Window().RowCount(), 1);
  EXPECT_EQ(SelectedRow(Window()), 0);
  EXPECT_EQ(Column(Window(), 0, 3), "3");
  EXPECT_TRUE(Window().PageControlDevRecord->isVisibleTo(&Window()));

  Window().ActionDelDeviceExecute();
  EXPECT_EQ(Window().RowCount(), 0);
  EXPECT_EQ(Window().SelectedFrame(), nullptr);
  EXPECT_TRUE(Window().ImageBkGrnd->isVisibleTo(&Window()));
  EXPECT_FALSE(Window().PageControlDevRecord->isVisibleTo(&Window()));
  EXPECT_FALSE(Window().ActionDelDevice->isEnabled());
}

// One traffic view per row, opened from the row's menu; it names the row's port and goes
// with the row.
TEST_F(tAppFixture, traffic_command_opens_one_view_per_row_that_goes_with_the_row) {
  Window();
  EXPECT_FALSE(Window().ActionTraffic->isEnabled());
  for (int n : {3, 5})
    AddPort(n);
  EXPECT_TRUE(Window().ActionTraffic->isEnabled());
  EXPECT_TRUE(Names(Window().PopupActionBar).contains("miPopTraffic"));
  TFrameDevice* lFive = Window().SelectedFrame();
  ASSERT_EQ(lFive->DeviceInfo()->ComNr(), 5);
  Window().miPopTraffic->trigger();
  TFormTraffic* lView = Window().TrafficForm(lFive);
  ASSERT_NE(lView, nullptr);
  EXPECT_TRUE(lView->isVisible());
  EXPECT_EQ(lView->windowTitle(), "Datenverkehr – COM5");
  Window().ActionTraffic->trigger();
  EXPECT_EQ(Window().TrafficForm(lFive), lView);

  const QPointer<TFormTraffic> lWatch = lView;
  Window().ActionDelDeviceExecute();
  PumpFor(20);
  EXPECT_TRUE(lWatch.isNull());
}

TEST_F(tAppFixture, delete_key_removes_a_busy_instrument) {
  Window();
  AddPort(3);
  TFrameDevice* lFrame = Window().FrameOfRow(0);
  lFrame->SetDeviceStatus(dsProgramming);
  EXPECT_FALSE(Window().ActionDelDevice->isEnabled());
  Window().ListViewDeviceKeyUp(Qt::Key_Delete);
  EXPECT_EQ(Window().RowCount(), 0);
}

struct tActionCase {
  const char* Name;
  tDeviceStatus Status;
  bool WithIdent;
  bool Delete, Connect, Checked, Rename;
  int Picture; // row picture, -1 unchanged
};

class tCommandStates : public tAppFixture, public ::testing::WithParamInterface<tActionCase> {};

TEST_P(tCommandStates, commands_and_row_picture_follow_the_status) {
  const tActionCase& c = GetParam();
  Window();
  AddPort(3);
  TFrameDevice* lFrame = Window().FrameOfRow(0);
  if (c.WithIdent) {
    ReadInstrument(lFrame, "X");
    lFrame->SetDeviceStatus(dsDisconnected);
  }
  const QImage lBefore = Window().ListViewDevice->topLevelItem(0)->icon(0).pixmap(32).toImage();
  lFrame->SetDeviceStatus(c.Status);
  EXPECT_EQ(Window().ActionDelDevice->isEnabled(), c.Delete);
  EXPECT_EQ(Window().ActionConnectDevice->isEnabled(), c.Connect);
  EXPECT_EQ(Window().ActionConnectDevice->isChecked(), c.Checked);
  EXPECT_EQ(Window().ActionRenameTag->isEnabled(), c.Rename);
  EXPECT_EQ(Window().miPopRenameTag->isEnabled(), c.Rename);
  const QImage lAfter = Window().ListViewDevice->topLevelItem(0)->icon(0).pixmap(32).toImage();
  if (c.Picture < 0)
    EXPECT_EQ(lAfter, lBefore);
  else
    EXPECT_EQ(lAfter, ImageLists::ImageList32(c.Picture).toImage());
  lFrame->SetDeviceStatus(dsDisconnected);
}

INSTANTIATE_TEST_SUITE_P(
    Status, tCommandStates,
    ::testing::Values(
        tActionCase{"disconnected_never_read", dsDisconnected, false, true, true, false, false,
                    iiDisconnected},
        tActionCase{"disconnected_read", dsDisconnected, true, true, true, false, true,
                    iiDisconnected},
        tActionCase{"connecting", dsConnecting, true, false, true, true, false, iiConnecting},
        tActionCase{"reading", dsConnectRead, true, false, false, true, true, -1},
        tActionCase{"connected", dsConnected, true, true, true, true, true, iiConnected},
        tActionCase{"logging", dsLogging, true, false, false, true, true, iiChart},
        tActionCase{"adjusting", dsAdjusting, true, false, false, true, true, iiArrows},
        tActionCase{"programming", dsProgramming, true, false, false, true, true, iiTools},
        tActionCase{"internal_error", dsInternalError, true, true, true, true, true, iiWarning}),
    [](const auto& pInfo) { return std::string(pInfo.param.Name); });

TEST_F(tAppFixture, closing_with_a_logging_instrument_names_it_and_stays_open) {
  WriteIni("[Idents]\nX=Kessel 1\n");
  Window().show();
  AddPort(3);
  TFrameDevice* lFrame = Window().FrameOfRow(0);
  ReadInstrument(lFrame, "X");
  lFrame->SetDeviceStatus(dsLogging);
  mDialogs.Clear();

  EXPECT_FALSE(Window().close());
  ASSERT_EQ(mDialogs.MessageCount(), 1);
  EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
  EXPECT_EQ(mDialogs.LastMessage().Buttons, mbOK);
  EXPECT_EQ(mDialogs.LastMessage().Text,
            QString::fromUtf8("Es sind noch Geräte in Bearbeitung:\rCOM3: Kessel 1\r"));
  EXPECT_EQ(Window().RowCount(), 1);

  lFrame->SetDeviceStatus(dsConnected);
  EXPECT_TRUE(Window().close());
  EXPECT_EQ(Window().RowCount(), 0);
}

TEST_F(tAppFixture, renamed_tag_is_kept_per_identity_and_survives_another_port) {
  Window();
  AddPort(3);
  ReadInstrument(Window().FrameOfRow(0), "X");
  EXPECT_EQ(Column(Window(), 0, 1), "X");
  EXPECT_FALSE(Window().ActionResetTag->isEnabled());

  Window().ListViewDeviceKeyUp(Qt::Key_F2);
  ASSERT_TRUE(Window().EditDeviceName->isVisibleTo(&Window()));
  EXPECT_EQ(Window().EditDeviceName->text(), "X");
  Window().EditDeviceName->setText("Kessel 1");
  Window().EditDeviceNameKeyPress(Qt::Key_Return);
  EXPECT_FALSE(Window().EditDeviceName->isVisibleTo(&Window()));
  EXPECT_EQ(Column(Window(), 0, 1), "Kessel 1");
  EXPECT_EQ(IniValue("Idents", "X"), "Kessel 1");
  EXPECT_EQ(Window().FrameOfRow(0)->DeviceInfo()->Tag(), "Kessel 1");
  EXPECT_TRUE(Window().ActionResetTag->isEnabled());

  Window().ActionDelDeviceExecute();
  AddPort(8);
  ReadInstrument(Window().FrameOfRow(0), "X");
  EXPECT_EQ(Column(Window(), 0, 1), "Kessel 1");
  EXPECT_TRUE(Window().ActionResetTag->isEnabled());

  Window().ActionResetTagExecute();
  EXPECT_EQ(Column(Window(), 0, 1), "X");
  EXPECT_EQ(IniValue("Idents", "X"), "X");
  EXPECT_FALSE(Window().ActionResetTag->isEnabled());
}

TEST_F(tAppFixture, escape_keeps_the_tag_but_still_writes_the_entry) {
  Window();
  AddPort(3);
  ReadInstrument(Window().FrameOfRow(0), "K-40-P/123");
  EXPECT_EQ(IniValue("Idents", "K-40-P/123"), "<missing>");
  Window().ActionRenameTagExecute();
  Window().EditDeviceName->setText("something else");
  Window().EditDeviceNameKeyPress(Qt::Key_Escape);
  EXPECT_EQ(Column(Window(), 0, 1), "K-40-P/123");
  EXPECT_EQ(IniValue("Idents", "K-40-P/123"), "K-40-P/123");
}

TEST_F(tAppFixture, tags_with_any_characters_come_back_unchanged_after_a_restart) {
  const QString lTag = QString::fromUtf8("Kessel [1]\nLinie=2; #Süd \\ \"x\"  ");
  Window();
  AddPort(3);
  ReadInstrument(Window().FrameOfRow(0), "R-70 = 4711");
  Window().ActionRenameTagExecute();
  Window().EditDeviceName->setText(lTag);
  Window().EditDeviceNameExit();
  mWindow.reset();

  Window();
  AddPort(3);
  ReadInstrument(Window().FrameOfRow(0), "R-70 = 4711");
  EXPECT_EQ(Window().FrameOfRow(0)->DeviceInfo()->Tag(), lTag);
  EXPECT_EQ(Column(Window(), 0, 1), lTag);
}

TEST_F(tAppFixture, double_click_connects_a_disconnected_row_and_leaves_a_connected_one) {
  Window();
  AddPort(3);
  TFrameDevice* lFrame = Window().FrameOfRow(0);
  const int lBefore = mDialogs.MessageCount();
  Window().ListViewDeviceDblClick();
  // A new attempt: the missing port is reported again.
  EXPECT_EQ(mDialogs.MessageCount(), lBefore + 1);

  lFrame->SetDeviceStatus(dsConnected);
  Window().ListViewDeviceDblClick();
  EXPECT_EQ(mDialogs.MessageCount(), lBefore + 1);
  EXPECT_EQ(lFrame->DeviceStatus(), dsConnected);

  lFrame->SetDeviceStatus(dsLogging);
  Window().ListViewDeviceDblClick();
  EXPECT_EQ(Window().PageControlDevRecord->currentWidget(), Window().TabSheetRecord);
  lFrame->SetDeviceStatus(dsDisconnected);
}

TEST_F(tAppFixture, unhandled_error_asks_whether_to_keep_running) {
  Window();
  mDialogs.PushAnswer(mrYes);
  Window().ApplicationEventsException(nullptr, eError("Fehler beim Lesen des EEPROM: Timeout!"));
  EXPECT_EQ(mTerminated, 0);
  ASSERT_EQ(mDialogs.MessageCount(), 1);
  EXPECT_EQ(mDialogs.LastMessage().Buttons, mbYesNo);
  EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
  EXPECT_EQ(mDialogs.LastMessage().Text,
            "Es ist ein schwerwiegender Fehler aufgetreten\rFehler beim Lesen des EEPROM: "
            "Timeout!\rSoll das Programm gestartet bleiben?");

  Window().miEnglishClick();
  mDialogs.PushAnswer(mrNo);
  Window().ApplicationEventsException(nullptr, eError("x"));
  EXPECT_EQ(mTerminated, 1);
  EXPECT_EQ(mDialogs.LastMessage().Text, "A fatal error occured\rx\rKeep the software running?");
}

TEST_F(tAppFixture, background_is_centred_and_never_pushed_off_the_top_left) {
  Window().show();
  PumpFor(50);
  const QRect lBox = Window().ScrollBoxBkGrnd->rect();
  const QRect lImage = Window().ImageBkGrnd->geometry();
  ASSERT_FALSE(Window().ImageBkGrnd->pixmap().isNull());
  EXPECT_LE(std::abs(lImage.center().x() - lBox.center().x()), 1);
  EXPECT_LE(std::abs(lImage.center().y() - lBox.center().y()), 1);
  Window().ScrollBoxBkGrnd->resize(100, 80);
  Window().ScrollBoxBkGrndResize();
  EXPECT_EQ(Window().ImageBkGrnd->pos(), QPoint(0, 0));
}
