// Reading and writing files through POSIX file descriptors. No state; safe
// from any thread (the descriptor's own position rules apply).
#pragma once

#include <cstddef>
#include <string>

// Writes all `length` bytes to fd, going on after short writes and EINTR.
// True when everything was written. On failure errno tells why (unchanged
// when the system wrote nothing without an error) and *written, when given,
// holds the bytes that did go out. Sets no last error.
bool WriteAll(int fd, const void* data, std::size_t length, std::size_t* written = nullptr);

// Reads at most maxBytes of the regular file `path` into *out (reserved to
// the file's size, so a small file costs no large buffer; never waits on a
// FIFO: it is refused). 1 when the file could be read (possibly cut at
// maxBytes), 0 when it cannot be opened or read, last error set.
int ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string* out);

// True when both paths exist and name the same file (the same inode on the
// same device, whatever links or spellings lead there).
bool IsSameFile(const std::string& a, const std::string& b);

// Creates base + relative level by level. relative starts with '/' (for
// example "/Output" or "/a/b"); each level that is not yet a directory is
// created. Returns false when a level cannot be created (for example a file
// of that name exists), true when every level is a directory afterwards.
bool CreateFolderPath(const char* base, const char* relative);
