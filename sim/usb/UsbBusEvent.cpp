#include "sim/usb/UsbBusEvent.h"

#include <cstdlib>
#include <sstream>

namespace {

bool ParseCount(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.size() > 12 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    out = std::strtoull(text.c_str(), nullptr, 10);
    return out <= max;
}

}  // namespace

bool ParseUsbBusEvent(const std::string& text, UsbBusEvent& event, std::string& error) {
    event = UsbBusEvent{};
    std::stringstream in(text);
    std::string item;
    bool haveTrigger = false;
    while (std::getline(in, item, ',')) {
        size_t eq = item.find('=');
        std::string key = item.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        uint64_t number = 0;
        bool ok = true;
        if (key == "bytes" || key == "ms") {
            ok = ParseCount(value, 1ULL << 40, number);
            event.trigger =
                key == "ms" ? UsbBusEvent::Trigger::AfterMs : UsbBusEvent::Trigger::AfterBytes;
            event.value = number;
            haveTrigger = true;
        } else if (key == "reset") {
            event.trigger = UsbBusEvent::Trigger::OnReset;
            haveTrigger = true;
        } else if (key == "on") {
            event.source = value;
        } else if (key == "remove") {
            event.remove = value;
        } else if (key == "add") {
            event.add = value;
        } else if (key == "delay") {
            ok = ParseCount(value, 600000, number);
            event.delayMs = static_cast<int>(number);
        } else {
            error = "unknown event key \"" + key + "\"";
            return false;
        }
        if (!ok) {
            error = "bad value for event key \"" + key + "\"";
            return false;
        }
    }
    if (!haveTrigger) {
        error = "event without a trigger (bytes=N, ms=N or reset)";
        return false;
    }
    if (event.remove.empty() && event.add.empty()) {
        error = "event that neither removes nor adds a device";
        return false;
    }
    return true;
}
