#pragma once

#include <cstdint>

// Over which printer interfaces a status bit is reported: bit 0 standard
// port, bit 1 USB port, bit 2 UDP port.
class StatusWayPorts {
  public:
    StatusWayPorts() = default;
    explicit StatusWayPorts(int32_t value) : iValue(value) {}

    bool AvailableStandardPort() const { return (iValue & 1) != 0; }
    bool AvailableUsb0Port() const { return (iValue & 2) != 0; }
    bool AvailableUdpPort() const { return (iValue & 4) != 0; }
    bool Available() const { return (iValue & 7) != 0; }

    int32_t iValue = 0;
};
