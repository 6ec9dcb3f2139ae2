#include "comm/ComPortEth.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "comm/EthDiscovery.h"
#include "comm/IdentificationHandshake.h"
#include "common/Log.h"
#include "common/StatusLine.h"

namespace {

constexpr int HANDSHAKE_ATTEMPTS = 15;
constexpr int HANDSHAKE_PAUSE_MS = 3000;
constexpr int CLOSE_PAUSE_MS = 2000;
// Failed sends that a write accepts before it gives up; the connection is
// re-established between them when it has gone.
constexpr int MAX_SEND_ATTEMPTS = 3;
constexpr unsigned ALL_ONES = 0xFFFFFFFFu;

// A socket time-out of 0 would mean waiting for ever: the shortest wait is 1 ms.
timeval MsToTimeval(long long ms) {
    if (ms < 1) ms = 1;
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    return tv;
}

bool SetBlocking(int fd, bool blocking, const char** failure) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        *failure = "Error fcntl(..., F_GETFL)";
        return false;
    }
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    if (fcntl(fd, F_SETFL, flags) < 0) {
        *failure = "Error fcntl(..., F_SETFL)";
        return false;
    }
    return true;
}

}  // namespace

CComPortEth::CComPortEth()
    : CComPort(0),
      iSocket(-1),
      iPort(DEFAULT_PORT),
      szHost{},
      iTimeoutMultiplier(1),
      pause_([](int ms) { usleep(static_cast<useconds_t>(ms) * 1000u); }) {
    iPortType = COMMPORT_ETH;
    iTimeoutTX = 500;
    iTimeoutRX = 500;
    uiPacketSize = 1000;
}

void CComPortEth::SetPauseFunction(PauseFunction pause) { pause_ = std::move(pause); }

CComPortEth::~CComPortEth() { Close(); }

void CComPortEth::SetLastError(const char* text) {
    snprintf(szLastError, sizeof(szLastError), "%s", text);
}

bool CComPortEth::Init(char* host, int port) {
    snprintf(szHost, sizeof(szHost), "%s", host != nullptr ? host : "");
    iPort = port;
    return true;
}

bool CComPortEth::FailOpen(const char* text) {
    Log::WriteLog("OpenPort", text);
    TraceEvent("open failed");
    SetLastError(text);
    Close();
    return false;
}

void CComPortEth::ApplyTimeouts() {
    timeval tx = MsToTimeval(static_cast<long long>(iTimeoutTX) * iTimeoutMultiplier);
    timeval rx = MsToTimeval(static_cast<long long>(iTimeoutRX) * iTimeoutMultiplier);
    setsockopt(iSocket, SOL_SOCKET, SO_SNDTIMEO, &tx, sizeof(tx));
    setsockopt(iSocket, SOL_SOCKET, SO_RCVTIMEO, &rx, sizeof(rx));
}

bool CComPortEth::OpenPort() {
    memset(szLastError, 0, 255);
    if (iSocket != -1) return true;
    if (iPort < 1 || iPort > 65535) {
        Log::WriteLogP("OpenPort", "Invalid port %d", iPort);
        SetLastError("Error to connect socket");
        TraceEvent("open failed");
        return false;
    }

    iSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (iSocket < 0) {
        iSocket = -1;
        return FailOpen("Error to create new socket");
    }

    struct addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    if (getaddrinfo(szHost, nullptr, &hints, &found) != 0 || found == nullptr) {
        return FailOpen("Wrong hostname");
    }
    struct sockaddr_in address {};
    memcpy(&address, found->ai_addr, sizeof(address));
    freeaddrinfo(found);
    address.sin_port = htons(static_cast<uint16_t>(iPort));

    const char* failure = nullptr;
    if (!SetBlocking(iSocket, false, &failure)) return FailOpen(failure);
    if (connect(iSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        if (errno != EINPROGRESS) return FailOpen("Error to connect socket");
        struct pollfd p {};
        p.fd = iSocket;
        p.events = POLLOUT;
        if (poll(&p, 1, iTimeoutTX < 0 ? 0 : iTimeoutTX) <= 0) {
            return FailOpen("Timeout or error()");
        }
        int pending = 0;
        socklen_t length = sizeof(pending);
        if (getsockopt(iSocket, SOL_SOCKET, SO_ERROR, &pending, &length) != 0 || pending != 0) {
            return FailOpen("Error in connection()");
        }
    }
    if (!SetBlocking(iSocket, true, &failure)) return FailOpen(failure);
    ApplyTimeouts();
    TraceEvent("opened");
    return true;
}

bool CComPortEth::Open() {
    memset(szLastError, 0, 255);
    if (!OpenPort()) {
        Log::WriteLog("Open", "Open ETH Device Error");
        SetLastError("Open ETH Device Error");
        return false;
    }
    return true;
}

bool CComPortEth::Close() {
    if (iSocket != -1) {
        TraceEvent("closed");
        shutdown(iSocket, SHUT_RDWR);
        // Gives the printer time to finish with the connection.
        StatusLine::Wait("closing the network connection", CLOSE_PAUSE_MS,
                         [this](uint64_t ms) { pause_(static_cast<int>(ms)); });
        close(iSocket);
    }
    iSocket = -1;
    return true;
}

bool CComPortEth::ReOpen() {
    char host[HOST_SIZE];
    snprintf(host, sizeof(host), "%s", szHost);
    int port = iPort;
    Close();
    Init(host, port);
    return Open();
}

unsigned CComPortEth::Write(unsigned char* buf, unsigned len, unsigned* err) {
    static const char* const FN = "EthWrite";
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    unsigned packet = uiPacketSize > 0 ? uiPacketSize : 1;
    unsigned sent = 0;
    int failures = 0;    // over the whole write
    bool taken = false;  // the connection took some of this write
    while (sent < len) {
        unsigned piece = len - sent;
        if (piece > packet) piece = packet;
        unsigned done = 0;
        while (done < piece) {
            *err = 0;
            if (!OpenPort()) {
                Log::WriteLog(FN, "Open Error (Device Error)");
                SetLastError("Open Error (Device Error)");
                *err = 1;
                Close();
                return 0;
            }
            ssize_t n = send(iSocket, buf + sent + done, piece - done, MSG_NOSIGNAL);
            if (n > 0) {
                TraceSent(buf + sent + done, static_cast<unsigned>(n));
                done += static_cast<unsigned>(n);
                taken = true;
                continue;
            }
            int error = errno;
            bool gone = n == 0 || (error != EAGAIN && error != EWOULDBLOCK && error != EINTR);
            if (gone && taken) {
                // What the lost connection took of this write may never have
                // reached the printer: the rest on a new one would not make
                // the whole. A connection found gone before it took anything
                // is made again and the whole write goes on the new one.
                Log::WriteLogP(FN, "Connection lost after %u of %u bytes: not sent again",
                               sent + done, len);
                SetLastError("EthWrite Error");
                *err = 1;
                Close();
                return 0;
            }
            if (++failures >= MAX_SEND_ATTEMPTS) {
                Log::WriteLogP(FN, "Send failed %d times: %s", failures, strerror(error));
                SetLastError("EthWrite Error");
                *err = 1;
                return 0;
            }
            // A connection that went before it took anything is made again
            // before the next try.
            if (gone) Close();
        }
        sent += piece;
    }
    return sent;
}

unsigned CComPortEth::Read(unsigned char* buf, unsigned len, unsigned* err) {
    static const char* const FN = "EthRead";
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    *err = 0;
    if (!OpenPort()) {
        Log::WriteLog(FN, "Open Error (Device Error)");
        SetLastError("Open Error (Device Error)");
        *err = 1;
        Close();
        return 0;
    }
    ssize_t n = recv(iSocket, buf, len, 0);
    if (n < 0) {
        SetLastError("EthRead Error");
        *err = 1;
        return ALL_ONES;
    }
    if (n > 0) TraceReceived(buf, static_cast<unsigned>(n));
    if (n == 0 && len > 0) TraceEvent("lost");
    // 0 when the printer has closed the connection. The link stays as it is:
    // the caller decides whether to reopen it (without the close pause in
    // loops that would fail at once anyway).
    return static_cast<unsigned>(n);
}

void CComPortEth::CleanTX() {}
void CComPortEth::CleanRX() {}

void CComPortEth::SetTimeoutTX(int ms) {
    iTimeoutTX = ms;
    if (iSocket != -1) ApplyTimeouts();
}

void CComPortEth::SetTimeoutRX(int ms) {
    iTimeoutRX = ms;
    if (iSocket != -1) ApplyTimeouts();
}

int CComPortEth::GetTimeoutRX() { return iTimeoutRX; }

bool CComPortEth::HandshakeCommunication(unsigned long* gsi) {
    return IdentificationHandshake{HANDSHAKE_ATTEMPTS, HANDSHAKE_PAUSE_MS, pause_}.Run(*this, gsi);
}

bool CComPortEth::GetDeviceList(char* out, size_t outSize, char* /*errText*/) {
    return EthDiscovery::Run(out, outSize);
}
