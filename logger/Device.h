#pragma once
// One record of the data logger per device frame.
#include "core/DateTime.h"
#include "core/DeviceInfo.h"
#include <QString>
#include <memory>

class TFrameDevice;
class tLogSeries;

class tDevice {
public:
  // The device was ready when the user last pressed Start.
  bool Connected = false;
  // The device takes part in the current or last run.
  bool LogActive = false;
  // The device frame (not owned). Cleared when the frame is removed while the record is kept
  // for recorded data, so the record never reaches a destroyed frame.
  TFrameDevice* FrameDevice = nullptr;
  tLogSeries* SeriesP = nullptr; // owned by the chart
  tLogSeries* SeriesT = nullptr; // owned by the chart
  tDateTime LastValueTime = 0;
  QString Description;
  QString Ident;
  // What the record still knows of a removed device (tag, range), for its rows and printouts.
  std::unique_ptr<tDeviceInfo> KeptInfo;

  // The device information of the frame, or the kept copy once the frame is gone.
  const tDeviceInfo* Info() const;
};
