#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The printer's side of the answer frame: builds the bytes a printer sends
// back for a protocol request. An answer is STX, the command tag "<Cn>",
// the fields added in order, an optional checksum tag and ETX.
//
// Tag contents must not hold ">" and binary blocks must not hold
// "</DATABYTES>": the frame has no escape for them.
class AnswerEncoder {
  public:
    explicit AnswerEncoder(int commandId);

    AnswerEncoder& Ack();
    AnswerEncoder& Nack();
    // "<value>" in decimal.
    AnswerEncoder& Int(long long value);
    // "<content>".
    AnswerEncoder& Tag(const std::string& content);
    // "<>".
    AnswerEncoder& Empty();
    // The text and a closing 00. A 00 byte outside a field opens a text that
    // runs to the next 00, so an empty text goes as one blank.
    AnswerEncoder& Text(const std::string& text);
    // "<DATABYTES>", the bytes, "</DATABYTES>".
    AnswerEncoder& Binary(const std::vector<uint8_t>& bytes);
    // "<n>": the low 8 bits of the byte sums of the command tag and of every
    // field added since (an empty tag counts 0).
    AnswerEncoder& Checksum();
    // The answer with its closing ETX.
    std::vector<uint8_t> Finish() const;

    // Error answer: STX, "<Cn>", NACK, "<ERRcode>", ETX.
    static std::vector<uint8_t> Error(int commandId, int code);

    // "<C1>": the version text, for example "1.00".
    static std::vector<uint8_t> ProtocolVersion(const std::string& version);
    // "<C2>", "<C32>", "<C33>", "<C35>", "<C64>": a count and that many text lines.
    static std::vector<uint8_t> Lines(int commandId, const std::vector<std::string>& lines);
    // "<C3>", "<C49>": a count, the identifiers and the checksum.
    static std::vector<uint8_t> IDList(int commandId, const std::vector<uint64_t>& ids);
    // "<C40>": the bit set of the data groups offered.
    static std::vector<uint8_t> DataAvailable(uint64_t groups);
    // "<C80>": the tool masks of tool tables 1 and 2.
    static std::vector<uint8_t> Tools(uint32_t mask1, uint32_t mask2);
    // "<C81>": ACK, a count and that many text lines.
    static std::vector<uint8_t> ToolLines(const std::vector<std::string>& lines);
    // "<C96>": the size, the font module bytes and the checksum.
    static std::vector<uint8_t> ModuleFont(const std::vector<uint8_t>& bytes);
    // "<C112>": the mode ("U1".."U5"), the configuration text (empty gives
    // "<>") and "<family;model;customization>".
    static std::vector<uint8_t> UpgradeInfo(const std::string& mode, const std::string& settings,
                                            uint32_t family, uint32_t model,
                                            uint32_t customization);
    // "<C138>": the four general status bytes.
    static std::vector<uint8_t> StatusBytes(const uint8_t status[4]);

    // Setup item descriptions ("<C4>").
    struct SetupLink {
        std::string operation;  // "H", "D", "H,D", ...
        int source;
        int value;
    };
    struct SetupHead {
        int id;
        std::vector<SetupLink> links;
        std::string description;
        bool hasAdditional;
        std::string additional;
    };
    static std::vector<uint8_t> SetupList(const SetupHead& head, int start, int def, int cur,
                                          const std::vector<std::string>& elements);
    // The five values as decimal texts, for example "0.5" or "10".
    static std::vector<uint8_t> SetupNumeric(const SetupHead& head, const std::string& min,
                                             const std::string& max, const std::string& step,
                                             const std::string& def, const std::string& cur);
    // The value as "YYYY-MM-DD HH:MM:SS".
    static std::vector<uint8_t> SetupDateTime(const SetupHead& head, const std::string& value);
    static std::vector<uint8_t> SetupString(const SetupHead& head, int minLen, int maxLen, int mask,
                                            const std::string& def, const std::string& cur);

    // Logo memory descriptions ("<C48>") and one stored logo ("<C50>").
    struct LogoMemory {
        int kind;
        int maxLogos;
        std::string format;  // "BMP" for bitmaps
        std::string flagY;   // "Y" or "N"
        std::string mode;    // "M1", "M2", ...
        int value6;
        std::string size;  // "F100X200", "V", ...
        int value8;
        int value9;
    };
    static std::vector<uint8_t> LogosType(const std::vector<LogoMemory>& memories,
                                          bool printPreview);
    static std::vector<uint8_t> LogoData(int id, const std::string& format,
                                         const std::string& fileName, int width, int height,
                                         const std::vector<uint8_t>& image);

    // Status bit descriptions ("<C128>", "<C129>").
    struct StatusBit {
        int byte;
        int bit;
        int id;
        std::string description;
        std::string additional;  // sent when not empty
        int signal;
    };
    static std::vector<uint8_t> GenStatusInfo(int ports, const uint8_t mask[4],
                                              const std::vector<StatusBit>& bits);
    static std::vector<uint8_t> ExtStatusInfo(int ports, int numBytes,
                                              const std::vector<StatusBit>& bits);

  private:
    static AnswerEncoder SetupHeadFields(const SetupHead& head, int type);
    void StatusBits(const std::vector<StatusBit>& bits);
    void Append(const std::string& bytes, bool counts);

    std::vector<uint8_t> bytes_;
    unsigned long sum_ = 0;
};
