// CReceiveDisplay: the main window's "Receive Buffer" area: the data list
// and the USM list (CHexListView), the poll that moves received bytes into
// them, and the commands "Show USM", "Clear Buffer" and "Save As", with the
// received-data file they work on.
//
// Every byte: the lists follow the readers' display feeds (the engine's
// rxDataFeed and rxUsmFeed), which keep every received byte until taken, not the 4096-byte
// rings, so the lists show every byte of each channel in order at any rate.
// The rings, their reset flag and the firmware download's use of them are
// untouched.
//
// What is done with the bytes (log, headless rows, status decoding, the
// logic's taps) is CReceivePump's, shared with runs that have no window;
// this class adds the lists, the status line and the timer that polls.
//
// Where the rows live (CFileByteStore): the data list reads its rows from
// the received-data file, which holds every data-channel byte already; the
// USM list from a spill file of its own in the Output folder, removed when
// the display goes. Memory is the same at any length: the feeds' blocks in
// flight (bounded, see CReceivePump), and per list a tail of the newest
// bytes and one read window. The data list reads the file while the pump
// says it is in step (both started empty; the window's start-up opens the
// file first); otherwise it spills too, until "Clear Buffer" empties file
// and list together. Before Start the lists keep their bytes in memory.
//
// The poll (UpdateRXDisplay) is a timer on the window's thread, every 10 ms,
// transfers included: a poll that finds nothing costs two lock-and-swaps,
// and a slower poll during a 256 MiB transfer saved only about 1 % of one
// core and no stall (docs/receive-display.md), while it would show replies
// later. Taking a feed is a buffer swap and one copy; the lists format
// nothing until they paint, so no display thread and no blocking hand-over
// to the window is needed.
//
// Printer status: the replies to a status request just sent (NoteStringSent)
// and the automatic status messages on the USM channel are decoded
// (CStatusDecoder) from the bytes as they reach the lists; the bytes
// themselves are shown, logged and saved unchanged. The decoded line goes
// to the status line under the lists (the words, the bit table as its
// tooltip, highlighted when something changed), to the data log after the
// block's dump, and on a headless run to stdout after the rows.
//
// Layout: both lists are children of the window given to the constructor and
// are placed in its client area by LayoutReceiveLists, with the factors of
// the 480 x 327 dialog template; the window calls Relayout() when it resizes.
//
// Threading: the window's thread only (a QObject living there). The
// received-data file (the engine's rxDataFile, opened by the window's start-up under
// whatever name it chose) is shared with the data reader: "Clear Buffer"
// empties it in place through CTransferEngine::ClearReceivedData and "Save
// As" copies it through CReceivedDataFile::SaveCopy, both safe against the
// reader and neither needing the file's name.
//
// Ownership: the lists belong to the window widget (Qt parents); the object
// turns both feeds off when destroyed.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "codec/StatusDecoder.h"
#include "platform/Win32Types.h"
#include "windowlogic/ReceivePump.h"

class CHeadlessRows;
class CTransferEngine;
class CHexListView;
class QDateTime;
class QLabel;
class QWidget;

class CReceiveDisplay : public QObject, private IReceiveLists {
  Q_OBJECT

 public:
  static constexpr int kPollMs = CReceivePump::kPollMs;

  // Creates both lists in `window` (the USM list hidden) and lays them out
  // without USM. Does not start the poll. `engine` is the session's: its
  // feeds, received-data file and data log; it outlives this object.
  CReceiveDisplay(QWidget* window, CTransferEngine& engine);
  ~CReceiveDisplay() override;

  CHexListView* DataList() const { return m_pDataList; }
  CHexListView* UsmList() const { return m_pUsmList; }
  QLabel* StatusLine() const { return m_pStatusLine; }

  // Turns the feeds on, gives the lists their files (above) and starts the
  // poll / stops it (feeds off). While the pump has a backlog, the next
  // poll comes as soon as the waiting events are handled. With a
  // row echo, Stop first takes what arrives until the line is quiet (bounded,
  // see kSettleMaxMs): it may block the window thread up to a second.
  void Start();
  void Stop();
  // Headless runs: also prints every row of both lists on `rows` (null: none).
  void SetRowEcho(CHeadlessRows* rows) { m_pump.SetRowEcho(rows); }
  // Hands every block shown to `tap` as well, with its channel (the
  // window's logic watches a batch run's replies there).
  using RxTap = CReceivePump::RxTap;
  void SetRxTap(RxTap tap) { m_pump.SetRxTap(std::move(tap)); }
  // Hands every decoded status to `tap` as well.
  using StatusTap = CReceivePump::StatusTap;
  void SetStatusTap(StatusTap tap) { m_pump.SetStatusTap(std::move(tap)); }

  // One poll: takes both feeds and shows what they held as OnRxData and
  // OnRxUsm do, one log entry per feed block (up to 64 KiB), then gives the
  // blocks back to their feeds. The lists' scroll bars and places follow
  // once, after the whole take. Returns the bytes taken.
  size_t UpdateRXDisplay();
  // Logs "Data Received. Size = %d bytes\n" with the bytes' dump when the
  // data log exists, and appends them to the data list.
  void OnRxData(const BYTE* bytes, size_t count) { m_pump.OnRxData(bytes, count); }
  // The same for the USM list ("USM Data Received. Size = %d bytes\n").
  void OnRxUsm(const BYTE* bytes, size_t count) { m_pump.OnRxUsm(bytes, count); }
  // The next data byte starts a new row (an operation's start).
  void StartNewDataRow() { m_pump.StartNewDataRow(); }
  // A data string about to be sent: when it ends in a status request, the
  // data bytes that come within the reply time are decoded as its answer.
  void NoteStringSent(const BYTE* bytes, size_t count) { m_pump.NoteStringSent(bytes, count); }

  // Shows the USM list below a shorter data list (1) or hides it (0);
  // nothing when the state is already applied.
  void LayoutReceiveLists(int showUsm);
  // Re-applies the current state to the window's present size.
  void Relayout();
  bool IsUsmShown() const { return m_nLayout == 1; }
  // "Show USM": the USM list only when the connection has a USM channel
  // (usmChannel nonzero) and the box is ticked.
  void OnShowUsm(int usmChannel, int showUsm);

  // The lists' Time column on or off: each row shows when the block holding
  // its first byte came (CReceivePump's block times), and " +" when another
  // block starts inside the row.
  void ShowTimeColumn(bool show);
  bool IsTimeColumnShown() const { return m_bTimeShown; }
  // The pause (ms) after which the next bytes start a new block.
  void SetIdleGapMs(std::uint32_t ms) { m_pump.SetIdleGapMs(ms); }

  // "Clear Buffer": empties both lists, their block times, the status line
  // and the received-data file.
  void OnClearBuffer() { m_pump.ClearBuffer(); }
  // "Save As": asks for a file name, offering SuggestedSaveName(), then
  // SaveAs.
  void OnSaveAs();
  // "<program folder>/Output/RxData-<yyyyMMdd-HHmmss>.bin" for `when`: a
  // real name in the folder the program writes to, never a pattern.
  static QString SuggestedSaveName(const QDateTime& when);
  // Copies the received-data file to path and logs
  // "Save RX Data Buffer To File : <path>" when the data log exists. 1 ok;
  // 0 after a message box naming the file and the reason (a partial copy
  // is removed).
  int SaveAs(const QString& path);

 private:
  // IReceiveLists: where the pump shows what it took.
  void AppendData(const BYTE* bytes, size_t count) override;
  bool AppendDataHeld(size_t count) override;
  void AppendUsm(const BYTE* bytes, size_t count) override;
  void BreakDataRow() override;
  void ClearLists() override;
  void ShowStatus(const PRINTER_STATUS_TEXT& status) override;
  void Place(CHexListView* list, int left, int top, int width, int height);
  void PollAndCatchUp();
  void SetStatusLine(const QString& text, const QString& tip, bool changed);
  // The Time column's text of a row of the list `times` belongs to.
  static QString TimeLabel(const CRxBlockTimes& times, std::uint64_t first, int count);

  CTransferEngine& m_engine;
  QWidget* m_pWindow;
  CHexListView* m_pDataList;
  CHexListView* m_pUsmList;
  QLabel* m_pStatusLine;
  QTimer m_timer;
  CReceivePump m_pump;
  int m_nLayout = -1;  // the last layout state applied, -1 none yet
  bool m_bStarted = false;
  bool m_bCatchUpQueued = false;
  bool m_bTimeShown = false;
};
