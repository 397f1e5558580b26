#include "settings/AtomicFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// A save killed before its rename leaves "<name>.tmp-<pid>" behind: those of
// processes that no longer run are removed. A running one may be saving now,
// so its file stays (and so does one whose pid a new process took, until
// that one ends).
void RemoveStaleTemps(const std::string& folder, const std::string& path) {
  const std::string prefix = std::filesystem::path(path).filename().string() + ".tmp-";
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::string digits = name.substr(std::min(prefix.size(), name.size()));
    if (!name.starts_with(prefix) || digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
      continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
      ::unlink(it->path().c_str());
  }
}

// Fails with the last error set from errno; removes the temporary file.
int Fail(const std::string& tempPath) {
  const int error = errno;
  if (!tempPath.empty())
    ::unlink(tempPath.c_str());
  errno = error;
  SetLastError(ErrnoToWin32(error));
  return 0;
}

}  // namespace

int WriteFileAtomically(const std::string& path, const std::string& data,
                        const CAtomicWriteHook& beforeRename, mode_t mode) {
  const std::string folder = FolderOf(path);
  std::error_code ignored;  // a folder that cannot be made fails the open below
  std::filesystem::create_directories(folder, ignored);
  RemoveStaleTemps(folder, path);
  const std::string temp = path + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    return Fail("");
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data.data(), data.size()) && ::fsync(fd) == 0;
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
