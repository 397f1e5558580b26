// What the virtual printer does with the bytes it receives on its data
// channel, without any I/O: the caller feeds bytes and sends the replies.
//
// Print data: every byte received outside download mode, except the frame
// 1B 5B 7D that switches into it (and what follows while in download mode).
// Print data are counted, hashed (SHA-256) and written to the capture file
// (flushed at once, so that a script can watch it grow);
// with packet mode on, they are first decoded as packet frames and only the
// data of good frames are counted, hashed and captured.
// Real-time status: DLE EOT n (10 04 n, n = 1..4) is answered with one status
// byte for the current printer state (CPrinterState; online: 16 for n = 1,
// otherwise 12); the three bytes remain print data.
// Echo: every received print-data byte (before packet decoding) is sent back.
// Download mode: after 1B 5B 7D, the printer answers the switch at once, but
// holds the following bytes until 1D and a known command code confirm the
// download. Anything else means the three bytes were ordinary print data
// (a file may well contain them), and everything held is handled as such.
// Not thread-safe: the owner runs it on one thread or locks around it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FlashDevice.h"
#include "PacketDecoder.h"
#include "PrinterState.h"
#include "Sha256.h"
#include "SimFaults.h"

struct PRINTER_CORE_CONFIG {
  bool bPacket = false;
  bool bEcho = false;
  bool bFirmware = true;     // false: 1B 5B 7D is plain print data
  FILE* pCapture = nullptr;  // not owned; print data are appended
  FLASH_CONFIG flash;
};

class CPrinterCore {
 public:
  void SetConfig(const PRINTER_CORE_CONFIG& config);
  // The state later status requests are answered from.
  void SetState(const CPrinterState& state) { m_state = state; }
  // Handles received bytes; replies for the sender are appended to `out`.
  void Process(const uint8_t* data, size_t length, const CSimFaults& faults,
               std::vector<SIM_REPLY>& out);
  // Hands bytes still held (a partial switch frame, an unconfirmed switch) on
  // as print data: call at the end of the input.
  void Flush(const CSimFaults& faults, std::vector<SIM_REPLY>& out);
  // A restart: back to normal mode, bytes held for a switch frame dropped
  // (the flash keeps what was written).
  void Restart();

  uint64_t GetPrintBytes() const { return m_qwPrintBytes; }
  uint64_t GetRawBytes() const { return m_qwRawBytes; }
  std::string GetSha256() const { return m_sha.HexDigest(); }
  uint64_t GetStatusReplies() const { return m_qwStatusReplies; }
  bool IsInDownloadMode() const { return m_nMode != Mode::Normal; }
  const CPacketDecoder& GetPacketDecoder() const { return m_packet; }
  const CFlashDevice& GetFlash() const { return m_flash; }

 private:
  enum class Mode { Normal, Tentative, Download };

  // Each returns how many bytes it took; they stop when the mode changes.
  void Dispatch(const uint8_t* data, size_t length, const CSimFaults& faults,
                std::vector<SIM_REPLY>& out);
  size_t ScanNormal(const uint8_t* data, size_t length, const CSimFaults& faults,
                    std::vector<SIM_REPLY>& out);
  size_t FeedTentative(const uint8_t* data, size_t length, const CSimFaults& faults,
                       std::vector<SIM_REPLY>& out);
  // Returns true when this byte completed the switch frame.
  bool SlowByte(uint8_t b, const CSimFaults& faults, std::vector<SIM_REPLY>& out);
  void TrackStatusRequest(uint8_t b, std::vector<SIM_REPLY>& out);
  void PrintData(const uint8_t* data, size_t length, std::vector<SIM_REPLY>& out);
  void Accept(const uint8_t* data, size_t length);
  void Revert(const CSimFaults& faults, std::vector<SIM_REPLY>& out);

  PRINTER_CORE_CONFIG m_config;
  CPrinterState m_state;
  Mode m_nMode = Mode::Normal;
  int m_nSwitchMatched = 0;     // bytes of 1B 5B 7D matched and held
  int m_nStatusMatched = 0;     // bytes of 10 04 matched
  std::vector<uint8_t> m_held;  // bytes after the switch frame, before confirmation
  CFlashDevice m_flash;
  CPacketDecoder m_packet;
  CSha256 m_sha;
  uint64_t m_qwPrintBytes = 0;
  uint64_t m_qwRawBytes = 0;
  uint64_t m_qwStatusReplies = 0;
};
