#include "operations/PrinterComm.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "comm/ComPort.h"
#include "comm/CommPortSettings.h"
#include "common/GenericFunctions.h"
#include "common/Log.h"

namespace {

const char* const FN = "OpenCommunicationPort";

void CopyPart(char* out, const char* from, size_t length) {
    if (length > PrinterComm::USB_PART_SIZE - 1) length = PrinterComm::USB_PART_SIZE - 1;
    memcpy(out, from, length);
    out[length] = '\0';
}

bool OpenSerial(CComPort* link, CommPortSettings* settings, const char* ttyClassDir) {
    Log::WriteLog(FN, "COM Port");
    bool isVirtual = GenericFunctions::ISVirtualCOM(settings->szSerialDevice, ttyClassDir);
    if (isVirtual) Log::WriteLog(FN, "COM Port VIRTUAL");
    if (!link->Init(settings->szSerialDevice, settings->iBaudRate, settings->iFlowControl,
                    isVirtual) ||
        !link->Open()) {
        return false;
    }
    link->SetTimeoutRX(link->GetTimeoutRX() * 2);
    return true;
}

bool OpenUsb(CComPort* link, CommPortSettings* settings) {
    Log::WriteLog(FN, "USB PRN Port");
    char vendor[PrinterComm::USB_PART_SIZE];
    char product[PrinterComm::USB_PART_SIZE];
    char serial[PrinterComm::USB_PART_SIZE];
    PrinterComm::ExtractUsbParamsFromName(settings->szUsbDevice, vendor, product, serial);
    // The link looks for the maker's vendor id itself; the address number is
    // the serial text's last character.
    char address[2] = {};
    size_t serialLength = strlen(serial);
    if (serialLength > 0) address[0] = serial[serialLength - 1];
    return link->Init(product, address) && link->Open();
}

bool OpenEth(CComPort* link, CommPortSettings* settings) {
    Log::WriteLog(FN, "ETH Port");
    char name[CommPortSettings::TEXT_SIZE + 32];
    snprintf(name, sizeof(name), "{%s}:{%d}", settings->szEthAddress, settings->iEthPort);
    Log::WriteLogP(FN, "ETH Port Name: %s", name);
    return link->Init(settings->szEthAddress, settings->iEthPort) && link->Open();
}

}  // namespace

PrinterComm::PrinterComm(int components, int timeMultiplier)
    : iErrorCode(0),
      timem(timeMultiplier),
      iComponentMask(components),
      fnPause([](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }) {}

bool PrinterComm::ExtractUsbParamsFromName(const char* name, char* vendor, char* product,
                                           char* serial) {
    vendor[0] = product[0] = serial[0] = '\0';
    if (name == nullptr) return true;
    const char* first = strchr(name, '|');
    if (first == nullptr) return true;
    CopyPart(vendor, name, static_cast<size_t>(first - name));
    const char* rest = first + 1;
    if (*rest == '\0') return true;
    const char* second = strchr(rest, '|');
    if (second == nullptr) return true;
    CopyPart(product, rest, static_cast<size_t>(second - rest));
    if (second[1] != '\0') CopyPart(serial, second + 1, strlen(second + 1));
    return true;
}

bool PrinterComm::OpenCommunicationPort(CComPort* link, CommPortSettings* settings) {
    bool opened;
    switch (settings->iType) {
        case COMMPORT_SERIAL:
            opened = OpenSerial(link, settings, szTtyClassDir);
            break;
        case COMMPORT_USB:
        case 3:  // handled like USB
            opened = OpenUsb(link, settings);
            break;
        case COMMPORT_ETH:
            opened = OpenEth(link, settings);
            break;
        default:
            Log::WriteLog(FN, "Port Invalid");
            return false;
    }
    if (!opened) {
        Log::WriteLog(FN, "Open Port Error");
        Log::WriteLogP(FN, "Error: %s", link->szLastError);
    }
    return opened;
}
