#include "platform/FileIo.h"

#include <unistd.h>

#include <cerrno>

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
