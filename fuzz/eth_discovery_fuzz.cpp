// Discovery answers come from anyone on the network.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "comm/EthDiscovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > EthDiscovery::MAX_DATAGRAM) size = EthDiscovery::MAX_DATAGRAM;
    char name[sizeof(ETHDeviceStruct::szName)];
    if (!EthDiscovery::ParseAnswer(data, size, name, sizeof(name))) return 0;
    if (strlen(name) >= sizeof(name)) __builtin_trap();
    std::vector<ETHDeviceStruct> devices;
    EthDiscovery::AddDevice(devices, "10.0.0.1", name);
    char list[64] = {};
    EthDiscovery::FormatList(devices, list, sizeof(list));
    if (strlen(list) >= sizeof(list)) __builtin_trap();
    return 0;
}
