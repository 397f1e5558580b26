#include "DeviceSetup.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "HexDigit.h"

namespace {
constexpr char kFind[] = "IP=FIND";
constexpr char kPrefix[] = "IP=";
constexpr size_t kWordEnd = 7;  // "IP=" + 4-letter command word
constexpr size_t kChipLength = 17;
constexpr size_t kChnoLength = 23;
constexpr size_t kRestLength = 13;
constexpr size_t kNameLength = 10;

// A frame of `expected` bytes, possibly followed by one zero byte.
bool HasLength(size_t length, const uint8_t* data, size_t expected) {
  return length == expected || (length == expected + 1 && data[expected] == 0);
}
}  // namespace

bool ParseMacText(const std::string& text, std::array<uint8_t, 6>& mac) {
  if (text.size() != 17) {
    return false;
  }
  std::array<uint8_t, 6> bytes{};
  for (size_t i = 0; i < 6; ++i) {
    const int high = HexDigit(text[i * 3]);
    const int low = HexDigit(text[i * 3 + 1]);
    if (high < 0 || low < 0 || (i < 5 && text[i * 3 + 2] != '-' && text[i * 3 + 2] != ':')) {
      return false;
    }
    bytes[i] = static_cast<uint8_t>(high * 16 + low);
  }
  mac = bytes;
  return true;
}

CDeviceSetup::CDeviceSetup()
    : m_mac{0x02, 0x00, 0x00, 0x00, 0x00, 0x01}, m_ip{127, 0, 0, 1}, m_strName("SIMPRN") {}

void CDeviceSetup::SetName(const std::string& name) {
  // The name travels inside a zero-terminated, tab-separated record: it ends
  // at a zero byte, and other control characters would break the record.
  m_strName = name.substr(0, name.find('\0'));
  for (char& c : m_strName) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      c = '?';
    }
  }
}

bool CDeviceSetup::SetMac(const std::string& text) {
  return ParseMacText(text, m_mac);
}

bool CDeviceSetup::SetIp(const std::string& dotted) {
  in_addr address{};
  if (inet_pton(AF_INET, dotted.c_str(), &address) != 1) {
    return false;
  }
  std::memcpy(m_ip.data(), &address.s_addr, 4);  // network order: first octet first
  return true;
}

std::string CDeviceSetup::GetMacText() const {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", m_mac[0], m_mac[1], m_mac[2],
                m_mac[3], m_mac[4], m_mac[5]);
  return text;
}

std::string CDeviceSetup::GetIpText() const {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", m_ip[0], m_ip[1], m_ip[2], m_ip[3]);
  return text;
}

std::string CDeviceSetup::GetRecord() const {
  std::string head = "PRINTSERVER\t" + GetIpText() + "\t" + GetMacText() + "\t";
  // The name gives way if the record would not fit its 128-byte slot.
  const size_t room = kMaxRecord - head.size() - 1;
  return head + m_strName.substr(0, room) + "\t";
}

bool CDeviceSetup::MacMatches(const uint8_t* mac) const {
  return std::memcmp(mac, m_mac.data(), m_mac.size()) == 0;
}

void CDeviceSetup::Acknowledge(const uint8_t* frame, std::vector<uint8_t>& reply) {
  static constexpr char kOk[] = "IP=OK";
  reply.assign(kOk, kOk + 5);
  reply.insert(reply.end(), frame + 3, frame + kWordEnd);  // the command word
  reply.insert(reply.end(), frame + kWordEnd, frame + kWordEnd + 6);
}

CDeviceSetup::Action CDeviceSetup::Handle(const uint8_t* data, size_t length, bool acknowledge,
                                          std::vector<uint8_t>& reply) {
  reply.clear();
  if (length == 7 && std::memcmp(data, kFind, 7) == 0) {
    const std::string record = GetRecord();
    reply.assign(record.begin(), record.end());
    return Action::Discovered;
  }
  if (length < kRestLength || std::memcmp(data, kPrefix, 3) != 0 || !MacMatches(data + kWordEnd)) {
    return Action::None;
  }
  const std::string word(reinterpret_cast<const char*>(data) + 3, 4);
  const uint8_t* field = data + kWordEnd + 6;
  Action action = Action::None;
  if (word == "CHIP" && HasLength(length, data, kChipLength)) {
    std::memcpy(m_ip.data(), field, 4);
    action = Action::ChangedIp;
  } else if (word == "CHNO" && HasLength(length, data, kChnoLength)) {
    std::string name(reinterpret_cast<const char*>(field), kNameLength);
    name.erase(name.find_last_not_of(' ') + 1);  // npos + 1 == 0 clears an all-blank name
    SetName(name);
    action = Action::ChangedName;
  } else if (word == "REST" && HasLength(length, data, kRestLength)) {
    action = Action::Restart;
  } else {
    return Action::None;
  }
  if (acknowledge) {
    Acknowledge(data, reply);
  }
  return action;
}
