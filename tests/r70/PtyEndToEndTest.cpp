// The R70 stack end to end through a pseudo-terminal: the operating system's tty layer
// carries the bytes, and the instrument learns the rate from the line settings.
#include "protocol/r70/DMU_R70ifc.h"

#include "PtyLink.h"
#include "R70TestSupport.h"
#include "core/DeviceInfo.h"
#include "sim/SimR70.h"

#include <gtest/gtest.h>

using namespace r70test;

TEST(R70OverPty, InstrumentIsReadPolledAndAdjustedAtBothRates) {
  struct tCase {
    tSimR70::tModel Model;
    int Baud;
    bool NeedAutoBaud;
    QString Serial;
  } cases[] = {
      {tSimR70::tModel::R7x, 9600, false, "0012345"},
      {tSimR70::tModel::VQ5, 115200, false, "0054321"},
      {tSimR70::tModel::R7x, 9600, true, "0012345"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Baud);
    tSimR70 sim(c.Model, c.Baud, c.NeedAutoBaud);
    sim.SetPressure(2.5f);
    tPtyInstrumentServer server(&sim, true);
    ASSERT_TRUE(server.Ok());
    auto port = std::make_unique<tPtyTestPort>(server.Path());
    port->SetBaud(c.Baud);
    port->SetOpen(true);
    tDeviceInfo info;
    tDMU_R70ifc ifc(std::move(port), c.NeedAutoBaud);
    ifc.Initialize(&info);
    EXPECT_EQ(info.SerialNr(), c.Serial);
    EXPECT_EQ(info.SignalTypeStr(), c.Model == tSimR70::tModel::VQ5 ? "USB" : "2L");
    ASSERT_TRUE(WaitUntil([&] { return info.PressureUnit() == 2.5; }));

    EXPECT_TRUE(ifc.AdjustActionEvent(taNp, aaOn));
    EXPECT_TRUE(ifc.AdjustActionEvent(taNp, aaInc10));
    EXPECT_EQ(sim.ZeroSteps(), 10);
    ASSERT_TRUE(WaitUntil([&] { return info.PressureUnit() > 2.5; }));
    ifc.WriteOperatingParam(tDMU_R70ifc::omCyclPz, 1000);
    EXPECT_EQ(sim.OperatingModeCode(), 0x7C);
    EXPECT_EQ(sim.OpInterval(), 1000);
  }
}

TEST(R70OverPty, InstrumentAtAnotherRateStaysSilent) {
  tSimR70 sim(tSimR70::tModel::R7x, 115200);
  tPtyInstrumentServer server(&sim, false);
  ASSERT_TRUE(server.Ok());
  auto port = std::make_unique<tPtyTestPort>(server.Path());
  port->SetOpen(true); // 9600
  tDeviceInfo info;
  tDMU_R70ifc ifc(std::move(port), false);
  try {
    ifc.Initialize(&info);
    FAIL() << "an instrument at 115200 answered at 9600";
  } catch (const eError& e) {
    EXPECT_EQ(e.Message(), "Fehler beim Lesen des MBA: Timeout!");
  }
  EXPECT_EQ(sim.Requests().size(), 0);
}
