#include "sim/usb/UsbDeviceConfig.h"

#include <cstdlib>
#include <sstream>

namespace {

bool ParseHex16(const std::string& text, uint16_t& out) {
    if (text.empty() || text.size() > 4) return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0') return false;
    out = static_cast<uint16_t>(v);
    return true;
}

bool ParseDecimal(const std::string& text, long low, long high, long& out) {
    if (text.empty() || text.size() > 9) return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

bool ParseFlag(const std::string& text, bool& out) {
    if (text == "1" || text == "yes" || text.empty()) {
        out = true;
    } else if (text == "0" || text == "no") {
        out = false;
    } else {
        return false;
    }
    return true;
}

bool ParsePorts(const std::string& text, std::vector<uint8_t>& ports) {
    ports.clear();
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) {
        long v = 0;
        if (!ParseDecimal(part, 1, 31, v)) return false;
        ports.push_back(static_cast<uint8_t>(v));
    }
    return !ports.empty() && ports.size() <= 7;
}

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutEndpoint(std::vector<uint8_t>& out, uint8_t address, uint16_t maxPacket) {
    out.insert(out.end(), {7, 5, address, 0x02});
    Put16(out, maxPacket);
    out.push_back(0);
}

}  // namespace

bool IsPrintableText(const std::string& text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

std::string UsbDeviceConfig::KernelName() const {
    std::string name = std::to_string(bus) + "-";
    for (size_t i = 0; i < ports.size(); ++i) {
        if (i > 0) name += ".";
        name += std::to_string(ports[i]);
    }
    return name;
}

bool ParseUsbDeviceConfig(const std::string& text, UsbDeviceConfig& layout, std::string& error) {
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        size_t eq = item.find('=');
        std::string key = item.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        long number = 0;
        bool ok = true;
        if (key == "name") {
            ok = !value.empty() && IsPrintableText(value);
            layout.name = value;
        } else if (key == "vid") {
            ok = ParseHex16(value, layout.vendorId);
        } else if (key == "pid") {
            ok = ParseHex16(value, layout.productId);
        } else if (key == "serial") {
            // Any bytes: tests give printers odd serials on purpose.
            ok = value.size() <= UsbDeviceConfig::MAX_SERIAL;
            layout.serial = value;
            layout.hasSerial = true;
        } else if (key == "noserial") {
            layout.hasSerial = false;
            layout.serial.clear();
        } else if (key == "bus") {
            ok = ParseDecimal(value, 1, 127, number);
            layout.bus = static_cast<int>(number);
        } else if (key == "port") {
            ok = ParsePorts(value, layout.ports);
        } else if (key == "driver") {
            ok = value.size() <= UsbDeviceConfig::MAX_DRIVER && IsPrintableText(value);
            layout.driver = value;
        } else if (key == "foreign") {
            layout.printer = false;
        } else if (key == "zlp") {
            ok = ParseFlag(value, layout.zeroLengthPacket);
        } else if (key == "infirst") {
            ok = ParseFlag(value, layout.inEndpointFirst);
        } else if (key == "speed") {
            ok = ParseDecimal(value, 12, 480, number) && (number == 12 || number == 480);
            layout.speedMbps = static_cast<int>(number);
        } else if (key == "absent") {
            layout.present = false;
        } else if (key == "noaccess") {
            layout.accessible = false;
        } else {
            error = "unknown device key \"" + key + "\"";
            return false;
        }
        if (!ok) {
            error = "bad value for device key \"" + key + "\"";
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> BuildUsbDescriptors(const UsbDeviceConfig& layout, bool hub) {
    std::vector<uint8_t> d;
    // Device descriptor.
    d.insert(d.end(), {18, 1});
    Put16(d, 0x0200);
    d.push_back(hub ? 9 : 0);  // class
    d.insert(d.end(), {0, 0, 64});
    Put16(d, layout.vendorId);
    Put16(d, layout.productId);
    Put16(d, 0x0100);
    d.insert(d.end(),
             {0, 0, static_cast<uint8_t>(layout.hasSerial ? USB_SERIAL_STRING_INDEX : 0), 1});
    // Configuration: one interface, two bulk endpoints (a hub: one interrupt IN).
    uint16_t total = hub ? 9 + 9 + 7 : 9 + 9 + 7 + 7;
    d.insert(d.end(), {9, 2});
    Put16(d, total);
    d.insert(d.end(), {1, 1, 0, 0xC0, 50});
    if (hub) {
        d.insert(d.end(), {9, 4, 0, 0, 1, 9, 0, 0, 0});
        d.insert(d.end(), {7, 5, 0x81, 0x03, 4, 0, 12});
        return d;
    }
    d.insert(d.end(), {9, 4, 0, 0, 2, 7, 1, 2, 0});
    uint16_t mps = layout.MaxPacketSize();
    if (layout.inEndpointFirst) {
        PutEndpoint(d, 0x82, mps);
        PutEndpoint(d, 0x01, mps);
    } else {
        PutEndpoint(d, 0x01, mps);
        PutEndpoint(d, 0x82, mps);
    }
    return d;
}
