// The printer side of the firmware download protocol, once the printer is in
// download mode. Commands (multi-byte fields little-endian):
//
//   1D 01                 flash size: one byte b, the flash holds (b+1)*65536 bytes
//   1D 0E                 erase: 06 after the erase time (15 on fault)
//   1D 02 nn              block header: 06, or 15 unless nn is the next block
//                         (0 after the erase, then +1, the previous block full)
//                         and lies within the flash
//   1D 11 aL aH lL lH ... data header and l data bytes: 06, or 15 unless a
//                         block header came first, a is the next offset in the
//                         block, l > 0 and a + l <= 65536 within the flash
//   1D 06                 check CRC: 06 when the erase and every block and
//                         data frame since were accepted and a block was
//                         written, else 15
//   1D 0F                 read CRC: 06, CRC low, CRC high
//   1D FF                 leave download mode (no reply)
//
// The CRC is CRC-16/CCITT-FALSE over the flash contents written since the
// erase, from offset 0 to the last byte written (writes are strictly in order,
// so these bytes are contiguous). Another command byte after 1D is answered
// with 15; a byte other than 1D where a command should start is ignored.
// Faults (CSimFaults) change replies as documented there.
// Not thread-safe: the printer core owns it and runs it on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "SimFaults.h"

struct SIM_REPLY {
  std::vector<uint8_t> bytes;
  uint32_t dwDelayMs = 0;  // send no sooner than this long after the reply is made
};

struct FLASH_CONFIG {
  uint8_t bySizeCode = 0xFF;  // flash of (code+1)*64 KiB; 0xFF = 16 MiB
  uint32_t dwEraseMs = 100;
  bool bUsbStyle = false;  // answer the switch frame with 'S'
  int nSwitchReply = -1;   // byte answering the switch frame otherwise; -1 none
};

class CFlashDevice {
 public:
  static constexpr uint8_t kAck = 0x06;
  static constexpr uint8_t kNak = 0x15;
  static constexpr uint32_t kBlockSize = 65536;

  void SetConfig(const FLASH_CONFIG& config) { m_config = config; }
  const FLASH_CONFIG& GetConfig() const { return m_config; }
  static bool IsCommand(uint8_t code);

  // The switch frame arrived: enter download mode and answer it.
  void Enter(const CSimFaults& faults, std::vector<SIM_REPLY>& out);
  // Feeds bytes in download mode; returns how many were taken. Stops right
  // after 1D FF, which leaves download mode.
  size_t Feed(const uint8_t* data, size_t length, const CSimFaults& faults,
              std::vector<SIM_REPLY>& out);
  bool IsInDownloadMode() const { return m_bDownloadMode; }
  // The switch turned out to be print data: leave download mode quietly.
  void Cancel() { m_bDownloadMode = false; }

  const std::vector<uint8_t>& GetImage() const { return m_image; }
  uint16_t GetCrc() const { return m_wCrc; }
  uint32_t GetBlocks() const { return m_dwBlocks; }          // accepted since the erase
  uint32_t GetDataFrames() const { return m_dwDataFrames; }  // in this session
  uint32_t GetNaks() const { return m_dwNaks; }
  uint64_t GetIgnoredBytes() const { return m_qwIgnored; }
  uint32_t GetSessions() const { return m_dwSessions; }

 private:
  enum class State { Command, Code, BlockNumber, DataHeader, DataBytes };

  void OnCommand(uint8_t code, const CSimFaults& faults, std::vector<SIM_REPLY>& out);
  void OnErase(const CSimFaults& faults, std::vector<SIM_REPLY>& out);
  void OnBlock(uint8_t block, const CSimFaults& faults, std::vector<SIM_REPLY>& out);
  void OnDataFrame(const CSimFaults& faults, std::vector<SIM_REPLY>& out);
  bool DataFrameFits() const;
  uint64_t Capacity() const { return (uint64_t{m_config.bySizeCode} + 1) * kBlockSize; }
  // Sends `normal` for this step after applying the faults.
  void Reply(FlashStep step, int index, std::vector<uint8_t> normal, uint32_t delayMs,
             const CSimFaults& faults, std::vector<SIM_REPLY>& out);
  bool AckOrNak(FlashStep step, int index, bool ok, uint32_t delayMs, const CSimFaults& faults,
                std::vector<SIM_REPLY>& out);

  FLASH_CONFIG m_config;
  bool m_bDownloadMode = false;
  State m_nState = State::Command;
  uint8_t m_header[4] = {};
  size_t m_nHeader = 0;
  std::vector<uint8_t> m_frame;
  size_t m_nFrameLength = 0;

  bool m_bErased = false;
  bool m_bFailed = false;   // something since the erase was refused
  int m_nBlock = -1;        // current block, -1 before the first header
  uint32_t m_dwOffset = 0;  // next offset within the current block
  std::vector<uint8_t> m_image;
  uint16_t m_wCrc = 0xFFFF;
  uint32_t m_dwBlocks = 0;
  uint32_t m_dwDataFrames = 0;
  uint32_t m_dwNaks = 0;
  uint64_t m_qwIgnored = 0;
  uint32_t m_dwSessions = 0;
};
