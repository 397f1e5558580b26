// Test support: a fresh folder per test under $SENDRIX_TEST_TMP (else /tmp),
// whole-file and whole-stream reads and writes, and UTF-16 text.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// Makes "<root>/<prefix>-XXXXXX" and returns its path; "" when it cannot.
inline std::string MakeTestFolder(const std::string& prefix) {
  const char* base = std::getenv("SENDRIX_TEST_TMP");
  const std::string root = base != nullptr && *base != '\0' ? base : "/tmp";
  std::error_code ec;
  std::filesystem::create_directories(root, ec);
  std::string folder = root + "/" + prefix + "-XXXXXX";
  return mkdtemp(folder.data()) != nullptr ? folder : "";
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes `bytes` as the whole file, making its folder first.
inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  std::ofstream(path, std::ios::binary) << bytes;
}

// Everything written so far to `f` (a std::tmpfile()), read from its start.
inline std::string ReadStream(std::FILE* f) {
  std::string text;
  std::rewind(f);
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f))
    text += static_cast<char>(c);
  return text;
}

// UTF-16LE with its byte-order mark, from ASCII/UTF-8 text whose only
// non-ASCII characters are two-byte UTF-8 sequences (enough for a test).
inline std::string Utf16Le(const std::string& utf8) {
  std::string out = "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    unsigned cp = static_cast<unsigned char>(utf8[i]);
    if ((cp & 0xE0) == 0xC0 && i + 1 < utf8.size())
      cp = ((cp & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    out += static_cast<char>(cp & 0xFF);
    out += static_cast<char>(cp >> 8);
  }
  return out;
}
