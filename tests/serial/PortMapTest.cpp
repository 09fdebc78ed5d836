#include "serial/PortMap.h"
#include "core/IniFile.h"

#include "PtyPeer.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
using tDevices = QList<tPortMap::tSerialDevice>;

tPortMap::tDeviceLister Devices(const tDevices& pDevices) {
  return [pDevices] { return pDevices; };
}
} // namespace

TEST(PortMap, NumbersNewDevicesAndKeepsThemAcrossRestarts) {
  struct tCase {
    const char* Name;
    QMap<quint16, QString> Before;
    tDevices Devices;
    QMap<quint16, QString> After;
  };
  const QString lById = "/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0";
  const tCase lCases[] = {
      {"ttyS<k> takes COM<k+1>, others the lowest free number",
       {},
       {{"/dev/ttyUSB0", lById}, {"/dev/ttyS0", ""}, {"/dev/ttyS3", ""}, {"/dev/ttyACM0", ""}},
       {{1, "/dev/ttyS0"}, {4, "/dev/ttyS3"}, {2, lById}, {3, "/dev/ttyACM0"}}},
      {"a taken number sends a ttyS port to the lowest free one",
       {{1, "/tmp/corvane-sim-k40"}},
       {{"/dev/ttyS0", ""}},
       {{1, "/tmp/corvane-sim-k40"}, {2, "/dev/ttyS0"}}},
      {"known devices keep their numbers, by either name",
       {{7, "/dev/ttyS0"}, {5, lById}},
       {{"/dev/ttyS0", ""}, {"/dev/ttyUSB0", lById}},
       {{7, "/dev/ttyS0"}, {5, lById}}},
      {"gaps are filled from the bottom",
       {{1, "/a"}, {3, "/b"}},
       {{"/dev/ttyUSB0", ""}, {"/dev/ttyUSB1", ""}},
       {{1, "/a"}, {2, "/dev/ttyUSB0"}, {3, "/b"}, {4, "/dev/ttyUSB1"}}},
  };
  for (const tCase& lCase : lCases) {
    SCOPED_TRACE(lCase.Name);
    QTemporaryDir lDir;
    const QString lFile = lDir.filePath("Corvane.ini");
    {
      tIniFile lIni(lFile);
      tPortMap lMap(lIni);
      for (auto lIt = lCase.Before.begin(); lIt != lCase.Before.end(); ++lIt)
        lMap.SetEntry(lIt.key(), lIt.value());
      lMap.SetDeviceLister(Devices(lCase.Devices));
      lMap.Update();
      lMap.Update(); // a second listing adds nothing
    }
    // Written at once: a new program run reads the same numbers.
    tIniFile lIni(lFile);
    tPortMap lMap(lIni);
    lMap.SetDeviceLister(Devices({}));
    EXPECT_EQ(lMap.Entries(), lCase.After);
  }
}

TEST(PortMap, ListsOnlyPresentDevicesSortedByNumber) {
  QTemporaryDir lDir;
  tIniFile lIni(lDir.filePath("Corvane.ini"));
  tPortMap lMap(lIni);
  lMap.SetDeviceLister(Devices({}));
  tPtyPeer lFirst, lSecond;
  QFile lPlain(lDir.filePath("plain"));
  ASSERT_TRUE(lPlain.open(QIODevice::WriteOnly));
  lPlain.close();
  ASSERT_TRUE(QFile::link(lSecond.SlavePath(), lDir.filePath("sim-r70")));
  ASSERT_TRUE(QFile::link(lDir.filePath("nowhere"), lDir.filePath("dangling")));
  lMap.SetEntry(10, lFirst.SlavePath());
  lMap.SetEntry(2, lDir.filePath("sim-r70"));
  lMap.SetEntry(3, lDir.filePath("plain"));
  lMap.SetEntry(4, lDir.filePath("dangling"));
  lMap.SetEntry(5, "/dev/does-not-exist");
  lIni.WriteString("Ports", "COMX", "/dev/null"); // not a port name: ignored
  lIni.WriteString("Ports", "COM0", "/dev/null");
  // Network ports are listed without asking the network; a malformed address is not.
  lMap.SetEntry(6, "rfc2217://bench-3.lab:3001");
  lMap.SetEntry(7, "TCP://[::1]:2000");
  lMap.SetEntry(8, "rfc2217://bench-3.lab");
  lMap.SetEntry(9, "tcp://bench-3.lab:99999");
  EXPECT_EQ(lMap.ListComPorts(), (QStringList{"COM2", "COM6", "COM7", "COM10"}));
  lSecond.Close(); // the simulator stopped: its link now points nowhere
  EXPECT_EQ(lMap.ListComPorts(), (QStringList{"COM6", "COM7", "COM10"}));
}

TEST(PortMap, FindsTheNumberOfADeviceUnderAnyOfItsNames) {
  QTemporaryDir lDir;
  tIniFile lIni(lDir.filePath("Corvane.ini"));
  tPortMap lMap(lIni);
  tPtyPeer lPeer;
  ASSERT_TRUE(QFile::link(lPeer.SlavePath(), lDir.filePath("link")));
  lMap.SetEntry(6, lDir.filePath("link"));
  EXPECT_EQ(lMap.ComNumberOf(lDir.filePath("link")), 6);
  EXPECT_EQ(lMap.ComNumberOf(lPeer.SlavePath()), 6);
  EXPECT_EQ(lMap.ComNumberOf("/dev/ttyS9"), -1);
  EXPECT_EQ(lMap.DevicePath(6), lDir.filePath("link"));
  EXPECT_EQ(lMap.DevicePath(7), QString());
  lMap.RemoveEntry(6);
  EXPECT_EQ(lMap.ComNumberOf(lPeer.SlavePath()), -1);
}

TEST(PortMap, UserEntriesWithAnyPathSurviveTheFile) {
  QTemporaryDir lDir;
  const QString lWeird = lDir.filePath("sim [K40] = 1;\n#2 Ü");
  {
    tIniFile lIni(lDir.filePath("Corvane.ini"));
    tPortMap lMap(lIni);
    EXPECT_TRUE(lMap.SetEntry(12, lWeird));
  }
  tIniFile lIni(lDir.filePath("Corvane.ini"));
  EXPECT_EQ(tPortMap(lIni).DevicePath(12), lWeird);
}

TEST(PortMap, DialogEditsAreCheckedAndWrittenAtOnce) {
  QTemporaryDir lDir;
  const QString lFile = lDir.filePath("Corvane.ini");
  {
    tIniFile lIni(lFile);
    tPortMap lMap(lIni);
    lMap.SetDeviceLister(Devices({}));
    EXPECT_EQ(lMap.FreeNumber(), 1);
    EXPECT_EQ(lMap.AddEntry(3, " /tmp/sim-a "), tPortMap::erOk);
    EXPECT_EQ(lMap.AddEntry(5, "/tmp/sim-b"), tPortMap::erOk);
    // Refused edits leave the list as it was.
    EXPECT_EQ(lMap.AddEntry(3, "/tmp/other"), tPortMap::erNumberInUse);
    EXPECT_EQ(lMap.AddEntry(0, "/tmp/other"), tPortMap::erNumberInvalid);
    EXPECT_EQ(lMap.AddEntry(65536, "/tmp/other"), tPortMap::erNumberInvalid);
    EXPECT_EQ(lMap.AddEntry(7, "  "), tPortMap::erNoPath);
    EXPECT_EQ(lMap.Renumber(3, 5), tPortMap::erNumberInUse);
    EXPECT_EQ(lMap.Renumber(3, 70000), tPortMap::erNumberInvalid);
    EXPECT_EQ(lMap.Renumber(4, 9), tPortMap::erNoEntry);
    EXPECT_EQ(lMap.Renumber(3, 3), tPortMap::erOk);

    EXPECT_EQ(lMap.Renumber(3, 65535), tPortMap::erOk);
    EXPECT_TRUE(lMap.RemoveEntry(5));
    EXPECT_EQ(lMap.FreeNumber(), 1);
  }
  // Read back by a new file object: every edit reached the disk.
  tIniFile lIni(lFile);
  const QMap<quint16, QString> lEntries = tPortMap(lIni).Entries();
  EXPECT_EQ(lEntries, (QMap<quint16, QString>{{65535, "/tmp/sim-a"}}));
}

TEST(PortMap, RenumberingAnEntryWrittenInAnotherSpellingLeavesNoShadow) {
  QTemporaryDir lDir;
  const QString lFile = lDir.filePath("Corvane.ini");
  {
    QFile lRaw(lFile);
    ASSERT_TRUE(lRaw.open(QIODevice::WriteOnly));
    lRaw.write("[Ports]\ncom4=/tmp/sim-c\n");
  }
  tIniFile lIni(lFile);
  tPortMap lMap(lIni);
  lMap.SetDeviceLister(Devices({}));
  EXPECT_EQ(lMap.Renumber(4, 8), tPortMap::erOk);
  EXPECT_EQ(lMap.Entries(), (QMap<quint16, QString>{{8, "/tmp/sim-c"}}));
  EXPECT_EQ(lMap.AddEntry(4, "/tmp/sim-d"), tPortMap::erOk);
}

TEST(PortMap, AccessNamesTheDevicesOwnGroup) {
  QTemporaryDir lDir;
  const QString lPath = lDir.filePath("device");
  {
    QFile lFile(lPath);
    ASSERT_TRUE(lFile.open(QIODevice::WriteOnly));
  }
  EXPECT_TRUE(tPortMap::Access(lPath).Allowed);
  EXPECT_TRUE(tPortMap::Access(lDir.filePath("missing")).Allowed); // absence is told elsewhere
  ASSERT_TRUE(QFile::setPermissions(lPath, QFileDevice::Permissions()));
  if (geteuid() == 0) GTEST_SKIP() << "root may open any device";
  const tPortMap::tAccess lAccess = tPortMap::Access(lPath);
  EXPECT_FALSE(lAccess.Allowed);
  EXPECT_EQ(lAccess.Group, QFileInfo(lPath).group());
  EXPECT_TRUE(lAccess.InGroup); // the file's group is the user's own
}
