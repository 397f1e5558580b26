// The print server's side of discovery and device setup, over UDP:
//
//   query  "IP=FIND" (7 bytes)      -> one datagram holding one record
//          "PRINTSERVER\t<ip>\t<mac>\t<name>\t" (at most 127 bytes; the MAC
//          as XX-XX-XX-XX-XX-XX, upper-case)
//   "IP=CHIP" + 6 MAC + 4 IP bytes (17)            new reported address
//   "IP=CHNO" + 6 MAC + 10 name bytes, space-padded (23)   new name
//   "IP=REST" + 6 MAC (13)                          restart: drop connections
//
// A frame may be followed by one zero byte (the terminator of the sender's
// buffer). Frames for another MAC, and anything else, are ignored. An obeyed
// frame is acknowledged with "IP=OK" + the command word + the 6 MAC bytes
// (15 bytes), unless acknowledgements are withheld (a test fault).
// Not thread-safe: the owner locks around it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDeviceSetup {
 public:
  enum class Action { None, Discovered, ChangedIp, ChangedName, Restart };
  static constexpr size_t kMaxRecord = 127;

  CDeviceSetup();
  // False when a text does not parse (the identity is then unchanged).
  bool SetMac(const std::string& text);
  bool SetIp(const std::string& dotted);
  // Cut at a zero byte; other control characters become '?'.
  void SetName(const std::string& name);

  // Handles one datagram; `reply` receives the datagram to send back (empty:
  // none). Returns what the printer did.
  Action Handle(const uint8_t* data, size_t length, bool acknowledge, std::vector<uint8_t>& reply);

  std::string GetRecord() const;
  std::string GetMacText() const;
  std::string GetIpText() const;
  const std::string& GetName() const { return m_strName; }

 private:
  bool MacMatches(const uint8_t* mac) const;
  static void Acknowledge(const uint8_t* frame, std::vector<uint8_t>& reply);

  std::array<uint8_t, 6> m_mac;
  std::array<uint8_t, 4> m_ip;
  std::string m_strName;
};

// "02-00-00-00-00-01" (or with colons) into six bytes; false if malformed.
bool ParseMacText(const std::string& text, std::array<uint8_t, 6>& mac);
