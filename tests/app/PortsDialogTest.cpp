#include "AppTestSupport.h"

#include "app/FormPorts.h"
#include "sim/SimK40.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

using namespace apptest;

namespace {

QString Cell(const TFormPorts& pForm, const QString& pPort, int pColumn) {
  for (int r = 0; r < pForm.TablePorts->rowCount(); ++r)
    if (pForm.TablePorts->item(r, TFormPorts::coNumber)->text() == pPort)
      return pForm.TablePorts->item(r, pColumn)->text();
  return "<no row>";
}

void Choose(TFormPorts& pForm, const QString& pPort) {
  for (int r = 0; r < pForm.TablePorts->rowCount(); ++r)
    if (pForm.TablePorts->item(r, TFormPorts::coNumber)->text() == pPort)
      pForm.TablePorts->selectRow(r);
}

void Enter(TFormPorts& pForm, int pComNr, const QString& pPath) {
  pForm.SpinEditComNr->setValue(pComNr);
  pForm.ComboBoxPath->setEditText(pPath);
}

} // namespace

TEST_F(tAppFixture, ports_dialog_shows_each_entry_and_edits_reach_the_file_and_the_add_menu) {
  tSimK40 lK40(tSimK40::tModel::K40P);
  UseInstruments({{3, &lK40}});
  WritePorts({3}, "COM9=/no/such/device\nCOM14=rfc2217://bench-3.lab:3001\n");
  AddPort(3);
  ASSERT_EQ(Window().RowOfPort(3), 1);

  TFormPorts lForm(Window().PortMap(), [this](quint16 n) { return Window().RowOfPort(n); },
                   &Window());
  EXPECT_EQ(Cell(lForm, "COM3", TFormPorts::coPath), "/dev/null");
  EXPECT_EQ(Cell(lForm, "COM3", TFormPorts::coPresent), "ja");
  EXPECT_EQ(Cell(lForm, "COM3", TFormPorts::coUsedBy), "Zeile 1");
  EXPECT_EQ(Cell(lForm, "COM9", TFormPorts::coPresent), "nein");
  EXPECT_EQ(Cell(lForm, "COM9", TFormPorts::coUsedBy), "");
  // A network port is not asked on every refresh; it is offered by the Add menu.
  EXPECT_EQ(Cell(lForm, "COM14", TFormPorts::coPresent), "Netzwerk");
  EXPECT_EQ(Cell(lForm, "COM14", TFormPorts::coAccess), "");
  EXPECT_TRUE(Window().ListComPorts().contains("COM14"));
  // The number offered for a new entry is the lowest free one.
  EXPECT_EQ(lForm.SpinEditComNr->value(), 1);

  // Added: written at once, offered by the Add menu, selected in the table.
  Enter(lForm, 4, "/dev/zero");
  lForm.ButtonAdd->click();
  EXPECT_EQ(IniValue("Ports", "COM4"), "/dev/zero");
  EXPECT_EQ(lForm.SelectedNumber(), 4);
  EXPECT_TRUE(Window().ListComPorts().contains("COM4"));

  // Refused: the number taken, the row in use; each says why and changes nothing.
  Enter(lForm, 4, "/dev/null");
  lForm.ButtonAdd->click();
  EXPECT_EQ(mDialogs.LastMessage().Text, "COM4 ist bereits vergeben.");
  Choose(lForm, "COM3");
  lForm.ButtonRemove->click();
  EXPECT_EQ(mDialogs.LastMessage().Text,
            "COM3 wird von Zeile 1 der Geräteliste verwendet und bleibt, wie es ist.");
  EXPECT_EQ(IniValue("Ports", "COM3"), "/dev/null");
  const int lMessages = mDialogs.MessageCount();

  // Renumbered and removed.
  Choose(lForm, "COM9");
  lForm.SpinEditComNr->setValue(12);
  lForm.ButtonRenumber->click();
  EXPECT_EQ(IniValue("Ports", "COM9"), "<missing>");
  EXPECT_EQ(IniValue("Ports", "COM12"), "/no/such/device");
  Choose(lForm, "COM4");
  lForm.ButtonRemove->click();
  EXPECT_EQ(IniValue("Ports", "COM4"), "<missing>");
  EXPECT_FALSE(Window().ListComPorts().contains("COM4"));
  EXPECT_EQ(mDialogs.MessageCount(), lMessages);

  // The language switches the titles and the words in the cells.
  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(lForm.windowTitle(), "Ports");
  EXPECT_EQ(lForm.TablePorts->horizontalHeaderItem(TFormPorts::coPath)->text(), "Device path");
  EXPECT_EQ(Cell(lForm, "COM3", TFormPorts::coUsedBy), "Row 1");
  EXPECT_EQ(Cell(lForm, "COM12", TFormPorts::coPresent), "no");
  EXPECT_EQ(Cell(lForm, "COM14", TFormPorts::coPresent), "network");
  EXPECT_EQ(lForm.ButtonRenumber->text(), "Change number");
  SaveScreenshot(&lForm, "ports-dialog-en");
}

TEST_F(tAppFixture, device_menu_opens_the_ports_dialog) {
  WritePorts({3});
  Window();
  QAction* lAction = Window().findChild<QAction*>("ActionPorts");
  ASSERT_NE(lAction, nullptr);
  EXPECT_EQ(lAction->text(), QString::fromUtf8("Schnittstellen…"));
  bool lShown = false;
  // The dialog is modal: it is looked at and closed from the event loop it runs.
  QTimer::singleShot(0, [&] {
    auto* lForm = Window().findChild<TFormPorts*>();
    lShown = lForm && lForm->isVisible() && lForm->TablePorts->rowCount() == 1;
    if (lForm) lForm->ButtonClose->click();
  });
  lAction->trigger();
  EXPECT_TRUE(lShown);
}
