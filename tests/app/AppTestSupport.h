#pragma once
// Shared set-up of the main-window tests: a data folder of their own (so the settings file,
// error log and stack traces are real files in a temporary folder), the scripted dialogs,
// no system serial devices, a chosen system language, and simulated instruments by port.
#include "tests/support/WaitFor.h"
#include "app/FormMain.h"
#include "app/Pathes.h"
#include "core/IniFile.h"
#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"
#include "pages/FrameDevice.h"
#include "sim/SimPort.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace apptest {

using ::PumpFor;
using ::WaitFor;

inline QString ScreenshotDir() {
  QString lBase = qEnvironmentVariable("CORVANE_TEST_OUTPUT");
  if (lBase.isEmpty()) lBase = QDir::tempPath() + "/corvane-test-output";
  const QString lDir = lBase + "/screenshots/app";
  QDir().mkpath(lDir);
  return lDir;
}

inline bool SaveScreenshot(QWidget* pWidget, const QString& pName) {
  pWidget->show();
  PumpFor(100);
  return pWidget->grab().toImage().save(ScreenshotDir() + "/" + pName + ".png");
}

// A port that picks its instrument by the number the frame gives it: the frame creates the
// port first and sets the number afterwards, so the simulated port is made at that moment.
// A number without an instrument fails to open as a missing port does.
class tDispatchPort : public iComPort {
public:
  explicit tDispatchPort(const QMap<int, tSimInstrument*>& pInstruments)
      : mInstruments(pInstruments) {}

  bool AutoOpen() const override { return mAutoOpen; }
  void SetAutoOpen(bool pValue) override {
    mAutoOpen = pValue;
    if (mPort) mPort->SetAutoOpen(pValue);
  }
  quint16 ComNumber() const override { return mPort ? mPort->ComNumber() : 0; }
  void SetComNumber(qint64 pValue) override {
    tSimInstrument* lInstrument = mInstruments.value(int(pValue), nullptr);
    mPort = std::make_unique<tSimPort>(lInstrument);
    if (!lInstrument) mPort->SetOpenFault(tSimPort::tOpenFault::ofBadId);
    mPort->SetAutoOpen(mAutoOpen);
    mPort->SetComNumber(pValue);
    // A handler installed before the number was chosen stays installed, as on a real port.
    SetOnTriggerAvail(mHandler);
  }
  int Baud() const override { return Port().Baud(); }
  void SetBaud(int pValue) override { Port().SetBaud(pValue); }
  bool RTS() const override { return Port().RTS(); }
  void SetRTS(bool pValue) override { Port().SetRTS(pValue); }
  bool DTR() const override { return Port().DTR(); }
  void SetDTR(bool pValue) override { Port().SetDTR(pValue); }
  bool Open() const override { return mPort && mPort->Open(); }
  void SetOpen(bool pValue) override { Port().SetOpen(pValue); }
  TTriggerAvailEvent OnTriggerAvail() const override { return mHandler; }
  void SetOnTriggerAvail(TTriggerAvailEvent pHandler) override {
    mHandler = std::move(pHandler);
    if (!mHandler) {
      Port().SetOnTriggerAvail({});
      return;
    }
    Port().SetOnTriggerAvail([this](iComPort*, quint16 pCount) {
      if (mHandler) mHandler(this, pCount);
    });
  }
  void ClearReceive() override { Port().ClearReceive(); }
  void ClearTransmit() override { Port().ClearTransmit(); }
  void SendBytes(const QByteArray& pBytes) override { Port().SendBytes(pBytes); }
  void SendByte(quint8 pByte) override { Port().SendByte(pByte); }
  quint8 ReadByte() override { return Port().ReadByte(); }

private:
  tSimPort& Port() const {
    if (!mPort) mPort = std::make_unique<tSimPort>(nullptr);
    return *mPort;
  }

  QMap<int, tSimInstrument*> mInstruments;
  mutable std::unique_ptr<tSimPort> mPort;
  bool mAutoOpen = false;
  TTriggerAvailEvent mHandler;
};

class tAppFixture : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(mData.isValid());
    QApplication::setQuitOnLastWindowClosed(false);
    mOldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", mData.path().toUtf8());
    Pathes().SetCompanyFolder("HALVEX");
    TFormMain::SetDeviceLister([] { return QList<tPortMap::tSerialDevice>{}; });
    TFormMain::SetSystemLanguage([this] { return mSystemLanguage; });
    TFormMain::SetOnTerminate([this] { ++mTerminated; });
    UseInstruments({});
    mDialogScope = std::make_unique<tDialogsScope>(mDialogs);
  }
  void TearDown() override {
    mWindow.reset();
    PumpFor(20);
    mDialogScope.reset();
    TFrameDevice::SetComPortFactory({});
    TFormMain::SetDeviceLister({});
    TFormMain::SetSystemLanguage({});
    TFormMain::SetOnTerminate({});
    Resources().SetLanguage(laGerman);
    qputenv("XDG_DATA_HOME", mOldDataHome);
    Pathes().SetCompanyFolder("HALVEX");
  }

  QString DataFolder() const { return mData.path() + "/HALVEX/" + tPathes::ProgramBaseName(); }
  QString IniPath() const { return DataFolder() + "/" + tPathes::ProgramBaseName() + ".ini"; }
  void WriteIni(const QByteArray& pText) {
    QDir().mkpath(DataFolder());
    QFile lFile(IniPath());
    ASSERT_TRUE(lFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lFile.write(pText);
  }
  QByteArray ReadIniText() const {
    QFile lFile(IniPath());
    return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray();
  }
  // A fresh reading of the file, as another program would see it.
  QString IniValue(const QString& pSection, const QString& pKey) const {
    tIniFile lIni(IniPath());
    return lIni.ReadString(pSection, pKey, "<missing>");
  }
  // Ports COM<n> present as /dev/null, a character device every system has.
  void WritePorts(const QList<int>& pNumbers, const QByteArray& pMore = {}) {
    QByteArray lText = "[Ports]\n";
    for (int n : pNumbers)
      lText += "COM" + QByteArray::number(n) + "=/dev/null\n";
    WriteIni(lText + pMore);
  }
  // Instruments by port number; ports without one fail to open.
  void UseInstruments(const QMap<int, tSimInstrument*>& pInstruments) {
    TFrameDevice::SetComPortFactory([pInstruments]() -> std::unique_ptr<iComPort> {
      return std::make_unique<tDispatchPort>(pInstruments);
    });
  }
  TFormMain& Window() {
    if (!mWindow) mWindow = std::make_unique<TFormMain>();
    return *mWindow;
  }
  // Adds COM<pComNr> as the port entry of the Add menu does.
  void AddPort(int pComNr) {
    QObject lEntry;
    lEntry.setProperty("Tag", pComNr);
    Window().miAddDeviceClick(&lEntry);
  }

  QTemporaryDir mData;
  QByteArray mOldDataHome;
  QLocale::Language mSystemLanguage = QLocale::German;
  int mTerminated = 0;
  tScriptedDialogService mDialogs;
  std::unique_ptr<tDialogsScope> mDialogScope;
  std::unique_ptr<TFormMain> mWindow;
};

} // namespace apptest
