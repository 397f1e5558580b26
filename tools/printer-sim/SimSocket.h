// Small socket helpers of the virtual printer. Every socket is bound to the
// IPv4 loopback address: the simulator never listens on, or sends to,
// anything else. All sockets are non-blocking and close-on-exec.
#pragma once

#include <netinet/in.h>

#include <string>

namespace simsock {

// A TCP socket bound to 127.0.0.1:port (0 = a free port), listening when
// `listen` is true. Returns the fd, or -1 with a reason in `error`.
int BindTcp(int port, bool listen, std::string& error);
// A UDP socket bound to 127.0.0.1:port (0 = a free port).
int BindUdp(int port, std::string& error);
// The local port a socket is bound to, or -1.
int LocalPort(int fd);
// Accepts one pending connection (non-blocking, no delay); -1 when none.
int Accept(int listener);
bool IsLoopback(const sockaddr_in& address);
// Ends a connection with a reset rather than an orderly close.
void CloseWithReset(int fd);

}  // namespace simsock
