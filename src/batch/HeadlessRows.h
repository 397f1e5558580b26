// The receive lists of a headless run, printed as their rows: each row of
// the data list and of the USM list becomes one line on stdout, formatted as
// the list shows it (CHexRows::FormatRow), after the list's name, with no
// trailing blanks. These line formats are stable (scripts read them):
//   data 1B 40 41 42 43 44 45 46 - 47 48 49 4A 4B 4C 4D 4E   @ABCDEFGHIJKLMN
//   usm  14 00 00 0F 14 00 00 0F                                ........
// A row is printed once it is complete (16 bytes), when the list breaks the
// row (an operation starts) and at the end (FlushPartial): the rows the
// lists hold, never a row the list would go on filling (a 4-byte status
// message is not a row of its own). A decoded printer status follows the
// row it was read from as a line of its own (PrintLine), once that row has
// been printed:
//   status DLE EOT 4: paper near end
//
// Threading: the window thread only. The stream is not owned.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "codec/HexRows.h"

class CHeadlessRows {
 public:
  enum Channel { kData = 0, kUsm = 1 };
  explicit CHeadlessRows(std::FILE* out) : m_pOut(out) {}
  void Append(Channel channel, const BYTE* bytes, size_t count);
  // The next byte of `channel` starts a new row (the partial one is printed).
  void BreakRow(Channel channel);
  // Prints both partial rows.
  void FlushPartial();
  // Prints `text` as a line of its own after the row of `channel` that is
  // being filled (at once when none is).
  void PrintLine(Channel channel, const char* text);
  // A firmware download's replies are the protocol's, not the printer's
  // data: while `owned`, the data channel's bytes are not printed. The
  // window sets it when a download starts and clears it when another action
  // starts (replies may still be on their way when the download has ended).
  void SetDataOwnedByProtocol(bool owned) { m_bDataMuted = owned; }

 private:
  void PrintRow(Channel channel);

  std::FILE* m_pOut;
  BYTE m_row[2][CHexRows::kRowBytes] = {};
  int m_nFill[2] = {0, 0};
  std::vector<std::string> m_pendingLines[2];  // after the row being filled
  bool m_bDataMuted = false;
};
