// CRC-16/CCITT-FALSE: polynomial 0x1021, initial value 0xFFFF, no reflection,
// no final XOR. The check value of the nine ASCII bytes "123456789" is 0x29B1.
// This is the checksum the virtual printer reports for its flash contents.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint16_t CRC16_CCITT_FALSE_INIT = 0xFFFF;

// Continues the CRC `crc` over `length` bytes; start with CRC16_CCITT_FALSE_INIT.
uint16_t Crc16CcittFalse(uint16_t crc, const uint8_t* data, size_t length);
