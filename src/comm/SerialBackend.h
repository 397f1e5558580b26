// The serial (RS232) backend over POSIX termios.
//
// Connection values (Comm_IsConnectionValid / Comm_UpdateConnection):
// port = index in the port list (CSerialPortList order), name = its path (may
// be cut short by the caller to kCutNameLength characters: only a name of
// exactly that length that is not an existing path is matched as the
// beginning of a listed path, at the index first; any other name is opened
// as given, so a port that went away fails as not present); the baud,
// parity, flow-control, data-bits and stop-bits indices (SerialSettings.h).
// Nothing is filled in.
//
// Opening: O_NONBLOCK|O_NOCTTY, then an advisory flock (refuses a second
// Sendrix or picocom, also for root) and TIOCEXCL (refuses other openers that
// are not root). Errors: 3 permission, 2 busy, 5 not present, 1 other,
// 4 settings refused, 14 no port at the index.
//
// Status: modem lines by TIOCMGET as 0x10 CTS, 0x20 DSR, 0x40 RING, 0x80 DCD
// (0x100, output held by XOFF, is not visible through termios and never
// set). A port without modem lines (a pseudo-terminal) reports no status,
// quietly. Comm_InitGetDeviceStatus answers at once: 1 with the lines when
// they changed since its last answer, else 0; it never leaves a pending
// operation on the caller's record (the reader thread may end, and its record
// with it, while such an operation would still be pending).
//
// DSR flow control (DSR and DSR/CTS): writes are held while DSR is low; the
// I/O thread re-reads the lines every 20 ms. DSR/CTS adds CRTSCTS.
//
// Closing: an orderly break-down waits until the kernel has sent what was
// written (TIOCOUTQ reaches 0), for at most the line time of the bytes still
// queued plus kDrainMarginMs (capped at kDrainMaxMs + kDrainMarginMs; flow
// control may hold the output for ever), then discards unread input. After
// AbortOutput() (the operator's abort) the queued output is discarded at once.
//
// Thread safety: as ICommBackend. Reads and writes share m_rw; connecting and
// breaking down take it exclusively, so an fd is never closed under a call.
#pragma once

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "comm/CommBackend.h"
#include "comm/CommIoEngine.h"
#include "comm/SerialSettings.h"

class CSerialBackend : public ICommBackend {
 public:
  static constexpr DWORD kReadTimeoutMs = 200;
  static constexpr DWORD kCallerWaitMs = 50;
  // How many characters of a port's name the caller may keep.
  static constexpr size_t kCutNameLength = 11;
  static constexpr DWORD kDrainMarginMs = 500;
  static constexpr DWORD kDrainMaxMs = 10000;
  static constexpr DWORD kDrainPollMs = 5;

  CSerialBackend() = default;
  ~CSerialBackend() override;

  int Setup(ICommErrorSink* errors) override;
  void Cleanup() override;
  unsigned IsConnectionValid(DWORD port, int setupCode, int baud, int parity, int flow,
                             int dataBits, int stopBits) override;
  int UpdateConnection(int readersStopped, DWORD& port, char* name, int& baud, int& parity,
                       int& flow, int& dataBits, int& stopBits) override;
  int BreakDown() override;
  int IsConnected() override;
  int IsPortAvailable() override;
  bool HasChannel(int channel) override;
  int Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) override;
  int Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) override;
  CommPacketSizes PacketSizes() override;
  DWORD ReadTimeout() override { return kReadTimeoutMs; }
  int InitGetDeviceStatus(void* buffer, DWORD length, DWORD* outLength, OVERLAPPED& ov) override;
  int GetDeviceStatus(void* buffer, DWORD length, DWORD& status) override;
  int IsDevicePresent() override;
  int GetPortParams(int& usmChannel, int& rtChannel, const char* prefix, int& count,
                    char (*table)[128], int capacity) override;
  int SetDeviceParams(const char*) override { return 0; }
  void ShowPortProperties(char* buffer, size_t size) override;
  void AbortOutput() override;

  // Line-status bits of the open port; false without modem lines.
  bool ReadLineStatus(DWORD* status) const;

 private:
  std::string ResolvePath(DWORD port, const char* name);
  int Open(const std::string& path, const SerialParams& params);
  void Close();
  void DrainOutput();
  DWORD DrainLimitMs(DWORD queued) const;
  CommIoRequest Request(OVERLAPPED* ov) const;
  DWORD WriteIdleTimeoutMs() const;

  ICommErrorSink* m_pErrors = nullptr;
  std::shared_mutex m_rw;  // guards the connection members below
  int m_fd = -1;
  std::string m_strPath;
  DWORD m_nPort = 0;
  SerialParams m_params;
  bool m_bModemLines = false;
  std::atomic<bool> m_bAbortOutput{false};
  std::atomic<DWORD> m_lastReportedStatus{0xFFFFFFFFu};
  std::mutex m_portsLock;
  std::vector<std::string> m_ports;  // the last enumeration
  CCommIoEngine m_engine;
};
