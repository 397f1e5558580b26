// `sendrix`: the program scripts and operators start. It holds no Qt: a
// headless run (no display, or Qt's platform "offscreen") runs the batch
// action here (windowlogic/HeadlessProgram.h), so no Qt library, platform plugin or
// display library is ever loaded for it. A run with a display becomes the
// window program `sendrix-window` beside it (the same process: exec), which
// gets the command line unchanged. The build without Qt (SENDRIX_GUI=OFF)
// has no window program: every run is headless there, and Qt's own options
// on the command line mean nothing.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "batch/BatchExitRule.h"
#include "batch/CommandLine.h"
#include "batch/ProgramArguments.h"
#include "platform/StopRequest.h"
#include "windowlogic/HeadlessProgram.h"

namespace {

#ifdef SENDRIX_WINDOW_PROGRAM
// Becomes the window program found beside this one; returns only on failure.
int RunWindowProgram(char** argv) {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path = SENDRIX_WINDOW_PROGRAM;
  if (n > 0) {
    const std::string exe(self, static_cast<size_t>(n));
    path = exe.substr(0, exe.find_last_of('/') + 1) + SENDRIX_WINDOW_PROGRAM;
  }
  ::execv(path.c_str(), argv);
  std::fprintf(stderr, "Sendrix: the window program %s could not be started: %s\n", path.c_str(),
               std::strerror(errno));
  return kBatchExitFailed;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const int stopPipe = InstallStopSignals();
  CBatchExitRule::GuardClosedStdout();
  const CProgramArguments arguments(argc, argv);
  if (arguments.AsksForVersion()) {
    std::printf("%s\n", ProgramVersionLine());
    return ReportLostOutput() ? kBatchExitFailed : 0;
  }
#ifdef SENDRIX_WINDOW_PROGRAM
  if (!RunsHeadless(arguments))
    return RunWindowProgram(argv);
#endif
  return RunHeadlessProgram(arguments, stopPipe);
}
