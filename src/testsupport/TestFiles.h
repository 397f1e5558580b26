// Test support: a fresh folder per test under $SENDRIX_TEST_TMP (else /tmp),
// and whole-file reads and writes.
#pragma once

#include <stdlib.h>

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
