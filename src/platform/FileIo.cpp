#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/LastError.h"

namespace {

// Closes fd (when open) and fails with the last error set from `error`.
int ReadFailed(int fd, int error) {
  if (fd >= 0)
    ::close(fd);
  SetLastError(ErrnoToWin32(error));
  return 0;
}

}  // namespace

bool WriteAll(int fd, const void* data, std::size_t length, std::size_t* written) {
  const char* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = ::write(fd, bytes + done, length - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<std::size_t>(n);
  }
  if (written)
    *written = done;
  return done == length;
}

int ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string* out) {
  out->clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return ReadFailed(-1, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    return ReadFailed(fd, EISDIR);
  // Files under /proc report size 0 and are read all the same.
  out->reserve(std::min(static_cast<std::size_t>(st.st_size), maxBytes));
  char buffer[8192];
  while (out->size() < maxBytes) {
    const std::size_t want = std::min(sizeof(buffer), maxBytes - out->size());
    const ssize_t n = ::read(fd, buffer, want);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return ReadFailed(fd, errno);
    if (n == 0)
      break;
    out->append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return 1;
}

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool CreateFolderPath(const char* base, const char* relative) {
  if (base == nullptr || relative == nullptr)
    return false;
  const std::string rel(relative);
  std::size_t position = 0;
  for (;;) {
    const std::size_t next = rel.empty() ? std::string::npos : rel.find('/', position + 1);
    const bool last = next == std::string::npos;
    const std::string path = std::string(base) + (last ? rel : rel.substr(0, next));
    // A level another process made meanwhile is as good as one made here.
    if (!IsDirectory(path) && ::mkdir(path.c_str(), 0777) != 0 && !IsDirectory(path)) {
      return false;
    }
    if (last)
      return true;
    position = next;
  }
}
