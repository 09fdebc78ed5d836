#include "serial/ComPortIntf.h"

void DeliverTriggerAvail(const TTriggerAvailEvent& pHandler, iComPort* pPort, quint16 pCount) {
  if (!pHandler) return;
  try {
    pHandler(pPort, pCount);
  } catch (const std::exception& e) {
    ReportErrorQueued(e);
  } catch (...) {
    ReportErrorQueued(eError(QStringLiteral("Unbekannter Fehler beim Empfang")));
  }
}
