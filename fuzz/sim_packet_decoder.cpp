// Any byte stream into the virtual printer's packet decoder, whole and in
// pieces. The first input byte sets the piece size.
// Invariants: the pieces decode exactly as the whole stream does (payloads
// and counters), since frames may be split across reads anywhere; no payload
// exceeds kMaxFrameData; every byte ends up in a good frame, a bad frame or
// the stray count (good payloads are never longer than their frame); empty
// good frames are counted but pass no payload on.
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "PacketDecoder.h"

namespace {

struct CDecoded {
  std::vector<std::vector<uint8_t>> payloads;
  uint64_t good = 0, bad = 0, stray = 0;
  bool inFrame = false;
  bool operator==(const CDecoded&) const = default;
};

CDecoded Decode(const uint8_t* data, size_t size, size_t piece) {
  CDecoded result;
  CPacketDecoder decoder;
  auto sink = [&](const uint8_t* p, size_t l) {
    FUZZ_CHECK(l <= CPacketDecoder::kMaxFrameData);
    result.payloads.emplace_back(p, p + l);
  };
  for (size_t at = 0; at < size; at += piece)
    decoder.Feed(data + at, std::min(piece, size - at), sink);
  result.good = decoder.GetGoodFrames();
  result.bad = decoder.GetBadFrames();
  result.stray = decoder.GetStrayBytes();
  result.inFrame = decoder.IsInFrame();
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  const size_t piece = 1 + data[0] % 17;
  const CDecoded whole = Decode(data + 1, size - 1, size);
  const CDecoded pieces = Decode(data + 1, size - 1, piece);
  FUZZ_CHECK(whole == pieces);
  // Empty good frames count but pass nothing on.
  FUZZ_CHECK(whole.payloads.size() <= whole.good);
  size_t payloadBytes = 0;
  for (const auto& p : whole.payloads) {
    FUZZ_CHECK(!p.empty());
    payloadBytes += p.size();
  }
  // Each good frame costs at least three bytes around its data.
  FUZZ_CHECK(payloadBytes + 3 * whole.good + whole.stray <= size - 1);
  return 0;
}
