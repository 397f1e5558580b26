#include "settings/SettingsFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Clock.h"

namespace {

constexpr int kLockPollMs = 10;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

CSettingsFileRead Unreadable(CSettingsFileRead read, const std::string& why) {
  read.m_bUnreadable = true;
  read.m_strProblem = why;
  return read;
}

// Reads at most maxBytes + 1 bytes: one more tells that the file is longer.
bool ReadUpTo(int fd, std::size_t maxBytes, std::string* out) {
  out->resize(maxBytes + 1);
  std::size_t got = 0;
  while (got < out->size()) {
    const ssize_t n = ::read(fd, out->data() + got, out->size() - got);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return false;
    if (n == 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  out->resize(got);
  return true;
}

}  // namespace

CSettingsFileRead ReadSettingsFile(const std::string& path, std::size_t maxBytes) {
  CSettingsFileRead read;
  // Never waits on a FIFO put in the file's place.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    read.m_bExists = errno != ENOENT;
    return read.m_bExists ? Unreadable(read, std::strerror(errno)) : read;
  }
  read.m_bExists = true;
  struct stat st {};
  const bool statted = ::fstat(fd, &st) == 0;
  read.m_nMode = statted ? st.st_mode & 07777 : 0;
  std::string bytes;
  const bool regular = statted && S_ISREG(st.st_mode);
  const bool ok = regular && ReadUpTo(fd, maxBytes, &bytes);
  const int error = errno;
  ::close(fd);
  if (!regular)
    return Unreadable(read, "it is not a regular file");
  if (!ok)
    return Unreadable(read, std::strerror(error));
  if (bytes.empty())
    return Unreadable(read, "it is empty");
  const bool tooLarge = bytes.size() > maxBytes;
  if (tooLarge)
    bytes.resize(maxBytes);
  read.m_data = ParseRegText(bytes.data(), bytes.size());
  if (tooLarge)
    return Unreadable(std::move(read), "it is larger than " + std::to_string(maxBytes >> 20) +
                                           " MiB, and only its beginning was read");
  if (!StartsWithRegHeader(bytes.data(), bytes.size()) && read.m_data.Keys().empty())
    return Unreadable(std::move(read), std::string("it is not a registry export (no \"") +
                                           kRegHeader + "\" line, and no value)");
  return read;
}

std::string UnreadableCopyName(const std::string& path) {
  const std::string base = path + ".unreadable";
  if (!Exists(base))
    return base;
  for (int n = 2;; ++n) {
    const std::string name = base + "-" + std::to_string(n);
    if (!Exists(name))
      return name;
  }
}

int MoveUnreadableAside(const std::string& path, std::string* movedTo) {
  for (;;) {
    const std::string name = UnreadableCopyName(path);
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
      *movedTo = name;
      return 1;
    }
    if (errno == EEXIST)
      continue;  // another run took that name meanwhile
    if (errno != EINVAL)
      return 0;
    // A file system without the no-replace rename: the name was free a
    // moment ago, and the saves of this folder run one at a time.
    if (::rename(path.c_str(), name.c_str()) != 0)
      return 0;
    *movedTo = name;
    return 1;
  }
}

std::string ReadOnlyReason(const std::string& path) {
  const std::string folder = FolderOf(path);
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0 &&
      ((st.st_mode & kWriteBits) == 0 || ::access(folder.c_str(), W_OK) != 0))
    return "the folder " + folder + " is read-only";
  if (::stat(path.c_str(), &st) == 0 &&
      ((st.st_mode & kWriteBits) == 0 || ::access(path.c_str(), W_OK) != 0))
    return path + " is read-only";
  return "";
}

CSettingsLock::CSettingsLock(const std::string& folder, int timeoutMs) {
  m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (m_fd < 0)
    return;
  const uint64_t deadline = NowMs() + static_cast<uint64_t>(timeoutMs);
  for (;;) {
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
      m_bHeld = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR)
      return;
    if (NowMs() >= deadline)
      return;
    Sleep(kLockPollMs);
  }
}

CSettingsLock::~CSettingsLock() {
  if (m_fd >= 0)
    ::close(m_fd);  // releases the lock
}
