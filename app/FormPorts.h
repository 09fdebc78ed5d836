#pragma once
// The Ports dialog: every COM number of the settings file's port list with its device, whether
// the device is there and may be opened, what the system knows about it (USB ids, maker,
// product, serial number) and which row of the device list uses it. Entries are added,
// renumbered and removed here; each edit is written to the settings file at once.
#include "i18n/MessageSlots.h"
#include "serial/PortMap.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class tRichEdit;

class TFormPorts : public QDialog {
  Q_OBJECT
public:
  // The row (1 = first) of the device list that uses a COM number, 0 for none.
  using tRowOfPort = std::function<int(quint16 pComNr)>;

  TFormPorts(tPortMap& pPortMap, tRowOfPort pRowOf, QWidget* pOwner = nullptr);
  ~TFormPorts() override;

  // Shows the dialog modally until it is closed.
  void Execute();
  // Reads the port list and the system's devices again.
  void Refresh();

  // The edits behind the buttons; each says what went wrong in a message box and returns
  // false then.
  bool AddEntry(int pComNr, const QString& pDevicePath);
  bool RenumberSelected(int pComNr);
  bool RemoveSelected();
  // The COM number of the selected row, 0 without a selection.
  quint16 SelectedNumber() const;

  enum tColumn { coNumber, coPath, coPresent, coAccess, coUsbId, coMaker, coProduct, coSerial, coUsedBy, coCount };

  QTableWidget* TablePorts = nullptr;
  QLabel* LabelComNr = nullptr;
  QSpinBox* SpinEditComNr = nullptr;
  QLabel* LabelPath = nullptr;
  QComboBox* ComboBoxPath = nullptr;
  QPushButton* ButtonAdd = nullptr;
  QPushButton* ButtonRenumber = nullptr;
  QPushButton* ButtonRemove = nullptr;
  QPushButton* ButtonClose = nullptr;
  tRichEdit* RichEditTransOutText = nullptr;

private:
  void BuildComponents();
  void Translated();
  void SelectionChanged();
  void FillPathChoices();
  void FitWidth();
  bool Report(tPortMap::tEditResult pResult, int pComNr);
  void Select(quint16 pComNr);

  tPortMap& mPortMap;
  tRowOfPort mRowOf;
  // Column titles, cell words and the edits' messages; German until the first translation.
  tMessageSlots mOutText{
      "Nummer", "Gerätepfad", "Vorhanden", "Zugriff", "USB-Kennung", "Hersteller", "Produkt",
      "Seriennummer", "Verwendet von", "ja", "nein", "Zeile %1", "COM%1 ist bereits vergeben.",
      "Die Nummer muss zwischen 1 und 65535 liegen.", "Bitte einen Gerätepfad angeben.",
      "Die Einstellungsdatei konnte nicht geschrieben werden.",
      "COM%1 wird von Zeile %2 der Geräteliste verwendet und bleibt, wie es ist.", "Netzwerk"};
  enum {
    otHeaders = 0,
    otYes = 9,
    otNo,
    otRow,
    otNumberInUse,
    otNumberInvalid,
    otNoPath,
    otWriteFailed,
    otInUse,
    otNetwork
  };
};
