// The interface each interface backend (serial, USB, TCP/IP) implements
// behind the Comm_* functions. The library keeps one backend at a time, made
// by Comm_OpenSetup from the factory registered for its type
// (CommBackendRegistry.h), and forwards every call to it.
//
// Contract for implementers:
//  - Every member may be called from any thread, also concurrently (a reader
//    thread reads while a transmit thread writes and the main thread asks for
//    the status); the backend guards its own state.
//  - Setup() is called once, before any other member; Cleanup() once at the
//    end, after BreakDown(). The object is destroyed after Cleanup().
//  - Read/Write follow the overlapped contract of Cablox.h: nonzero = done at
//    once (the record is completed too, so its event is set); 0 with last
//    error 997 = pending, completed later with CompleteOverlapped; 0 with any
//    other last error = failed. A new operation on a record whose previous
//    operation is still pending cancels that one first (completed with 995).
//  - BreakDown() completes every pending operation with 995 before it
//    returns; afterwards no record of the caller is touched again. Bytes a
//    completed write handed over still reach the device (unless
//    AbortOutput() came first).
//  - No member blocks longer than a bounded time-out (each backend documents
//    its own in docs/comm-library.md).
//  - Errors go to the sink given to Setup(), never to the user directly.
#pragma once

#include <cstddef>

#include "platform/Overlapped.h"
#include "platform/Win32Types.h"

// The three channels of a connection.
inline constexpr int COMM_CHANNEL_TX = 0;
inline constexpr int COMM_CHANNEL_RX = 1;
inline constexpr int COMM_CHANNEL_RX_USM = 2;
inline constexpr int COMM_CHANNEL_COUNT = 3;

// Comm-error codes carried by WM_SHOW_ERROR (texts in the text library).
inline constexpr int COMM_ERR_OPEN_FAILED = 1;          // text1 port/device, text2 reason
inline constexpr int COMM_ERR_PORT_BUSY = 2;            // text1 port
inline constexpr int COMM_ERR_PERMISSION = 3;           // text1 port (join `dialout`)
inline constexpr int COMM_ERR_SETTINGS_REFUSED = 4;     // text1 port, text2 reason
inline constexpr int COMM_ERR_NOT_PRESENT = 5;          // text1 port/device
inline constexpr int COMM_ERR_USB_BUSY = 6;             // text1 device
inline constexpr int COMM_ERR_CLOSED_BY_PEER = 7;       // text1 address:port
inline constexpr int COMM_ERR_CONNECT_TIMEOUT = 8;      // text1 address:port
inline constexpr int COMM_ERR_DISCOVERY_FAILED = 9;     // text1 address:port, text2 reason
inline constexpr int COMM_ERR_TCP_CONNECT_FAILED = 10;  // text1 address:port, text2 reason
inline constexpr int COMM_ERR_USB_TRANSFER = 11;        // text1 device, text2 reason
inline constexpr int COMM_ERR_USB_UNAVAILABLE = 12;     // text2 reason
inline constexpr int COMM_ERR_USB_NO_PRINTER_IF = 13;   // text1 device
inline constexpr int COMM_ERR_INVALID_INDEX = 14;       // text1 the index
inline constexpr int COMM_ERR_FRAME_NOT_SENT = 15;      // for callers of Comm_SetDeviceParams

// Where a backend reports errors. The library turns them into WM_SHOW_ERROR
// and WM_LOG_SYSTEM_ERROR for the owner window. Callable from any thread,
// never blocks; null texts are taken as empty, longer texts are cut to 127.
class ICommErrorSink {
 public:
  virtual ~ICommErrorSink() = default;
  virtual void ShowCommError(int code, const char* text1, const char* text2) = 0;
  virtual void LogSystemError(DWORD code) = 0;
};

struct CommPacketSizes {
  unsigned comm = 4096;      // bytes per file write
  unsigned string = 256;     // bytes per string write
  unsigned download = 4096;  // file buffer and firmware packet; >= comm, <= 32768
};

class ICommBackend {
 public:
  virtual ~ICommBackend() = default;

  // nonzero = set up. `errors` outlives the backend.
  virtual int Setup(ICommErrorSink* errors) = 0;
  virtual void Cleanup() = 0;

  // The values are named by what each backend reads or fills in: serial
  // (baud, parity, flow, data bits, stop bits), USB (output port; USM and
  // real-time flags filled in) and TCP/IP (main port, output selection,
  // real-time port, USM port; USM, real-time and completion flags filled
  // in); see Comm_IsConnectionValid and Comm_UpdateConnection in
  // docs/comm-library.md.
  virtual unsigned IsConnectionValid(DWORD port, int setupCode, int baudMainOrOutput,
                                     int parityOrOutputSel, int flowOrRtPort, int dataBitsOrUsmPort,
                                     int stopBits) = 0;
  virtual int UpdateConnection(int readersStopped, DWORD& port, char* name, int& baudMainOrOutput,
                               int& parityOrUsm, int& flowOrRealTime, int& dataBitsOrOutputSel,
                               int& stopBitsOrCompletion) = 0;
  virtual int BreakDown() = 0;
  virtual int IsConnected() = 0;
  // nonzero = the output channel can carry bytes (controls on, readers start).
  virtual int IsPortAvailable() = 0;
  // Whether the channel exists on the current connection (its handle is then
  // non-null).
  virtual bool HasChannel(int channel) = 0;

  // channel: COMM_CHANNEL_TX for Write; RX or RX_USM for Read.
  virtual int Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) = 0;
  virtual int Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) = 0;

  virtual CommPacketSizes PacketSizes() = 0;
  virtual DWORD ReadTimeout() = 0;

  // As Comm_InitGetDeviceStatus / Comm_GetDeviceStatus / Comm_IsDevicePresent.
  virtual int InitGetDeviceStatus(void* buffer, DWORD length, DWORD* outLength, OVERLAPPED& ov) = 0;
  virtual int GetDeviceStatus(void* buffer, DWORD length, DWORD& status) = 0;
  virtual int IsDevicePresent() = 0;

  // Enumeration or discovery: at most `capacity` records of 128 bytes.
  virtual int GetPortParams(int& usmChannel, int& rtChannel, const char* prefix, int& count,
                            char (*table)[128], int capacity) = 0;
  // Ethernet device-setup frame; other backends return 0.
  virtual int SetDeviceParams(const char* frame) = 0;
  // Fills at most size - 1 characters (the buffer stays terminated).
  virtual void ShowPortProperties(char* buffer, size_t size) = 0;
  // The output written so far was abandoned (the operator aborted the
  // transfer): the next break-down may discard what has not gone out yet
  // instead of waiting for it. A later write withdraws this. Without it a
  // break-down lets the written bytes go out first (bounded per backend).
  virtual void AbortOutput() {}
  // Whether the device has taken what completed writes handed over, waiting
  // at most waitMs: COMM_OUTPUT_SENT (or the backend cannot tell),
  // COMM_OUTPUT_LOST (the connection broke first, bytes not taken) or
  // COMM_OUTPUT_PENDING (bytes still wait); *pending gets how many.
  virtual int WaitOutputSent(DWORD waitMs, DWORD* pending) {
    (void)waitMs;
    *pending = 0;
    return 1;
  }
};
