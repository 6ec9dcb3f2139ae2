#pragma once

#include <cstdint>
#include <vector>

// Every request the simulated printer recognises, by its leading bytes.
// Written here on their own: the printer does not share the program's table.
namespace requests {

using Bytes = std::vector<uint8_t>;

// Identification and mode.
inline const Bytes CAN{0x18};
inline const Bytes ESCPOS_FOR_SV{0x1C, '<', 'E', 'P', 'O', 'S', '>'};
inline const Bytes GET_GSI{0x1D, 0x49, 0x01};
inline const Bytes GET_GSI_FF{0x1D, 0x49, 0xFF};
inline const Bytes GET_FW_RELEASE{0x1D, 0x49, 0x03};

// Printer protocol (1F FF and a command byte; the answer tag is "<C" and
// that byte in decimal).
inline const Bytes MODULES_LIST{0x1F, 0xFF, 0x40};
inline const Bytes UPGRADE_INFO{0x1F, 0xFF, 0x70};

// Flash banks: start is followed by the first and the last bank number,
// program by the two bank numbers and two 16-bit checksums (big-endian).
inline const Bytes FLASH_START{0x1C, 0xFD};
inline const Bytes FLASH_PROGRAM{0x1C, 0xFF};
constexpr size_t FLASH_START_SIZE = 4;
constexpr size_t FLASH_PROGRAM_SIZE = 8;

}  // namespace requests
