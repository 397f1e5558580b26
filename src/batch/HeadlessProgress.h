// The progress of a headless run, written where no progress bar can be seen.
//
// On a terminal one live line is rewritten in place ("\r" first): the
// percent, the pass and the last transfer rate. Anywhere else (a pipe, a
// file, a log) one plain line per 10 % step, so a script's log stays short:
//   progress 40% (pass 2)
// End() finishes the live line with a newline; plain output has nothing to
// finish. Results a script wants (the firmware CRC) go to the result stream
// (stdout) as one line each: "CRC = 1A2B".
//
// Threading: the window thread only (the logic calls it from ShowProgress
// and the rate message). The stream is not owned and must outlive the object.
#pragma once

#include <cstdio>

class CHeadlessProgress {
 public:
  CHeadlessProgress(std::FILE* out, bool terminal) : m_pOut(out), m_bTerminal(terminal) {}
  // percent 0..100; pass: the repeat number shown beside it, -1 none.
  void OnProgress(int percent, int pass);
  // rate: the rate the window shows (KB/s); a negative value clears it.
  void OnRate(double rate);
  void End();
  // The CRC the printer reported after a firmware download.
  void OnFlashCrc(unsigned crc);
  void SetResultOutput(std::FILE* out) { m_pResults = out; }

 private:
  void WriteLiveLine();

  std::FILE* m_pOut;
  std::FILE* m_pResults = stdout;
  bool m_bTerminal;
  int m_nPercent = -1;
  int m_nPass = -1;
  int m_nLastStep = -1;  // plain output: the last 10 % step printed in this pass
  double m_dRate = -1.0;
  bool m_bLineOpen = false;
};
