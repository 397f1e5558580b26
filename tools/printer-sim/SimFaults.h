// The faults the virtual printer can be told to commit, as a plain value.
// Each is switched on by one text, the argument of a --fault option:
//
//   nak-erase | nak-block=N | nak-data=N | nak-crc | nak=STEP
//   silent=STEP | garbage=STEP | xonxoff | xonxoff=STEP | short-readcrc
//   drop-after=N | restart-after=N | hangup-after=N | throttle=R | refuse
//   no-setup-ack
//
// STEP is one of switch, size, erase, block, block:N, data, data:N, crc,
// readcrc. A block is named by its block number (the nn of 1D 02 nn); a data
// frame by its position in the download, counted from 0 when the printer
// enters download mode. "block" and "data" without a number mean all of them.
// Not thread-safe: the owner copies it under its own lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class FlashStep { Switch, Size, Erase, Block, Data, CheckCrc, ReadCrc };

struct SIM_FAULT_POINT {
  FlashStep nStep;
  int nIndex;  // -1: every block or data frame (and the only value of other steps)
};

class CSimFaults {
 public:
  static constexpr uint8_t kGarbageByte = 0x3F;

  // Adds the fault named by `text`; false with a reason in `error` if unknown.
  bool Add(const std::string& text, std::string& error);
  void Clear() { *this = CSimFaults(); }

  bool IsNak(FlashStep step, int index) const { return Matches(m_nak, step, index); }
  bool IsSilent(FlashStep step, int index) const { return Matches(m_silent, step, index); }
  bool IsGarbage(FlashStep step, int index) const { return Matches(m_garbage, step, index); }
  bool IsXonXoff(FlashStep step, int index) const;

  // The points, for tests and for the programmatic switches.
  std::vector<SIM_FAULT_POINT> m_nak;
  std::vector<SIM_FAULT_POINT> m_silent;
  std::vector<SIM_FAULT_POINT> m_garbage;
  std::vector<SIM_FAULT_POINT> m_xonxoff;
  bool m_bXonXoffAll = false;     // XOFF XON before every one-byte reply
  bool m_bShortReadCrc = false;   // read-CRC reply cut to its first two bytes
  uint64_t m_qwDropAfter = 0;     // close the next data connection after N bytes; 0 off
  uint64_t m_qwRestartAfter = 0;  // restart once N more data bytes have come in; 0 off
  uint64_t m_qwHangupAfter = 0;   // hang the pseudo-terminal up after N bytes on it; 0 off
  uint32_t m_dwThrottle = 0;      // read at most R bytes/s; 0 off
  bool m_bRefuse = false;         // TCP ports refuse connections
  bool m_bNoSetupAck = false;     // obey device-setup frames without acknowledging

 private:
  static bool Matches(const std::vector<SIM_FAULT_POINT>& points, FlashStep step, int index);
};

// Parses a STEP text as described above.
bool ParseFlashStep(const std::string& text, SIM_FAULT_POINT& point);
const char* FlashStepName(FlashStep step);
