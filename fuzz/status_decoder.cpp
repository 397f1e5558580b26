// Any bytes as what the printer sends back, through the status decoder: the
// input alternates sent strings, data blocks and USM blocks (a length byte,
// its top two bits choosing which). Invariants: a reply answers a request
// armed and not yet answered, and never more replies than requests; the
// USM bytes decoded (4 per message, 1 per stray byte) never exceed those
// fed and trail them by less than a message; an unknown layout says so and
// nothing else; every text has a line per bit; a known text never says
// "unknown".
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "codec/StatusDecoder.h"

namespace {

size_t Requests(const uint8_t* data, size_t size) {
  if (size < 3 || data[size - 3] != 0x10 || data[size - 2] != 0x04 || data[size - 1] < 1 ||
      data[size - 1] > 4)
    return 0;
  size_t count = 0;
  for (size_t i = 0; i + 2 < size; ++i) {
    if (data[i] == 0x10 && data[i + 1] == 0x04 && data[i + 2] >= 1 && data[i + 2] <= 4) {
      ++count;
      i += 2;
    }
  }
  return count;
}

// Checks what every text keeps to; returns the bytes it decoded (its bit
// table has a line per bit).
size_t CheckText(const PRINTER_STATUS_TEXT& text) {
  FUZZ_CHECK(text.Line().rfind("status " + text.strSource + ": ", 0) == 0);
  FUZZ_CHECK((text.strWords.rfind("unknown layout: ", 0) == 0) == !text.bKnown);
  FUZZ_CHECK(text.bKnown == (text.strWords.find("unknown") == std::string::npos));
  FUZZ_CHECK(text.bKnown || !text.bChanged);
  size_t lines = 1;
  for (char c : text.strBitTable)
    lines += c == '\n';
  FUZZ_CHECK(lines % 8 == 0);
  return lines / 8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CStatusDecoder decoder;
  std::vector<PRINTER_STATUS_TEXT> out;
  size_t armed = 0;
  size_t usmFed = 0;
  size_t usmDecoded = 0;
  uint64_t now = 0;
  for (size_t at = 0; at < size;) {
    const uint8_t head = data[at++];
    const size_t length = std::min<size_t>(head & 0x3F, size - at);
    const uint8_t* block = data + at;
    at += length;
    now += head & 0x0F ? 10 : CStatusDecoder::kReplyWindowMs + 1;  // late, now and then
    out.clear();
    switch (head >> 6) {
      case 0:
        decoder.OnSent(block, length, now);
        armed += Requests(block, length);
        break;
      case 1:
        decoder.OnData(block, length, now, out);
        FUZZ_CHECK(out.size() <= length && out.size() <= armed);
        armed -= out.size();
        for (const PRINTER_STATUS_TEXT& text : out) {
          FUZZ_CHECK(text.strSource.rfind("DLE EOT ", 0) == 0);
          FUZZ_CHECK(CheckText(text) == 1);
        }
        break;
      default:
        decoder.OnUsm(block, length, out);
        usmFed += length;
        for (const PRINTER_STATUS_TEXT& text : out) {
          FUZZ_CHECK(text.strSource == "automatic");
          const size_t bytes = CheckText(text);
          FUZZ_CHECK(bytes == CStatusDecoder::kAutomaticBytes || (bytes == 1 && !text.bKnown));
          usmDecoded += bytes;
        }
        FUZZ_CHECK(usmDecoded <= usmFed && usmFed - usmDecoded < CStatusDecoder::kAutomaticBytes);
        break;
    }
  }
  return 0;
}
