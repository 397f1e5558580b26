#include "testsupport/SocketTestSupport.h"

#include <poll.h>
#include <unistd.h>

std::string RecvAll(int fd, size_t n) {
  std::string out;
  char buf[65536];
  for (int i = 0; i < 100 && out.size() < n; ++i) {
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0)
      continue;
    ssize_t r = read(fd, buf, sizeof buf);
    if (r <= 0)
      break;
    out.append(buf, static_cast<size_t>(r));
  }
  return out;
}
