// The overlapped I/O engine of the fd-based backends (serial, TCP/IP): one
// I/O thread built on poll() runs the reads and writes that could not finish
// at once and completes their OVERLAPPED records.
//
// Fast path: Read()/Write() first try the operation in the caller's thread on
// the non-blocking fd. A write that only partly fits may wait for room in the
// caller's thread for at most `callerWaitMs` (bounded, so that a file transfer
// runs at the speed of the device without a thread hand-off per packet);
// whatever is left then goes to the I/O thread and the call returns 0 with
// last error 997.
//
// Contract:
//  - The fd must stay open until CancelFd()/CancelOwner() for it has
//    returned; after that the engine never touches the fd or the records of
//    the cancelled operations again. The backend guarantees this with its own
//    lock (shared while reading/writing, exclusive while closing).
//  - At most one operation per record: a new one on a record that is still
//    pending cancels the old one (completed with 995).
//  - Completion stores the count and status first, then sets the event.
//  - A read completes with the bytes available (never 0 bytes with success);
//    end of stream completes it with ERROR_BROKEN_PIPE. Failures call the
//    request's onFailure on the I/O thread, outside the engine's lock.
//  - A queued write that makes no progress for idleTimeoutMs completes with
//    status 0 and the short count (the caller sees a timed-out write).
//  - gate (writes): while it returns false the write is held and re-checked
//    every kTickMs (used to emulate DSR flow control).
// Thread safety: every member may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

#include "platform/Overlapped.h"
#include "platform/Thread.h"
#include "platform/Win32Types.h"

struct CommIoRequest {
  int fd = -1;  // -1: never ready, stays pending until cancelled
  bool socket = false;
  const void* owner = nullptr;  // tag for CancelOwner
  OVERLAPPED* ov = nullptr;
  DWORD callerWaitMs = 0;      // writes: bounded wait for room in the caller's thread
  DWORD idleTimeoutMs = 0;     // writes: 0 = no time-out
  std::function<bool()> gate;  // writes: may the bytes go out now?
  // Failure report, called as onFailure(context, tag, error). A plain
  // function pointer keeps building a request free of allocations: one is
  // made for every read and write.
  void (*onFailure)(void* context, uint64_t tag, DWORD error) = nullptr;
  void* context = nullptr;
  uint64_t tag = 0;
};

class CCommIoEngine {
 public:
  static constexpr DWORD kTickMs = 20;

  CCommIoEngine();
  ~CCommIoEngine();
  CCommIoEngine(const CCommIoEngine&) = delete;
  CCommIoEngine& operator=(const CCommIoEngine&) = delete;

  int Write(const CommIoRequest& request, const void* buffer, DWORD length, DWORD* written);
  int Read(const CommIoRequest& request, void* buffer, DWORD length, DWORD* read);

  // Complete every pending operation of the fd / owner / record with `error`.
  void CancelFd(int fd, DWORD error);
  void CancelOwner(const void* owner, DWORD error);
  void CancelRecord(OVERLAPPED* ov, DWORD error);
  size_t PendingCount() const;

 private:
  enum class Kind { Read, Write };
  struct Op {
    uint64_t id = 0;
    Kind kind = Kind::Read;
    CommIoRequest req;
    BYTE* buffer = nullptr;
    DWORD length = 0;
    DWORD done = 0;
    uint64_t lastProgressMs = 0;
  };
  struct Failure {
    void (*callback)(void*, uint64_t, DWORD);
    void* context;
    uint64_t tag;
    DWORD error;
  };

  int Queue(Op op);
  void CancelIf(const std::function<bool(const Op&)>& match, DWORD error);
  void EnsureThread();
  void Wake();
  DWORD Run();
  int PollTimeout(uint64_t now) const;
  // Runs the ready operations; returns the failures to report.
  void Service(const struct pollfd* fds, size_t count, const uint64_t* ids,
               std::list<Failure>& failures);
  void ServiceTimers(uint64_t now, std::list<Failure>& failures);
  // One transfer attempt; true when the operation ended (completed).
  bool Attempt(Op& op, std::list<Failure>& failures);

  mutable std::mutex m_lock;
  std::list<Op> m_ops;
  uint64_t m_nextId = 1;
  bool m_bStopping = false;
  int m_wakeFd = -1;
  std::unique_ptr<CThread> m_thread;
};
