#include "engine/ReceivedDataFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "codec/Codec.h"
#include "engine/TransferGlobals.h"
#include "platform/Clock.h"
#include "platform/FileIo.h"
#include "platform/ProgramFolder.h"

int CReceivedDataFile::Open(std::string* name) {
  const std::string folder = GetProgramFolder();
  // The program folder itself may not exist yet on a first run.
  if (!CreateFolderPath("", (folder + "/Output").c_str()))
    return 0;
  *name = folder + "/Output/RxData.bin";
  if (g_RxDataFile.Open(*name, CMyFile::kModeWrite, 0))
    return 1;
  char alt[64];
  std::snprintf(alt, sizeof alt, "/Output/RxData-pid%X.bin", GetCurrentProcessId());
  *name = folder + alt;
  return g_RxDataFile.Open(*name, CMyFile::kModeWrite, 0);
}

namespace {

bool WriteAll(int fd, const BYTE* data, size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, data, length);
    if (n <= 0)
      return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

bool CopyInto(int fd) {
  std::uint64_t size = 0;
  if (!g_RxDataFile.GetCurrentSize(&size))
    return false;
  std::unique_ptr<BYTE[]> block(new BYTE[CReceivedDataFile::kCopyBlock]);
  std::uint64_t offset = 0;
  while (offset < size) {
    DWORD want =
        static_cast<DWORD>(std::min<std::uint64_t>(CReceivedDataFile::kCopyBlock, size - offset));
    DWORD got = 0;
    if (!g_RxDataFile.ReadAt(offset, block.get(), want, &got))
      return false;
    if (got == 0)
      break;  // emptied by "Clear Buffer" meanwhile
    if (!WriteAll(fd, block.get(), got))
      return false;
    offset += got;
  }
  return true;
}

}  // namespace

int CReceivedDataFile::SaveCopy(const std::string& dest) {
  int fd = open(dest.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0)
    return 0;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
    close(fd);
    return 0;
  }
  g_TransferEngine.FlushReceivedData();
  bool ok = CopyInto(fd);
  ok = close(fd) == 0 && ok;
  if (!ok)
    unlink(dest.c_str());
  return ok ? 1 : 0;
}
