// sendrix-cli: sends a file, a data string or a firmware image to a printer
// without the window. See BatchOptions.h for the command line.
#include <signal.h>
#include <sys/utsname.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/BatchOptions.h"
#include "app/BatchRunner.h"
#include "codec/Codec.h"
#include "log/DataLog.h"
#include "platform/ProgramFolder.h"
#include "texts/TextLibrary.h"

namespace {

void OnInterrupt(int) {
  CBatchRunner::RequestAbort();
}

std::string OsVersionText() {
  utsname u{};
  if (uname(&u) != 0)
    return "OS Version = unknown";
  return std::string("OS Version = ") + u.sysname + " " + u.release + " " + u.machine;
}

}  // namespace

int main(int argc, char** argv) {
  BatchOptions options;
  std::string error;
  if (!ParseBatchOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "sendrix-cli: %s\n\n%s", error.c_str(), BatchUsageText());
    return 2;
  }
  if (options.bHelp) {
    std::fputs(BatchUsageText(), stdout);
    return 0;
  }
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  // Texts for the error boxes; found beside this program.
  CTextLibrary texts;
  texts.LoadTextLibrary("libsendrix-texts-en.so");
  if (options.bLog) {
    CreateFolderPath("", (GetProgramFolder() + "/Output").c_str());
    g_pDataLog.Reset(std::make_shared<CDataLog>(OsVersionText()));
  }
  int status;
  {
    CBatchRunner runner(stdout);
    status = runner.Run(options);
  }
  g_pDataLog.Reset(nullptr);
  return status;
}
