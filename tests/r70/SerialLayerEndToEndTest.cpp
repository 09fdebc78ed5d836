// The R70 stack through the real port class and a pseudo-terminal, the way the program
// reaches an instrument on a cable: once with the instrument served in this process, once
// by the corvane-sim tool in its own process.
#include "protocol/r70/DMU_R70ifc.h"

#include "R70TestSupport.h"
#include "core/DeviceInfo.h"
#include "core/IniFile.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"
#include "sim/PtyAttachment.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace r70test;

namespace {

std::unique_ptr<TApdComPort> OpenPort(tPortMap& pMap, quint16 pComNr, int pBaud) {
  auto port = std::make_unique<TApdComPort>(&pMap);
  port->SetAutoOpen(false);
  port->SetComNumber(pComNr);
  port->SetBaud(pBaud);
  port->SetRTS(true);
  port->SetDTR(true);
  port->SetOpen(true);
  return port;
}

} // namespace

TEST(R70OverSerialLayer, ReadsPollsAdjustsAndTimesOutThroughTheRealPort) {
  tSimR70 sim(tSimR70::tModel::VQ5, 115200);
  sim.SetPressure(12.5f);
  sim.SetTemperatureRaw(0x0190);
  QTemporaryDir dir;
  tPtyAttachment attachment(&sim);
  QString error;
  ASSERT_TRUE(attachment.Start(dir.filePath("vq5"), &error)) << error.toStdString();
  tIniFile ini(dir.filePath("Corvane.ini"));
  tPortMap map(ini);
  ASSERT_TRUE(map.SetEntry(7, attachment.LinkPath()));

  tDeviceInfo info;
  auto ifc = std::make_unique<tDMU_R70ifc>(OpenPort(map, 7, 115200), false);
  int timeOuts = 0;
  ifc->SetOnTimeOut([&] { ++timeOuts; });
  ifc->Initialize(&info);
  EXPECT_EQ(attachment.ProgramBaud(), 115200);
  EXPECT_EQ(info.SerialNr(), "0054321");
  EXPECT_EQ(info.SignalTypeStr(), "USB");
  EXPECT_EQ(info.MBRange(), "0 ... 1000 bar rel.");
  ASSERT_TRUE(WaitUntil([&] { return info.PressureUnit() == 12.5 && info.Temperature() == 25.0; }));

  EXPECT_TRUE(ifc->AdjustActionEvent(taSp, aaOn));
  EXPECT_TRUE(ifc->AdjustActionEvent(taSp, aaInc100));
  EXPECT_EQ(sim.SpanSteps(), 100);
  ifc->WriteOperatingParam(tDMU_R70ifc::omCyclPk, 40);
  EXPECT_EQ(sim.OperatingModeCode(), 0x7E);
  EXPECT_EQ(sim.OpInterval(), 40);

  // The instrument goes away: one time-out, no flood.
  attachment.Stop();
  ASSERT_TRUE(WaitUntil([&] { return timeOuts > 0; }, 3000));
  PumpMs(300);
  EXPECT_EQ(timeOuts, 1);
  ifc.reset();
}

TEST(R70OverSerialLayer, CorvaneSimServesAnInstrumentThatNeedsTheAutoBaudByte) {
  const QString tool = QCoreApplication::applicationDirPath() + "/../sim/corvane-sim";
  if (!QFile::exists(tool)) GTEST_SKIP() << "corvane-sim not built";
  QTemporaryDir dir;
  const QString link = dir.filePath("sim-r70");
  QProcess simulator;
  simulator.start(tool, {"--link", link, "--instrument", "r70", "--baud", "9600", "--auto-baud",
                         "--pressure", "4.25", "--log", dir.filePath("r70.log")});
  ASSERT_TRUE(WaitUntil([&] { return QFileInfo(link).isSymLink(); }, 10000))
      << simulator.readAllStandardError().toStdString();
  tIniFile ini(dir.filePath("Corvane.ini"));
  tPortMap map(ini);
  ASSERT_TRUE(map.SetEntry(9, link));

  {
    // Without the auto-baud byte the instrument keeps silent.
    tDeviceInfo info;
    tDMU_R70ifc ifc(OpenPort(map, 9, 9600), false);
    EXPECT_THROW(ifc.Initialize(&info), eError);
  }
  tDeviceInfo info;
  auto ifc = std::make_unique<tDMU_R70ifc>(OpenPort(map, 9, 9600), true);
  ifc->Initialize(&info);
  EXPECT_EQ(info.SerialNr(), "0012345");
  EXPECT_EQ(info.FirmwareVersion(), "1.5");
  ASSERT_TRUE(WaitUntil([&] { return info.PressureUnit() == 4.25; }));
  ifc.reset();

  simulator.terminate();
  ASSERT_TRUE(simulator.waitForFinished(5000));
  QFile log(dir.filePath("r70.log"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  // The auto-baud "GK" frame, byte for byte as the line carried it.
  EXPECT_TRUE(log.readAll().contains("RX 9600 55 47 4B 00 6E 0D"));
}
