#pragma once
// Shared set-up of the fault matrix: simulated instruments behind the device frame's port
// factory, the maker's bridge where a case wants the R70 probes at once, scripted dialogs to
// see the messages, and waiting in the event loop without spinning.
#include "tests/support/WaitFor.h"
#include "core/Types.h"
#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"
#include "pages/FrameDevice.h"
#include "tests/support/CP210xFake.h"
#include "serial/USB_CP210x.h"
#include "sim/SimK40.h"
#include "sim/SimPort.h"
#include "sim/SimR70.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <memory>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ostream>

// Readable texts in the failure messages.
inline void PrintTo(const QString& pText, std::ostream* pOut) {
  *pOut << '"' << pText.toStdString() << '"';
}
inline void PrintTo(const QStringList& pList, std::ostream* pOut) {
  *pOut << '[' << pList.join(QStringLiteral(" | ")).toStdString() << ']';
}

namespace faults {

using ::PumpFor;
using ::WaitFor;

enum class tFamily { K40P, R7x };

inline std::unique_ptr<tSimInstrument> MakeInstrument(tFamily pFamily) {
  if (pFamily == tFamily::K40P) return std::make_unique<tSimK40>(tSimK40::tModel::K40P);
  return std::make_unique<tSimR70>(tSimR70::tModel::R7x);
}

inline const char* FamilyName(tFamily pFamily) {
  return pFamily == tFamily::K40P ? "K40P" : "R7x";
}

// The frame's COM number throughout.
constexpr int cComNr = 7;

// German texts the cases expect (the catalogue's own).
inline const QString cNoConnection = QStringLiteral("Verbindungsaufbau an COM7 nicht möglich!");
inline const QString cConnectionFailed = QStringLiteral("Verbindungsaufbau gescheitert!");

// Root writes wherever it likes; a read-only folder only holds for a process that has given
// up overriding file permissions. Dropped from the effective set and restored afterwards.
class tNoPermissionOverride {
public:
  tNoPermissionOverride() {
    if (::geteuid() != 0) return;
    mHeader.version = _LINUX_CAPABILITY_VERSION_3;
    mHeader.pid = 0;
    if (::syscall(SYS_capget, &mHeader, mSaved) != 0) return;
    __user_cap_data_struct lReduced[2] = {mSaved[0], mSaved[1]};
    for (int lCap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
      lReduced[lCap / 32].effective &= ~(1u << (lCap % 32));
    mActive = ::syscall(SYS_capset, &mHeader, lReduced) == 0;
  }
  ~tNoPermissionOverride() {
    if (mActive) ::syscall(SYS_capset, &mHeader, mSaved);
  }
  bool Usable() const { return ::geteuid() != 0 || mActive; }

private:
  __user_cap_header_struct mHeader{};
  __user_cap_data_struct mSaved[2]{};
  bool mActive = false;
};

// A file system that takes no more bytes: every file write beyond a few bytes fails with
// EFBIG, as it would with ENOSPC, also for root.
class tFullDisk {
public:
  tFullDisk() {
    ::getrlimit(RLIMIT_FSIZE, &mSaved);
    mOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lLimit = mSaved;
    lLimit.rlim_cur = 8;
    ::setrlimit(RLIMIT_FSIZE, &lLimit);
  }
  ~tFullDisk() {
    ::setrlimit(RLIMIT_FSIZE, &mSaved);
    std::signal(SIGXFSZ, mOldHandler);
  }

private:
  rlimit mSaved{};
  void (*mOldHandler)(int) = nullptr;
};

class tFaultFixture : public ::testing::Test {
protected:
  void SetUp() override {
    mDialogScope = std::make_unique<tDialogsScope>(mDialogs);
    Resources().SetLanguage(laGerman);
  }
  void TearDown() override {
    TFrameDevice::SetComPortFactory({});
    tUSB_CP210x::SetBackendFactory({});
    mDialogScope.reset();
    PumpFor(20);
  }

  // Instruments of the R70 family sit behind the maker's bridge, so that they are probed at
  // once instead of after the K40 family's 5 s.
  void UseInstrument(tFamily pFamily) {
    mInstrument = MakeInstrument(pFamily);
    mPorts = std::make_unique<tSimPortFactory>(mInstrument.get());
    TFrameDevice::SetComPortFactory(mPorts->Factory());
    const bool lBridge = pFamily == tFamily::R7x;
    tUSB_CP210x::SetBackendFactory([lBridge]() -> std::shared_ptr<iCP210xBackend> {
      if (!lBridge) return std::make_shared<tCP210xFake>();
      return std::make_shared<tCP210xFake>(
          QList<tCP210xFake::tBridge>{{QStringLiteral("HALVEX_R-7X_0815"), cComNr}});
    });
  }

  std::unique_ptr<TFrameDevice> ConnectedFrame() {
    auto lFrame = std::make_unique<TFrameDevice>();
    lFrame->resize(600, 380);
    lFrame->Initialize(cComNr);
    lFrame->Connect();
    EXPECT_TRUE(WaitFor([&] { return lFrame->DeviceStatus() == dsConnected; }, 15000))
        << "status " << int(lFrame->DeviceStatus());
    return lFrame;
  }

  // Texts of the error boxes shown so far.
  QStringList Errors() const {
    QStringList lTexts;
    for (const tDialogRecord& r : mDialogs.Records())
      if (r.Kind == dkMessage && r.Type == mtError) lTexts << r.Text;
    return lTexts;
  }

  tScriptedDialogService mDialogs;
  std::unique_ptr<tDialogsScope> mDialogScope;
  std::unique_ptr<tSimInstrument> mInstrument;
  std::unique_ptr<tSimPortFactory> mPorts;
};

} // namespace faults
