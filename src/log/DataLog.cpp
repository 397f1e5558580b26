#include "log/DataLog.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "log/LogFormat.h"
#include "log/LogRotation.h"
#include "platform/DebugOutput.h"
#include "platform/FileIo.h"
#include "platform/Notifier.h"
#include "platform/ProgramFolder.h"
#include "platform/Thread.h"

namespace {

constexpr char kLogBaseName[] = "SendrixLog";
constexpr char kFooter[] = "</pre>\r\n</body>\r\n</html>\r\n";
constexpr size_t kCopyChunk = 65536;

class CSystemClock : public CDataLog::IClock {
 public:
  BOOL QueryCounter(LONGLONG* count) override { return QueryPerformanceCounter(count); }
  BOOL QueryFrequency(LONGLONG* frequency) override { return QueryPerformanceFrequency(frequency); }
  void LocalTime(SYSTEMTIME* time) override { GetLocalTime(time); }
};

std::string OutputFolder() {
  return GetProgramFolder() + kPathSeparator + "Output";
}

// "<folder>/Output/SendrixLog_yyyy-mm-dd_hh-mm-ss_pid-PID<suffix>"
std::string LogPath(const SYSTEMTIME& t, const char* suffix) {
  char name[160];
  std::snprintf(name, sizeof name, "%s_%04d-%02d-%02d_%02d-%02d-%02d_pid-%X%s", kLogBaseName,
                t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                static_cast<unsigned>(GetCurrentProcessId()), suffix);
  return OutputFolder() + kPathSeparator + name;
}

ssize_t ReadAt(int fd, char* buffer, size_t length, std::uint64_t offset) {
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return -1;
    if (n == 0)
      break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Per-thread scratch space, so that Log() formats without allocating. A
// thread that once logged a huge block does not keep its memory for good.
constexpr size_t kScratchKeep = 1 << 20;
std::string& Scratch() {
  thread_local std::string s;
  s.clear();
  if (s.capacity() > kScratchKeep)
    s.shrink_to_fit();
  return s;
}

}  // namespace

CDataLog::CDataLog(const std::string& osVersion, std::shared_ptr<IClock> clock)
    : m_pClock(clock ? std::move(clock) : std::make_shared<CSystemClock>()) {
  Open();
  StartClock();
  Log("Start Log Recording.\n");
  Log(osVersion.c_str());
}

void CDataLog::Open() {
  SYSTEMTIME now{};
  m_pClock->LocalTime(&now);
  m_strFileName = LogPath(now, ".html");
  // The log starts before the window makes the Output folder: on a first
  // run (a new home) the log would otherwise be missing for the whole run.
  CreateFolderPath("", OutputFolder().c_str());
  m_hFile = ::open(m_strFileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (m_hFile < 0)
    return;
  RemoveOldDataLogs(OutputFolder(), DataLogsKept());
  m_buffer.resize(kBufferSize);
  m_spare.resize(kBufferSize);
  m_bActive = true;
  char header[160];
  int n = std::snprintf(header, sizeof header,
                        "<html>\r\n<body>\r\n<pre>\r\n<h1>Sendrix V%d.%d.%d %s Log File, pid = "
                        "%X</h1>\r\n",
                        5, 0, 894, "svn", static_cast<unsigned>(GetCurrentProcessId()));
  AppendLocked(header, static_cast<size_t>(n));
  m_evStop.Reset();
  StartWriter();
}

void CDataLog::StartWriter() {
  m_pWriter =
      CThread::Create([this] { return WriterProc(); }, THREAD_PRIORITY_NORMAL, "Thread Log");
  // Without the thread the buffer is still written when it fills up and at
  // the end; only the once-a-second flush is missing.
  if (!m_pWriter)
    OutputDebugStringA("**  Thread Log failed to start\r\n");
}

void CDataLog::StartClock() {
  bool counterOk, frequencyOk;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pClock->LocalTime(&m_stStart);
    counterOk = m_pClock->QueryCounter(&m_llStartCounter);
    frequencyOk = m_pClock->QueryFrequency(&m_llFrequency);
  }
  // Shown outside the lock: a notifier may log.
  if (!counterOk)
    AfxMessageBox("error get timer");
  if (!frequencyOk)
    AfxMessageBox("error get performance counter freq");
}

CDataLog::~CDataLog() {
  if (!m_pClock)
    return;  // the disabled log
  Log("Stop Log Recording.\n");
  m_evStop.Set();
  if (m_pWriter)
    m_pWriter->Wait(INFINITE);  // its last flush ends before ours
  m_pWriter.reset();
  Flush();
  std::lock_guard<std::mutex> file(m_fileLock);
  if (m_hFile >= 0) {
    WriteFileLocked(kFooter, sizeof kFooter - 1);
    ::close(m_hFile);
    m_hFile = -1;
  }
}

DWORD CDataLog::WriterProc() {
  if (m_hFile < 0 || !m_bActive) {
    OutputDebugStringA("**  Thread Log failed to start\r\n");
    return 1;
  }
  OutputDebugStringA("**  Thread Log started\r\n");
  while (WaitForSingleObject(&m_evStop, kFlushIntervalMs) == WAIT_TIMEOUT) {
    Flush();
  }
  OutputDebugStringA("** Thread Log stopped\r\n");
  return 0;
}

SYSTEMTIME CDataLog::NowLocked() {
  LONGLONG counter = 0;
  m_pClock->QueryCounter(&counter);
  std::uint64_t elapsedMs = 0;
  if (m_llFrequency > 0 && counter > m_llStartCounter) {
    auto ticks = static_cast<std::uint64_t>(counter - m_llStartCounter);
    auto freq = static_cast<std::uint64_t>(m_llFrequency);
    elapsedMs = ticks / freq * 1000 + ticks % freq * 1000 / freq;
  }
  return AddElapsedMs(m_stStart, elapsedMs);
}

int CDataLog::Log(const char* text, const void* data, DWORD length) {
  if (!m_bActive)
    return 1;  // disabled, or no file: nothing to do
  // Everything that does not depend on the time is built before the lock.
  std::string& entry = Scratch();
  size_t textLength = text ? std::strlen(text) : 0;
  if (text)
    AppendEscapedHtml(entry, text, textLength);
  size_t dumpStart = entry.size();
  if (length != 0 && data != nullptr) {
    entry.append("<h4>");
    AppendHexDump(entry, static_cast<const BYTE*>(data), length);
    entry.append("</h4>");
  }
  const size_t worst = kTimeLineSize + 5 + entry.size();
  std::unique_lock<std::mutex> lock(m_lock);
  // No room: the full buffer is handed to the file outside this lock, so
  // other threads keep logging meanwhile.
  while (m_nUsed > 0 && m_nUsed + worst > m_buffer.size()) {
    lock.unlock();
    Flush();
    lock.lock();
  }
  if (worst > m_buffer.size()) {
    // Bigger than the whole buffer (rare): straight to the file, in order.
    lock.unlock();
    std::lock_guard<std::mutex> file(m_fileLock);
    lock.lock();
    WriteFileLocked(m_buffer.data(), m_nUsed);
    m_nUsed = 0;
    AppendEntryLocked(text != nullptr, entry, dumpStart);
    WriteFileLocked(m_buffer.data(), m_nUsed);
    m_nUsed = 0;
    m_buffer.resize(kBufferSize);
    return 1;
  }
  AppendEntryLocked(text != nullptr, entry, dumpStart);
  return 1;
}

void CDataLog::AppendEntryLocked(bool hasText, const std::string& entry, size_t dumpStart) {
  SYSTEMTIME now = NowLocked();
  if (m_bFirstEntry) {
    m_stPrevious = now;
    m_bFirstEntry = false;
  }
  if (hasText) {
    SYSTEMTIME d = TimeDifference(now, m_stPrevious);
    char line[kTimeLineSize];
    int n = std::snprintf(line, sizeof line,
                          "<h3>Time = %02d/%02d/%04d %02d:%02d:%02d:%03d (+%02d:%02d:%02d:%03d) : ",
                          now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute, now.wSecond,
                          now.wMilliseconds, d.wHour, d.wMinute, d.wSecond, d.wMilliseconds);
    AppendLocked(line, static_cast<size_t>(n));
    AppendLocked(entry.data(), dumpStart);
    AppendLocked("</h3>", 5);
  }
  AppendLocked(entry.data() + dumpStart, entry.size() - dumpStart);
  m_stPrevious = now;
}

void CDataLog::AppendLocked(const char* data, size_t length) {
  if (length == 0)
    return;
  if (m_nUsed + length > m_buffer.size()) {
    // Only an entry larger than the buffer gets here (Log wrote out what was
    // buffered and holds the file lock): the buffer grows for it.
    m_buffer.resize(m_nUsed + length);
  }
  std::memcpy(m_buffer.data() + m_nUsed, data, length);
  m_nUsed += length;
}

void CDataLog::Flush() {
  std::lock_guard<std::mutex> file(m_fileLock);
  size_t n = 0;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_nUsed == 0)
      return;
    m_buffer.swap(m_spare);
    n = m_nUsed;
    m_nUsed = 0;
  }
  WriteFileLocked(m_spare.data(), n);
}

void CDataLog::WriteFileLocked(const char* data, size_t length) {
  if (m_hFile < 0 || length == 0)
    return;
  WriteAll(m_hFile, data, length);  // a failing log file is not reported
  m_nTotal += length;
}

int CDataLog::GetLogFileSize(std::uint64_t* size) {
  std::lock_guard<std::mutex> file(m_fileLock);
  struct stat st {};
  if (m_hFile < 0 || size == nullptr || ::fstat(m_hFile, &st) != 0)
    return 0;
  *size = static_cast<std::uint64_t>(st.st_size);
  return 1;
}

int CDataLog::ReadLogFile(void* buffer, DWORD bytesToRead, DWORD* bytesRead) {
  std::lock_guard<std::mutex> file(m_fileLock);
  if (bytesRead)
    *bytesRead = 0;
  if (m_hFile < 0 || buffer == nullptr)
    return 0;
  ssize_t n = ReadAt(m_hFile, static_cast<char*>(buffer), bytesToRead, 0);
  if (n < 0)
    return 0;
  if (bytesRead)
    *bytesRead = static_cast<DWORD>(n);
  return 1;
}

int CDataLog::WriteSnapshot(std::string* path) {
  if (m_hFile < 0)
    return 0;
  Flush();  // the copy shows everything logged up to now
  SYSTEMTIME now{};
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pClock->LocalTime(&now);
  }
  std::lock_guard<std::mutex> file(m_fileLock);
  std::string copyName = LogPath(now, ".temp.html");
  int out = ::open(copyName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0)
    return 0;
  std::vector<char> chunk(kCopyChunk);
  bool ok = true;
  for (std::uint64_t offset = 0;;) {
    ssize_t n = ReadAt(m_hFile, chunk.data(), chunk.size(), offset);
    if (n < 0 || (n > 0 && !WriteAll(out, chunk.data(), static_cast<size_t>(n))))
      ok = false;
    if (n <= 0 || !ok)
      break;
    offset += static_cast<std::uint64_t>(n);
  }
  if (::close(out) != 0)
    ok = false;
  if (!ok) {
    ::unlink(copyName.c_str());
    return 0;
  }
  if (path)
    *path = copyName;
  return 1;
}

int CDataLog::DeleteSnapshots() {
  std::string folder = OutputFolder();
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return 0;
  std::string pattern = std::string(kLogBaseName) + "*.temp.html";
  int deleted = 0;
  while (dirent* e = ::readdir(dir)) {
    if (::fnmatch(pattern.c_str(), e->d_name, 0) != 0)
      continue;
    std::string full = folder + kPathSeparator + e->d_name;
    struct stat st {};
    if (::lstat(full.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
      continue;
    if (::unlink(full.c_str()) == 0)
      ++deleted;
  }
  ::closedir(dir);
  return deleted;
}
