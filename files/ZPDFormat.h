#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/ZPDElement.h"

class CComPort;

// A ZPD script (.zpd): a signed, checksummed text of byte strings to send,
// answers to wait for, resets and pauses, bound to one device identifier.
class CZPDFormat {
  public:
    static constexpr const char* MARKER_GENERIC = "#";
    static constexpr const char* MARKER_ZPDDATA = "#>";
    static constexpr const char* MARKER_SIGN = "#>ZPD";
    static constexpr const char* ZPDCURRENTVERSIONPROTO = "100";
    static constexpr const char* MARKER_CKSUM = "#>CK:";
    static constexpr const char* MARKER_STARTHEADER = "#>HB";
    static constexpr const char* MARKER_ENDHEADER = "#>HE";
    static constexpr const char* MARKER_DEVGSI = "#>DEV:";
    static constexpr const char* MARKER_DEVREL = "REL:";
    static constexpr const char* MARKER_OPWAITPSANSWER = "#>[OP_WAITPSANSWER]";
    static constexpr const char* MARKER_OPRESETDEV = "#>[OP_RESETDEV]";
    static constexpr const char* MARKER_OPSLEEPMSEC = "#>[OP_SLEEPMSEC]";
    static constexpr const char* MARKER_ENDZPD = "#>ZPDEND";

    // Results of ManageElement besides 0 and a printer's own error code.
    static constexpr int ELEMENT_UNKNOWN = 11;
    static constexpr int ELEMENT_FAILED = 13;

    CZPDFormat() = default;
    CZPDFormat(const CZPDFormat&) = delete;
    CZPDFormat& operator=(const CZPDFormat&) = delete;

    bool LoadFile(const char* path);
    // The same checks on a script already in memory.
    bool LoadFromMemory(const char* text, size_t length);
    void ResetData();

    // Values of the bracketed pairs of hexadecimal digits in text; returns
    // their count (bytes is empty for 0), or -1 when a bracketed pair is no
    // hexadecimal number.
    static int32_t ZPDStringToByteArray(const char* text, size_t length,
                                        std::unique_ptr<unsigned char[]>& bytes);
    // Sum of the byte values, CR and LF left out; 0 for a length below 1.
    static uint32_t GetZPDStringChecksum(const char* text, int64_t length);

    // Carries out element index on the open link: 0 when done, else
    // ELEMENT_FAILED, ELEMENT_UNKNOWN or the error code of the printer's
    // error answer.
    int ManageElement(CComPort* port, size_t index);

    uint32_t uiDeviceGSI = 0;
    std::string strDeviceRelease;
    std::vector<std::unique_ptr<CZPDElement>> vElements;

  private:
    bool Fail(const char* message);
    bool ReadDeviceLine(const std::string& line);
};
