#pragma once

#include <cstddef>
#include <vector>

// One printer found on the network.
struct ETHDeviceStruct {
    char szIpAddress[1024];
    int iPort;
    char szName[1024];
};

// Finds printers on the local IPv4 networks: broadcasts the query
// "<VN><STSMOQ><NAME>" from UDP port 15001 to port 15000 for about half a
// second and collects the answers, one per sender address.
class EthDiscovery {
  public:
    static constexpr int QUERY_PORT = 15000;
    static constexpr int ANSWER_PORT = 15001;
    static constexpr size_t MAX_DEVICES = 128;
    static constexpr size_t MAX_DATAGRAM = 1024;

    // Name carried by an answer: the text from one character behind the tag
    // to one character before the end (the datagram's text ends at its first
    // zero byte); control characters become '?'. False when the tag is missing.
    static bool ParseAnswer(const unsigned char* datagram, size_t length, char* name,
                            size_t nameSize);
    // Adds a printer unless its address is already listed or the list is full.
    static bool AddDevice(std::vector<ETHDeviceStruct>& devices, const char* address,
                          const char* name);
    // Appends one "%s:%d(%s)\n" line per printer to the text in out (outSize
    // bytes in all); a line that does not fit ends the list.
    static void FormatList(const std::vector<ETHDeviceStruct>& devices, char* out, size_t outSize);
    // The whole discovery; false when the answer port cannot be bound or no
    // printer answered.
    static bool Run(char* out, size_t outSize);
};
