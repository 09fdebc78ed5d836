#pragma once
// Reads K40 traffic for the traffic view: the command layer's transactions, the device
// interface's live values, and the two probes that find an or a K40-family
// instrument ("TYP", "SO").
#include "protocol/common/TrafficDecoder.h"

class tK40Decoder : public tTrafficDecoder {
protected:
  tRequest Recognise(const QByteArray& pCommand) const override;
  QString ReplyValue(const tRequest& pRequest, const QByteArray& pData) const override;
};
