// Any data framed for the packet protocol, then decoded by the virtual
// printer's own decoder (written apart from the core, so the two check each
// other). Invariants: the frame fits its documented worst case (2n + 3) and
// starts with 02; it decodes to exactly one good frame holding the data, with
// nothing bad or stray; split anywhere, it decodes the same.
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "PacketDecoder.h"
#include "codec/Codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 8192)
    return 0;
  const size_t split = data[0];
  const BYTE* payload = data + 1;
  const int n = static_cast<int>(size - 1);
  std::vector<BYTE> frame(2 * static_cast<size_t>(n) + 3 + 1, 0xEE);
  const int length = FramePacket(payload, frame.data(), n);
  FUZZ_CHECK(frame.back() == 0xEE);  // nothing past the worst case
  if (n == 0) {
    FUZZ_CHECK(length == 0);
    return 0;
  }
  FUZZ_CHECK(length >= n + 3 && length <= 2 * n + 3);
  FUZZ_CHECK(frame[0] == 0x02);

  std::vector<std::vector<uint8_t>> decoded;
  auto sink = [&](const uint8_t* p, size_t l) { decoded.emplace_back(p, p + l); };
  CPacketDecoder decoder;
  const size_t first = split % static_cast<size_t>(length);
  decoder.Feed(frame.data(), first, sink);
  decoder.Feed(frame.data() + first, static_cast<size_t>(length) - first, sink);
  FUZZ_CHECK(decoder.GetGoodFrames() == 1 && decoder.GetBadFrames() == 0);
  FUZZ_CHECK(decoder.GetStrayBytes() == 0 && !decoder.IsInFrame());
  FUZZ_CHECK(decoded.size() == 1);
  FUZZ_CHECK(decoded[0] == std::vector<uint8_t>(payload, payload + n));
  return 0;
}
