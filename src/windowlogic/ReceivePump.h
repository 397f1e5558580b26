// CReceivePump: what the receive display does with the bytes the readers
// received, without any widget: it takes the readers' display feeds
// (the engine's rxDataFeed and rxUsmFeed), logs each block, echoes its rows on a
// headless run, hands it to the window's logic (the batch reply watch),
// decodes printer status (CStatusDecoder) and passes the bytes and the
// decoded lines to the lists, when there are lists (IReceiveLists). The Qt
// display polls it from a timer; a run without Qt from its event loop.
//
// Every byte: the feeds keep every received byte until taken, so a list
// shows every byte of each channel in order at any rate. A poll that finds
// nothing costs two lock-and-swaps.
//
// Falling behind: when the received-data file starts empty with the feeds
// (CTransferEngine::EnableDisplayFeeds, or after "Clear Buffer"), data byte
// i is byte i of that file, and the data feed keeps at most kFeedLimit bytes
// waiting (CRxFeed::SetLimit). Beyond that (a stream faster than about
// 25 MB/s, or a window's thread held up by a busy machine) the rest is only
// counted, and each poll reads up to kCatchUpPerPoll of it back from the
// file, logged, echoed, shown and decoded as if it came from the feed, in
// order. When nothing but the lists wants those bytes (no data log, row
// echo or tap, no status request waiting), they are not read at all: the
// data list, which reads its rows from that file, only counts them. The
// limit is small on purpose: the reader is the stream's critical path, and
// a byte it only counts costs it no copy. Memory stays bounded and no poll
// takes long, however far behind the display is.
//
// Printer status: every status decoded goes to the status tap, the data
// log and the row echo, in order, but the lists' status line shows only the
// last one of a poll (or of a block handed over outside a poll): a printer
// that floods its USM channel with status messages costs one status line
// update a poll, not one a message. The decoder's visiting OnUsm keeps the
// cost per message small (no bit table, texts reused).
//
// Arrival times: each poll also hands the feeds' arrival marks to one
// CRxBlockTimes per channel, counted as the lists count their bytes, so a
// list can show when the block holding any of its rows' bytes came; "Clear
// Buffer" clears them with the lists. The bytes are never touched.
//
// Threading: the window's thread only (the poll, the taps and the lists run
// there). Ownership: `lists`, the row echo and the engine (the session's,
// which outlives the pump) are not owned; the feeds are turned off when the
// pump is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "codec/StatusDecoder.h"
#include "engine/RxBlockTimes.h"
#include "engine/RxFeed.h"
#include "platform/Win32Types.h"

class CHeadlessRows;
class CTransferEngine;

// Where the pump shows what it took: the receive lists and the status line.
class IReceiveLists {
 public:
  virtual ~IReceiveLists() = default;
  virtual void AppendData(const BYTE* bytes, size_t count) = 0;
  // Adds `count` data bytes that the received-data file holds already at
  // the list's end, without their copy; false, adding nothing, when the
  // data list does not read that file (the pump then reads and appends them).
  virtual bool AppendDataHeld(size_t count) = 0;
  virtual void AppendUsm(const BYTE* bytes, size_t count) = 0;
  virtual void BreakDataRow() = 0;
  virtual void ClearLists() = 0;
  virtual void ShowStatus(const PRINTER_STATUS_TEXT& status) = 0;
};

class CReceivePump {
 public:
  // How often a display should poll: reply latency against idle cost.
  static constexpr int kPollMs = 10;
  // A headless run's stop waits for the line to be quiet this long, at most
  // kSettleMaxMs, so a reply to the last bytes sent is printed too (the job
  // ended when the printer had taken them, so its answer is on the way);
  // it looks every kSettlePollMs. A stop signal skips the wait.
  static constexpr int kSettleQuietMs = 50;
  static constexpr int kSettleMaxMs = 1000;
  static constexpr int kSettlePollMs = 2;
  static constexpr size_t kFeedLimit = 256 * 1024;
  static constexpr size_t kCatchUpPerPoll = 4 * 1024 * 1024;
  static constexpr size_t kReadBackBlock = 64 * 1024;

  explicit CReceivePump(CTransferEngine& engine, IReceiveLists* lists = nullptr)
      : m_engine(engine), m_pLists(lists) {}
  ~CReceivePump();
  CReceivePump(const CReceivePump&) = delete;
  CReceivePump& operator=(const CReceivePump&) = delete;

  // Turns the feeds on / off. With a row echo, Stop first takes what
  // arrives until the line is quiet (bounded by kSettleMaxMs): it may block
  // the window's thread up to a second; settle = false skips that wait (the
  // caller has already waited, see WantsSettle).
  void Start();
  void Stop(bool settle = true);
  bool IsRunning() const { return m_bRunning; }
  // Whether data byte i shown since the start or the last "Clear Buffer" is
  // byte i of the received-data file (above).
  bool DataFileInStep() const { return m_bDataFileInStep; }
  // Whether bytes the feed skipped still wait to be read back.
  bool HasBacklog() const { return m_nBacklog > 0; }
  // Whether Stop would wait for the line to be quiet: running, with a row
  // echo, and no stop signal.
  bool WantsSettle() const;

  void SetRowEcho(CHeadlessRows* rows) { m_pRowEcho = rows; }
  // Every block taken also goes to `tap` with its channel.
  using RxTap = std::function<void(RxChannel channel, const BYTE* bytes, size_t count)>;
  void SetRxTap(RxTap tap) { m_fnRxTap = std::move(tap); }
  // Every decoded status also goes to `tap`.
  using StatusTap = std::function<void(const PRINTER_STATUS_TEXT& status)>;
  void SetStatusTap(StatusTap tap) { m_fnStatusTap = std::move(tap); }

  // One poll: takes both feeds, handles each block as OnRxData / OnRxUsm
  // do, gives the blocks back to their feeds, then reads back part of a
  // backlog (above). Returns the bytes taken and read back.
  size_t Poll();
  // Logs "Data Received. Size = %d bytes\n" with the bytes' dump when the
  // data log exists, echoes, taps, shows and decodes the block.
  void OnRxData(const BYTE* bytes, size_t count);
  // The same for the USM channel ("USM Data Received. Size = %d bytes\n").
  void OnRxUsm(const BYTE* bytes, size_t count);
  // The next data byte starts a new row (an operation's start); what came
  // before stays on the rows it belongs to.
  void StartNewDataRow();
  // A data string about to be sent: when it ends in a status request, the
  // data bytes that come within the reply time are decoded as its answer.
  void NoteStringSent(const BYTE* bytes, size_t count);
  // "Clear Buffer": the engine drops the received data, the lists and the
  // block times empty.
  void ClearBuffer();

  // When each block of the data / USM list's bytes came.
  const CRxBlockTimes& DataTimes() const { return m_dataTimes; }
  const CRxBlockTimes& UsmTimes() const { return m_usmTimes; }
  // The pause (ms) after which the next bytes start a new block.
  void SetIdleGapMs(std::uint32_t ms);

 private:
  // Which status the status line is to show next.
  enum class NextShown { kNone, kReply, kAutomatic };

  void TakeUntilQuiet();
  void ReadDataFromFile(bool inStep);
  // Handles up to kCatchUpPerPoll of the backlog (more when only shown);
  // the bytes handled.
  size_t CatchUp();
  // Whether anything besides the lists needs the bytes themselves: the data
  // log, the row echo, the tap, a status request waiting for its reply.
  bool BytesWanted() const;
  // Reads the next block of the backlog from the file and handles it as
  // OnRxData; its byte count, 0 when the file holds none of it yet.
  size_t ReadBack();
  // Nobody needs the bytes: the lists add what the file holds of the
  // backlog without reading it (they read the rows they paint); the count.
  size_t ShowHeld();
  // One decoded status to the tap, the log and the row echo.
  void ReportStatus(const PRINTER_STATUS_TEXT& text, bool usm);
  // The status line shows the last status decoded, if one is waiting, unless
  // a poll runs (it shows it at its end).
  void ShowStatusUnlessPolling();
  void ShowLastStatus();

  CTransferEngine& m_engine;
  IReceiveLists* m_pLists;
  CStatusDecoder m_status;
  std::vector<PRINTER_STATUS_TEXT> m_statusTexts;
  PRINTER_STATUS_TEXT m_lastReply;  // the last reply decoded, for the status line
  NextShown m_nextShown = NextShown::kNone;
  bool m_bPolling = false;
  std::vector<std::vector<BYTE>> m_taken;  // the blocks of one take
  std::vector<CRxFeed::Mark> m_marks;      // their arrival marks
  CRxBlockTimes m_dataTimes;
  CRxBlockTimes m_usmTimes;
  CHeadlessRows* m_pRowEcho = nullptr;
  RxTap m_fnRxTap;
  StatusTap m_fnStatusTap;
  bool m_bRunning = false;
  bool m_bDataFileInStep = false;
  std::uint64_t m_nDataShown = 0;  // data bytes handled since the start or a clear
  std::uint64_t m_nBacklog = 0;    // data bytes the feed skipped, not handled yet
  std::vector<BYTE> m_readBack;
};
