// Any text as an IP address and as a MAC address, as the Ethernet settings
// read them. Invariants: the two octet orders are each other's reverse; a
// refused (null or empty) text leaves the output alone; every MAC field is
// either untouched or a byte value (two hex digits at most).
#include <algorithm>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "codec/Codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* t = text.c_str();

  BYTE written[4] = {0xA5, 0xA5, 0xA5, 0xA5};
  BYTE reversed[4] = {0x5A, 0x5A, 0x5A, 0x5A};
  const bool ok = ParseIpAddress(t, written, 0);
  FUZZ_CHECK(ParseIpAddress(t, reversed, 1) == ok);
  FUZZ_CHECK(ok == (*t != '\0'));
  if (ok) {
    std::reverse(reversed, reversed + 4);
    FUZZ_CHECK(std::equal(written, written + 4, reversed));
  } else {
    FUZZ_CHECK(written[0] == 0xA5 && written[3] == 0xA5);
  }

  int mac[6] = {-7, -7, -7, -7, -7, -7};
  FUZZ_CHECK(ParseMacAddress(t, mac) == (*t != '\0'));
  for (int field : mac)
    FUZZ_CHECK(field == -7 || (field >= 0 && field <= 0xFF));
  return 0;
}
