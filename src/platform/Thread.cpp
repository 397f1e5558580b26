#include "platform/Thread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>

#include "platform/LastError.h"

namespace {

// Linux priorities are per thread through the nice value of its task id.
void ApplyPriority(int priority) {
  if (priority <= THREAD_PRIORITY_NORMAL)
    return;
  const int nice = priority >= THREAD_PRIORITY_HIGHEST ? -10 : -5;
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  (void)setpriority(PRIO_PROCESS, tid, nice);  // refused without CAP_SYS_NICE: fine
}

}  // namespace

std::unique_ptr<CThread> CThread::Create(Proc proc, int priority, const std::string& name) {
  auto state = std::make_shared<State>();
  state->name = name;
  state->priority = priority;
  std::unique_ptr<CThread> thread(new CThread(state));
  try {
    thread->m_thread = std::thread([state, p = std::move(proc)]() { Run(state, p); });
  } catch (const std::system_error& e) {
    SetLastError(ErrnoToWin32(e.code().value()));
    return nullptr;
  }
  return thread;
}

void CThread::Run(const std::shared_ptr<State>& state, const Proc& proc) {
  pthread_setname_np(pthread_self(), state->name.substr(0, 15).c_str());
  ApplyPriority(state->priority);
  state->exitCode = proc();
  state->ended.Set();
}

CThread::~CThread() {
  if (!m_thread.joinable())
    return;
  if (m_thread.get_id() != std::this_thread::get_id() && m_state->ended.IsSet()) {
    m_thread.join();
  } else {
    m_thread.detach();
  }
}

DWORD CThread::Wait(DWORD timeoutMs) {
  CEvent* ended = &m_state->ended;
  return WaitForMultipleObjects(1, &ended, FALSE, timeoutMs);
}
