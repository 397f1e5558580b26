#include "Crc16.h"

#include <array>

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned n = 0; n < 256; ++n) {
    uint16_t value = static_cast<uint16_t>(n << 8);
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 0x8000) ? static_cast<uint16_t>((value << 1) ^ 0x1021)
                               : static_cast<uint16_t>(value << 1);
    }
    table[n] = value;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t Crc16CcittFalse(uint16_t crc, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    crc = static_cast<uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ data[i]) & 0xFF]);
  }
  return crc;
}
