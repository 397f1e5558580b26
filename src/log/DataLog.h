// The HTML data log and how the process shares it.
//
// Sharing: the session's data log (TransferObjects.h) is a holder, not a raw
// pointer. `if (holder)` tells whether logging is on; `holder->Log(...)`
// pins the current log for the duration of the call (a counted reference),
// so a thread that logs while the user turns logging off finishes its call
// on a live object; when logging is off the call goes to a disabled log that
// does nothing.
// holder.Reset(log) installs a log, Reset(nullptr) removes it; the log is
// destroyed when the last pinned call lets go. The session resets the
// holder before it ends (the log's destructor stops a thread).
//
// CDataLog: Log() may be called from any thread. Appends take the buffer
// lock only for the copy into the buffer; a flush (the writer thread's, or
// an append's that finds the buffer full) swaps the full buffer for the
// spare one under that lock and writes it to the file outside it, under
// the file lock, which keeps flushes in order and also serialises
// ReadLogFile and snapshots. So a thread that logs (a reader, a transmit
// thread) never waits for the disk unless the buffer it needs is still
// being written. Nothing is dropped. Lock order: file lock, then buffer
// lock.
//
// File format: an HTML page holding one <pre> block. After the header come
// the entries: a time line "<h3>Time = dd/mm/yyyy hh:mm:ss:mmm
// (+hh:mm:ss:mmm) : text</h3>" for a text, then "<h4>rows</h4>" for data,
// 16 bytes a row. The footer closes the page when the log is destroyed.
// The characters <, > and & of texts and of the dump's character column are
// written as &lt; &gt; &amp; so that bytes a printer sends cannot inject
// markup; the dump's column positions (offset, hex pairs, characters from
// column 59) count characters before that escaping.
//
// Threads: each log with a file runs a writer thread "Thread Log" that writes
// the buffer to the file once a second. The destructor logs "Stop Log
// Recording.\n", stops and joins that thread, writes what is left and the
// footer, and closes the file.
//
// The log clock: the local time at creation plus the performance counter's
// elapsed milliseconds (see LogFormat.h). The elapsed part of a time line is
// counted from the previous entry of the same log; a log's first entry shows
// all zeros.
//
// A log whose file cannot be created (for instance when the Output folder
// does not exist yet) has no buffer and no thread; Log() then does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/Win32Types.h"

class CDataLog;

class CDataLogHolder {
 public:
  explicit operator bool() const;
  // Never null: the current log, or a disabled one when logging is off.
  std::shared_ptr<CDataLog> operator->() const;
  std::shared_ptr<CDataLog> Get() const;  // null when logging is off
  void Reset(std::shared_ptr<CDataLog> log);

 private:
  static const std::shared_ptr<CDataLog>& Disabled();

  mutable std::mutex m_lock;
  std::shared_ptr<CDataLog> m_pLog;
};

class CDataLog {
 public:
  // Where the log takes its times from. The default is the system's
  // performance counter and local time; tests give their own.
  class IClock {
   public:
    virtual ~IClock() = default;
    virtual BOOL QueryCounter(LONGLONG* count) = 0;
    virtual BOOL QueryFrequency(LONGLONG* frequency) = 0;
    virtual void LocalTime(SYSTEMTIME* time) = 0;
  };

  static constexpr DWORD kBufferSize = 100000;
  static constexpr DWORD kFlushIntervalMs = 1000;

  // Creates "<program folder>/Output/SendrixLog_<date>_<time>_pid-<PID>.html"
  // (replacing a file of that name), writes the header and the first two
  // entries "Start Log Recording.\n" and osVersion. A null clock means the
  // system's.
  explicit CDataLog(const std::string& osVersion, std::shared_ptr<IClock> clock = nullptr);
  virtual ~CDataLog();
  CDataLog(const CDataLog&) = delete;
  CDataLog& operator=(const CDataLog&) = delete;

  // A time line for text (when not null), then a hex dump of data (when
  // length is not 0), both as one entry: another thread's entry never comes
  // between them. Always returns 1.
  int Log(const char* text, const void* data = nullptr, DWORD length = 0);

  // Size of the file on disk (what the writer has written so far): 1, or 0
  // when it cannot be read.
  int GetLogFileSize(std::uint64_t* size);
  // Reads up to bytesToRead bytes from the start of the file; 1 on success
  // (bytesRead may be less at the end of the file), 0 when the file is not
  // open or the read fails. The position appends use is not disturbed.
  int ReadLogFile(void* buffer, DWORD bytesToRead, DWORD* bytesRead);

  // The "view log" copy: writes everything logged so far into a new file
  // "<program folder>/Output/SendrixLog_<now>_pid-<PID>.temp.html" (the
  // closing tags are not there yet) and stores its path. 1 when the whole
  // file was copied, else 0 (a partial copy is removed).
  int WriteSnapshot(std::string* path);
  // Deletes every "<program folder>/Output/SendrixLog*.temp.html" that is
  // not a folder; returns how many were deleted. Called at exit.
  static int DeleteSnapshots();

  bool IsOpen() const { return m_hFile >= 0; }
  const std::string& FileName() const { return m_strFileName; }

 private:
  friend class CDataLogHolder;
  struct DisabledTag {};
  explicit CDataLog(DisabledTag) {}

  void Open();
  void StartWriter();
  void StartClock();
  DWORD WriterProc();
  SYSTEMTIME NowLocked();
  void AppendEntryLocked(bool hasText, const std::string& entry, size_t dumpStart);
  void AppendLocked(const char* data, size_t length);
  // Takes the file lock, then the buffer lock for the swap only.
  void Flush();
  // Under the file lock.
  void WriteFileLocked(const char* data, size_t length);

  static constexpr size_t kTimeLineSize = 96;

  int m_hFile = -1;
  bool m_bActive = false;      // has a file and buffers; fixed after construction
  std::vector<char> m_buffer;  // the one appends go to (buffer lock)
  std::vector<char> m_spare;   // the one being written (file lock)
  size_t m_nUsed = 0;
  std::uint64_t m_nTotal = 0;  // file lock
  LONGLONG m_llStartCounter = 0;
  LONGLONG m_llFrequency = 0;
  SYSTEMTIME m_stStart{};
  SYSTEMTIME m_stPrevious{};
  bool m_bFirstEntry = true;
  std::string m_strFileName;
  std::shared_ptr<IClock> m_pClock;
  std::mutex m_fileLock;  // the file, m_spare, m_nTotal
  std::mutex m_lock;      // m_buffer, m_nUsed, clock state
  CEvent m_evStop{false, false};
  std::unique_ptr<CThread> m_pWriter;
};
