// Thread-local last error with Windows error numbers.
//
// The program tests a few codes by number (997 pending, 995 aborted, 2 not
// found, 996 incomplete); they keep their Windows values. Other failures of
// POSIX calls are mapped from errno by ErrnoToWin32(): the common ones to
// their Windows equivalent, the rest to (ERRNO_CODE_BASE | errno), which
// SystemErrorText() still describes with strerror().
#pragma once

#include <string>

#include "platform/Win32Types.h"

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_READ_FAULT = 30;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_BROKEN_PIPE = 109;
inline constexpr DWORD ERROR_BUSY = 170;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
inline constexpr DWORD ERROR_IO_INCOMPLETE = 996;
inline constexpr DWORD ERROR_IO_PENDING = 997;
inline constexpr DWORD ERROR_IO_DEVICE = 1117;
inline constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
inline constexpr DWORD ERROR_NOT_FOUND = 1168;
inline constexpr DWORD ERROR_TIMEOUT = 1460;
inline constexpr DWORD WSAECONNRESET = 10054;
inline constexpr DWORD WSAETIMEDOUT = 10060;
inline constexpr DWORD WSAECONNREFUSED = 10061;
inline constexpr DWORD WSAEHOSTUNREACH = 10065;

// Codes made from an errno that has no Windows equivalent in the table.
inline constexpr DWORD ERRNO_CODE_BASE = 0x20000000u;

DWORD GetLastError();
void SetLastError(DWORD code);

// Maps a POSIX errno value to the code stored as last error.
DWORD ErrnoToWin32(int err);
// Sets the last error from errno and returns the stored code.
DWORD SetLastErrorFromErrno();

// The system's one-line text for a code (no trailing line break), as
// FormatMessage would give it. Never empty.
std::string SystemErrorText(DWORD code);
