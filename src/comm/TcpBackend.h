// The TCP/IP (Ethernet print server) backend: three connections to the
// printer's address, the main port, the real-time port and the USM port.
//
// Comm_IsConnectionValid(address, setupCode, mainPort, outputSel, rtPort,
// usmPort, -): 2 no connection; 1 other address/ports/output, or the printer
// closed (or reset) a connection in use; 0 unchanged and alive.
//
// Comm_UpdateConnection(-, address, macText, mainPort, usm, rt, outputSel,
// completion): address is IPv4 in host order (first octet most significant).
// On entry usm and rt hold the USM and real-time port numbers (0 = none).
// All three connections are tried at once, non-blocking, for at most
// kConnectTimeoutMs. Filled in:
//   completion = 1 when the main connection is up (data in and out), else 0;
//   rt  = 1 when the real-time connection is up, else 0;
//   usm = 1 when the USM connection is up, else 0 (the USM reader runs on 1);
//   macText (50 bytes, may be null) = the server's MAC from the kernel's
//   neighbour table, "XX-XX-XX-XX-XX-XX", empty when unknown (loopback).
// Result: nonzero when the connection selected for output (main or real
// time) is up. A failed main or selected connection gives comm error 10
// ("address:port", reason) or 8 (time-out); a missing real-time or USM
// channel is not an error (the server may not offer it).
//
// Channels: TX = main or real-time connection by outputSel; RX = main;
// RX USM = USM connection. Keep-alive (5 s idle, 3 probes 2 s apart) and
// TCP_USER_TIMEOUT (10 s) notice a dead printer; a connection the printer
// closes ends its pending read with ERROR_BROKEN_PIPE and comm error 7.
//
// Discovery (Comm_GetPortParams with a null prefix) and device-setup frames
// (Comm_SetDeviceParams): EthernetDiscovery.h.
//
// Closing: an orderly break-down ends the output of each connection
// (shutdown SHUT_WR) and discards input until the printer has acknowledged
// every byte sent (SIOCOUTQ 0), at most kCloseDrainMaxMs and at most
// kCloseIdleMs without progress; only then closes (a close with unread input
// would reset the connection and lose the send queue). After AbortOutput()
// the connections are closed at once.
//
// Thread safety: as ICommBackend; m_rw is shared for I/O, exclusive for
// connecting and breaking down.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "comm/CommBackend.h"
#include "comm/CommIoEngine.h"

class CTcpBackend : public ICommBackend {
 public:
  static constexpr DWORD kConnectTimeoutMs = 3000;
  static constexpr DWORD kReadTimeoutMs = 500;
  static constexpr DWORD kCallerWaitMs = 50;
  static constexpr DWORD kWriteIdleTimeoutMs = 10000;
  static constexpr int64_t kCloseDrainMaxMs = 10000;
  static constexpr int64_t kCloseIdleMs = 2000;
  static constexpr DWORD kClosePollMs = 5;
  static constexpr int kMain = 0, kRealTime = 1, kUsm = 2;

  ~CTcpBackend() override;

  int Setup(ICommErrorSink* errors) override;
  void Cleanup() override;
  unsigned IsConnectionValid(DWORD address, int setupCode, int mainPort, int outputSel, int rtPort,
                             int usmPort, int unused) override;
  int UpdateConnection(int readersStopped, DWORD& address, char* macText, int& mainPort, int& usm,
                       int& rt, int& outputSel, int& completion) override;
  int BreakDown() override;
  int IsConnected() override;
  int IsPortAvailable() override;
  bool HasChannel(int channel) override;
  int Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) override;
  int Read(int channel, void* buffer, DWORD length, DWORD* read, OVERLAPPED* ov) override;
  CommPacketSizes PacketSizes() override { return {16384, 256, 32768}; }
  DWORD ReadTimeout() override { return kReadTimeoutMs; }
  int InitGetDeviceStatus(void*, DWORD, DWORD*, OVERLAPPED&) override { return 0; }
  int GetDeviceStatus(void*, DWORD, DWORD&) override { return 0; }
  int IsDevicePresent() override { return IsConnected(); }
  int GetPortParams(int& usmChannel, int& rtChannel, const char* prefix, int& count,
                    char (*table)[128], int capacity) override;
  int SetDeviceParams(const char* frame) override;
  void ShowPortProperties(char* buffer, size_t size) override;
  void AbortOutput() override;
  // Waits until the printer has acknowledged every byte on the output
  // connection (SIOCOUTQ 0) or the connection is closed (reset).
  int WaitOutputSent(DWORD waitMs, DWORD* pending) override;

  // "XX-XX-XX-XX-XX-XX" for a host-order IPv4 address from a neighbour table
  // in /proc/net/arp format; empty when not listed or incomplete.
  static std::string MacFromNeighbourTable(const std::string& table, DWORD address);

 private:
  struct Connection {
    int fd = -1;
    int port = 0;
    std::atomic<bool> closedByPeer{false};
  };
  int TxIndex() const { return m_nOutputSel == 1 ? kRealTime : kMain; }
  std::string Endpoint(int port) const;
  void ConnectAll(const int ports[3], int errors[3]);
  CommIoRequest Request(int index, OVERLAPPED* ov);
  static void OnFailure(void* context, uint64_t tag, DWORD error);
  bool Alive(int index);
  void Close();
  void DrainConnections();

  ICommErrorSink* m_pErrors = nullptr;
  std::shared_mutex m_rw;
  DWORD m_dwAddress = 0;
  int m_nOutputSel = 0;
  bool m_bConnected = false;
  std::atomic<bool> m_bAbortOutput{false};
  // Counts connections, so that a late failure report of an old connection
  // is not taken for the current one.
  std::atomic<unsigned> m_nGeneration{0};
  Connection m_conn[3];
  std::string m_strMac;
  std::mutex m_endpointLock;  // the failure report reads these without m_rw
  std::string m_strEndpoint[3];
  CCommIoEngine m_engine;
};
