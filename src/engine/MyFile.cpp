#include "engine/MyFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "codec/Codec.h"
#include "platform/FileIo.h"
#include "platform/LastError.h"
#include "report/ErrorBoxes.h"
#include "texts/ErrorTexts.h"

namespace {

int FailWithErrno(int fd) {
  int err = errno;
  if (fd >= 0)
    ::close(fd);
  errno = err;
  SetLastErrorFromErrno();
  return CMyFile::kInvalidHandle;
}

// Takes the advisory lock that stands for "not shared".
// A file system without flock support (ENOLCK, EOPNOTSUPP) cannot keep
// others out; the file is used unshared then rather than not at all.
bool LockExclusive(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR)
      continue;
    return errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL;
  }
  return true;
}

// Opens path for mode; kInvalidHandle with last error set on failure.
int OpenDescriptor(const std::string& path, int mode, bool exclusiveRead = false) {
  int fd = CMyFile::kInvalidHandle;
  if (mode == CMyFile::kModeRead) {
    // Non-blocking: opening a FIFO with no writer would otherwise block the
    // window's thread until a signal it cannot answer. Such a file holds
    // nothing to send (size 0), so the start refuses it.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0)
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  } else if (mode == CMyFile::kModeWrite) {
    // Not O_TRUNC: the file is emptied only once the lock is ours.
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return CMyFile::kInvalidHandle;
  }
  if (fd < 0)
    return FailWithErrno(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    return FailWithErrno(fd);
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return CMyFile::kInvalidHandle;
  }
  if ((mode == CMyFile::kModeWrite || exclusiveRead) && !LockExclusive(fd)) {
    bool busy = errno == EWOULDBLOCK;
    FailWithErrno(fd);
    if (busy)
      SetLastError(ERROR_SHARING_VIOLATION);
    return CMyFile::kInvalidHandle;
  }
  if (mode == CMyFile::kModeWrite && ::ftruncate(fd, 0) != 0)
    return FailWithErrno(fd);
  return fd;
}

ssize_t ReadSome(int fd, void* buffer, size_t length) {
  ssize_t n;
  do {
    n = ::read(fd, buffer, length);
  } while (n < 0 && errno == EINTR);
  return n;
}

// Frames every block of the source into the copy; false on any read or
// write failure, so that a partial copy is never sent as the whole file.
bool WritePackedCopy(int source, int copy) {
  std::vector<BYTE> block(CMyFile::kPackBlockSize);
  std::vector<BYTE> frame(2 * CMyFile::kPackBlockSize + 3);
  if (::lseek(source, 0, SEEK_SET) < 0)
    return false;
  for (;;) {
    ssize_t n = ReadSome(source, block.data(), block.size());
    if (n < 0)
      return false;
    if (n == 0)
      return true;
    int length = FramePacket(block.data(), frame.data(), static_cast<int>(n));
    if (!WriteAll(copy, frame.data(), static_cast<size_t>(length))) {
      SetLastErrorFromErrno();
      return false;
    }
  }
}

// The packed copy: a file in $TMPDIR (else /tmp) without a name, removed
// from its folder as soon as it is made, so it goes with its descriptor
// whatever ends the run and never sits beside the source.
int CreateAnonymousCopy() {
  const char* tmp = std::getenv("TMPDIR");
  std::string name = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
  name += "/sendrix-pack-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    SetLastErrorFromErrno();
    return CMyFile::kInvalidHandle;
  }
  ::unlink(name.c_str());
  return fd;
}

}  // namespace

CMyFile::~CMyFile() {
  Close();
}

int CMyFile::Open(const std::string& name, int mode, int pack) {
  int errorText = 0;
  int result = OpenGuarded(name, mode, pack, &errorText);
  if (errorText != 0) {
    // Shown outside the lock: the window's box waits for the user, and the
    // data reader must not wait with it.
    DWORD error = GetLastError();
    ShowErrorText(errorText);
    SetLastError(error);
  }
  return result;
}

int CMyFile::OpenGuarded(const std::string& name, int mode, int pack, int* errorText) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_hFile >= 0)
    CloseLocked();
  m_nSize = 0;
  m_hFile = OpenDescriptor(name, mode);
  m_strName = name;
  if (m_hFile < 0)
    return 0;
  // A source too big to send is refused before a copy of it is written.
  if (pack == 1 && (!TakeSizeLocked(errorText) || !PackLocked(errorText)))
    return 0;
  return TakeSizeLocked(errorText);
}

// Stores the open file's size; refuses (and closes) a file of 4 GiB or more.
int CMyFile::TakeSizeLocked(int* errorText) {
  struct stat st {};
  if (::fstat(m_hFile, &st) != 0) {
    SetLastErrorFromErrno();
    CloseLocked();
    m_hFile = kInvalidHandle;
    return 0;
  }
  auto size = static_cast<std::uint64_t>(st.st_size);
  if (size > kMaxSize) {
    CloseLocked();
    m_hFile = kInvalidHandle;
    SetLastError(ERROR_FILE_TOO_LARGE);
    *errorText = kErrorFileTooBig;
    return 0;
  }
  m_nSize = size;
  return 1;
}

// Replaces the open source by its packed copy; on failure the handle is
// invalid and *errorText is 1.
int CMyFile::PackLocked(int* errorText) {
  int copy = CreateAnonymousCopy();
  bool ok = copy >= 0 && WritePackedCopy(m_hFile, copy) && ::lseek(copy, 0, SEEK_SET) == 0;
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  CloseLocked();
  if (!ok) {
    if (copy >= 0)
      ::close(copy);
    m_hFile = kInvalidHandle;
    if (error != ERROR_SUCCESS)
      SetLastError(error);
    *errorText = kErrorPackFailed;
    return 0;
  }
  m_hFile = copy;
  return 1;
}

int CMyFile::GetHandle() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_hFile;
}

DWORD CMyFile::GetSize() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return static_cast<DWORD>(m_nSize);
}

std::string CMyFile::GetName() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_strName;
}

bool CMyFile::IsOpen() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_hFile >= 0;
}

int CMyFile::Empty() {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_hFile < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (::ftruncate(m_hFile, 0) != 0) {
    SetLastErrorFromErrno();
    return 0;
  }
  m_nSize = 0;
  return 1;
}

int CMyFile::Close() {
  std::lock_guard<std::mutex> guard(m_lock);
  return CloseLocked();
}

int CMyFile::CloseLocked() {
  int fd = m_hFile;
  m_hFile = kNullHandle;
  if (fd < 0)
    return 0;
  if (::close(fd) != 0) {
    SetLastErrorFromErrno();
    return 0;
  }
  return 1;
}

int CMyFile::Read(void* buffer, DWORD bytesToRead, DWORD* bytesRead) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (bytesRead)
    *bytesRead = 0;
  if (m_hFile < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  ssize_t n = ReadSome(m_hFile, buffer, bytesToRead);
  if (n < 0) {
    SetLastErrorFromErrno();
    return 0;
  }
  if (bytesRead)
    *bytesRead = static_cast<DWORD>(n);
  return 1;
}

int CMyFile::ReadAt(std::uint64_t offset, void* buffer, DWORD bytesToRead, DWORD* bytesRead) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (bytesRead)
    *bytesRead = 0;
  if (m_hFile < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  ssize_t n;
  do {
    n = ::pread(m_hFile, buffer, bytesToRead, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    SetLastErrorFromErrno();
    return 0;
  }
  if (bytesRead)
    *bytesRead = static_cast<DWORD>(n);
  return 1;
}

int CMyFile::Append(const void* data, DWORD length, DWORD* written) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (written)
    *written = 0;
  if (m_hFile < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  size_t done = 0;
  bool ok = WriteAll(m_hFile, data, length, &done);
  if (!ok)
    SetLastErrorFromErrno();
  if (written)
    *written = static_cast<DWORD>(done);
  return ok ? 1 : 0;
}

int CMyFile::SeekToStart() {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_hFile < 0 || ::lseek(m_hFile, 0, SEEK_SET) < 0) {
    SetLastError(m_hFile < 0 ? ERROR_INVALID_HANDLE : ErrnoToWin32(errno));
    return 0;
  }
  return 1;
}

int CMyFile::SeekToEnd() {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_hFile < 0 || ::lseek(m_hFile, 0, SEEK_END) < 0) {
    SetLastError(m_hFile < 0 ? ERROR_INVALID_HANDLE : ErrnoToWin32(errno));
    return 0;
  }
  return 1;
}

int CMyFile::GetCurrentSize(std::uint64_t* size) {
  std::lock_guard<std::mutex> guard(m_lock);
  struct stat st {};
  if (m_hFile < 0 || size == nullptr || ::fstat(m_hFile, &st) != 0)
    return 0;
  *size = static_cast<std::uint64_t>(st.st_size);
  return 1;
}
