// CEventLoop: the event loop of a run without a window toolkit. The thread
// that calls Run() is the loop's thread: it runs the code other threads hand
// over (IInvoker), periodic timers and the handlers of readable file
// descriptors (the stop signal's pipe), until Quit().
//
// Waiting costs nothing: the thread sleeps in poll() until a request comes
// (a wake pipe), a watched descriptor is readable or the next timer is due.
// Timers are periodic and run in the order they fall due; a handler that
// runs late is not run again to catch up.
//
// Threading: construct, AddTimer, WatchFd, Run and destroy on the loop's
// thread; Quit from the loop's thread (a handler) or any other; Post/Call
// from any thread (Invoker.h). Destroying the loop closes it first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Invoker.h"

class CEventLoop : public IInvoker {
 public:
  CEventLoop();
  ~CEventLoop() override;
  CEventLoop(const CEventLoop&) = delete;
  CEventLoop& operator=(const CEventLoop&) = delete;

  bool Post(std::function<void()> fn) override;
  bool Call(const std::function<void()>& fn) override;
  void Close() override;
  bool IsClosed() const override;

  // Runs `fn` every `intervalMs` from now on; returns its number for
  // KillTimer.
  int AddTimer(int intervalMs, std::function<void()> fn);
  void KillTimer(int timer);
  // Runs `fn` whenever `fd` is readable (fn must read it, or it runs again).
  void WatchFd(int fd, std::function<void()> fn);

  // Runs until Quit; requests posted before Run are run by it. A request
  // that quits is the last one run: the rest wait for the next Run.
  void Run();
  void Quit();

 private:
  using Clock = std::chrono::steady_clock;
  struct Request {
    std::function<void()> fn;
    const std::function<void()>* pWaited = nullptr;  // a Call's code
    bool bStarted = false;
    bool bDone = false;
  };
  struct Timer {
    int id;
    std::chrono::milliseconds interval;
    Clock::time_point due;
    std::function<void()> fn;
  };
  struct Watch {
    int fd;
    std::function<void()> fn;
  };

  void Wake();
  void RunRequests();
  void RunDueTimers();
  int MsToNextTimer() const;
  bool OnLoopThread() const { return std::this_thread::get_id() == m_owner; }

  std::thread::id m_owner;
  int m_wake[2] = {-1, -1};
  mutable std::mutex m_lock;
  std::condition_variable m_done;
  std::deque<std::shared_ptr<Request>> m_requests;
  bool m_bClosed = false;
  bool m_bQuit = false;
  std::vector<Timer> m_timers;
  int m_nNextTimer = 1;
  std::vector<Watch> m_watches;
};
