#pragma once
// COM numbers on Linux: section "Ports" of the settings file maps "COM<n>" to a device path
// (a real port, a USB bridge by its stable /dev/serial/by-id path, a pseudo-terminal or a
// link to one). Serial devices the system reports get an entry the first time they are
// seen, written at once, so an instrument keeps its number; users may add or edit entries.
//
// How a port object finds the map: the main window, which owns the settings file, creates
// one map for its life and makes it the application's map (SetApplicationMap); a real port
// created without a map of its own resolves its number there. Tests give a map to the port
// (or to ComPortFactory) directly.
#include "serial/ComPortIntf.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

class tIniFile;

class tPortMap {
public:
  // A serial device as the system reports it: its device node and, where udev made one, the
  // stable link that names the same device wherever it is plugged in.
  struct tSerialDevice {
    QString SystemLocation; // e.g. /dev/ttyS0, /dev/ttyUSB0
    QString StablePath;     // e.g. /dev/serial/by-id/usb-…-if00-port0, or empty
  };
  using tDeviceLister = std::function<QList<tSerialDevice>()>;

  explicit tPortMap(tIniFile& pIni);

  // Where the system's serial devices come from; by default QSerialPortInfo and
  // /dev/serial/by-id. Tests present their own.
  void SetDeviceLister(tDeviceLister pLister) { mLister = std::move(pLister); }
  static QList<tSerialDevice> SystemDevices();

  // Gives every reported device that has no entry yet a number and writes it at once:
  // /dev/ttyS<k> gets COM<k+1> when free, any other device the lowest free number.
  void Update();
  // "COM"+number of the entries whose device exists now, sorted by number (after Update).
  QStringList ListComPorts();
  QList<quint16> PresentNumbers();

  // The device path of COM<pComNr>, empty without an entry.
  QString DevicePath(quint16 pComNr) const;
  // The number whose entry names this device (also through another link), -1 without one.
  int ComNumberOf(const QString& pDevicePath) const;
  QMap<quint16, QString> Entries() const;
  // A user entry for any device path; false when the settings file could not be written.
  bool SetEntry(quint16 pComNr, const QString& pDevicePath);
  bool RemoveEntry(quint16 pComNr);

  // Edits from the Ports dialog, each written to the settings file at once. Numbers run from
  // 1 to 65535 and name one entry each.
  enum tEditResult { erOk, erNumberInvalid, erNumberInUse, erNoPath, erNoEntry, erWriteFailed };
  tEditResult AddEntry(int pComNr, const QString& pDevicePath);
  tEditResult Renumber(quint16 pFrom, int pTo);
  // The lowest number without an entry, 0 when all are taken.
  quint16 FreeNumber() const;

  // True when the path names a character device now (following links).
  static bool DeviceExists(const QString& pDevicePath);
  // True for "rfc2217://host:port" and "tcp://host:port": a port on another machine, listed
  // as present without being asked.
  static bool IsNetworkPath(const QString& pDevicePath);

  // Whether this user may open the device for reading and writing; for a refused device the
  // group that may, and whether the user is in it already.
  struct tAccess {
    bool Allowed = true;
    QString Group;
    bool InGroup = false;
  };
  static tAccess Access(const QString& pDevicePath);

  // A maker of real ports resolving their numbers through this map.
  tComPortFactory ComPortFactory();

  static void SetApplicationMap(tPortMap* pMap);
  static tPortMap* ApplicationMap();

  static const char* const kSection;

private:
  static QString Key(quint16 pComNr) { return QStringLiteral("COM%1").arg(pComNr); }

  tIniFile& mIni;
  tDeviceLister mLister;
};
