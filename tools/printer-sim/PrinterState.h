// The printer's condition (online, cover, paper, drawer, error) and how the
// virtual printer reports it: the one-byte answers to DLE EOT n (10 04 n,
// n = 1..4) and the 4-byte automatic status message on the USM port, with
// the bit layouts common to ESC/POS printers (docs/printer-sim.md has the
// tables and their sources).
//
// A state follows from its conditions as on a real printer: an open cover,
// paper out and an error also take it offline, and paper out also trips the
// near-end sensor. The drawer's switch holds pin 3 of the drawer connector
// high while the drawer is closed, so the state "online" answers 16 to
// DLE EOT 1 and 14 00 00 0F as its automatic status.
// Not thread-safe: plain values, copied under the owner's lock.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CPrinterState {
 public:
  // LIST is comma-separated from online, offline, cover-open, paper-near-end,
  // paper-out, drawer-open and error. False with a reason for an unknown
  // word, an empty item, or online together with a condition that takes the
  // printer offline.
  static bool Parse(const std::string& list, CPrinterState& state, std::string& error);

  // The status byte answering DLE EOT n; 0 for an n outside 1..4.
  uint8_t StatusByte(uint8_t n) const;
  std::array<uint8_t, 4> AutomaticStatus() const;

  bool IsOffline() const { return m_bOffline || m_bCoverOpen || m_bPaperOut || m_bError; }
  bool operator==(const CPrinterState& other) const = default;

 private:
  bool m_bOffline = false;
  bool m_bCoverOpen = false;
  bool m_bPaperNearEnd = false;
  bool m_bPaperOut = false;
  bool m_bDrawerOpen = false;
  bool m_bError = false;  // an auto-cutter error (a recoverable one)
};

// The state the printer takes at a time after its start (--state-at MS:LIST).
struct SIM_STATE_STEP {
  uint32_t dwAtMs = 0;
  CPrinterState state;
};
