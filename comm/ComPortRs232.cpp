#include "comm/ComPortRs232.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "comm/IdentificationHandshake.h"
#include "common/Log.h"

namespace {

constexpr int HANDSHAKE_ATTEMPTS = 5;
constexpr int HANDSHAKE_PAUSE_MS = 1500;
constexpr int CTS_STEP_MS = 50;
constexpr int WRITE_RETRY_MS = 10;
constexpr unsigned MAX_READ = 1024;
constexpr int FIONREAD_PAUSE_THRESHOLD = 7;
constexpr int ANSWER_TAIL_PAUSE_US = 80000;

struct BaudCode {
    int baud;
    speed_t code;
};

constexpr BaudCode BAUD_TABLE[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

bool LookUpBaud(int baud, speed_t* code) {
    for (const BaudCode& entry : BAUD_TABLE) {
        if (entry.baud == baud) {
            *code = entry.code;
            return true;
        }
    }
    return false;
}

// Waits until the descriptor is ready for events, at most timeoutMs.
bool WaitReady(int fd, short events, int timeoutMs) {
    struct pollfd p {};
    p.fd = fd;
    p.events = events;
    int rc = poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    return rc > 0 && (p.revents & events) != 0;
}

bool TiocmGet(int fd, int* lines) { return ioctl(fd, TIOCMGET, lines) == 0; }

}  // namespace

CComPortRs232::CComPortRs232()
    : CComPort(0),
      iFd(-1),
      szDevice{},
      iBaudRate(-1),
      iFlowControl(-1),
      tty{},
      isVirtual(false),
      modemLines_(TiocmGet) {
    iPortType = COMMPORT_SERIAL;
    iTimeoutTX = 1000;
    iTimeoutRX = 1000;
    uiPacketSize = 1000;
}

CComPortRs232::~CComPortRs232() { Close(); }

void CComPortRs232::SetLastError(const char* text) {
    snprintf(szLastError, sizeof(szLastError), "%s", text);
}

void CComPortRs232::SetModemLineSource(ModemLineSource source) { modemLines_ = std::move(source); }

bool CComPortRs232::Init(char* device, int baud, int flow, bool virtualPort) {
    static const char* const FN = "Init";
    memset(szLastError, 0, 255);
    snprintf(szDevice, sizeof(szDevice), "%s", device != nullptr ? device : "");
    iBaudRate = baud;
    iFlowControl = flow;
    isVirtual = virtualPort;
    noLinesLogged_ = false;
    memset(&tty, 0, sizeof(tty));

    speed_t code = 0;
    if (!LookUpBaud(baud, &code)) {
        iBaudRate = -1;
        Log::WriteLog(FN, "Error invalid Baudrate");
        SetLastError("Error invalid Baudrate");
        return false;
    }
    tty.c_cflag = code | CS8;
    switch (flow) {
        case 1:
            tty.c_cflag |= CREAD | CLOCAL | CRTSCTS;
            break;
        case 0:
            tty.c_cflag |= CREAD | CLOCAL;
            break;
        case 2:
            tty.c_cflag |= CREAD | CLOCAL;
            tty.c_iflag |= IXON | IXOFF | IXANY;
            break;
        default:
            Log::WriteLog(FN, "Error invalid Flow control");
            SetLastError("Error invalid Flow control");
            iFlowControl = -1;
            return false;
    }
    cfsetispeed(&tty, code);
    cfsetospeed(&tty, code);
    return true;
}

bool CComPortRs232::OpenPort() {
    static const char* const FN = "OpenPort";
    if (iFd != -1) return true;
    Log::WriteLogP(FN, "Opening %s", szDevice);
    memset(szLastError, 0, 255);
    int fd = open(szDevice, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Log::WriteLogP(FN, "Error to open Serial port(%d)", fd);
        SetLastError("Error to open Serial port");
        return false;
    }
    iFd = fd;
    if (tcflush(iFd, TCOFLUSH) != 0 || tcsetattr(iFd, TCSANOW, &tty) != 0) {
        Log::WriteLog(FN, "Error to tcsetattr");
        SetLastError("Error to tcsetattr");
        return false;
    }
    return true;
}

bool CComPortRs232::Open() {
    memset(szLastError, 0, 255);
    if (iFd != -1) return true;
    if (!OpenPort()) {
        Log::WriteLog("Open", "Open RS232 Device Error");
        SetLastError("Open RS232 Device Error");
        return false;
    }
    return true;
}

bool CComPortRs232::Close() {
    memset(szLastError, 0, 255);
    Log::WriteLog("Close", "ClosePort");
    if (iFd != -1) {
        close(iFd);
        iFd = -1;
    }
    return true;
}

bool CComPortRs232::ReOpen() {
    static const char* const FN = "ReOpen";
    Log::WriteLogP(FN, "ReOpen1 %s", szDevice);
    char device[DEVICE_SIZE];
    snprintf(device, sizeof(device), "%s", szDevice);
    int baud = iBaudRate;
    int flow = iFlowControl;
    bool virtualPort = isVirtual;
    Close();
    bool initialised = Init(device, baud, flow, virtualPort);
    Log::WriteLogP(FN, "ReOpen2 %s", szDevice);
    if (!initialised) return false;
    return Open();
}

CComPortRs232::Lines CComPortRs232::ReadLines(const char* function, int* lines) {
    if (modemLines_ && modemLines_(iFd, lines)) return Lines::Present;
    if (!noLinesLogged_) {
        Log::WriteLogP(function, "No modem lines on %s: DSR and CTS not checked", szDevice);
        noLinesLogged_ = true;
    }
    return Lines::Absent;
}

bool CComPortRs232::DsrOff(const char* function, const char* errorText, unsigned* err) {
    int lines = 0;
    if (isVirtual || ReadLines(function, &lines) == Lines::Absent) return false;
    if ((lines & TIOCM_DSR) != 0) return false;
    Log::WriteLog(function, "DSR 0");
    *err = 1;
    SetLastError(errorText);
    return true;
}

unsigned CComPortRs232::ComWrite(unsigned char* buf, unsigned len, unsigned* err) {
    static const char* const FN = "ComWrite";
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    memset(szLastError, 0, 255);
    *err = 0;
    if (iFd < 0) {
        *err = 1;
        Log::WriteLog(FN, "Port not open");
        SetLastError("Write Error");
        return 0;
    }

    if (!WaitReady(iFd, POLLOUT, iTimeoutTX)) {
        *err = 1;
        Log::WriteLog(FN, "Write Buffer Full");
        SetLastError("Write Buffer Full");
        return 0;
    }
    if (DsrOff(FN, "Write Error (DSR 0)", err)) return 0;
    Log::WriteLog(FN, "DSR 1");

    int lines = 0;
    if (!isVirtual && ReadLines(FN, &lines) == Lines::Present) {
        int waits = 0;
        while ((lines & TIOCM_CTS) == 0) {
            if (DsrOff(FN, "Write Error (DSR 0)", err)) return 0;
            if (waits >= iTimeoutTX / CTS_STEP_MS) {
                *err = 1;
                Log::WriteLog(FN, "Write / Timeout Error (CTS 0)");
                SetLastError("Write / Timeout Error (CTS 0)");
                return 0;
            }
            Log::WriteLog(FN, "Waiting CTS...");
            ++waits;
            usleep(CTS_STEP_MS * 1000);
            if (ReadLines(FN, &lines) == Lines::Absent) break;
        }
    }

    // A device that accepts nothing for as long as the transmit time-out is
    // given up rather than waited on for ever.
    int stalledLimit = iTimeoutTX / WRITE_RETRY_MS;
    if (stalledLimit < 1) stalledLimit = 1;
    int stalled = 0;
    unsigned written = 0;
    while (written < len) {
        ssize_t n = write(iFd, buf + written, len - written);
        if (n > 0) {
            written += static_cast<unsigned>(n);
            stalled = 0;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            Log::WriteLog(FN, "Error ComWrite");
            *err = 1;
            SetLastError("Write Error");
            return written;
        }
        if (++stalled > stalledLimit) {
            Log::WriteLogP(FN, "Write / Timeout Error (%u of %u bytes accepted)", written, len);
            *err = 1;
            SetLastError("Write / Timeout Error");
            return written;
        }
        usleep(WRITE_RETRY_MS * 1000);
    }
    return len;
}

unsigned CComPortRs232::Write(unsigned char* buf, unsigned len, unsigned* err) {
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    memset(szLastError, 0, 255);
    uint32_t size =
        static_cast<uint32_t>(iBaudRate) * static_cast<uint32_t>(iTimeoutTX) / 100000u * 5u;
    // A piece of no bytes would never advance.
    uiPacketSize = size > 0 ? size : 1;

    if (len < uiPacketSize) return ComWrite(buf, len, err);
    unsigned written = 0;
    while (written < len) {
        unsigned piece = len - written;
        if (piece > uiPacketSize) piece = uiPacketSize;
        unsigned sent = ComWrite(buf + written, piece, err);
        if (*err != 0) return 0;
        written += sent;
    }
    return written;
}

unsigned CComPortRs232::Read(unsigned char* buf, unsigned len, unsigned* err) {
    static const char* const FN = "ComRead";
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    memset(szLastError, 0, 255);
    if (iFd < 0) {
        *err = 1;
        SetLastError("Read Error");
        return 0;
    }
    if (DsrOff(FN, "Read Error (DSR 0)", err)) return 0;
    Log::WriteLog(FN, "DSR 1");

    if (!WaitReady(iFd, POLLIN, iTimeoutRX)) {
        *err = 1;
        SetLastError("Read select() timeout! No data read");
        return 0;
    }
    usleep(10);
    int waiting = 0;
    if (ioctl(iFd, FIONREAD, &waiting) == 0 && waiting > FIONREAD_PAUSE_THRESHOLD) {
        usleep(ANSWER_TAIL_PAUSE_US);  // let the rest of the answer arrive
    }
    unsigned wanted = len < MAX_READ ? len : MAX_READ;
    ssize_t n = read(iFd, buf, wanted);
    *err = n < 0 ? 1 : 0;
    return static_cast<unsigned>(n);
}

void CComPortRs232::CleanTX() {
    if (iFd >= 0) tcflush(iFd, TCOFLUSH);
}

void CComPortRs232::CleanRX() {
    if (iFd >= 0) tcflush(iFd, TCIFLUSH);
}

void CComPortRs232::SetTimeoutTX(int ms) { iTimeoutTX = ms; }
void CComPortRs232::SetTimeoutRX(int ms) { iTimeoutRX = ms; }
int CComPortRs232::GetTimeoutRX() { return iTimeoutRX; }
bool CComPortRs232::IsVirtualPort() { return isVirtual; }

bool CComPortRs232::HandshakeCommunication(unsigned long* gsi) {
    return IdentificationHandshake{HANDSHAKE_ATTEMPTS, HANDSHAKE_PAUSE_MS, nullptr}.Run(*this, gsi);
}
