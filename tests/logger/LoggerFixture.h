#pragma once
// Shared set-up of the logger tests: real device frames whose records the test fills and
// whose status it sets, the logger frame, and a scripted dialog service.
#include "core/DeviceInfo.h"
#include "core/Format.h"
#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"
#include "logger/FrameLoggingOvvw.h"
#include "logger/LogTableModel.h"
#include "pages/FrameDevice.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QRadioButton>
#include <QSpinBox>
#include <QThread>
#include <QTimeEdit>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

struct tDeviceSetup {
  int ComNr = 1;
  QString Tag = "T1";
  QString Ident = "K-40-P 1001";
  float MBAinBar = 0;
  float MBEinBar = 16;
  QString UnitA = "bar";
  QString UnitE = "bar";
  tDeviceType Type = dtK4xP;
};

class tLoggerFixture : public ::testing::Test {
protected:
  void SetUp() override {
    Resources().SetLanguage(laGerman);
    mLogger = std::make_unique<TFrameLoggingOvvw>();
  }
  void TearDown() override {
    for (auto& frame : mFrames)
      mLogger->DelDevice(frame.get());
    mLogger.reset();
    mFrames.clear();
  }

  TFrameDevice* AddFrame(const tDeviceSetup& pSetup) {
    auto frame = std::make_unique<TFrameDevice>();
    // As in the program: the logger gets the frame first, the record is filled afterwards.
    mLogger->AddDevice(frame.get());
    tDeviceInfo* info = frame->DeviceInfo();
    info->SetComNr(pSetup.ComNr);
    info->SetUpdating(true);
    info->SetDeviceType(pSetup.Type);
    info->SetMBAinBar(pSetup.MBAinBar);
    info->SetMBEinBar(pSetup.MBEinBar);
    info->SetMBAinUnit(pSetup.MBAinBar);
    info->SetMBEinUnit(pSetup.MBEinBar);
    info->SetMBAUnitStr(pSetup.UnitA);
    info->SetMBEUnitStr(pSetup.UnitE);
    info->SetDruckkennung(dkRelativ);
    info->SetIdent(pSetup.Ident);
    info->SetTag(pSetup.Tag);
    info->SetUpdating(false);
    frame->SetDeviceStatus(dsConnected);
    mFrames.push_back(std::move(frame));
    return mFrames.back().get();
  }

  // New live values for every frame, with time stamps that differ from the previous ones.
  void Deliver(double pPressureBar = 1.5, double pTemperature = 21.25) {
    QThread::msleep(2);
    for (auto& frame : mFrames) {
      frame->DeviceInfo()->SetTemperature(pTemperature);
      frame->DeviceInfo()->SetPressureBar(pPressureBar);
    }
  }
  void Tick() { mLogger->TimerLoggerTimer(); }
  void DeliverAndTick(double pPressureBar = 1.5, double pTemperature = 21.25) {
    Deliver(pPressureBar, pTemperature);
    Tick();
  }
  // Starts a run answering every question with Yes.
  void Start() { mLogger->BitBtnStartLogClick(); }

  QString Cell(int pCol, int pRow) const { return mLogger->Table().Cell(pCol, pRow); }
  static QString OutputDir(const QString& pSub) {
    QString base = qEnvironmentVariable("CORVANE_TEST_OUTPUT", QDir::tempPath() + "/corvane-test");
    QString dir = base + "/" + pSub;
    QDir().mkpath(dir);
    return dir;
  }

  tScriptedDialogService mDialogs;
  tDialogsScope mDialogsScope{mDialogs};
  std::unique_ptr<TFrameLoggingOvvw> mLogger;
  std::vector<std::unique_ptr<TFrameDevice>> mFrames;
};
