#pragma once
// Reads R70 traffic for the traffic view: the command layer's transfers, the device
// interface's live values, and the probes that find an R70-protocol instrument ("SO", then
// "MA"), with or without the auto-baud byte.
#include "protocol/common/TrafficDecoder.h"

class tR70Decoder : public tTrafficDecoder {
protected:
  tRequest Recognise(const QByteArray& pCommand) const override;
  QString ReplyValue(const tRequest& pRequest, const QByteArray& pData) const override;
};
