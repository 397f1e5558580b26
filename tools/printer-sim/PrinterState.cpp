#include "PrinterState.h"

#include <sstream>

namespace {

// Bits every DLE EOT answer carries: bit 1 and bit 4 set, bits 0 and 7 clear.
constexpr uint8_t kRealTimeFixed = 0x12;
// The first byte of an automatic status message: bit 4 set, bits 0, 1, 7 clear.
constexpr uint8_t kAutomaticFirst = 0x10;
// Byte 4 of the automatic status: bits 0-3 are the model's own; this
// printer has always sent them set.
constexpr uint8_t kAutomaticFourth = 0x0F;

constexpr uint8_t kDrawerPinHigh = 0x04;    // DLE EOT 1 and automatic byte 1
constexpr uint8_t kOffline = 0x08;          // DLE EOT 1 and automatic byte 1
constexpr uint8_t kCoverOpenCause = 0x04;   // DLE EOT 2
constexpr uint8_t kPaperEndStop = 0x20;     // DLE EOT 2
constexpr uint8_t kErrorOccurred = 0x40;    // DLE EOT 2
constexpr uint8_t kAutoCutterError = 0x08;  // DLE EOT 3 and automatic byte 2
constexpr uint8_t kNearEndPair = 0x0C;      // DLE EOT 4
constexpr uint8_t kPaperEndPair = 0x60;     // DLE EOT 4
constexpr uint8_t kCoverOpen = 0x20;        // automatic byte 1
constexpr uint8_t kAutoNearEnd = 0x03;      // automatic byte 3
constexpr uint8_t kAutoPaperEnd = 0x0C;     // automatic byte 3

}  // namespace

bool CPrinterState::Parse(const std::string& list, CPrinterState& state, std::string& error) {
  CPrinterState parsed;
  bool online = false;
  std::stringstream items(list);
  std::string item;
  bool any = false;
  while (std::getline(items, item, ',')) {
    any = true;
    if (item == "online") {
      online = true;
    } else if (item == "offline") {
      parsed.m_bOffline = true;
    } else if (item == "cover-open") {
      parsed.m_bCoverOpen = true;
    } else if (item == "paper-near-end") {
      parsed.m_bPaperNearEnd = true;
    } else if (item == "paper-out") {
      parsed.m_bPaperOut = true;
    } else if (item == "drawer-open") {
      parsed.m_bDrawerOpen = true;
    } else if (item == "error") {
      parsed.m_bError = true;
    } else {
      error = "unknown printer state \"" + item + "\"";
      return false;
    }
  }
  if (!any || (!list.empty() && list.back() == ',')) {
    error = "empty printer state in \"" + list + "\"";
    return false;
  }
  if (online && parsed.IsOffline()) {
    error = "printer state \"" + list + "\" is online and offline at once";
    return false;
  }
  state = parsed;
  return true;
}

uint8_t CPrinterState::StatusByte(uint8_t n) const {
  uint8_t bits = kRealTimeFixed;
  switch (n) {
    case 1:
      bits |= m_bDrawerOpen ? 0 : kDrawerPinHigh;
      bits |= IsOffline() ? kOffline : 0;
      return bits;
    case 2:
      bits |= m_bCoverOpen ? kCoverOpenCause : 0;
      bits |= m_bPaperOut ? kPaperEndStop : 0;
      bits |= m_bError ? kErrorOccurred : 0;
      return bits;
    case 3:
      return bits | (m_bError ? kAutoCutterError : 0);
    case 4:
      bits |= (m_bPaperNearEnd || m_bPaperOut) ? kNearEndPair : 0;
      return bits | (m_bPaperOut ? kPaperEndPair : 0);
    default:
      return 0;
  }
}

std::array<uint8_t, 4> CPrinterState::AutomaticStatus() const {
  std::array<uint8_t, 4> message = {kAutomaticFirst, 0, 0, kAutomaticFourth};
  message[0] |= m_bDrawerOpen ? 0 : kDrawerPinHigh;
  message[0] |= IsOffline() ? kOffline : 0;
  message[0] |= m_bCoverOpen ? kCoverOpen : 0;
  message[1] |= m_bError ? kAutoCutterError : 0;
  message[2] |= (m_bPaperNearEnd || m_bPaperOut) ? kAutoNearEnd : 0;
  message[2] |= m_bPaperOut ? kAutoPaperEnd : 0;
  return message;
}
