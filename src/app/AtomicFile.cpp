#include "app/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/FileIo.h"
#include "platform/LastError.h"

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// Fails with the last error set from errno; removes the temporary file.
int Fail(const std::string& tempPath) {
  const int error = errno;
  if (!tempPath.empty())
    ::unlink(tempPath.c_str());
  SetLastError(ErrnoToWin32(error));
  return 0;
}

}  // namespace

int WriteFileAtomically(const std::string& path, const std::string& data,
                        const CAtomicWriteHook& beforeRename) {
  const std::string folder = FolderOf(path);
  std::error_code ignored;  // a folder that cannot be made fails the open below
  std::filesystem::create_directories(folder, ignored);
  const std::string temp = path + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    return Fail("");
  bool ok = WriteAll(fd, data.data(), data.size()) && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    errno = error;
    return Fail(temp);
  }
  if (beforeRename && !beforeRename(temp)) {
    errno = EIO;
    return Fail(temp);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0)
    return Fail(temp);
  SyncFolder(folder);
  return 1;
}
