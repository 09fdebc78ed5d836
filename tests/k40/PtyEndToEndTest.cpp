// The K40 stack through the real port class and a pseudo-terminal, the way the program
// reaches an instrument on a cable.
#include "protocol/k40/DMU_K40ifc.h"

#include "K40Rig.h"
#include "PtyServer.h"
#include "core/IniFile.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(K40OverPty, ConnectsPollsAdjustsAndTimesOutThroughTheSerialLayer) {
  tSimK40 sim(tSimK40::tModel::K40P);
  sim.SetPressure(2.5);
  sim.SetTemperature(21.5);
  tPtyServer server(&sim);
  ASSERT_TRUE(server.Ok());
  QTemporaryDir dir;
  tIniFile ini(dir.filePath("Corvane.ini"));
  tPortMap map(ini);
  ASSERT_TRUE(map.SetEntry(9, server.SlavePath()));

  auto port = std::make_unique<TApdComPort>(&map);
  port->SetAutoOpen(false);
  port->SetComNumber(9);
  port->SetBaud(9600);
  port->SetRTS(true);
  port->SetDTR(true);
  port->SetOpen(true);

  tDeviceInfo info;
  info.SetDeviceType(dtK4xP);
  int timeOuts = 0;
  auto ifc = std::make_unique<tDMU_K40ifc>(std::move(port));
  ifc->SetOnTimeOut([&](void*) { ++timeOuts; });
  ifc->Initialize(&info);
  EXPECT_EQ(info.SerialNr(), "4711");
  EXPECT_EQ(info.MBRange(), "0 ... 16 bar rel.");
  // The bytes on the line, request by request: the first one is the range start.
  EXPECT_TRUE(server.Received().startsWith(Bytes({0x4D, 0x41, 0x00, 0x72, 0x0D})));

  ASSERT_TRUE(WaitUntil([&] { return info.PressureUnit() == 2.5 && info.Temperature() == 21.5; }));
  EXPECT_DOUBLE_EQ(info.PressureBar(), 2.5);

  EXPECT_TRUE(ifc->AdjustActionEvent(taNp, aaOn));
  EXPECT_TRUE(ifc->AdjustActionEvent(taNp, aaInc10));
  EXPECT_EQ(sim.PendingZeroSteps(), 1);
  ASSERT_TRUE(WaitUntil([&] { return info.PressureUnit() > 2.5; }));

  // Pull the instrument's answers: the live loop reports it once.
  sim.IgnoreNextRequests(1'000'000);
  ASSERT_TRUE(WaitUntil([&] { return timeOuts > 0; }, 3000));
  PumpMs(300);
  EXPECT_EQ(timeOuts, 1);
  ifc.reset();
}
