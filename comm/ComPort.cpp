#include "comm/ComPort.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "comm/AnswerEndScanner.h"
#include "common/GenericFunctions.h"
#include "common/Log.h"

namespace {

constexpr size_t READ_CHUNK = 1024;
constexpr size_t FIRST_SIZE = 4096;
constexpr unsigned ALL_ONES = 0xFFFFFFFFu;

// A read result that carries no data: nothing, a failure (all ones), or a
// count the link cannot have delivered.
bool IsEmptyRead(unsigned got, size_t asked) { return got == 0 || got == ALL_ONES || got > asked; }

void PauseMs(int ms) {
    if (ms > 0) usleep(static_cast<useconds_t>(ms) * 1000u);
}

}  // namespace

CComPort::CComPort(int /*unused*/)
    : iPortType(COMMPORT_NONE),
      szLastError{},
      iTimeoutTX(0),
      iTimeoutRX(0),
      uiPacketSize(0),
      iAnswerTimeLimitMs(ANSWER_TIME_LIMIT_MS) {}

bool CComPort::Init(char* /*a*/, char* /*b*/) { return false; }
bool CComPort::Init(char* /*device*/, int /*baud*/, int /*flow*/, bool /*isVirtual*/) {
    return false;
}
bool CComPort::Init(char* /*host*/, int /*port*/) { return false; }
bool CComPort::InitWithVid(char* /*vid*/, char* /*pid*/, char* /*serial*/) { return false; }
bool CComPort::Open() { return false; }
bool CComPort::Close() { return false; }
unsigned CComPort::Write(unsigned char* /*buf*/, unsigned /*len*/, unsigned* /*err*/) { return 0; }
unsigned CComPort::Read(unsigned char* /*buf*/, unsigned /*len*/, unsigned* /*err*/) { return 0; }
void CComPort::CleanTX() {}
void CComPort::CleanRX() {}
void CComPort::SetTimeoutTX(int /*ms*/) {}
void CComPort::SetTimeoutRX(int /*ms*/) {}
int CComPort::GetTimeoutRX() { return 0; }
bool CComPort::HandshakeCommunication(unsigned long* /*gsi*/) { return false; }
bool CComPort::IsVirtualPort() { return false; }
bool CComPort::ReOpen() { return false; }
bool CComPort::BackupPortInfo() { return false; }
bool CComPort::RestoreportInfo() { return false; }
bool CComPort::DumpPortInfo() { return false; }
bool CComPort::SaveLocationCurrentDevice() { return false; }
bool CComPort::RestoreAddrNumFrmLocatio() { return false; }

unsigned char* CComPort::ReadAnswer(int* size, int timeoutMs, bool timed) {
    static const char* const FN = "ReadProtocollData";
    Log::WriteLog(FN, "Begin");
    if (size != nullptr) *size = 0;

    size_t capacity = FIRST_SIZE;
    auto* buffer = static_cast<unsigned char*>(malloc(capacity));
    if (buffer == nullptr) return nullptr;
    size_t received = 0;
    int emptyReads = 0;
    uint64_t start = GenericFunctions::GetCurrentTimeMsec();
    uint64_t firstByte = 0;
    AnswerEndScanner scanner;

    for (;;) {
        if (received >= MAX_ANSWER_SIZE) {
            Log::WriteLogP(FN, "Answer longer than %zu bytes without its end: dropped",
                           MAX_ANSWER_SIZE);
            free(buffer);
            return nullptr;
        }
        if (capacity - received < READ_CHUNK) {
            // Growing by doubling keeps a long answer linear in time.
            size_t grownSize = capacity * 2;
            auto* grown = static_cast<unsigned char*>(realloc(buffer, grownSize));
            if (grown == nullptr) {
                free(buffer);
                return nullptr;
            }
            buffer = grown;
            capacity = grownSize;
        }
        unsigned err = 0;
        unsigned got = Read(buffer + received, READ_CHUNK, &err);
        if (IsEmptyRead(got, READ_CHUNK)) {
            bool giveUp = timed ? GenericFunctions::GetCurrentTimeMsec() - start >
                                      static_cast<uint64_t>(timeoutMs < 0 ? 0 : timeoutMs)
                                : ++emptyReads > 2;
            if (giveUp) {
                free(buffer);
                return nullptr;
            }
            continue;
        }
        if (received == 0) firstByte = GenericFunctions::GetCurrentTimeMsec();
        received += got;
        if (scanner.Complete(buffer, received)) break;
        if (GenericFunctions::GetCurrentTimeMsec() - firstByte >
            static_cast<uint64_t>(iAnswerTimeLimitMs < 0 ? 0 : iAnswerTimeLimitMs)) {
            Log::WriteLogP(FN, "Answer without its end %d ms after its first byte: dropped",
                           iAnswerTimeLimitMs);
            free(buffer);
            return nullptr;
        }
    }

    Log::WriteLog(FN, "End");
    if (size != nullptr) *size = static_cast<int>(received);
    return buffer;
}

unsigned char* CComPort::ReadProtocollData(int* size) { return ReadAnswer(size, 0, false); }

unsigned char* CComPort::ReadProtocollData(int* size, int timeoutMs) {
    return ReadAnswer(size, timeoutMs, true);
}

unsigned CComPort::WritePackets(unsigned char* buf, unsigned len, int pauseMs, int packetSize,
                                unsigned* err) {
    static const char* const FN = "WritePackets";
    Log::WriteLog(FN, "Begin");
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    *err = 0;
    if (packetSize < 1) {
        // A piece of no bytes would never advance.
        Log::WriteLogP(FN, "Invalid packet size %d", packetSize);
        *err = 1;
        return 0;
    }
    uint32_t savedPacketSize = uiPacketSize;
    uiPacketSize = static_cast<uint32_t>(packetSize);

    unsigned written = 0;
    while (written < len) {
        unsigned piece = len - written;
        if (piece > static_cast<unsigned>(packetSize)) piece = static_cast<unsigned>(packetSize);
        auto* copy = static_cast<unsigned char*>(malloc(piece));
        if (copy == nullptr) {
            uiPacketSize = savedPacketSize;
            *err = 1;
            return 0;
        }
        memcpy(copy, buf + written, piece);
        unsigned linkErr = 0;
        unsigned sent = Write(copy, piece, &linkErr);
        free(copy);
        if (sent < piece || sent == ALL_ONES) {
            Log::WriteLogP(FN, "Error Write (%u)", linkErr);
            uiPacketSize = savedPacketSize;
            *err = linkErr;
            return 0;
        }
        PauseMs(pauseMs);
        written += piece;
    }

    uiPacketSize = savedPacketSize;
    Log::WriteLog(FN, "End");
    return written;
}

unsigned CComPort::ReadAll(unsigned char* buf, int len, int timeoutMs, unsigned* err) {
    static const char* const FN = "ReadAll";
    Log::WriteLog(FN, "Begin");
    uint64_t start = GenericFunctions::GetCurrentTimeMsec();
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    *err = 0;
    unsigned wanted = len > 0 ? static_cast<unsigned>(len) : 0;
    unsigned count = 0;
    while (count < wanted) {
        unsigned missing = wanted - count;
        unsigned readErr = 0;
        unsigned got = Read(buf + count, missing, &readErr);
        if (!IsEmptyRead(got, missing)) count += got;
        if (count >= wanted) break;
        if (GenericFunctions::GetCurrentTimeMsec() - start >=
            static_cast<uint64_t>(timeoutMs < 0 ? 0 : timeoutMs)) {
            break;
        }
    }
    Log::WriteLog(FN, "End");
    if (count < wanted) {
        Log::WriteLogP(FN, "Read Only %u Bytes of %d", count, len);
        *err = 1;
    }
    return count;
}
