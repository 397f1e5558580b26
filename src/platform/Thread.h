// Named worker threads with a requested priority.
//
// Contract:
//  - Create() starts proc(param) at once; null on failure (last error set).
//  - The name is given to the OS (first 15 characters, as Linux allows) so it
//    shows in debuggers and `top -H`.
//  - The priority is a request. Above-normal priorities need CAP_SYS_NICE on
//    Linux; without it the thread runs at normal priority and nothing fails.
//  - Wait() blocks up to timeoutMs for the thread's end. The destructor of a
//    thread that has ended joins it; of one still running, detaches it (the
//    thread then runs to its end on its own, as a fire-and-forget worker).
// Thread safety: Wait(), HasEnded() and ExitCode() may be called from any
// thread; destruction from one thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/Event.h"
#include "platform/Win32Types.h"

class CThread {
 public:
  using Proc = std::function<DWORD()>;

  static std::unique_ptr<CThread> Create(Proc proc, int priority, const std::string& name);
  ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // WAIT_OBJECT_0 when the thread has ended, WAIT_TIMEOUT otherwise.
  DWORD Wait(DWORD timeoutMs);
  bool HasEnded() const { return m_state->ended.IsSet(); }
  DWORD ExitCode() const { return m_state->exitCode; }
  const std::string& Name() const { return m_state->name; }
  int RequestedPriority() const { return m_state->priority; }

 private:
  // Shared with the running thread, so a detached thread never touches a
  // destroyed CThread.
  struct State {
    std::string name;
    int priority = THREAD_PRIORITY_NORMAL;
    CEvent ended{true, false};
    DWORD exitCode = 0;  // written before `ended` is set
  };
  explicit CThread(std::shared_ptr<State> state) : m_state(std::move(state)) {}
  static void Run(const std::shared_ptr<State>& state, const Proc& proc);

  std::shared_ptr<State> m_state;
  std::thread m_thread;
};
