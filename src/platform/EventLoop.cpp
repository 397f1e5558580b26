#include "platform/EventLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

CEventLoop::CEventLoop() : m_owner(std::this_thread::get_id()) {
  if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
    m_wake[0] = m_wake[1] = -1;
}

CEventLoop::~CEventLoop() {
  Close();
  for (int fd : m_wake) {
    if (fd >= 0)
      ::close(fd);
  }
}

void CEventLoop::Wake() {
  if (m_wake[1] < 0)
    return;
  const char byte = 1;
  // A full pipe already wakes the loop: the write may fail then.
  [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &byte, 1);
}

bool CEventLoop::Post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_bClosed)
      return false;
    auto req = std::make_shared<Request>();
    req->fn = std::move(fn);
    m_requests.push_back(std::move(req));
  }
  Wake();
  return true;
}

bool CEventLoop::Call(const std::function<void()>& fn) {
  if (OnLoopThread()) {
    if (IsClosed())
      return false;
    fn();
    return true;
  }
  auto req = std::make_shared<Request>();
  req->pWaited = &fn;
  std::unique_lock<std::mutex> g(m_lock);
  if (m_bClosed)
    return false;
  m_requests.push_back(req);
  g.unlock();
  Wake();
  g.lock();
  m_done.wait(g, [&] { return req->bDone || (m_bClosed && !req->bStarted); });
  return req->bDone;
}

void CEventLoop::Close() {
  std::lock_guard<std::mutex> g(m_lock);
  m_bClosed = true;
  m_requests.clear();
  m_done.notify_all();
}

bool CEventLoop::IsClosed() const {
  std::lock_guard<std::mutex> g(m_lock);
  return m_bClosed;
}

int CEventLoop::AddTimer(int intervalMs, std::function<void()> fn) {
  const std::chrono::milliseconds interval(std::max(intervalMs, 0));
  m_timers.push_back(Timer{m_nNextTimer, interval, Clock::now() + interval, std::move(fn)});
  return m_nNextTimer++;
}

void CEventLoop::KillTimer(int timer) {
  std::erase_if(m_timers, [timer](const Timer& t) { return t.id == timer; });
}

void CEventLoop::WatchFd(int fd, std::function<void()> fn) {
  m_watches.push_back(Watch{fd, std::move(fn)});
}

void CEventLoop::Quit() {
  {
    std::lock_guard<std::mutex> g(m_lock);
    m_bQuit = true;
  }
  Wake();
}

void CEventLoop::RunRequests() {
  for (;;) {
    std::shared_ptr<Request> req;
    {
      std::lock_guard<std::mutex> g(m_lock);
      if (m_bClosed || m_bQuit || m_requests.empty())
        return;
      req = std::move(m_requests.front());
      m_requests.pop_front();
      req->bStarted = true;
    }
    if (req->pWaited == nullptr) {
      req->fn();
      continue;
    }
    (*req->pWaited)();
    std::lock_guard<std::mutex> g(m_lock);
    req->bDone = true;
    m_done.notify_all();
  }
}

void CEventLoop::RunDueTimers() {
  const Clock::time_point now = Clock::now();
  std::vector<int> due;
  for (const Timer& t : m_timers) {
    if (t.due <= now)
      due.push_back(t.id);
  }
  // A handler may add or kill timers: look each one up again.
  for (int id : due) {
    auto it =
        std::find_if(m_timers.begin(), m_timers.end(), [id](const Timer& t) { return t.id == id; });
    if (it == m_timers.end())
      continue;
    it->due = std::max(it->due + it->interval, now);
    std::function<void()> fn = it->fn;
    fn();
  }
}

int CEventLoop::MsToNextTimer() const {
  if (m_timers.empty())
    return -1;
  Clock::time_point next = m_timers.front().due;
  for (const Timer& t : m_timers)
    next = std::min(next, t.due);
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
}

void CEventLoop::Run() {
  std::vector<pollfd> fds;
  for (;;) {
    RunRequests();
    {
      std::lock_guard<std::mutex> g(m_lock);
      if (m_bQuit) {
        m_bQuit = false;
        return;
      }
    }
    fds.assign(1, pollfd{m_wake[0], POLLIN, 0});
    for (const Watch& w : m_watches)
      fds.push_back(pollfd{w.fd, POLLIN, 0});
    const int ready = ::poll(fds.data(), fds.size(), MsToNextTimer());
    if (ready < 0 && errno != EINTR)
      return;
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
      char drain[64];
      while (::read(m_wake[0], drain, sizeof drain) > 0) {
      }
    }
    for (size_t i = 1; ready > 0 && i < fds.size(); ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP)) != 0)
        m_watches[i - 1].fn();
    }
    RunDueTimers();
  }
}
