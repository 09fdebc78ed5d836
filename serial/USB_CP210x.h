#pragma once
// Which of the maker's instruments sit behind a USB-to-serial bridge, and on which COM
// number: asked by the device frame before it first connects. One object per question;
// the answers come from a backend (by default the Linux one over the system's serial
// devices and the port map). Without any bridge nothing fails: every port is ordinary.
#include "core/Error.h"
#include "serial/CP210xBackend.h"

#include <QString>
#include <functional>
#include <memory>

CORVANE_DECLARE_ERROR(eUSB_CP210x)

class tUSB_CP210x {
public:
  using tBackendFactory = std::function<std::shared_ptr<iCP210xBackend>()>;

  // With no backend given, the application's (SetBackendFactory) or else the Linux one over
  // the application's port map. A factory that yields none fails as a missing library.
  explicit tUSB_CP210x(std::shared_ptr<iCP210xBackend> pBackend = nullptr);
  tUSB_CP210x(const tUSB_CP210x&) = delete;
  tUSB_CP210x& operator=(const tUSB_CP210x&) = delete;

  // Status 0: true; any other raises eUSB_CP210x "CP210x-Fehler: <status>".
  bool CheckStatus(int pStatus) const;
  quint32 GetNumDevices();
  // The USB serial-number string of the bridge at pIndex, at most 256 characters.
  QString GetProductString(quint32 pIndex);
  // True when the bridge could be opened; never raises.
  bool Open(quint32 pIndex);
  void Close();
  quint16 GetVid();
  quint16 GetPid();
  QString GetSerialNumber();
  // The COM number of the open bridge, or -1.
  int GetComNr();

  // Which backend objects constructed without one use (tests install a fake; empty: the
  // Linux backend).
  static void SetBackendFactory(tBackendFactory pFactory);

private:
  std::shared_ptr<iCP210xBackend> mBackend;
  iCP210xBackend::tHandle mDeviceHandle = 0;
};
