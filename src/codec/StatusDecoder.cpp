#include "codec/StatusDecoder.h"

#include <cstdio>

namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kFirstRequest = 1;
constexpr uint8_t kLastRequest = 4;
constexpr int kBitsPerByte = 8;

// One piece of meaning: the bits `mask` of byte `index`, all set or all
// clear (anything between is an unknown layout).
struct FIELD {
  size_t index;
  uint8_t mask;
  const char* set;
  const char* clear;
  bool bAlwaysSaid;  // said when clear too
};

// Bits every message of a layout carries, per byte.
struct FIXED {
  uint8_t mask;
  uint8_t value;
};

struct LAYOUT {
  std::vector<FIXED> fixed;
  std::vector<FIELD> fields;
  const char* quiet;  // the words when no field says anything
};

// DLE EOT answers: bits 1 and 4 set, bits 0 and 7 clear.
const FIXED kReplyFixed = {0x93, 0x12};

const LAYOUT& ReplyLayout(uint8_t n) {
  static const LAYOUT kLayouts[kLastRequest] = {
      {{kReplyFixed},
       {{0, 0x08, "offline", "online", true},
        {0, 0x04, "drawer closed", "drawer open", true},
        {0, 0x20, "waiting for online recovery", "not waiting for online recovery", false},
        {0, 0x40, "feed button pressed", "feed button released", false}},
       ""},
      {{kReplyFixed},
       {{0, 0x04, "cover open", "cover closed", false},
        {0, 0x08, "paper fed by the feed button", "no paper feed", false},
        {0, 0x20, "stopped by paper end", "not stopped by paper end", false},
        {0, 0x40, "error", "no error", false}},
       "no offline cause"},
      {{kReplyFixed},
       {{0, 0x04, "recoverable error", "no recoverable error", false},
        {0, 0x08, "auto-cutter error", "no auto-cutter error", false},
        {0, 0x20, "unrecoverable error", "no unrecoverable error", false},
        {0, 0x40, "auto-recoverable error", "no auto-recoverable error", false}},
       "no error"},
      {{kReplyFixed},
       {{0, 0x0C, "paper near end", "paper adequate", false},
        {0, 0x60, "paper out", "paper present", false}},
       "paper adequate"},
  };
  return kLayouts[n - 1];
}

const LAYOUT& AutomaticLayout() {
  static const LAYOUT kLayout = {
      {{0x93, 0x10}, {0x90, 0x00}, {0x90, 0x00}, {0x90, 0x00}},
      {{0, 0x08, "offline", "online", true},
       {0, 0x20, "cover open", "cover closed", false},
       {2, 0x03, "paper near end", "paper adequate", false},
       {2, 0x0C, "paper out", "paper present", false},
       {0, 0x04, "drawer closed", "drawer open", true},
       {1, 0x04, "recoverable error", "no recoverable error", false},
       {1, 0x08, "auto-cutter error", "no auto-cutter error", false},
       {1, 0x20, "unrecoverable error", "no unrecoverable error", false},
       {1, 0x40, "auto-recoverable error", "no auto-recoverable error", false},
       {0, 0x40, "feed button pressed", "feed button released", false}},
      ""};
  return kLayout;
}

bool FitsLayout(const LAYOUT& layout, const std::vector<uint8_t>& bytes) {
  if (bytes.size() != layout.fixed.size()) {
    return false;
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    if ((bytes[i] & layout.fixed[i].mask) != layout.fixed[i].value) {
      return false;
    }
  }
  for (const FIELD& field : layout.fields) {
    const uint8_t bits = bytes[field.index] & field.mask;
    if (bits != 0 && bits != field.mask) {
      return false;
    }
  }
  return true;
}

bool IsSet(const FIELD& field, const std::vector<uint8_t>& bytes) {
  return (bytes[field.index] & field.mask) != 0;
}

void AppendWord(std::string& words, const char* word) {
  if (!words.empty()) {
    words += ", ";
  }
  words += word;
}

const char* BitMeaning(const LAYOUT& layout, size_t index, int bit) {
  const uint8_t mask = static_cast<uint8_t>(1u << bit);
  for (const FIELD& field : layout.fields) {
    if (field.index == index && (field.mask & mask) != 0) {
      return field.set;
    }
  }
  return (layout.fixed[index].mask & mask) != 0 ? "fixed" : "undefined";
}

// "byte 1 bit 3 = 1  offline when set", one line per bit, lowest first.
std::string BitTable(const LAYOUT* layout, const std::vector<uint8_t>& bytes) {
  std::string table;
  for (size_t i = 0; i < bytes.size(); ++i) {
    for (int bit = 0; bit < kBitsPerByte; ++bit) {
      char line[96];
      const char* meaning = layout != nullptr ? BitMeaning(*layout, i, bit) : "unknown layout";
      std::snprintf(line, sizeof line, "%s%sbit %d = %d  %s\n", bytes.size() > 1 ? "byte " : "",
                    bytes.size() > 1 ? (std::to_string(i + 1) + " ").c_str() : "", bit,
                    (bytes[i] >> bit) & 1, meaning);
      table += line;
    }
  }
  if (!table.empty()) {
    table.pop_back();
  }
  return table;
}

// "unknown layout: 14 01 = 00010100 00000001"
std::string RawBits(const std::vector<uint8_t>& bytes) {
  std::string hex;
  std::string bits;
  for (uint8_t b : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X ", b);
    hex += pair;
    for (int bit = kBitsPerByte - 1; bit >= 0; --bit) {
      bits += ((b >> bit) & 1) != 0 ? '1' : '0';
    }
    bits += ' ';
  }
  hex.pop_back();
  bits.pop_back();
  return "unknown layout: " + hex + " = " + bits;
}

// The words; the bit table too when withTable.
PRINTER_STATUS_TEXT Decode(const LAYOUT& layout, const std::vector<uint8_t>& bytes,
                           const std::vector<uint8_t>& previous, bool withTable = true) {
  PRINTER_STATUS_TEXT text;
  if (!FitsLayout(layout, bytes)) {
    text.bKnown = false;
    text.strWords = RawBits(bytes);
    if (withTable)
      text.strBitTable = BitTable(nullptr, bytes);
    return text;
  }
  const bool compare = FitsLayout(layout, previous);
  std::string changed;
  for (const FIELD& field : layout.fields) {
    const bool set = IsSet(field, bytes);
    if (set || field.bAlwaysSaid) {
      AppendWord(text.strWords, set ? field.set : field.clear);
    }
    if (compare && set != IsSet(field, previous)) {
      AppendWord(changed, set ? field.set : field.clear);
    }
  }
  if (text.strWords.empty()) {
    text.strWords = layout.quiet;
  }
  if (!changed.empty()) {
    text.bChanged = true;
    text.strWords += "; changed: " + changed;
  }
  if (withTable)
    text.strBitTable = BitTable(&layout, bytes);
  return text;
}

// Where a message compared with `previous` keeps its text among `slots`.
size_t MadeSlot(const std::vector<uint8_t>& message, const std::vector<uint8_t>& previous,
                size_t slots) {
  std::uint64_t key = message.size() * 8 + previous.size();
  for (uint8_t b : message)
    key = key << 8 | b;
  for (uint8_t b : previous)
    key = (key << 8 | b) ^ (key >> 56);
  return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) % slots;
}

}  // namespace

PRINTER_STATUS_TEXT CStatusDecoder::DecodeReply(uint8_t n, uint8_t value,
                                                std::optional<uint8_t> previous) {
  PRINTER_STATUS_TEXT text;
  if (n < kFirstRequest || n > kLastRequest) {
    text.bKnown = false;
    text.strWords = RawBits({value});
    text.strBitTable = BitTable(nullptr, {value});
  } else {
    std::vector<uint8_t> before;
    if (previous.has_value()) {
      before.push_back(*previous);
    }
    text = Decode(ReplyLayout(n), {value}, before);
  }
  text.strSource = "DLE EOT " + std::to_string(n);
  return text;
}

PRINTER_STATUS_TEXT CStatusDecoder::DecodeAutomatic(const std::vector<uint8_t>& message,
                                                    const std::vector<uint8_t>& previous) {
  PRINTER_STATUS_TEXT text = Decode(AutomaticLayout(), message, previous);
  text.strSource = "automatic";
  return text;
}

void CStatusDecoder::OnSent(const uint8_t* data, size_t length, uint64_t nowMs) {
  if (length < 3 || data[length - 3] != kDle || data[length - 2] != kEot ||
      data[length - 1] < kFirstRequest || data[length - 1] > kLastRequest) {
    return;
  }
  // The printer answers every request of the string, in order.
  for (size_t i = 0; i + 2 < length; ++i) {
    const uint8_t n = data[i + 2];
    if (data[i] == kDle && data[i + 1] == kEot && n >= kFirstRequest && n <= kLastRequest) {
      m_pending.push_back(PENDING{n, nowMs + kReplyWindowMs});
      i += 2;
    }
  }
}

void CStatusDecoder::OnData(const uint8_t* data, size_t length, uint64_t nowMs,
                            std::vector<PRINTER_STATUS_TEXT>& out) {
  for (size_t i = 0; i < length; ++i) {
    while (!m_pending.empty() && m_pending.front().deadlineMs < nowMs) {
      m_pending.pop_front();
    }
    if (m_pending.empty()) {
      return;
    }
    const uint8_t n = m_pending.front().n;
    m_pending.pop_front();
    out.push_back(DecodeReply(n, data[i], m_lastReply[n]));
    m_lastReply[n] = data[i];
  }
}

template <typename Each>
void CStatusDecoder::ScanUsm(const uint8_t* data, size_t length, Each each) {
  const FIXED& first = AutomaticLayout().fixed[0];
  for (size_t i = 0; i < length; ++i) {
    if (m_usm.empty() && (data[i] & first.mask) != first.value) {
      each(MakeAutomatic({data[i]}));  // cannot begin a message
      continue;
    }
    m_usm.push_back(data[i]);
    if (m_usm.size() == kAutomaticBytes) {
      const PRINTER_STATUS_TEXT& text = MakeAutomatic(m_usm);
      if (text.bKnown) {
        m_lastAutomatic = m_usm;
      }
      m_usm.clear();
      each(text);
    }
  }
}

const PRINTER_STATUS_TEXT& CStatusDecoder::MakeAutomatic(const std::vector<uint8_t>& message) {
  // A stray byte is compared with nothing.
  const std::vector<uint8_t> none;
  const std::vector<uint8_t>& previous = message.size() == kAutomaticBytes ? m_lastAutomatic : none;
  m_lastMessage = message;
  m_lastPrevious = previous;
  if (m_made.empty()) {
    m_made.resize(kMadeTexts);
  }
  MADE& made = m_made[MadeSlot(message, previous, kMadeTexts)];
  if (made.text.strSource.empty() || made.message != message || made.previous != previous) {
    made.message = message;
    made.previous = previous;
    made.text = Decode(AutomaticLayout(), message, previous, false);
    made.text.strSource = "automatic";
  }
  return made.text;
}

void CStatusDecoder::OnUsm(const uint8_t* data, size_t length,
                           std::vector<PRINTER_STATUS_TEXT>& out) {
  ScanUsm(data, length, [&](const PRINTER_STATUS_TEXT&) { out.push_back(LastAutomatic()); });
}

void CStatusDecoder::OnUsm(const uint8_t* data, size_t length, const Visit& each) {
  ScanUsm(data, length, each);
}

PRINTER_STATUS_TEXT CStatusDecoder::LastAutomatic() const {
  if (m_lastMessage.empty()) {
    return PRINTER_STATUS_TEXT();
  }
  return DecodeAutomatic(m_lastMessage, m_lastPrevious);
}

void CStatusDecoder::Reset() {
  m_pending.clear();
  m_lastReply = {};
  m_usm.clear();
  m_lastAutomatic.clear();
  m_lastMessage.clear();
  m_lastPrevious.clear();
}
