#pragma once
// R70 data link over a serial port. Owns the port from construction on: destroying the link
// closes and releases it.
#include "protocol/r70/R70_DataLink.h"
#include "serial/ComPortIntf.h"

#include <memory>

class tDMU_R70DataLinkRS232 : public iR70_DataLink {
public:
  tDMU_R70DataLinkRS232(std::unique_ptr<iComPort> pComObj, bool pAutoBaud);
  ~tDMU_R70DataLinkRS232() override;
  tDMU_R70DataLinkRS232(const tDMU_R70DataLinkRS232&) = delete;
  tDMU_R70DataLinkRS232& operator=(const tDMU_R70DataLinkRS232&) = delete;

  void Transfer(const QByteArray& pRequest, const QByteArray& pExpectedStart, QByteArray& pReply,
                qint32 pDataLength) override;
  qint32 Reserved() override { return 0; }
  qint32 Reserved(quint32) override { return 0; }
  void SetIp(quint32 pAddress) override;
  void Abort() override;

  // The port, for the layers above that only refer to it.
  iComPort* ComPort() const { return mComPort.get(); }
  // The data-available handler of this link, so the device interface can put it back after
  // its live exchange.
  void RxTriggerAvail(iComPort* pCP, quint16 pCount);

private:
  std::unique_ptr<iComPort> mComPort;
  QByteArray mRxData;
  bool mAutoBaudByte;
  bool mAborted = false;
};
