#include "batch/BatchExitRule.h"

#include <fcntl.h>
#include <unistd.h>

#include "batch/CommandLine.h"

int CBatchExitRule::MessageBox(const char* text, UINT type) {
  if (type != MB_OKCANCEL)
    m_nFailureBoxes.fetch_add(1);
  return m_shown.MessageBox(text, type);
}

int CBatchExitRule::Final(int decided, bool stopRequested, bool outputLost) const {
  if (stopRequested)
    return kBatchExitAborted;
  if (decided == -1)  // the window closed before the action started
    return kBatchExitFailed;
  if (decided == kBatchExitCompleted && (FailureBoxes() > 0 || outputLost))
    return kBatchExitFailed;
  return decided;
}

bool CBatchExitRule::OutputLost(std::FILE* out) {
  const bool flushFailed = std::fflush(out) != 0;
  return flushFailed || std::ferror(out) != 0;
}

void CBatchExitRule::GuardClosedStdout() {
  if (fcntl(STDOUT_FILENO, F_GETFD) != -1)
    return;
  const int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (fd >= 0 && fd != STDOUT_FILENO) {
    dup2(fd, STDOUT_FILENO);
    close(fd);
  }
}
