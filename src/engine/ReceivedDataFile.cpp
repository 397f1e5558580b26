#include "engine/ReceivedDataFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "codec/Codec.h"
#include "engine/TransferEngine.h"
#include "platform/Clock.h"
#include "platform/FileIo.h"
#include "platform/ProgramFolder.h"

int CReceivedDataFile::Open(CTransferEngine& engine, std::string* name) {
  const std::string folder = GetProgramFolder();
  // The program folder itself may not exist yet on a first run.
  if (!CreateFolderPath("", (folder + "/Output").c_str()))
    return 0;
  *name = folder + "/Output/RxData.bin";
  if (engine.m_io.rxDataFile.Open(*name, CMyFile::kModeWrite, 0))
    return 1;
  char alt[64];
  std::snprintf(alt, sizeof alt, "/Output/RxData-pid%X.bin", GetCurrentProcessId());
  *name = folder + alt;
  return engine.m_io.rxDataFile.Open(*name, CMyFile::kModeWrite, 0);
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

// False with the reason in *reason.
bool CopyInto(CMyFile& file, int fd, std::string* reason) {
  std::uint64_t size = 0;
  if (!file.IsOpen()) {
    *reason = "no received-data file is open";
    return false;
  }
  if (!file.GetCurrentSize(&size)) {
    *reason = std::strerror(errno);
    return false;
  }
  std::unique_ptr<BYTE[]> block(new BYTE[CReceivedDataFile::kCopyBlock]);
  std::uint64_t offset = 0;
  while (offset < size) {
    DWORD want =
        static_cast<DWORD>(std::min<std::uint64_t>(CReceivedDataFile::kCopyBlock, size - offset));
    DWORD got = 0;
    if (!file.ReadAt(offset, block.get(), want, &got) || !WriteAll(fd, block.get(), got)) {
      *reason = std::strerror(errno);
      return false;
    }
    if (got == 0)
      break;  // emptied by "Clear Buffer" meanwhile
    offset += got;
  }
  return true;
}

}  // namespace

int CReceivedDataFile::SaveCopy(CTransferEngine& engine, const std::string& dest,
                                std::string* reason) {
  std::string why;
  int fd = open(dest.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    why = std::strerror(errno);
  } else if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
    why = errno == EWOULDBLOCK ? "another program holds the file" : std::strerror(errno);
    close(fd);
    fd = -1;
  }
  bool ok = fd >= 0;
  if (ok) {
    engine.FlushReceivedData();
    ok = CopyInto(engine.m_io.rxDataFile, fd, &why);
    if (close(fd) != 0 && ok) {
      why = std::strerror(errno);
      ok = false;
    }
    if (!ok)
      unlink(dest.c_str());
  }
  if (!ok && reason != nullptr)
    *reason = why;
  return ok ? 1 : 0;
}
