#include "platform/Clock.h"

#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

BOOL QueryPerformanceCounter(LONGLONG* count) {
  if (count == nullptr)
    return FALSE;
  *count = std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
               .count();
  return TRUE;
}

BOOL QueryPerformanceFrequency(LONGLONG* frequency) {
  if (frequency == nullptr)
    return FALSE;
  *frequency = 1000000000LL;
  return TRUE;
}

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void Sleep(DWORD ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void GetLocalTime(SYSTEMTIME* time) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  time->wSecond = static_cast<WORD>(local.tm_sec);
  time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

DWORD GetCurrentProcessId() {
  return static_cast<DWORD>(getpid());
}
