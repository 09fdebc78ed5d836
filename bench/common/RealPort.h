#pragma once
// The real port class on a device path, reached as COM9 through a port map of its own, so that
// a benchmark measures the same code the program runs without touching the user's settings.
#include "core/IniFile.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"

#include <QTemporaryDir>
#include <memory>

struct tRealPort {
  QTemporaryDir Dir;
  tIniFile Ini{Dir.filePath("Corvane.ini")};
  tPortMap Map{Ini};
  std::unique_ptr<iComPort> Open(const QString& pPath, int pBaud) {
    Map.SetEntry(9, pPath);
    auto lPort = std::make_unique<TApdComPort>(&Map);
    lPort->SetComNumber(9);
    lPort->SetBaud(pBaud);
    lPort->SetOpen(true);
    return lPort;
  }
};
