#include "platform/Event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/LastError.h"

// One lock guards the state of every event. Events change rarely compared
// with the work done between changes, and a single lock makes waits on
// several events (any or all) simple to get right.
namespace {
std::mutex& EventLock() {
  static std::mutex lock;
  return lock;
}
}  // namespace

class CEventWaiter {
 public:
  std::condition_variable cv;
};

CEvent::CEvent(bool manualReset, bool initiallySet)
    : m_bManualReset(manualReset), m_bSignalled(initiallySet) {}

CEvent::~CEvent() = default;

void CEvent::Set() {
  std::lock_guard<std::mutex> guard(EventLock());
  m_bSignalled = true;
  for (CEventWaiter* waiter : m_waiters) {
    waiter->cv.notify_one();
  }
}

void CEvent::Reset() {
  std::lock_guard<std::mutex> guard(EventLock());
  m_bSignalled = false;
}

bool CEvent::IsSet() const {
  std::lock_guard<std::mutex> guard(EventLock());
  return m_bSignalled;
}

HANDLE CreateEvent(BOOL manualReset, BOOL initialState) {
  return new CEvent(manualReset != 0, initialState != 0);
}

BOOL SetEvent(HANDLE event) {
  if (event == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  if (event == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Reset();
  return TRUE;
}

BOOL CloseHandle(HANDLE event) {
  if (event == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete event;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE event, DWORD timeoutMs) {
  return WaitForMultipleObjects(1, &event, FALSE, timeoutMs);
}

namespace {

// Checks the wait condition under the event lock and consumes the
// auto-reset events that satisfy it. Returns WAIT_TIMEOUT when not met.
DWORD TryConsume(DWORD count, CEvent* const* events, BOOL waitAll,
                 bool (*isSignalled)(const CEvent*), void (*consume)(CEvent*)) {
  if (!waitAll) {
    for (DWORD i = 0; i < count; ++i) {
      if (isSignalled(events[i])) {
        consume(events[i]);
        return WAIT_OBJECT_0 + i;
      }
    }
    return WAIT_TIMEOUT;
  }
  for (DWORD i = 0; i < count; ++i) {
    if (!isSignalled(events[i])) {
      return WAIT_TIMEOUT;
    }
  }
  for (DWORD i = 0; i < count; ++i) {
    consume(events[i]);
  }
  return WAIT_OBJECT_0;
}

}  // namespace

DWORD WaitForMultipleObjects(DWORD count, CEvent* const* events, BOOL waitAll, DWORD timeoutMs) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || events == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  for (DWORD i = 0; i < count; ++i) {
    if (events[i] == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
  }
  auto isSignalled = [](const CEvent* e) { return e->m_bSignalled; };
  auto consume = [](CEvent* e) {
    if (!e->m_bManualReset)
      e->m_bSignalled = false;
  };
  std::unique_lock<std::mutex> lock(EventLock());
  DWORD result = TryConsume(count, events, waitAll, isSignalled, consume);
  if (result != WAIT_TIMEOUT || timeoutMs == 0) {
    return result;
  }
  CEventWaiter waiter;
  for (DWORD i = 0; i < count; ++i) {
    events[i]->m_waiters.push_back(&waiter);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (result == WAIT_TIMEOUT) {
    if (timeoutMs == INFINITE) {
      waiter.cv.wait(lock);
    } else if (waiter.cv.wait_until(lock, deadline) == std::cv_status::timeout) {
      result = TryConsume(count, events, waitAll, isSignalled, consume);
      break;
    }
    result = TryConsume(count, events, waitAll, isSignalled, consume);
  }
  for (DWORD i = 0; i < count; ++i) {
    auto& list = events[i]->m_waiters;
    list.erase(std::find(list.begin(), list.end(), &waiter));
  }
  // An auto-reset event that woke this waiter but was consumed by another one
  // is handled by the notify-one per waiter above: every waiter is notified
  // and rechecks, so no wake-up is lost.
  return result;
}
