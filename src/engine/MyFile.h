// CMyFile: one open file with its handle, its size and its name. The
// session has two: the transfer file (the file being sent or
// the firmware image) and the received-data file the data reader appends to.
//
// Handle: a POSIX file descriptor, with two states besides an open one:
//  - kNullHandle    before the first Open and after Close;
//  - kInvalidHandle after an Open that failed.
// IsOpen() is true only for an open descriptor.
//
// Modes of Open:
//  - kModeRead (0): the existing file, read-only; others may read it too.
//  - kModeWrite (1): created new (an existing file is emptied), readable and
//    writable, not shared. "Not shared" is an advisory lock,
//    flock(LOCK_EX | LOCK_NB): a second not-shared open of the same file, from
//    this or another process, fails with last error ERROR_SHARING_VIOLATION
//    and leaves the file untouched (the lock is taken before the file is
//    emptied). The received-data file's second-instance detection relies on
//    this. Programs that do not use flock are not kept out.
//    The descriptor is in append mode (O_APPEND): every Append lands at the
//    end of the file, wherever another user of the object has moved the
//    position. So the received-data file may be copied (ReadAt, or
//    SeekToStart/Read/SeekToEnd) while the data reader appends to it; ReadAt
//    reads at an offset of its own and is the one to prefer for such a copy,
//    because each append moves the shared position to the end.
//
// Packed copy (pack = 1): the file is converted into a copy, one packet frame
// (FramePacket) per 1024-byte block, and the copy is read instead; GetSize()
// is then the copy's size and the name stays the source's. The copy is a
// file in $TMPDIR (else /tmp) that has no name from the moment it is made:
// nothing is written beside the source (its folder may be read-only or
// shared), and the copy is gone when it is closed or the process ends. When
// the copy cannot be made (or not completely written), error text 1 is shown
// and Open fails.
//
// Size: files of 4 GiB or more are refused (error text 24, Open fails and
// the file is closed again); GetSize() is the size when Open succeeded.
//
// Thread safety: every member function may be called from any thread; each
// is atomic with respect to the others (one lock), so the data reader's
// Append and the window's emptying of "Clear Buffer" never meet half-way.
// GetHandle() hands out the raw descriptor, which is valid only until the
// next Close or Open: threads other than the owner use the member functions.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/Win32Types.h"

class CMyFile {
 public:
  static constexpr int kNullHandle = -2;
  static constexpr int kInvalidHandle = -1;
  static constexpr int kModeRead = 0;
  static constexpr int kModeWrite = 1;
  static constexpr std::uint64_t kMaxSize = 0xFFFFFFFFull;  // 4 GiB - 1
  static constexpr DWORD kPackBlockSize = 1024;

  CMyFile() = default;
  virtual ~CMyFile();
  CMyFile(const CMyFile&) = delete;
  CMyFile& operator=(const CMyFile&) = delete;

  // 1 when the file (or its packed copy) is open, else 0 with the handle
  // invalid. An already open file is closed first. Failures of the open
  // itself show nothing (the caller reports them); last error is set.
  int Open(const std::string& name, int mode, int pack);
  int GetHandle() const;
  DWORD GetSize() const;
  std::string GetName() const;
  bool IsOpen() const;
  // 1 when an open descriptor was closed, 0 when there was none (or closing
  // failed). The handle is null afterwards.
  int Close();

  // Reads up to bytesToRead bytes at the current position; 1 with the count
  // in *bytesRead (0 at the end of the file), or 0 on failure.
  int Read(void* buffer, DWORD bytesToRead, DWORD* bytesRead);
  // Reads up to bytesToRead bytes from offset without using or moving the
  // position; 1 with the count in *bytesRead, or 0 on failure.
  int ReadAt(std::uint64_t offset, void* buffer, DWORD bytesToRead, DWORD* bytesRead);
  // Writes all length bytes (at the end of the file for kModeWrite); 1 when
  // all were written, else 0 with the count written so far in *written.
  int Append(const void* data, DWORD length, DWORD* written = nullptr);
  int SeekToStart();
  int SeekToEnd();
  // The size on disk now (a file being appended to grows beyond GetSize()).
  int GetCurrentSize(std::uint64_t* size);
  // Empties an open kModeWrite file in place: the descriptor, its lock and
  // the name stay, and the next Append lands at offset 0. 1 ok, 0 when no
  // file is open or the truncation failed (last error set).
  int Empty();

 private:
  int OpenGuarded(const std::string& name, int mode, int pack, int* errorText);
  int TakeSizeLocked(int* errorText);
  int PackLocked(int* errorText);
  int CloseLocked();

  mutable std::mutex m_lock;
  int m_hFile = kNullHandle;
  std::uint64_t m_nSize = 0;
  std::string m_strName;
};
