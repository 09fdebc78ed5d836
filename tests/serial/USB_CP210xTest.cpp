#include "serial/USB_CP210x.h"
#include "core/IniFile.h"
#include "tests/support/CP210xFake.h"
#include "serial/CP210xLinux.h"
#include "serial/PortMap.h"

#include "PtyPeer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString kR7xHex = "48414C564558_522D3758_";
const QString kR7xText = "HALVEX_R-7X_";
const QString kVQ5Hex = "48414C564558_56512D352B_";

bool WriteFile(const QString& pName, const QByteArray& pText) {
  QFile lFile(pName);
  return lFile.open(QIODevice::WriteOnly) && lFile.write(pText) == pText.size();
}
} // namespace

TEST(USB_CP210x, AnswersTheQuestionsOfTheConnectionSequence) {
  auto lFake = std::make_shared<tCP210xFake>(QList<tCP210xFake::tBridge>{
      {kR7xHex + "0001", 5},
      {kR7xText + "0815", 7, true},
      {kVQ5Hex + "0012", -1},
      {"0001", 3, false, 0x10C4, 0xEA61},
  });
  tUSB_CP210x lUsb(lFake);
  ASSERT_EQ(lUsb.GetNumDevices(), 4u);
  EXPECT_EQ(lUsb.GetProductString(0), kR7xHex + "0001");
  EXPECT_EQ(lUsb.GetProductString(2), kVQ5Hex + "0012");

  ASSERT_TRUE(lUsb.Open(0));
  EXPECT_EQ(lUsb.GetComNr(), 5);
  EXPECT_EQ(lUsb.GetVid(), 0x10C4);
  EXPECT_EQ(lUsb.GetPid(), 0xEA60);
  EXPECT_EQ(lUsb.GetSerialNumber(), kR7xHex + "0001");
  lUsb.Close();

  // A bridge that cannot be opened leaves no handle: what follows fails as the library does.
  EXPECT_FALSE(lUsb.Open(1));
  try {
    lUsb.GetComNr();
    ADD_FAILURE() << "answered for a bridge that is not open";
  } catch (const eUSB_CP210x& e) {
    EXPECT_EQ(e.Message(), "CP210x-Fehler: 1");
  }

  ASSERT_TRUE(lUsb.Open(2));
  EXPECT_EQ(lUsb.GetComNr(), -1); // no port entry
  lUsb.Close();
  EXPECT_THROW(lUsb.Close(), eUSB_CP210x); // twice
  EXPECT_THROW(lUsb.GetProductString(4), eUSB_CP210x);
  EXPECT_EQ(lFake->OpenCount(), 2);
}

TEST(USB_CP210x, StatusAndTextRules) {
  auto lFake = std::make_shared<tCP210xFake>(QList<tCP210xFake::tBridge>{
      {QString::fromLatin1("ABC\0DEF", 7)},
      {QString(300, QLatin1Char('X'))},
  });
  tUSB_CP210x lUsb(lFake);
  EXPECT_TRUE(lUsb.CheckStatus(0));
  try {
    lUsb.CheckStatus(255);
    ADD_FAILURE();
  } catch (const eUSB_CP210x& e) {
    EXPECT_EQ(e.Message(), "CP210x-Fehler: 255");
    EXPECT_EQ(e.ClassName(), "eUSB_CP210x");
  }
  lUsb.GetNumDevices();
  EXPECT_EQ(lUsb.GetProductString(0), "ABC"); // zero-terminated
  EXPECT_EQ(lUsb.GetProductString(1).size(), 256);
  lFake->SetNumDevicesStatus(iCP210xBackend::kDeviceIoFailed);
  EXPECT_THROW(lUsb.GetNumDevices(), eUSB_CP210x);
}

TEST(USB_CP210x, ObjectsWithoutABackendUseTheApplicationsOne) {
  auto lFake = std::make_shared<tCP210xFake>(QList<tCP210xFake::tBridge>{{kVQ5Hex + "7", 4}});
  tUSB_CP210x::SetBackendFactory([lFake] { return lFake; });
  EXPECT_EQ(tUSB_CP210x().GetNumDevices(), 1u);
  // No backend at all: the missing library's text.
  tUSB_CP210x::SetBackendFactory([] { return std::shared_ptr<iCP210xBackend>(); });
  try {
    tUSB_CP210x lNone;
    ADD_FAILURE();
  } catch (const eError& e) {
    EXPECT_EQ(e.Message(), QString::fromUtf8("Die \"CP210xManufacturing.dll\" konnte nicht "
                                             "geöffnet werden!"));
  }
  tUSB_CP210x::SetBackendFactory(nullptr);
}

TEST(USB_CP210x, LinuxBackendFindsBridgesFromTheSystemOrSysfs) {
  QTemporaryDir lDir;
  tIniFile lIni(lDir.filePath("Corvane.ini"));
  tPortMap lMap(lIni);
  tPtyPeer lBridgeA, lBridgeB, lOther;
  ASSERT_TRUE(QFile::link(lBridgeA.SlavePath(), lDir.filePath("by-id-A")));
  lMap.SetEntry(3, lDir.filePath("by-id-A")); // entered by its stable link
  lMap.SetEntry(8, lOther.SlavePath());

  // Bridge B is known to the system without ids (no udev): sysfs has them.
  const QString lSys = lDir.filePath("sys");
  const QString lUsbDevice = lSys + "/devices/usb1/1-2";
  const QString lPortDir = lUsbDevice + "/1-2:1.0/ttyUSB1";
  ASSERT_TRUE(QDir().mkpath(lPortDir));
  ASSERT_TRUE(QDir().mkpath(lSys + "/class/tty/ttyUSB1"));
  ASSERT_TRUE(WriteFile(lUsbDevice + "/idVendor", "10c4\n"));
  ASSERT_TRUE(WriteFile(lUsbDevice + "/idProduct", "ea60\n"));
  ASSERT_TRUE(WriteFile(lUsbDevice + "/serial", (kVQ5Hex + "0099\n").toLatin1()));
  ASSERT_TRUE(QFile::link(lPortDir, lSys + "/class/tty/ttyUSB1/device"));

  tCP210xLinux* lLinux = nullptr;
  auto lBackend = std::make_shared<tCP210xLinux>(&lMap);
  lLinux = lBackend.get();
  lLinux->SetSysfsRoot(lSys + "/class/tty");
  lLinux->SetPortLister([&] {
    return QList<tCP210xLinux::tPortInfo>{
        {"ttyS0", "/dev/ttyS0", false, 0, 0, ""},
        {"ttyUSB0", lBridgeA.SlavePath(), true, 0x10C4, 0xEA60, kR7xHex + "0001"},
        {"ttyUSB1", lBridgeB.SlavePath(), false, 0, 0, ""},
        {"ttyUSB2", lOther.SlavePath(), true, 0x0403, 0x6001, "FT000"},
    };
  });
  tUSB_CP210x lUsb(lBackend);
  ASSERT_EQ(lUsb.GetNumDevices(), 2u);
  QMap<QString, int> lFound;
  for (quint32 i = 0; i < 2; ++i) {
    const QString lSerial = lUsb.GetProductString(i);
    ASSERT_TRUE(lUsb.Open(i));
    EXPECT_EQ(lUsb.GetVid(), 0x10C4);
    lFound.insert(lSerial, lUsb.GetComNr());
    lUsb.Close();
  }
  EXPECT_EQ(lFound, (QMap<QString, int>{{kR7xHex + "0001", 3}, {kVQ5Hex + "0099", -1}}));

  // A bridge pulled after the listing cannot be opened.
  lBridgeA.Close();
  lBridgeB.Close();
  EXPECT_FALSE(lUsb.Open(0));
}

TEST(USB_CP210x, WithoutAnyBridgeNothingFails) {
  QTemporaryDir lDir;
  auto lBackend = std::make_shared<tCP210xLinux>(nullptr);
  lBackend->SetSysfsRoot(lDir.path());
  lBackend->SetPortLister([] {
    return QList<tCP210xLinux::tPortInfo>{{"ttyS0", "/dev/ttyS0", false, 0, 0, ""}};
  });
  tUSB_CP210x lUsb(lBackend);
  EXPECT_EQ(lUsb.GetNumDevices(), 0u);
  // And on this machine, whatever it has plugged in.
  EXPECT_NO_THROW(tUSB_CP210x().GetNumDevices());
}
