#pragma once

#include <array>
#include <cstddef>
#include <ctime>
#include <vector>

class ProtocollVersion;

// Request byte strings, framing bytes and markers of the printer protocol.
// Requests are written exactly as held here: nothing is added around them.
class Commands {
  public:
    template <std::size_t N>
    using Bytes = std::array<unsigned char, N>;

    // Printer protocol requests; the answer tag is "<C" + decimal of the third byte + ">".
    static constexpr Bytes<3> Cmd_CommandGetProtVer{0x1F, 0xFF, 0x01};
    static constexpr Bytes<3> Cmd_CommandGetHeaderSetup{0x1F, 0xFF, 0x02};
    static constexpr Bytes<3> Cmd_CommandGetIDList{0x1F, 0xFF, 0x03};
    static constexpr Bytes<3> Cmd_CommandGetIDInfo{0x1F, 0xFF, 0x04};
    static constexpr Bytes<3> Cmd_CommandSetIDValue{0x1F, 0xFF, 0x05};
    static constexpr Bytes<3> Cmd_CommandSetAllValuesOnPrinter{0x1F, 0xFF, 0x06};
    static constexpr Bytes<3> Cmd_CommandPrnReset{0x1F, 0xFF, 0x07};
    static constexpr Bytes<3> Cmd_CommandGetPrnLifeInfo{0x1F, 0xFF, 0x20};
    static constexpr Bytes<3> Cmd_CommandGetPrnDeviceInfo{0x1F, 0xFF, 0x21};
    static constexpr Bytes<3> Cmd_CommandGetPrnHeadInfo{0x1F, 0xFF, 0x23};
    static constexpr Bytes<3> Cmd_CommandDataAvailable{0x1F, 0xFF, 0x28};
    static constexpr Bytes<3> Cmd_CommandGetLogosType{0x1F, 0xFF, 0x30};
    static constexpr Bytes<3> Cmd_CommandGetLogosIDList{0x1F, 0xFF, 0x31};
    static constexpr Bytes<3> Cmd_CommandGetIDLogo{0x1F, 0xFF, 0x32};
    static constexpr Bytes<3> Cmd_CommandSetIDLogo{0x1F, 0xFF, 0x33};
    static constexpr Bytes<3> Cmd_CommandPrintPreviewLogo{0x1F, 0xFF, 0x34};
    static constexpr Bytes<3> Cmd_DeleteLogo{0x1F, 0xFF, 0x35};
    static constexpr Bytes<3> Cmd_DeleteAllLogos{0x1F, 0xFF, 0x36};
    static constexpr Bytes<3> Cmd_CommandModulesList{0x1F, 0xFF, 0x40};
    static constexpr Bytes<3> Cmd_CommandToolsSupported{0x1F, 0xFF, 0x50};
    static constexpr Bytes<3> Cmd_CommandToolsExec{0x1F, 0xFF, 0x51};
    static constexpr Bytes<3> Cmd_CommandModuleFont{0x1F, 0xFF, 0x60};
    static constexpr Bytes<3> Cmd_CommandUpgradeInfo{0x1F, 0xFF, 0x70};
    static constexpr Bytes<3> Cmd_GetGenStatusInfo{0x1F, 0xFF, 0x80};
    static constexpr Bytes<3> Cmd_GetExtStatusInfo{0x1F, 0xFF, 0x81};
    static constexpr Bytes<3> Cmd_GetPrinterStatusGen{0x1F, 0xFF, 0x8A};
    static constexpr Bytes<3> Cmd_GetPrinterStatusExt{0x1F, 0xFF, 0x8B};

    // Identification and mode requests.
    static constexpr Bytes<3> Cmd_CommandGetGSI{0x1D, 0x49, 0x01};
    static constexpr Bytes<3> Cmd_CommandGetGSIFF{0x1D, 0x49, 0xFF};
    static constexpr Bytes<3> Cmd_CommandGetFWREL{0x1D, 0x49, 0x03};
    static constexpr Bytes<7> Cmd_CommandSetESCPOSforSV{0x1C, 0x3C, 0x45, 0x50, 0x4F, 0x53, 0x3E};
    static constexpr Bytes<1> Cmd_CommandCAN{0x18};

    // Status requests addressed to one port of the printer.
    static constexpr Bytes<3> Cmd_USB0GetPrinterStatusGen{0xD0, 0x8A, 0x00};
    static constexpr Bytes<3> Cmd_USB0GetPrinterStatusExt{0xD0, 0x8B, 0x00};
    static constexpr Bytes<2> Cmd_NETUDPGetPrinterStatusGen{0xD0, 0x8A};
    static constexpr Bytes<2> Cmd_NETUDPGetPrinterStatusExt{0xD0, 0x8B};

    // Anti-tamper module download.
    static constexpr Bytes<6> Cmd_TamperUpgrade_Start{0x1C, 0xFD, 0x00, 0x00, 0x80, 0x00};
    static constexpr Bytes<2> Cmd_TamperUpgrade_End{0x1C, 0xFF};

    // Microcontroller USB boot-mode commands.
    static constexpr Bytes<1> Cmd_AutomaticAdjustmentBitRate{0x55};
    static constexpr Bytes<1> Cmd_ProgrammingSizeInquiry{0x27};
    static constexpr Bytes<7> Cmd_DeviceSelection{0x10, 0x04, 0x37, 0x36, 0x30, 0x38, 0x17};
    static constexpr Bytes<4> Cmd_ClockModeSelection{0x11, 0x01, 0x00, 0xEE};
    static constexpr Bytes<1> Cmd_UserAreaInformationInquiry{0x25};
    static constexpr Bytes<10> Cmd_BitRateSelecion{0x3F, 0x07, 0x00, 0x00, 0x04,
                                                   0xB0, 0x02, 0x08, 0x04, 0xF8};
    static constexpr Bytes<1> Cmd_Confirmation{0x06};
    static constexpr Bytes<1> Cmd_ProgrammingErasureStateTransition{0x40};
    static constexpr Bytes<1> Cmd_BootProgramStatusInquiry{0x4F};
    static constexpr Bytes<1> Cmd_UserAreaBlankCheck{0x4D};
    static constexpr Bytes<1> Cmd_DataAreaBlankCheck{0x62};
    static constexpr Bytes<1> Cmd_AreaProgrammingSelection{0x43};
    static constexpr Bytes<6> Cmd_TerminateProgramming{0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4};
    static constexpr Bytes<1> Cmd_LockBitEnable{0x7A};
    static constexpr Bytes<1> Cmd_GetRelease{0x32};
    static constexpr Bytes<1> Cmd_SaveSecurity{0x33};
    static constexpr Bytes<1> Cmd_SaveSecurityNew{0x34};
    static constexpr Bytes<1> Cmd_Reset{0x31};

    // Framing bytes and markers.
    static constexpr Bytes<1> Cmd_STX{0x02};
    static constexpr Bytes<1> Cmd_ETX{0x03};
    static constexpr Bytes<1> Cmd_ACK{0x06};
    static constexpr Bytes<1> Cmd_NACK{0x15};
    static constexpr Bytes<1> Cmd_STField{0x3C};
    static constexpr Bytes<1> Cmd_ETField{0x3E};
    static constexpr Bytes<1> Cmd_ETString{0x00};
    static constexpr Bytes<11> Cmd_DataBytesBegin{'<', 'D', 'A', 'T', 'A', 'B',
                                                  'Y', 'T', 'E', 'S', '>'};
    static constexpr Bytes<12> Cmd_DataBytesEnd{'<', '/', 'D', 'A', 'T', 'A',
                                                'B', 'Y', 'T', 'E', 'S', '>'};

    // Appends len bytes of data to out; nothing when len is below 1.
    static void PopulateVectorWithData(const unsigned char* data, int len,
                                       std::vector<unsigned char>* out);

    // Tool execution request: Cmd_CommandToolsExec, "<toolNum>", "<toolMask>",
    // then for "SET DATETIME" (mask 8) the local time as "<ddMMyyhhmmss>" and
    // for "UPLOAD SPTFILE" (mask 32) "<dataLen>" and the raw data. Empty when
    // the protocol version is not 100.
    static std::vector<unsigned char> GetCommand_ExecTool(const ProtocollVersion* version,
                                                          unsigned toolNum, unsigned toolMask,
                                                          const unsigned char* data, int dataLen);
    // The same with the local time given.
    static std::vector<unsigned char> GetCommand_ExecTool(const ProtocollVersion* version,
                                                          unsigned toolNum, unsigned toolMask,
                                                          const unsigned char* data, int dataLen,
                                                          const std::tm& localTime);
};
