// Test-side helpers that talk to the virtual printer over loopback, every
// wait bounded by a time-out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

// Connects to 127.0.0.1:port; -1 when refused or after `timeoutMs`.
int ConnectTcp(int port, int timeoutMs = 2000);
// Writes every byte (blocking fd or not), giving up after `timeoutMs`.
bool WriteAll(int fd, const Bytes& bytes, int timeoutMs = 5000);
// Reads exactly `count` bytes, or what arrived before `timeoutMs`.
Bytes ReadSome(int fd, size_t count, int timeoutMs);
// True when the peer closed the connection within `timeoutMs`.
bool WaitForClose(int fd, int timeoutMs);
std::string TempDir();

}  // namespace simtest
