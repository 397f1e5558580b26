// Any datagram as a print server's reply to the discovery request.
// Invariant: a reply is taken exactly when it keeps the record rules (at
// most 127 bytes, no NUL, three tabs, an address, address / MAC / name of at
// most 29 characters each), checked here by splitting the text at its tabs;
// a taken reply is copied whole and terminated, never cut.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "comm/EthernetDiscovery.h"

namespace {

bool KeepsTheRules(const std::string& reply) {
  if (reply.empty() || reply.size() > 127 || reply.find('\0') != std::string::npos)
    return false;
  std::vector<std::string> fields(1);
  for (char c : reply) {
    if (c == '\t')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  if (fields.size() < 4 || fields[1].empty())
    return false;
  // The name ends at the next tab; what follows it is free.
  for (size_t f = 1; f <= 3; ++f) {
    if (fields[f].size() > CEthernetDiscovery::kMaxField)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  char record[128];
  std::memset(record, 0x55, sizeof record);
  const bool taken = CEthernetDiscovery::ParseRecord(reply.data(), reply.size(), record);
  FUZZ_CHECK(taken == KeepsTheRules(reply));
  if (taken) {
    FUZZ_CHECK(std::memchr(record, '\0', sizeof record) != nullptr);
    FUZZ_CHECK(std::string(record) == reply);
  }
  const size_t length = CEthernetDiscovery::FrameLength(reply.c_str());
  FUZZ_CHECK(length == 0 || length == 13 || length == 17 || length == 23);
  return 0;
}
