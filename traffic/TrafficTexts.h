#pragma once
// The texts of the traffic view, in the order of the view's hidden list: the name of every
// command both families send (catalogue entries 701 to 730, in the order of tTrafficCommand),
// then the view's own words (732 to 767).
#include <QString>
#include <QStringList>

enum tTrafficText {
  ttCommands = 0,
  ttTitle = 30,
  ttColumns,
  ttSent = ttColumns + 8,
  ttReceived,
  ttOutside,
  ttAfterPause,
  ttCell,
  ttAutoBaud,
  ttChecksumGood,
  ttChecksumBad,
  ttIncomplete,
  ttWrongStart,
  ttStray,
  ttExtra,
  ttNoReply,
  ttOpened,
  ttClosed,
  ttLost,
  ttTry,
  ttCycle,
  ttPause,
  ttClear,
  ttCopy,
  ttSave,
  ttFilter,
  ttAllFrames,
  ttErrorsOnly,
  ttFileFilter,
  ttFrameCount,
  ttCount
};

namespace TrafficTexts {
// The hidden list as designed: "id@German text" per line.
const QStringList& DesignLines();
// The German texts alone, what the view shows before its first translation.
QStringList GermanTexts();
} // namespace TrafficTexts
