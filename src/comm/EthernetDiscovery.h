// Print-server discovery and device-setup frames over UDP.
//
// Target: $SENDRIX_DISCOVERY_ADDR (dotted IPv4, default 255.255.255.255,
// meant for real networks only) and $SENDRIX_DISCOVERY_PORT (default 9120).
//
// Discovery: one datagram "IP=FIND" (7 bytes) to the target; every reply
// datagram received within kCollectMs (or until the table is full) is one
// record "<kind>\t<ip>\t<mac XX-XX-XX-XX-XX-XX>\t<name>[\t<anything>]".
// A reply is dropped, never cut, when it is longer than 127 bytes, holds a
// NUL byte, has fewer than three tabs, an empty address field, or an
// address, MAC or name field longer than 29 characters; so every record fits
// its 128-byte slot and every field the caller's 30-byte buffers. Exact
// duplicates (a server answering twice) are kept once.
//
// Frames: "IP=CHIP" (17 bytes), "IP=CHNO" (23), "IP=REST" (13): the length
// follows from the command word, other words are refused. One datagram to the
// target; the device answers "IP=OK" + the command word + its 6 MAC bytes
// (15 bytes). Success = that answer, with the frame's command and MAC, within
// kAckMs.
//
// Both calls block their caller for at most kCollectMs / kAckMs.
// Thread safety: no shared state; callable from any thread.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <string>

#include "comm/CommBackend.h"

class CEthernetDiscovery {
 public:
  static constexpr DWORD kCollectMs = 1500;
  static constexpr DWORD kAckMs = 1000;
  static constexpr int kDefaultPort = 9120;
  static constexpr size_t kMaxField = 29;

  // The target from the environment; false (reason set) when it is unusable.
  static bool Target(sockaddr_in* addr, std::string* text, std::string* reason);
  // nonzero = count and table filled (count may be 0). Socket failures give
  // comm error 9 and 0.
  static int Discover(ICommErrorSink* errors, int& count, char (*table)[128], int capacity);
  // Checks one reply; on success writes it, terminated, into `record`.
  static bool ParseRecord(const char* data, size_t length, char (&record)[128]);
  // 17, 23 or 13 by the command word; 0 for anything else.
  static size_t FrameLength(const char* frame);
  // nonzero = acknowledged by the device.
  static int SendFrame(ICommErrorSink* errors, const char* frame);
};
