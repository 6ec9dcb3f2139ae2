#include <cstdio>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "common/StatusLine.h"

namespace {

const char* KindWord(int portType) {
    switch (portType) {
        case COMMPORT_SERIAL:
            return "ser";
        case COMMPORT_ETH:
            return "eth";
        case COMMPORT_USB:
            return "usb";
        default:
            return "link";
    }
}

}  // namespace

void CComPort::TraceData(const char* direction, const unsigned char* data, unsigned count) const {
    if (!Log::IsOn() || data == nullptr || count == 0) return;
    char text[64];
    snprintf(text, sizeof(text), "%s %s %u bytes", KindWord(iPortType), direction, count);
    Log::WriteLogData(TRACE_FUNCTION, text, data, count);
}

void CComPort::TraceSent(const unsigned char* data, unsigned count) const {
    // Every piece a link writes passes here: the live status counts it.
    StatusLine::Sent(count);
    TraceData("sent", data, count);
}

void CComPort::TraceReceived(const unsigned char* data, unsigned count) const {
    TraceData("received", data, count);
}

void CComPort::TraceEvent(const char* event) const {
    if (!Log::IsOn()) return;
    Log::WriteLogP(TRACE_FUNCTION, "%s %s", KindWord(iPortType), event);
}
