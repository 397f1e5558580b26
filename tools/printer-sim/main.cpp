// sendrix-printer-sim: the virtual printer as a program (see --help and
// docs/printer-sim.md).
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "PrinterSim.h"
#include "SimCommandLine.h"

namespace {

// Waits for SIGINT or SIGTERM, or for `seconds` when that is above 0.
void WaitForEnd(const sigset_t& signals, double seconds) {
  timespec limit{};
  timespec* pLimit = nullptr;
  if (seconds > 0) {
    limit.tv_sec = static_cast<time_t>(seconds);
    limit.tv_nsec = static_cast<long>((seconds - static_cast<double>(limit.tv_sec)) * 1e9);
    pLimit = &limit;
  }
  for (;;) {
    const int signal = pLimit != nullptr ? sigtimedwait(&signals, nullptr, pLimit)
                                         : sigwaitinfo(&signals, nullptr);
    // A time-out ends the wait as a signal does; only an interruption by
    // another signal waits again (with the full time: good enough here).
    if (signal >= 0 || errno != EINTR) {
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  SIM_COMMAND_LINE command;
  std::string error;
  if (!ParseSimCommandLine(std::vector<std::string>(argv + 1, argv + argc), command, error)) {
    std::fprintf(stderr, "sendrix-printer-sim: %s\n%s", error.c_str(), SimUsageText());
    return 2;
  }
  if (command.bHelp) {
    std::fputs(SimUsageText(), stdout);
    return 0;
  }
  // The signals are taken by sigwait here; block them before any thread starts
  // so that the I/O thread never receives them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  CPrinterSim sim(command.options);
  if (!sim.Start(error)) {
    std::fprintf(stderr, "sendrix-printer-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", sim.GetReadyLine().c_str());
  std::fflush(stdout);
  WaitForEnd(signals, command.dExitAfterS);
  sim.Stop();
  std::printf("%s\n", sim.GetSummaryLine().c_str());
  std::fflush(stdout);
  return 0;
}
