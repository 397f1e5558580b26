// The communications library: one process-wide state, as a DLL would have,
// behind these Comm_* functions. Interface types: 0 serial, 1 USB, 2 TCP/IP.
//
// Common contract (every backend):
//  - A result of 0 means failure unless stated otherwise.
//  - Reads and writes are overlapped on three channels (TX, RX data, RX USM),
//    each with a handle and an OVERLAPPED record owned by the library (its
//    event is manual-reset). Comm_ReadPort/Comm_WritePort either complete at
//    once (nonzero, count in *done) or return 0 with last error 997 and later
//    complete the record (GetOverlappedResult collects it). Any other failure
//    returns 0 with another last error.
//  - Comm_BreakDownCommPort completes every pending operation with 995.
//  - No call blocks its caller longer than a bounded time-out (documented in
//    docs/comm-library.md).
//  - Errors inside the library reach the owner given to Comm_OpenSetup as
//    WM_SHOW_ERROR (code, COMM_ERROR_RECORD*) or WM_LOG_SYSTEM_ERROR (code).
// Thread safety: every function may be called from any thread; the engine
// guarantees that one thread at a time writes the TX channel and that each RX
// channel has one reader.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/MessageTarget.h"
#include "platform/Overlapped.h"
#include "platform/Win32Types.h"

inline constexpr int COMM_TYPE_SERIAL = 0;
inline constexpr int COMM_TYPE_USB = 1;
inline constexpr int COMM_TYPE_TCPIP = 2;

// lParam of WM_SHOW_ERROR: bytes 0..3 unused; text 1 at byte 4; text 2 at 132.
struct COMM_ERROR_RECORD {
  DWORD dwReserved;
  char szText1[128];
  char szText2[128];
};
static_assert(offsetof(COMM_ERROR_RECORD, szText1) == 4);
static_assert(offsetof(COMM_ERROR_RECORD, szText2) == 132);

int Comm_OpenSetup(IMessageTarget* owner, int type);
int Comm_IsOpened();
int Comm_IsConnected();
void Comm_CloseCleanuo();
int Comm_BreakDownCommPort();
// The output written so far is abandoned (an aborted transfer): the next
// break-down may throw away what the port has not sent yet instead of
// waiting for it. Any later write withdraws this. Without it a break-down
// first lets the written bytes go out, within a bounded wait.
void Comm_AbortOutput();
// Whether the printer has taken the bytes written so far, waiting at most
// waitMs (a completed write only means the bytes were handed over, on TCP/IP
// to the kernel's buffers): COMM_OUTPUT_SENT, also when the interface cannot
// tell; COMM_OUTPUT_LOST when the connection broke before they were taken;
// COMM_OUTPUT_PENDING when some still wait (*pending of them).
constexpr int COMM_OUTPUT_LOST = 0;
constexpr int COMM_OUTPUT_SENT = 1;
constexpr int COMM_OUTPUT_PENDING = 2;
int Comm_WaitOutputSent(DWORD waitMs, DWORD* pending);
// 0 = the open connection matches, 1 = it differs (close, reconnect), 2 = none.
// The values: see ICommBackend (comm/CommBackend.h).
unsigned Comm_IsConnectionValid(DWORD port, int setupCode, int baudMainOrOutput,
                                int parityOrOutputSel, int flowOrRtPort, int dataBitsOrUsmPort,
                                int stopBits);
int Comm_UpdateConnection(int usbReadersStopped, DWORD& port, char* name, int& baudMainOrOutput,
                          int& parityOrUsm, int& flowOrRealTime, int& dataBitsOrOutputSel,
                          int& stopBitsOrCompletion);
int Comm_IsPortAvailable();
void Comm_SetConnect(int available);

void* Comm_GethCommPortTX();
void* Comm_GethCommPortRX();
void* Comm_GethCommPortRXUsm();
OVERLAPPED* Comm_GetOverlappedTX();
OVERLAPPED* Comm_GetOverlappedRX();
OVERLAPPED* Comm_GetOverlappedRXUsm();

int Comm_WritePort(void* handle, const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov);
int Comm_ReadPort(void* handle, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov);

unsigned Comm_GetCommPacketSize();
unsigned Comm_GetStringPacketSize();
unsigned Comm_GetDownloadPacketSize();
DWORD Comm_GetReadTimeout();

// 1 done (status in buffer now), 3 pending (completes ov), 0 no status.
int Comm_InitGetDeviceStatus(void* buffer, DWORD length, DWORD* outLength, OVERLAPPED& ov);
// 1 = line-status bits written to status.
int Comm_GetDeviceStatus(void* buffer, DWORD length, DWORD& status);
int Comm_IsDevicePresent();
int Comm_GetPortParams(int& usmChannel, int& rtChannel, const char* prefix, int& count,
                       char (*table)[128]);
// Comm_GetPortParams into a table as large as the library may fill, its
// names (each cut at 127 characters) into `names`: 1 with the names, 0 when
// the enumeration failed (`names` unchanged). For the name lists (serial
// ports, USB devices); discovery records are binary and need the table.
int Comm_GetPortNames(int& usmChannel, int& rtChannel, const char* prefix,
                      std::vector<std::string>& names);
int Comm_SetDeviceParams(const char* frame);
void Comm_ShowPortProperties(char* buffer);  // buffer: 8192 bytes, zeroed by the caller
