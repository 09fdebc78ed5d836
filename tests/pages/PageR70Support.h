#pragma once
// An R70 page connected the way the device frame hands it over: a simulated R70 instrument
// behind an open in-process port, the page created on the frame's record, the type set after
// creation, then Initialize and Connected := true.
#include "core/DeviceInfo.h"
#include "core/Utils.h"
#include "widgets/CaptionPanel.h"
#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"
#include "pages/FrameDeviceR70.h"
#include "protocol/r70/DMU_R70ifc.h"
#include "sim/SimPort.h"
#include "sim/SimR70.h"
#include "support/WaitFor.h"

#include <QComboBox>
#include <cmath>
#include <memory>
#include <ostream>
#include <vector>

// Readable QString values in failure messages.
inline void PrintTo(const QString& pText, std::ostream* pOut) {
  *pOut << '"' << pText.toStdString() << '"';
}

class tR70PageBench {
public:
  explicit tR70PageBench(tSimR70::tModel pModel = tSimR70::tModel::R7x)
      : mSim(pModel), mDialogsScope(mDialogs) {}
  ~tR70PageBench() {
    if (mPage) mPage->SetConnected(false);
    mPage.reset();
  }

  tSimR70& Sim() { return mSim; }
  tSimPort* Port() const { return mPort; }
  tDeviceInfo& Info() { return mInfo; }
  TFrameDeviceR70& Page() { return *mPage; }
  tScriptedDialogService& Dialogs() { return mDialogs; }
  const std::vector<tDeviceStatus>& Reported() const { return mReported; }
  int TimeOuts() const { return mTimeOuts; }

  // The page's sampling clock; it moves only when the test says so.
  tDateTime& Now() { return mNow; }
  void Advance(int pMs) { mNow += MSecToDateTime(pMs); }

  void Create() {
    mPage = std::make_unique<TFrameDeviceR70>(nullptr, &mInfo);
    mPage->SetClock([this] { return mNow; });
    mPage->SetOnDeviceStatusChanged(
        [this](tDeviceStatus pStatus) { mReported.push_back(pStatus); });
    mPage->SetOnTimeOut([this](QObject*) { ++mTimeOuts; });
    mPage->resize(620, 400);
    mInfo.SetDeviceType(mSim.Model() == tSimR70::tModel::VQ5 ? dtVQ5 : dtR7x);
  }

  // Hand-over and connection as the frame does it; true when the page reports dsConnected.
  bool Connect() {
    if (!mPage) Create();
    auto lPort = std::make_unique<tSimPort>(&mSim);
    mPort = lPort.get();
    tSimFaults lFaults;
    lFaults.PaceAtBaud = false;
    mPort->SetFaults(lFaults);
    mPort->SetComNumber(5);
    mPort->SetBaud(mSim.OwnBaud());
    mPort->SetOpen(true);
    mPage->SetDeviceStatus(dsConnecting);
    mPage->Initialize(std::move(lPort));
    mPage->SetConnected(true);
    return mPage->DeviceStatus() == dsConnected;
  }

  // The output pressure the record holds once the instrument's current value has arrived.
  bool WaitForPressure(double pBar, int pBoundMs = 3000) {
    return WaitFor([&] { return std::abs(mInfo.PressureBar() - pBar) < 1e-6; }, pBoundMs);
  }
  // One averaging sample of the instrument's current output pressure.
  bool Sample(double pBar) {
    if (!WaitForPressure(pBar)) return false;
    Advance(201);
    return WaitFor([&] { return mPage->LastSampleTime() == mNow; });
  }
  // Fills the averaging window with one pressure.
  bool Settle(double pBar) {
    for (int i = 0; i < 10; ++i) {
      if (!Sample(pBar)) return false;
    }
    return true;
  }
  // A unit picked in a box as the user picks it.
  static void Pick(QComboBox* pBox, const QString& pText) {
    const int lIndex = pBox->findText(pText, Qt::MatchExactly | Qt::MatchCaseSensitive);
    pBox->setCurrentIndex(lIndex);
    emit pBox->activated(lIndex);
  }

private:
  tSimR70 mSim;
  tSimPort* mPort = nullptr;
  tDeviceInfo mInfo;
  tScriptedDialogService mDialogs;
  tDialogsScope mDialogsScope;
  std::unique_ptr<TFrameDeviceR70> mPage;
  std::vector<tDeviceStatus> mReported;
  int mTimeOuts = 0;
  tDateTime mNow = EncodeDate(2026, 12, 9) + EncodeTime(9, 0, 0, 0);
};
