// Clocks, sleeping and process identity.
#pragma once

#include <cstdint>

#include "platform/Win32Types.h"

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

// Monotonic counter in ticks; never fails on Linux (returns TRUE).
BOOL QueryPerformanceCounter(LONGLONG* count);
// Ticks per second of QueryPerformanceCounter (1e9).
BOOL QueryPerformanceFrequency(LONGLONG* frequency);
// Milliseconds of the monotonic clock; only differences between two values
// mean anything. Never goes back.
uint64_t NowMs();
// Sleeps at least ms milliseconds.
void Sleep(DWORD ms);
// Local wall-clock date and time, to the millisecond.
void GetLocalTime(SYSTEMTIME* time);
DWORD GetCurrentProcessId();
