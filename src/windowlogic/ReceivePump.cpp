#include "windowlogic/ReceivePump.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "batch/HeadlessRows.h"
#include "engine/RxFeed.h"
#include "engine/TransferGlobals.h"
#include "log/DataLog.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "platform/StopRequest.h"

namespace {

void LogBlock(const char* format, const BYTE* bytes, size_t count) {
  if (!g_pDataLog)
    return;
  char line[64];
  std::snprintf(line, sizeof line, format, static_cast<int>(count));
  g_pDataLog->Log(line, bytes, static_cast<DWORD>(count));
}

}  // namespace

CReceivePump::~CReceivePump() {
  g_RxDataFeed.SetEnabled(false);
  g_RxUsmFeed.SetEnabled(false);
}

void CReceivePump::Start() {
  g_RxDataFeed.SetEnabled(true);
  g_RxUsmFeed.SetEnabled(true);
  m_bRunning = true;
}

bool CReceivePump::WantsSettle() const {
  return m_pRowEcho != nullptr && m_bRunning && !IsStopRequested();
}

void CReceivePump::Stop(bool settle) {
  // A headless run prints what the printer answered: its output is all there
  // is. A reply to the last bytes sent may still be on its way when the
  // action ends, so take what comes until the line has been quiet a moment.
  if (settle && WantsSettle())
    TakeUntilQuiet();
  m_bRunning = false;
  g_RxDataFeed.SetEnabled(false);
  g_RxUsmFeed.SetEnabled(false);
}

void CReceivePump::TakeUntilQuiet() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSettleMaxMs);
  Clock::time_point quietSince = Clock::now();
  while (Clock::now() - quietSince < std::chrono::milliseconds(kSettleQuietMs) &&
         Clock::now() < deadline) {
    if (Poll() > 0)
      quietSince = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettlePollMs));
  }
}

size_t CReceivePump::Poll() {
  // The lists copy the bytes into their own storage; the feed's blocks go
  // back to the feed, so the reader keeps writing into memory it has mapped.
  // The times follow the bytes into the lists, counted as the lists count.
  const std::int64_t wallOffset = CRxBlockTimes::WallOffsetMs();
  const size_t data = g_RxDataFeed.Take(&m_taken, &m_marks);
  for (const CRxFeed::Block& block : m_taken)
    OnRxData(block.data(), block.size());
  g_RxDataFeed.Recycle(&m_taken);
  m_dataTimes.AddTake(m_marks, data, wallOffset);
  const size_t usm = g_RxUsmFeed.Take(&m_taken, &m_marks);
  for (const CRxFeed::Block& block : m_taken)
    OnRxUsm(block.data(), block.size());
  g_RxUsmFeed.Recycle(&m_taken);
  m_usmTimes.AddTake(m_marks, usm, wallOffset);
  return data + usm;
}

void CReceivePump::OnRxData(const BYTE* bytes, size_t count) {
  LogBlock("Data Received. Size = %d bytes\n", bytes, count);
  if (m_pRowEcho)
    m_pRowEcho->Append(CHeadlessRows::kData, bytes, count);
  if (m_fnRxTap)
    m_fnRxTap(WM_RX_DATA, bytes, count);
  if (m_pLists)
    m_pLists->AppendData(bytes, count);
  m_status.OnData(bytes, count, NowMs(), m_statusTexts);
  ShowStatus(false);
}

void CReceivePump::OnRxUsm(const BYTE* bytes, size_t count) {
  LogBlock("USM Data Received. Size = %d bytes\n", bytes, count);
  if (m_pRowEcho)
    m_pRowEcho->Append(CHeadlessRows::kUsm, bytes, count);
  if (m_fnRxTap)
    m_fnRxTap(WM_RX_USM, bytes, count);
  if (m_pLists)
    m_pLists->AppendUsm(bytes, count);
  m_status.OnUsm(bytes, count, m_statusTexts);
  ShowStatus(true);
}

void CReceivePump::NoteStringSent(const BYTE* bytes, size_t count) {
  m_status.OnSent(bytes, count, NowMs());
}

void CReceivePump::ShowStatus(bool usm) {
  for (const PRINTER_STATUS_TEXT& text : m_statusTexts) {
    const std::string line = text.Line();
    if (m_fnStatusTap)
      m_fnStatusTap(text);
    if (g_pDataLog)
      g_pDataLog->Log((line + "\n").c_str());
    if (m_pRowEcho)
      m_pRowEcho->PrintLine(usm ? CHeadlessRows::kUsm : CHeadlessRows::kData, line.c_str());
    if (m_pLists)
      m_pLists->ShowStatus(text);
  }
  m_statusTexts.clear();
}

void CReceivePump::StartNewDataRow() {
  Poll();  // what arrived before the operation stays on its rows
  if (m_pLists)
    m_pLists->BreakDataRow();
  if (m_pRowEcho)
    m_pRowEcho->BreakRow(CHeadlessRows::kData);
}

void CReceivePump::ClearBuffer() {
  // The engine drops what the feeds hold under the reader's lock, so nothing
  // received before the clear reaches the emptied lists afterwards.
  g_TransferEngine.ClearReceivedData();
  m_dataTimes.Clear();
  m_usmTimes.Clear();
  if (m_pLists)
    m_pLists->ClearLists();
  if (g_pDataLog)
    g_pDataLog->Log("Clear RX Data Buffer");
}

void CReceivePump::SetIdleGapMs(std::uint32_t ms) {
  m_dataTimes.SetIdleGapMs(ms);
  m_usmTimes.SetIdleGapMs(ms);
}
