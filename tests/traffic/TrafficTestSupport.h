#pragma once
// Shared helpers of the traffic tests: waiting in the event loop, and the traffic of a log
// read back as the view's lines.
#include "tests/support/WaitFor.h"
#include "core/Clock.h"
#include "i18n/MessageSlots.h"
#include "serial/TrafficLog.h"
#include "traffic/TrafficReader.h"
#include "traffic/TrafficTexts.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& pText, std::ostream* pOut) {
  *pOut << '"' << pText.toStdString() << '"';
}
inline void PrintTo(const QStringList& pList, std::ostream* pOut) {
  *pOut << "[\n  " << pList.join(QStringLiteral("\n  ")).toStdString() << "\n]";
}

namespace traffictest {

using ::PumpFor;
using ::WaitFor;

// Every frame the log keeps, read as the view reads it, with the German texts.
inline std::vector<tTrafficLine> Lines(const tTrafficLog& pLog) {
  static const tMessageSlots sTexts(TrafficTexts::GermanTexts());
  const tTrafficReader lReader(pLog, sTexts);
  std::vector<tTrafficLine> lLines;
  for (std::uint64_t s = pLog.FirstSeq(); s < pLog.EndSeq(); ++s)
    lLines.push_back(lReader.Line(s, MonotonicUSecs()));
  return lLines;
}

// "TX|RX|-- <hex>" of every frame.
inline QStringList Wire(const std::vector<tTrafficLine>& pLines) {
  QStringList lWire;
  for (const tTrafficLine& l : pLines)
    if (l.Kind == tkSent || l.Kind == tkReceived)
      lWire << (l.Kind == tkSent ? QStringLiteral("TX ") : QStringLiteral("RX ")) +
                   tTrafficReader::HexText(l.Bytes);
  return lWire;
}

} // namespace traffictest
