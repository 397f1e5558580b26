// Test support for the backends' peers: reading what a backend sent.
#pragma once

#include <cstddef>
#include <string>

// Reads up to n bytes from fd (a socket or a pseudo-terminal master), waiting
// about five seconds at most; returns what arrived.
std::string RecvAll(int fd, size_t n);
