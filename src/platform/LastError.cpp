#include "platform/LastError.h"

#include <cerrno>
#include <cstring>

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

struct ErrnoMapping {
  int err;
  DWORD code;
};

constexpr ErrnoMapping kErrnoTable[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EEXIST, ERROR_FILE_EXISTS},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {EPIPE, ERROR_BROKEN_PIPE},
    {EBUSY, ERROR_BUSY},
    {EWOULDBLOCK, ERROR_SHARING_VIOLATION},
    {EFBIG, ERROR_FILE_TOO_LARGE},
    {ECANCELED, ERROR_OPERATION_ABORTED},
    {EIO, ERROR_IO_DEVICE},
    {ENODEV, ERROR_DEVICE_NOT_CONNECTED},
    {ENXIO, ERROR_DEVICE_NOT_CONNECTED},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNRESET, WSAECONNRESET},
    {ECONNREFUSED, WSAECONNREFUSED},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {ENOTSUP, ERROR_NOT_SUPPORTED},
};

struct CodeText {
  DWORD code;
  const char* text;
};

// Texts for the Windows codes the program produces itself.
constexpr CodeText kCodeTexts[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
    {ERROR_WRITE_FAULT, "The system cannot write to the specified device."},
    {ERROR_READ_FAULT, "The system cannot read from the specified device."},
    {ERROR_SHARING_VIOLATION,
     "The process cannot access the file because it is being used by another process."},
    {ERROR_HANDLE_EOF, "Reached the end of the file."},
    {ERROR_NOT_SUPPORTED, "The request is not supported."},
    {ERROR_FILE_EXISTS, "The file exists."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_BROKEN_PIPE, "The pipe has been ended."},
    {ERROR_BUSY, "The requested resource is in use."},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
    {ERROR_FILE_TOO_LARGE, "The file size exceeds the limit allowed and cannot be saved."},
    {ERROR_OPERATION_ABORTED,
     "The I/O operation has been aborted because of either a thread exit or an application "
     "request."},
    {ERROR_IO_INCOMPLETE, "Overlapped I/O event is not in a signaled state."},
    {ERROR_IO_PENDING, "Overlapped I/O operation is in progress."},
    {ERROR_IO_DEVICE, "The request could not be performed because of an I/O device error."},
    {ERROR_DEVICE_NOT_CONNECTED, "The device is not connected."},
    {ERROR_NOT_FOUND, "Element not found."},
    {ERROR_TIMEOUT, "This operation returned because the timeout period expired."},
    {WSAECONNRESET, "An existing connection was forcibly closed by the remote host."},
    {WSAETIMEDOUT, "The connection attempt timed out: the peer did not answer in time."},
    {WSAECONNREFUSED,
     "No connection could be made because the target machine actively refused it."},
    {WSAEHOSTUNREACH, "A socket operation was attempted to an unreachable host."},
};

}  // namespace

DWORD GetLastError() {
  return t_lastError;
}

void SetLastError(DWORD code) {
  t_lastError = code;
}

DWORD ErrnoToWin32(int err) {
  for (const ErrnoMapping& m : kErrnoTable) {
    if (m.err == err)
      return m.code;
  }
  return ERRNO_CODE_BASE | static_cast<DWORD>(err);
}

DWORD SetLastErrorFromErrno() {
  DWORD code = ErrnoToWin32(errno);
  SetLastError(code);
  return code;
}

std::string SystemErrorText(DWORD code) {
  if ((code & ERRNO_CODE_BASE) != 0 && code != WAIT_FAILED) {
    char buf[256];
    int err = static_cast<int>(code & ~ERRNO_CODE_BASE);
    // strerror_r (GNU) may return a static string instead of filling buf.
    const char* text = strerror_r(err, buf, sizeof buf);
    return std::string(text) + ".";
  }
  for (const CodeText& t : kCodeTexts) {
    if (t.code == code)
      return t.text;
  }
  return "Unknown error " + std::to_string(code) + ".";
}
