#include "windowlogic/ReceivePump.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "batch/HeadlessRows.h"
#include "engine/RxFeed.h"
#include "engine/TransferEngine.h"
#include "log/DataLog.h"
#include "platform/Clock.h"
#include "platform/StopRequest.h"

namespace {

void LogBlock(CDataLogHolder& log, const char* format, const BYTE* bytes, size_t count) {
  if (!log)
    return;
  char line[64];
  std::snprintf(line, sizeof line, format, static_cast<int>(count));
  log->Log(line, bytes, static_cast<DWORD>(count));
}

}  // namespace

CReceivePump::~CReceivePump() {
  m_engine.m_io.rxDataFeed.SetEnabled(false);
  m_engine.m_io.rxUsmFeed.SetEnabled(false);
}

void CReceivePump::Start() {
  ReadDataFromFile(m_engine.EnableDisplayFeeds(true) == 1);
  m_bRunning = true;
}

void CReceivePump::ReadDataFromFile(bool inStep) {
  m_bDataFileInStep = inStep;
  m_nDataShown = 0;
  m_nBacklog = 0;
  m_engine.m_io.rxDataFeed.SetLimit(inStep ? kFeedLimit : 0);
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
  if (m_pRowEcho != nullptr && m_bRunning && !IsStopRequested()) {
    while (m_nBacklog > 0 && CatchUp() > 0) {  // every row is printed
    }
  }
  m_bRunning = false;
  m_engine.EnableDisplayFeeds(false);
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
  m_bPolling = true;
  // The lists take what they need of the bytes; the feed's blocks go back
  // to the feed, so the reader keeps writing into memory it has mapped.
  // The times follow the bytes, counted as the lists count them: the marks
  // cover the bytes read back from the file later too.
  const std::int64_t wallOffset = CRxBlockTimes::WallOffsetMs();
  size_t skipped = 0;
  const size_t data = m_engine.m_io.rxDataFeed.Take(&m_taken, &m_marks, &skipped);
  m_dataTimes.AddTake(m_marks, data, wallOffset);
  if (m_nBacklog > 0) {
    m_nBacklog += data;  // behind already: these follow, read back in turn
  } else {
    for (const CRxFeed::Block& block : m_taken)
      OnRxData(block.data(), block.size());
    m_nBacklog = skipped;
  }
  m_engine.m_io.rxDataFeed.Recycle(&m_taken);
  const size_t caughtUp = CatchUp();
  const size_t usm = m_engine.m_io.rxUsmFeed.Take(&m_taken, &m_marks);
  for (const CRxFeed::Block& block : m_taken)
    OnRxUsm(block.data(), block.size());
  m_engine.m_io.rxUsmFeed.Recycle(&m_taken);
  m_usmTimes.AddTake(m_marks, usm, wallOffset);
  m_bPolling = false;
  ShowLastStatus();
  return data + caughtUp + usm;
}

size_t CReceivePump::CatchUp() {
  size_t done = 0;
  bool flushed = false;
  while (m_nBacklog > 0 && done < kCatchUpPerPoll) {
    const size_t got = BytesWanted() ? ReadBack() : ShowHeld();
    if (got == 0) {
      if (flushed)
        break;                       // not in the file (yet): the next poll tries again
      m_engine.FlushReceivedData();  // the newest may wait in the reader's batch
      flushed = true;
      continue;
    }
    m_nBacklog -= got;
    done += got;
  }
  return done;
}

bool CReceivePump::BytesWanted() const {
  return m_engine.m_io.dataLog || m_pRowEcho != nullptr || m_fnRxTap || m_status.AwaitsReply();
}

size_t CReceivePump::ReadBack() {
  if (m_readBack.empty())
    m_readBack.resize(kReadBackBlock);
  const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(kReadBackBlock, m_nBacklog));
  DWORD got = 0;
  if (!m_engine.m_io.rxDataFile.ReadAt(m_nDataShown, m_readBack.data(), want, &got))
    return 0;
  if (got > 0)
    OnRxData(m_readBack.data(), got);
  return got;
}

size_t CReceivePump::ShowHeld() {
  std::uint64_t size = 0;
  if (!m_engine.m_io.rxDataFile.GetCurrentSize(&size) || size <= m_nDataShown)
    return 0;
  const size_t count =
      static_cast<size_t>(std::min<std::uint64_t>(m_nBacklog, size - m_nDataShown));
  if (m_pLists != nullptr && !m_pLists->AppendDataHeld(count))
    return ReadBack();
  m_nDataShown += count;
  return count;
}

void CReceivePump::OnRxData(const BYTE* bytes, size_t count) {
  m_nDataShown += count;
  LogBlock(m_engine.m_io.dataLog, "Data Received. Size = %d bytes\n", bytes, count);
  if (m_pRowEcho)
    m_pRowEcho->Append(CHeadlessRows::kData, bytes, count);
  if (m_fnRxTap)
    m_fnRxTap(RxChannel::kData, bytes, count);
  if (m_pLists)
    m_pLists->AppendData(bytes, count);
  m_status.OnData(bytes, count, NowMs(), m_statusTexts);
  for (const PRINTER_STATUS_TEXT& text : m_statusTexts)
    ReportStatus(text, false);
  if (!m_statusTexts.empty()) {
    m_lastReply = m_statusTexts.back();
    m_nextShown = NextShown::kReply;
    m_statusTexts.clear();
  }
  ShowStatusUnlessPolling();
}

void CReceivePump::OnRxUsm(const BYTE* bytes, size_t count) {
  LogBlock(m_engine.m_io.dataLog, "USM Data Received. Size = %d bytes\n", bytes, count);
  if (m_pRowEcho)
    m_pRowEcho->Append(CHeadlessRows::kUsm, bytes, count);
  if (m_fnRxTap)
    m_fnRxTap(RxChannel::kUsm, bytes, count);
  if (m_pLists)
    m_pLists->AppendUsm(bytes, count);
  m_status.OnUsm(bytes, count, [this](const PRINTER_STATUS_TEXT& text) {
    ReportStatus(text, true);
    m_nextShown = NextShown::kAutomatic;
  });
  ShowStatusUnlessPolling();
}

void CReceivePump::NoteStringSent(const BYTE* bytes, size_t count) {
  m_status.OnSent(bytes, count, NowMs());
}

void CReceivePump::ReportStatus(const PRINTER_STATUS_TEXT& text, bool usm) {
  if (m_fnStatusTap)
    m_fnStatusTap(text);
  if (!m_engine.m_io.dataLog && m_pRowEcho == nullptr)
    return;
  const std::string line = text.Line();
  if (m_engine.m_io.dataLog)
    m_engine.m_io.dataLog->Log((line + "\n").c_str());
  if (m_pRowEcho)
    m_pRowEcho->PrintLine(usm ? CHeadlessRows::kUsm : CHeadlessRows::kData, line.c_str());
}

void CReceivePump::ShowStatusUnlessPolling() {
  if (!m_bPolling)
    ShowLastStatus();
}

void CReceivePump::ShowLastStatus() {
  const NextShown next = m_nextShown;
  m_nextShown = NextShown::kNone;
  if (m_pLists == nullptr || next == NextShown::kNone)
    return;
  // Only the status on show needs its bit table (the tooltip).
  m_pLists->ShowStatus(next == NextShown::kReply ? m_lastReply : m_status.LastAutomatic());
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
  const bool emptied = m_engine.ClearReceivedData() == 1;
  ReadDataFromFile(emptied && m_bRunning);  // an emptied file is in step again
  m_dataTimes.Clear();
  m_usmTimes.Clear();
  if (m_pLists)
    m_pLists->ClearLists();
  if (m_engine.m_io.dataLog)
    m_engine.m_io.dataLog->Log("Clear RX Data Buffer");
}

void CReceivePump::SetIdleGapMs(std::uint32_t ms) {
  m_dataTimes.SetIdleGapMs(ms);
  m_usmTimes.SetIdleGapMs(ms);
}
