// Writing to POSIX file descriptors. No state; safe from any thread (the
// descriptor's own position rules apply).
#pragma once

#include <cstddef>

// Writes all `length` bytes to fd, going on after short writes and EINTR.
// True when everything was written. On failure errno tells why (unchanged
// when the system wrote nothing without an error) and *written, when given,
// holds the bytes that did go out. Sets no last error.
bool WriteAll(int fd, const void* data, std::size_t length, std::size_t* written = nullptr);
