#include "sim/core/AnswerEncoder.h"

#include <cstdio>

namespace {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t NACK = 0x15;

}  // namespace

AnswerEncoder::AnswerEncoder(int commandId) {
    bytes_.push_back(STX);
    Tag("C" + std::to_string(commandId));
}

void AnswerEncoder::Append(const std::string& bytes, bool counts) {
    for (char c : bytes) {
        uint8_t byte = static_cast<uint8_t>(c);
        bytes_.push_back(byte);
        if (counts) sum_ += byte;
    }
}

AnswerEncoder& AnswerEncoder::Ack() {
    Append(std::string(1, static_cast<char>(ACK)), true);
    return *this;
}

AnswerEncoder& AnswerEncoder::Nack() {
    Append(std::string(1, static_cast<char>(NACK)), true);
    return *this;
}

AnswerEncoder& AnswerEncoder::Int(long long value) { return Tag(std::to_string(value)); }

AnswerEncoder& AnswerEncoder::Tag(const std::string& content) {
    Append("<" + content + ">", true);
    return *this;
}

AnswerEncoder& AnswerEncoder::Empty() {
    Append("<>", false);
    return *this;
}

AnswerEncoder& AnswerEncoder::Text(const std::string& text) {
    Append((text.empty() ? std::string(" ") : text) + std::string(1, '\0'), true);
    return *this;
}

AnswerEncoder& AnswerEncoder::Binary(const std::vector<uint8_t>& bytes) {
    Append("<DATABYTES>" + std::string(bytes.begin(), bytes.end()) + "</DATABYTES>", true);
    return *this;
}

AnswerEncoder& AnswerEncoder::Checksum() {
    Append("<" + std::to_string(sum_ & 0xFFu) + ">", false);
    return *this;
}

std::vector<uint8_t> AnswerEncoder::Finish() const {
    std::vector<uint8_t> answer = bytes_;
    answer.push_back(ETX);
    return answer;
}

std::vector<uint8_t> AnswerEncoder::Error(int commandId, int code) {
    return AnswerEncoder(commandId).Nack().Tag("ERR" + std::to_string(code)).Finish();
}

std::vector<uint8_t> AnswerEncoder::ProtocolVersion(const std::string& version) {
    return AnswerEncoder(1).Tag(version).Finish();
}

std::vector<uint8_t> AnswerEncoder::Lines(int commandId, const std::vector<std::string>& lines) {
    AnswerEncoder answer(commandId);
    answer.Int(static_cast<long long>(lines.size()));
    for (const std::string& line : lines) answer.Text(line);
    return answer.Finish();
}

std::vector<uint8_t> AnswerEncoder::IDList(int commandId, const std::vector<uint64_t>& ids) {
    AnswerEncoder answer(commandId);
    answer.Int(static_cast<long long>(ids.size()));
    for (uint64_t id : ids) answer.Int(static_cast<long long>(id));
    return answer.Checksum().Finish();
}

std::vector<uint8_t> AnswerEncoder::DataAvailable(uint64_t groups) {
    return AnswerEncoder(40).Int(static_cast<long long>(groups)).Finish();
}

std::vector<uint8_t> AnswerEncoder::Tools(uint32_t mask1, uint32_t mask2) {
    return AnswerEncoder(80).Int(mask1).Int(mask2).Finish();
}

std::vector<uint8_t> AnswerEncoder::ToolLines(const std::vector<std::string>& lines) {
    AnswerEncoder answer(81);
    answer.Ack().Int(static_cast<long long>(lines.size()));
    for (const std::string& line : lines) answer.Text(line);
    return answer.Finish();
}

std::vector<uint8_t> AnswerEncoder::ModuleFont(const std::vector<uint8_t>& bytes) {
    return AnswerEncoder(96)
        .Int(static_cast<long long>(bytes.size()))
        .Binary(bytes)
        .Checksum()
        .Finish();
}

std::vector<uint8_t> AnswerEncoder::UpgradeInfo(const std::string& mode,
                                                const std::string& settings, uint32_t family,
                                                uint32_t model, uint32_t customization) {
    AnswerEncoder answer(112);
    answer.Tag(mode);
    if (settings.empty()) {
        answer.Empty();
    } else {
        answer.Tag(settings);
    }
    answer.Tag(std::to_string(family) + ";" + std::to_string(model) + ";" +
               std::to_string(customization));
    return answer.Finish();
}

std::vector<uint8_t> AnswerEncoder::StatusBytes(const uint8_t status[4]) {
    return AnswerEncoder(138).Binary(std::vector<uint8_t>(status, status + 4)).Finish();
}

AnswerEncoder AnswerEncoder::SetupHeadFields(const SetupHead& head, int type) {
    AnswerEncoder answer(4);
    answer.Int(head.id).Int(static_cast<long long>(head.links.size()));
    for (const SetupLink& link : head.links) {
        answer.Tag(link.operation).Int(link.source).Int(link.value);
    }
    answer.Int(type).Text(head.description).Int(head.hasAdditional ? 1 : 0);
    if (head.hasAdditional) answer.Text(head.additional);
    return answer;
}

std::vector<uint8_t> AnswerEncoder::SetupList(const SetupHead& head, int start, int def, int cur,
                                              const std::vector<std::string>& elements) {
    AnswerEncoder answer = SetupHeadFields(head, 1);
    answer.Int(start).Int(def).Int(cur).Int(static_cast<long long>(elements.size()));
    for (const std::string& element : elements) answer.Text(element);
    return answer.Checksum().Finish();
}

std::vector<uint8_t> AnswerEncoder::SetupNumeric(const SetupHead& head, const std::string& min,
                                                 const std::string& max, const std::string& step,
                                                 const std::string& def, const std::string& cur) {
    return SetupHeadFields(head, 2)
        .Tag(min)
        .Tag(max)
        .Tag(step)
        .Tag(def)
        .Tag(cur)
        .Checksum()
        .Finish();
}

std::vector<uint8_t> AnswerEncoder::SetupDateTime(const SetupHead& head, const std::string& value) {
    return SetupHeadFields(head, 3).Tag(value).Checksum().Finish();
}

std::vector<uint8_t> AnswerEncoder::SetupString(const SetupHead& head, int minLen, int maxLen,
                                                int mask, const std::string& def,
                                                const std::string& cur) {
    return SetupHeadFields(head, 4)
        .Int(minLen)
        .Int(maxLen)
        .Int(mask)
        .Text(def)
        .Text(cur)
        .Checksum()
        .Finish();
}

std::vector<uint8_t> AnswerEncoder::LogosType(const std::vector<LogoMemory>& memories,
                                              bool printPreview) {
    AnswerEncoder answer(48);
    answer.Int(static_cast<long long>(memories.size()));
    for (const LogoMemory& m : memories) {
        answer.Int(m.kind)
            .Int(m.maxLogos)
            .Tag(m.format)
            .Tag(m.flagY)
            .Tag(m.mode)
            .Int(m.value6)
            .Tag(m.size)
            .Int(m.value8)
            .Int(m.value9);
    }
    answer.Tag(printPreview ? "Y" : "N");
    return answer.Finish();
}

std::vector<uint8_t> AnswerEncoder::LogoData(int id, const std::string& format,
                                             const std::string& fileName, int width, int height,
                                             const std::vector<uint8_t>& image) {
    return AnswerEncoder(50)
        .Int(id)
        .Tag(format)
        .Tag(fileName)
        .Tag(std::to_string(width) + "x" + std::to_string(height))
        .Int(static_cast<long long>(image.size()))
        .Binary(image)
        .Checksum()
        .Finish();
}

void AnswerEncoder::StatusBits(const std::vector<StatusBit>& bits) {
    for (const StatusBit& b : bits) {
        // Identifier and signal family go as string tags (a leading blank),
        // the way printers send them.
        Tag(std::to_string(b.byte) + "," + std::to_string(b.bit));
        Tag(" " + std::to_string(b.id));
        Text(b.description);
        Int(b.additional.empty() ? 0 : 1);
        if (!b.additional.empty()) Text(b.additional);
        Tag(" " + std::to_string(b.signal));
    }
}

std::vector<uint8_t> AnswerEncoder::GenStatusInfo(int ports, const uint8_t mask[4],
                                                  const std::vector<StatusBit>& bits) {
    AnswerEncoder answer(128);
    answer.Int(ports)
        .Binary(std::vector<uint8_t>(mask, mask + 4))
        .Int(static_cast<long long>(bits.size()));
    answer.StatusBits(bits);
    return answer.Finish();
}

std::vector<uint8_t> AnswerEncoder::ExtStatusInfo(int ports, int numBytes,
                                                  const std::vector<StatusBit>& bits) {
    AnswerEncoder answer(129);
    answer.Int(ports).Int(numBytes).Int(static_cast<long long>(bits.size()));
    answer.StatusBits(bits);
    return answer.Finish();
}
