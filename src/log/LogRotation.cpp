#include "log/LogRotation.h"

#include <dirent.h>
#include <fnmatch.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

std::atomic<std::size_t> g_logsKept{kDefaultDataLogsKept};

struct CLogFile {
  std::string m_strPath;
  struct timespec m_mtime;
};

bool Newer(const CLogFile& a, const CLogFile& b) {
  if (a.m_mtime.tv_sec != b.m_mtime.tv_sec)
    return a.m_mtime.tv_sec > b.m_mtime.tv_sec;
  if (a.m_mtime.tv_nsec != b.m_mtime.tv_nsec)
    return a.m_mtime.tv_nsec > b.m_mtime.tv_nsec;
  return a.m_strPath > b.m_strPath;
}

// "..._pid-<hex>.html": whether that process runs.
bool WriterRuns(const std::string& name) {
  const std::size_t at = name.rfind("_pid-");
  if (at == std::string::npos)
    return false;
  const long pid = std::strtol(name.c_str() + at + 5, nullptr, 16);
  return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH);
}

}  // namespace

void SetDataLogsKept(std::size_t keep) {
  g_logsKept = keep;
}

std::size_t DataLogsKept() {
  return g_logsKept;
}

int RemoveOldDataLogs(const std::string& folder, std::size_t keep) {
  if (keep == 0)
    return 0;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return 0;
  std::vector<CLogFile> logs;
  while (const dirent* e = ::readdir(dir)) {
    if (::fnmatch("SendrixLog_*.html", e->d_name, 0) != 0 ||
        ::fnmatch("*.temp.html", e->d_name, 0) == 0)
      continue;
    const std::string path = folder + "/" + e->d_name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      logs.push_back(CLogFile{path, st.st_mtim});
  }
  ::closedir(dir);
  std::sort(logs.begin(), logs.end(), Newer);
  int removed = 0;
  for (std::size_t i = keep; i < logs.size(); ++i) {
    const std::string& path = logs[i].m_strPath;
    if (!WriterRuns(path.substr(path.rfind('/') + 1)) && ::unlink(path.c_str()) == 0)
      ++removed;
  }
  return removed;
}
