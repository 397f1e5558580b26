#include "platform/StopRequest.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace {

volatile sig_atomic_t g_stopRequested = 0;
int g_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  RequestStop();
}

}  // namespace

void RequestStop() {
  const int saved = errno;
  g_stopRequested = 1;
  if (g_pipe[1] >= 0) {
    const char byte = 1;
    ssize_t ignored = write(g_pipe[1], &byte, 1);
    (void)ignored;
  }
  errno = saved;
}

bool IsStopRequested() {
  return g_stopRequested != 0;
}

int InstallStopSignals() {
  if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    g_pipe[0] = g_pipe[1] = -1;
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigset_t stops;
  sigemptyset(&stops);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal, &action, nullptr);
    sigaddset(&stops, signal);
  }
  // A parent may start us with these blocked: they would never arrive. One
  // that came before the handler existed is pending: it is delivered now.
  pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
  return g_pipe[0];
}

void DrainStopPipe() {
  char bytes[16];
  while (g_pipe[0] >= 0 && read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
}
