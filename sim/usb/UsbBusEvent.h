#pragma once

#include <cstdint>
#include <string>

// A change of the emulated bus while the program under test runs: the
// printer restarts (its device goes away, and after a pause the same or
// another device appears), triggered by what the printer has received.
struct UsbBusEvent {
    enum class Trigger { AfterBytes, OnReset, AfterMs };
    Trigger trigger = Trigger::AfterBytes;
    uint64_t value = 0;  // bytes received by the device, or milliseconds since start
    std::string source;  // device whose traffic triggers it; empty: any printer device
    std::string remove;  // device to unplug; empty: none
    std::string add;     // device (declared absent) to plug in; empty: none
    int delayMs = 0;     // pause between the removal and the addition
    bool fired = false;
};

// Parses "bytes=4096,remove=p,add=boot,delay=300", "reset,remove=p,add=p2",
// "ms=500,add=x" (keys: bytes, reset, ms, on, remove, add, delay).
bool ParseUsbBusEvent(const std::string& text, UsbBusEvent& event, std::string& error);
