// Any file as a history file (private-profile INI text).
// Invariants: the INI text written back and read again writes the same text
// (other lines kept as they stand, values quoted where reading would change
// them); the histories read from the file, saved into that same file and
// read again, are the same lists, and the file's other sections keep their
// values.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "FuzzCheck.h"
#include "history/HistoryFile.h"
#include "history/IniFile.h"

namespace {

std::string g_folder;
std::string g_path;

void WriteFile(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(g_path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  std::fclose(f);
}

}  // namespace

// Every input that holds histories is written and read back, so the folder's
// file system sets the pace: on tmpfs (TMPDIR=/dev/shm) it runs about twice
// as fast as on a disk.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/sendrix-fuzz-XXXXXX";
  FUZZ_CHECK(mkdtemp(folder.data()) != nullptr);
  g_folder = folder;
  g_path = folder + "/history.ini";
  std::atexit([] {
    unlink(g_path.c_str());
    rmdir(g_folder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384)
    return 0;
  const char* text = reinterpret_cast<const char*>(data);
  const CIniFile ini = CIniFile::Parse(text, size);
  const std::string once = ini.Serialize();
  const CIniFile again = CIniFile::Parse(once.data(), once.size());
  FUZZ_CHECK(again.Serialize() == once);

  CHistoryFileLists lists;
  if (ParseHistoryFile(text, size, lists) == 0)
    return 0;
  WriteFile(data, size);
  FUZZ_CHECK(SaveHistoryFile(g_path, lists) == 1);
  CHistoryFileLists back;
  FUZZ_CHECK(LoadHistoryFile(g_path, back) == 1);
  FUZZ_CHECK(back.files == lists.files);
  FUZZ_CHECK(back.strings == lists.strings);
  // Read here rather than with Load, whose 1 MiB buffer would dominate the run.
  std::ifstream in(g_path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const CIniFile saved = CIniFile::Parse(bytes.data(), bytes.size());
  for (const char* probe : {"Settings", "Other", "x"}) {
    FUZZ_CHECK(saved.GetString(probe, "k", "-") == ini.GetString(probe, "k", "-"));
  }
  return 0;
}
