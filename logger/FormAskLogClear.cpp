#include "logger/FormAskLogClear.h"

#include "widgets/BitButton.h"
#include "i18n/Resources.h"
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace {
TFormAskLogClear::tExecuteHook& Hook() {
  static TFormAskLogClear::tExecuteHook hook;
  return hook;
}
} // namespace

TFormAskLogClear::TFormAskLogClear(QWidget* pOwner) : QDialog(pOwner) {
  setObjectName(QStringLiteral("FormAskLogClear"));
  setWindowTitle(QStringLiteral("501@Bestätigung"));
  auto* layout = new QVBoxLayout(this);
  Label1 = new QLabel(QStringLiteral("502@Welche Daten sollen gelöscht werden?"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  CheckBoxTable = new QCheckBox(QStringLiteral("503@Tabelle"), this);
  CheckBoxTable->setObjectName(QStringLiteral("CheckBoxTable"));
  CheckBoxChart = new QCheckBox(QStringLiteral("504@Diagramm"), this);
  CheckBoxChart->setObjectName(QStringLiteral("CheckBoxChart"));
  BitBtnOK = new tBitButton(QStringLiteral("505@OK"), this);
  BitBtnOK->setObjectName(QStringLiteral("BitBtnOK"));
  BitBtnOK->setDefault(true);
  BitBtnCancel = new tBitButton(QStringLiteral("506@Abbruch"), this);
  BitBtnCancel->setObjectName(QStringLiteral("BitBtnCancel"));
  layout->addWidget(Label1);
  layout->addWidget(CheckBoxTable);
  layout->addWidget(CheckBoxChart);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(BitBtnOK);
  buttons->addWidget(BitBtnCancel);
  layout->addLayout(buttons);
  connect(BitBtnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

TFormAskLogClear::~TFormAskLogClear() = default;

bool TFormAskLogClear::Execute() {
  CheckBoxTable->setChecked(true);
  CheckBoxChart->setChecked(true);
  // Registered for this one showing only.
  Resources().AddForm(this);
  bool result = false;
  if (Hook()) {
    result = Hook()(*this);
  } else {
    adjustSize();
    // Centred on the desktop, whatever the owner.
    move(screen()->availableGeometry().center() - rect().center());
    result = exec() == QDialog::Accepted;
  }
  Resources().DeleteForm(this);
  return result;
}

void TFormAskLogClear::SetExecuteHook(tExecuteHook pHook) {
  Hook() = std::move(pHook);
}

bool AskLogClear(QWidget* pOwner, bool& pClearTable, bool& pClearChart) {
  TFormAskLogClear form(pOwner);
  bool result = form.Execute();
  pClearTable = form.CheckBoxTable->isChecked();
  pClearChart = form.CheckBoxChart->isChecked();
  return result;
}
