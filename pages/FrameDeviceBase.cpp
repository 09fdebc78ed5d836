#include "pages/FrameDeviceBase.h"

TFrameDeviceBase::TFrameDeviceBase(QWidget* AOwner) : QWidget(AOwner) {}

TFrameDeviceBase::~TFrameDeviceBase() = default;
