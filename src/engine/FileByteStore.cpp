#include "engine/FileByteStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/MyFile.h"
#include "engine/TransferEngine.h"
#include "platform/Clock.h"

static_assert(CFileByteStore::kTailBytes >= 2 * CTransferEngine::kRxFileBatchSize,
              "the tail must cover what the reader has not written yet");

namespace {

const char kPidTag[] = "-pid";

// Spill files of processes that no longer run (a crash leaves them).
void RemoveStaleSpills(const std::string& folder, const std::string& prefix) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr)
    return;
  const std::string start = prefix + kPidTag;
  while (const dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strncmp(name, start.c_str(), start.size()) != 0)
      continue;
    char* end = nullptr;
    const unsigned long pid = std::strtoul(name + start.size(), &end, 16);
    if (end != nullptr && *end == '-' && pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 &&
        errno == ESRCH)
      unlink((folder + "/" + name).c_str());
  }
  closedir(dir);
}

}  // namespace

std::unique_ptr<CFileByteStore> CFileByteStore::OverReceivedDataFile(CMyFile& rxDataFile) {
  std::unique_ptr<CFileByteStore> store(new CFileByteStore(kTailBytes));
  store->m_pRxDataFile = &rxDataFile;
  return store;
}

std::unique_ptr<CFileByteStore> CFileByteStore::Spill(const std::string& folder,
                                                      const std::string& prefix) {
  std::unique_ptr<CFileByteStore> store(new CFileByteStore(kSpillTailBytes));
  store->m_bSpill = true;
  store->m_strFolder = folder;
  store->m_strPrefix = prefix;
  return store;
}

CFileByteStore::~CFileByteStore() {
  if (m_fd >= 0) {
    close(m_fd);
    unlink(m_strSpill.c_str());
  }
}

std::uint64_t CFileByteStore::TailStart() const {
  return std::max(m_nTailFrom, m_nBytes > m_nTailBytes ? m_nBytes - m_nTailBytes : 0);
}

void CFileByteStore::Append(const BYTE* data, size_t length) {
  if (length == 0)
    return;
  if (m_bSpill)
    SpillOut(data, length);
  const size_t written = InFileAlready(length);
  if (written > 0)
    m_nTailFrom = m_nBytes + written;
  KeepInTail(m_nBytes + written, data + written, length - written);
  m_nBytes += length;
}

bool CFileByteStore::AppendHeld(size_t length) {
  if (m_bSpill)
    return false;
  std::uint64_t size = 0;
  if (m_nInFile < m_nBytes + length && m_pRxDataFile->GetCurrentSize(&size))
    m_nInFile = size;
  if (m_nInFile < m_nBytes + length)
    return false;
  m_nBytes += length;
  m_nTailFrom = m_nBytes;  // nothing newer than the file
  return true;
}

size_t CFileByteStore::InFileAlready(size_t length) {
  // A short append is copied: cheaper than asking the file.
  if (m_bSpill || length < kAskFileBytes)
    return 0;
  std::uint64_t size = 0;
  if (m_nInFile < m_nBytes + length && m_pRxDataFile->GetCurrentSize(&size))
    m_nInFile = size;
  return m_nInFile > m_nBytes
             ? static_cast<size_t>(std::min<std::uint64_t>(length, m_nInFile - m_nBytes))
             : 0;
}

void CFileByteStore::KeepInTail(std::uint64_t offset, const BYTE* data, size_t length) {
  if (length == 0)
    return;
  if (m_tail.empty())
    m_tail.resize(m_nTailBytes);
  if (length > m_nTailBytes) {  // only the last m_nTailBytes stay
    offset += length - m_nTailBytes;
    data += length - m_nTailBytes;
    length = m_nTailBytes;
  }
  while (length > 0) {
    const size_t at = static_cast<size_t>(offset % m_nTailBytes);
    const size_t n = std::min(length, m_nTailBytes - at);
    std::memcpy(m_tail.data() + at, data, n);
    offset += n;
    data += n;
    length -= n;
  }
}

bool CFileByteStore::MakeSpill() {
  RemoveStaleSpills(m_strFolder, m_strPrefix);
  char tag[32];
  std::snprintf(tag, sizeof tag, "%s%X-XXXXXX.bin", kPidTag, GetCurrentProcessId());
  std::string path = m_strFolder + "/" + m_strPrefix + tag;
  m_fd = mkostemps(path.data(), 4, O_CLOEXEC);
  if (m_fd < 0)
    return false;
  m_strSpill = path;
  return true;
}

void CFileByteStore::SpillOut(const BYTE* data, size_t length) {
  if (m_bSpillStopped || (m_fd < 0 && !MakeSpill())) {
    m_bSpillStopped = true;
    return;
  }
  while (length > 0) {
    const ssize_t n = pwrite(m_fd, data, length, static_cast<off_t>(m_nSpilled));
    if (n <= 0 && errno != EINTR) {
      m_bSpillStopped = true;
      return;
    }
    if (n > 0) {
      m_nSpilled += static_cast<std::uint64_t>(n);
      data += n;
      length -= static_cast<size_t>(n);
    }
  }
}

void CFileByteStore::Clear() {
  m_nBytes = 0;
  m_nTailFrom = 0;
  m_nInFile = 0;
  m_nWindowLength = 0;
  m_tail.clear();
  m_tail.shrink_to_fit();
  m_window.clear();
  m_window.shrink_to_fit();
  if (m_fd >= 0 && ftruncate(m_fd, 0) == 0) {
    m_nSpilled = 0;
    m_bSpillStopped = false;
  }
}

size_t CFileByteStore::ReadFile(std::uint64_t offset, BYTE* out, size_t count) const {
  size_t done = 0;
  if (m_bSpill) {
    if (m_fd < 0 || offset >= m_nSpilled)
      return 0;
    count = static_cast<size_t>(std::min<std::uint64_t>(count, m_nSpilled - offset));
    while (done < count) {
      const ssize_t n = pread(m_fd, out + done, count - done, static_cast<off_t>(offset + done));
      if (n <= 0 && errno != EINTR)
        break;
      done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return done;
  }
  while (done < count) {
    DWORD got = 0;
    if (!m_pRxDataFile->ReadAt(offset + done, out + done, static_cast<DWORD>(count - done), &got) ||
        got == 0)
      break;
    done += got;
  }
  return done;
}

size_t CFileByteStore::ReadOlder(std::uint64_t offset, BYTE* out, size_t count) const {
  const bool hit = offset >= m_nWindowStart && offset + count <= m_nWindowStart + m_nWindowLength;
  if (!hit) {
    if (m_window.empty())
      m_window.resize(kWindowBytes);
    m_nWindowStart = offset - offset % kWindowAlign;
    m_nWindowLength = ReadFile(m_nWindowStart, m_window.data(), kWindowBytes);
  }
  const std::uint64_t end = m_nWindowStart + m_nWindowLength;
  if (offset >= end)
    return 0;
  const size_t n = static_cast<size_t>(std::min<std::uint64_t>(count, end - offset));
  std::memcpy(out, m_window.data() + (offset - m_nWindowStart), n);
  return n;
}

size_t CFileByteStore::Read(std::uint64_t offset, BYTE* out, size_t count) const {
  if (offset >= m_nBytes)
    return 0;
  count = static_cast<size_t>(std::min<std::uint64_t>(count, m_nBytes - offset));
  const std::uint64_t tailStart = TailStart();
  size_t done = 0;
  if (offset < tailStart) {
    const size_t older = static_cast<size_t>(std::min<std::uint64_t>(count, tailStart - offset));
    done = ReadOlder(offset, out, older);
    if (done < older)
      return done;
  }
  while (done < count) {
    const size_t at = static_cast<size_t>((offset + done) % m_nTailBytes);
    const size_t n = std::min(count - done, m_nTailBytes - at);
    std::memcpy(out + done, m_tail.data() + at, n);
    done += n;
  }
  return done;
}
