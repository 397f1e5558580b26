#include "comm/CommIoEngine.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/Clock.h"
#include "platform/LastError.h"

namespace {

// One non-blocking transfer; returns bytes, 0 at end of stream, -1 with errno.
ssize_t Transfer(bool write, bool socket, int fd, BYTE* buffer, DWORD length) {
  for (;;) {
    ssize_t n;
    if (write) {
      n = socket ? send(fd, buffer, length, MSG_NOSIGNAL | MSG_DONTWAIT)
                 : ::write(fd, buffer, length);
    } else {
      n = socket ? recv(fd, buffer, length, MSG_DONTWAIT) : ::read(fd, buffer, length);
    }
    if (n >= 0 || errno != EINTR)
      return n;
  }
}

bool WouldBlock(int err) {
  return err == EAGAIN || err == EWOULDBLOCK;
}

}  // namespace

CCommIoEngine::CCommIoEngine() {
  m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CCommIoEngine::~CCommIoEngine() {
  CancelIf([](const Op&) { return true; }, ERROR_OPERATION_ABORTED);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bStopping = true;
  }
  Wake();
  if (m_thread)
    m_thread->Wait(INFINITE);
  m_thread.reset();
  if (m_wakeFd >= 0)
    close(m_wakeFd);
}

int CCommIoEngine::Write(const CommIoRequest& request, const void* buffer, DWORD length,
                         DWORD* written) {
  if (IsOverlappedPending(request.ov))
    CancelRecord(request.ov, ERROR_OPERATION_ABORTED);
  BYTE* bytes = static_cast<BYTE*>(const_cast<void*>(buffer));
  DWORD done = 0;
  if (written != nullptr)
    *written = 0;
  const uint64_t deadline = NowMs() + request.callerWaitMs;
  while (request.fd >= 0 && (!request.gate || request.gate())) {
    ssize_t n = length == done
                    ? 0
                    : Transfer(true, request.socket, request.fd, bytes + done, length - done);
    if (n < 0 && !WouldBlock(errno)) {
      DWORD err = SetLastErrorFromErrno();
      CompleteOverlapped(request.ov, err, done);
      if (request.onFailure)
        request.onFailure(request.context, request.tag, err);
      SetLastError(err);
      return 0;
    }
    if (n > 0)
      done += static_cast<DWORD>(n);
    if (done == length) {
      if (written != nullptr)
        *written = length;
      CompleteOverlapped(request.ov, ERROR_SUCCESS, length);
      return 1;
    }
    uint64_t now = NowMs();
    if (now >= deadline)
      break;
    struct pollfd p = {request.fd, POLLOUT, 0};
    poll(&p, 1, static_cast<int>(deadline - now));
  }
  Op op;
  op.kind = Kind::Write;
  op.req = request;
  op.buffer = bytes;
  op.length = length;
  op.done = done;
  return Queue(std::move(op));
}

int CCommIoEngine::Read(const CommIoRequest& request, void* buffer, DWORD length, DWORD* read) {
  if (IsOverlappedPending(request.ov))
    CancelRecord(request.ov, ERROR_OPERATION_ABORTED);
  if (read != nullptr)
    *read = 0;
  BYTE* bytes = static_cast<BYTE*>(buffer);
  if (request.fd >= 0 && length > 0) {
    ssize_t n = Transfer(false, request.socket, request.fd, bytes, length);
    if (n > 0) {
      if (read != nullptr)
        *read = static_cast<DWORD>(n);
      CompleteOverlapped(request.ov, ERROR_SUCCESS, static_cast<DWORD>(n));
      return 1;
    }
    if (n == 0 || !WouldBlock(errno)) {
      DWORD err = n == 0 ? ERROR_BROKEN_PIPE : ErrnoToWin32(errno);
      CompleteOverlapped(request.ov, err, 0);
      if (request.onFailure)
        request.onFailure(request.context, request.tag, err);
      SetLastError(err);
      return 0;
    }
  }
  Op op;
  op.kind = Kind::Read;
  op.req = request;
  op.buffer = bytes;
  op.length = length;
  return Queue(std::move(op));
}

int CCommIoEngine::Queue(Op op) {
  BeginOverlapped(op.req.ov);
  op.req.ov->InternalHigh.store(op.done);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    op.id = m_nextId++;
    op.lastProgressMs = NowMs();
    m_ops.push_back(std::move(op));
    EnsureThread();
  }
  Wake();
  SetLastError(ERROR_IO_PENDING);
  return 0;
}

void CCommIoEngine::CancelFd(int fd, DWORD error) {
  CancelIf([fd](const Op& op) { return op.req.fd == fd; }, error);
}

void CCommIoEngine::CancelOwner(const void* owner, DWORD error) {
  CancelIf([owner](const Op& op) { return op.req.owner == owner; }, error);
}

void CCommIoEngine::CancelRecord(OVERLAPPED* ov, DWORD error) {
  CancelIf([ov](const Op& op) { return op.req.ov == ov; }, error);
}

size_t CCommIoEngine::PendingCount() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_ops.size();
}

void CCommIoEngine::CancelIf(const std::function<bool(const Op&)>& match, DWORD error) {
  bool any = false;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    for (auto it = m_ops.begin(); it != m_ops.end();) {
      if (match(*it)) {
        CompleteOverlapped(it->req.ov, error, it->done);
        it = m_ops.erase(it);
        any = true;
      } else {
        ++it;
      }
    }
  }
  if (any)
    Wake();
}

void CCommIoEngine::EnsureThread() {
  if (m_thread || m_bStopping)
    return;
  m_thread = CThread::Create([this] { return Run(); }, THREAD_PRIORITY_ABOVE_NORMAL, "Comm I/O");
}

void CCommIoEngine::Wake() {
  uint64_t one = 1;
  if (m_wakeFd >= 0) {
    ssize_t n = write(m_wakeFd, &one, sizeof one);
    (void)n;
  }
}

int CCommIoEngine::PollTimeout(uint64_t now) const {
  int timeout = -1;
  for (const Op& op : m_ops) {
    int t = -1;
    if (op.req.gate && op.kind == Kind::Write)
      t = static_cast<int>(kTickMs);
    if (op.kind == Kind::Write && op.req.idleTimeoutMs != 0) {
      uint64_t end = op.lastProgressMs + op.req.idleTimeoutMs;
      int left = end > now ? static_cast<int>(end - now) : 0;
      t = t < 0 ? left : std::min(t, left);
    }
    if (t >= 0 && (timeout < 0 || t < timeout))
      timeout = t;
  }
  return timeout;
}

DWORD CCommIoEngine::Run() {
  std::vector<struct pollfd> fds;
  std::vector<uint64_t> ids;
  std::unique_lock<std::mutex> lock(m_lock);
  while (!m_bStopping) {
    fds.assign(1, {m_wakeFd, POLLIN, 0});
    ids.assign(1, 0);
    for (const Op& op : m_ops) {
      if (op.req.fd < 0)
        continue;
      if (op.kind == Kind::Write && op.req.gate && !op.req.gate())
        continue;
      short events = op.kind == Kind::Write ? POLLOUT : POLLIN;
      fds.push_back({op.req.fd, events, 0});
      ids.push_back(op.id);
    }
    int timeout = PollTimeout(NowMs());
    lock.unlock();
    int n = poll(fds.data(), fds.size(), timeout);
    lock.lock();
    if (m_bStopping)
      break;
    if (fds[0].revents != 0) {
      uint64_t value;
      ssize_t r = read(m_wakeFd, &value, sizeof value);
      (void)r;
    }
    std::list<Failure> failures;
    if (n > 0)
      Service(fds.data() + 1, fds.size() - 1, ids.data() + 1, failures);
    ServiceTimers(NowMs(), failures);
    if (!failures.empty()) {
      lock.unlock();
      for (const Failure& f : failures)
        f.callback(f.context, f.tag, f.error);
      lock.lock();
    }
  }
  return 0;
}

void CCommIoEngine::Service(const struct pollfd* fds, size_t count, const uint64_t* ids,
                            std::list<Failure>& failures) {
  for (size_t i = 0; i < count; ++i) {
    if (fds[i].revents == 0)
      continue;
    for (auto it = m_ops.begin(); it != m_ops.end(); ++it) {
      if (it->id != ids[i])
        continue;
      if ((fds[i].revents & POLLNVAL) != 0) {
        CompleteOverlapped(it->req.ov, ERROR_INVALID_HANDLE, it->done);
        m_ops.erase(it);
      } else if (Attempt(*it, failures)) {
        m_ops.erase(it);
      }
      break;
    }
  }
}

bool CCommIoEngine::Attempt(Op& op, std::list<Failure>& failures) {
  const bool write = op.kind == Kind::Write;
  for (;;) {
    ssize_t n = Transfer(write, op.req.socket, op.req.fd, op.buffer + op.done, op.length - op.done);
    if (n > 0) {
      op.done += static_cast<DWORD>(n);
      op.lastProgressMs = NowMs();
      if (!write || op.done == op.length) {
        CompleteOverlapped(op.req.ov, ERROR_SUCCESS, op.done);
        return true;
      }
      continue;
    }
    if (n < 0 && WouldBlock(errno))
      return false;
    DWORD err = n == 0 ? (write ? ERROR_WRITE_FAULT : ERROR_BROKEN_PIPE) : ErrnoToWin32(errno);
    CompleteOverlapped(op.req.ov, err, op.done);
    if (op.req.onFailure)
      failures.push_back({op.req.onFailure, op.req.context, op.req.tag, err});
    return true;
  }
}

void CCommIoEngine::ServiceTimers(uint64_t now, std::list<Failure>& /*failures*/) {
  for (auto it = m_ops.begin(); it != m_ops.end();) {
    bool ended = false;
    if (it->kind == Kind::Write && it->req.idleTimeoutMs != 0 &&
        now >= it->lastProgressMs + it->req.idleTimeoutMs) {
      // Timed out: success status with the short count, as a serial write
      // time-out reports it.
      CompleteOverlapped(it->req.ov, ERROR_SUCCESS, it->done);
      ended = true;
    }
    it = ended ? m_ops.erase(it) : std::next(it);
  }
}
