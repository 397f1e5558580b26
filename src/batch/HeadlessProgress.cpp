#include "batch/HeadlessProgress.h"

void CHeadlessProgress::OnProgress(int percent, int pass) {
  if (percent < 0)
    percent = 0;
  if (percent > 100)
    percent = 100;
  // A new pass (or a new job) starts over at a lower percent.
  if (pass != m_nPass || percent < m_nPercent)
    m_nLastStep = -1;
  m_nPercent = percent;
  m_nPass = pass;
  if (m_bTerminal) {
    WriteLiveLine();
    return;
  }
  const int step = percent / 10;
  if (step == m_nLastStep)
    return;
  m_nLastStep = step;
  if (pass > 0)
    std::fprintf(m_pOut, "progress %d%% (pass %d)\n", percent, pass);
  else
    std::fprintf(m_pOut, "progress %d%%\n", percent);
  std::fflush(m_pOut);
}

void CHeadlessProgress::OnRate(double rate) {
  m_dRate = rate;
  if (m_bTerminal && m_nPercent >= 0)
    WriteLiveLine();
}

void CHeadlessProgress::WriteLiveLine() {
  char pass[32] = "";
  char rate[32] = "";
  if (m_nPass > 0)
    std::snprintf(pass, sizeof pass, " (pass %d)", m_nPass);
  if (m_dRate >= 0.0)
    std::snprintf(rate, sizeof rate, "  %.1f KB/s", m_dRate);
  // "\x1b[K" clears what a longer earlier line left behind.
  std::fprintf(m_pOut, "\rprogress %3d%%%s%s\x1b[K", m_nPercent, pass, rate);
  std::fflush(m_pOut);
  m_bLineOpen = true;
}

void CHeadlessProgress::End() {
  if (m_bLineOpen)
    std::fputc('\n', m_pOut);
  std::fflush(m_pOut);
  m_bLineOpen = false;
  m_nPercent = -1;
  m_nPass = -1;
  m_nLastStep = -1;
  m_dRate = -1.0;
}

void CHeadlessProgress::OnFlashCrc(unsigned crc) {
  std::fprintf(m_pResults, "CRC = %04X\n", crc & 0xFFFFu);
  std::fflush(m_pResults);
}
