// CTransferEngine: the session's object that moves bytes between the
// program and the printer: the packet writer every sender
// uses (file, string, firmware frames), the two transmit threads, and the
// reader-thread slots with their events and the parameters of the open
// connection. Results leave the engine only as typed calls on its
// ITransferEvents (TransferEvents.h), which the window's logic receives on
// its own thread: OnProgress, OnRate and OnDone from the transmit threads,
// OnLineStatus from the data reader.
//
// Threads (all created here, see TransmitThreads.cpp and ReaderThreads.cpp):
//  - ThreadFileTransfer and ThreadStringTransfer (highest priority) wait for
//    the objects' fileJob / stringJob events and run one job per event; each
//    job ends with exactly one OnDone. The window starts one job at
//    a time, so the TX channel is never written by two threads at once.
//  - ThreadRead and ThreadReadUsm (above normal) run between StartReaders()
//    and StopReaders() and fill the data ring rxDataBuffer and the
//    display feeds rxDataFeed / rxUsmFeed; the data reader appends to rxDataFile.
//
// Ending threads: the transmit threads live until StopTransmitThreads(),
// which the program calls at exit and tests call between cases; it sets
// the abort event so that a running job ends at its next check. Shutdown()
// does that and StopReaders(). Call both from one controlling thread.
//
// Reader buffers: a read or status request may still be pending inside the
// communications library when a reader ends (the stop event wins the wait;
// the connection is broken down only afterwards). The read buffers and the
// status record therefore live in the engine, not on the reader's stack, so
// a late completion never writes into freed memory.
//
// Write buffers: when the abort event wins over a pending write, the write is
// left to the library, which may still read its bytes until the next write
// on the TX record cancels it. WriterGeneric therefore hands the library a
// copy in one of two engine-owned staging buffers, used in turn, so the
// caller may free or reuse its buffer as soon as the call returns.
//
// A read still pending when its reader ended is taken over by the next
// reader of that channel (which waits for it instead of starting another),
// so bytes that complete it are delivered rather than lost; one that ended
// in the meantime is collected first (a failure, such as the 995 of a
// connection broken down in between, is dropped silently).
//
// Received-data file: the data reader appends what it receives in batches
// of up to 64 KiB, written whenever the batch is full, whenever the reader is
// about to wait for more (its read went pending), and when it ends. A pause
// in the stream thus finds every received byte in the file, and a fast stream
// costs one file write per 64 KiB rather than one per 512-byte read.
//
// Failed writes: the engine counts, per job, the pieces that were refused
// or written short and the bytes the connection accepted. A hard failure is
// a write that could not be started or that completed with an error (not a
// time-out, not an abort). kHardFailureLimit of them in a row, or a failed
// write while Comm_IsDevicePresent() answers 0, mean the port is gone: the
// writer stops offering pieces and the job ends with "Error Transfer -
// Port lost, transfer stopped" and its OnDone, rather than spin
// through every piece and pass (continuous mode would never end). The
// job's outcome (TransferOutcome.h) is stored before OnDone.
//
// Shared objects (TransferObjects.h): the rings, feeds, files, job and abort
// events and the data log belong to the engine's owner, which keeps them
// until the engine is destroyed; the engine holds a reference.
//
// Exit: the engine's destruction first ends the transmit threads (aborting
// a running job) and the readers, each wait bounded; the reader events are
// closed only when every thread has ended, so a thread that did not end in
// time never waits on a closed event.
//
// Members are public in the program's style: the port-open code tests the
// reader slots and events directly (the USB re-validation).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "engine/TransferEvents.h"
#include "engine/TransferObjects.h"
#include "engine/TransferOutcome.h"
#include "platform/Event.h"
#include "platform/Overlapped.h"
#include "platform/Thread.h"
#include "platform/Win32Types.h"

class CTransferEngine {
 public:
  // Holds a packet-framed string of up to 255 bytes (2 x 255 + 3) and any
  // frame the window's 1024-byte framing buffer can hold.
  static constexpr DWORD kStringBufferSize = 1024;
  static constexpr DWORD kReadSize = 512;
  // A TCP data read asks for up to this much: a socket hands over what has
  // arrived, so the bytes are the same, and a fast stream costs one pass
  // through the reader's loop (and its locks) per 16 KiB instead of per
  // 512 bytes. Serial and USB reads stay at kReadSize.
  static constexpr DWORD kTcpReadSize = 16384;
  static constexpr DWORD kStopReadersTimeoutMs = 3000;
  // How long StopReaders gives a reader that signalled its end to return.
  static constexpr DWORD kReaderEndWaitMs = 100;
  // The largest piece WriterGeneric stages (the largest download packet);
  // WritePacket never offers a larger one.
  static constexpr DWORD kTxStagingSize = 32768;
  static constexpr DWORD kHardFailureLimit = 8;
  // The longest a write that no abort may cut waits for its completion (the
  // library's own write time-outs end it well before).
  static constexpr DWORD kWholeWriteWaitMs = 60000;
  static constexpr DWORD kExitWaitMs = 5000;

  // kAbortable: the abort event ends the wait for a pending write (the write
  // is left to the library). kWhole: only the write's completion does, so a
  // protocol frame is never cut in the middle (the firmware download).
  enum WriteMode { kAbortable, kWhole };

  explicit CTransferEngine(CTransferObjects& objects);
  ~CTransferEngine();
  CTransferEngine(const CTransferEngine&) = delete;
  CTransferEngine& operator=(const CTransferEngine&) = delete;

  // Stores the three; a disabled repeat makes the count 1. Set by the window
  // before it sets the file-transfer event.
  void SetRepeatParams(int enabled, int count, int delayMs);
  // Type, port, output port, real-time channel, USM channel, check status.
  int SetConnectionParams(int type, DWORD port, int outputPort, int realTimeChannel, int usmChannel,
                          int checkStatus);

  // Sends length bytes in pieces of chunk bytes through WriterGeneric; a
  // failed piece does not stop the others, unless the port is lost
  // (IsPortLost()), when the rest is not offered. Counts the pieces for the
  // job's outcome. Logs "String Transfer..." when logFlag is 1 and the data
  // log exists. Returns length.
  int WritePacket(const BYTE* buffer, DWORD length, DWORD chunk, int logFlag,
                  WriteMode mode = kAbortable);
  // One overlapped write on the TX channel, waiting for its completion or
  // (kAbortable) the abort event. Returns the bytes written (a short count on
  // a short overlapped completion) or -1. Every failure is logged only.
  // Lengths above kTxStagingSize are written from the caller's buffer, which
  // must then outlive a write left pending by an abort.
  int WriterGeneric(const BYTE* buffer, DWORD length, WriteMode mode = kAbortable);

  // The outcome of the last job that ended (see TransferOutcome.h). Any
  // thread; the job's thread sets it before it reports OnDone.
  TransferOutcome GetLastOutcome() const;
  void SetLastOutcome(const TransferOutcome& outcome);
  // Per-job counting, on the job's thread: BeginJob() clears the counters;
  // EndJob() builds the outcome from them and the abort event (failed also
  // when `failed` is set), stores it and returns it.
  void BeginJob();
  TransferOutcome EndJob(bool failed);
  bool IsPortLost() const { return m_nHardFailures >= kHardFailureLimit; }

  int StartTransferTimer();
  DWORD GetElapsedMs();
  // One log line when the data log exists.
  void LogText(const char* text);
  // The same with printf formatting (lines up to 1024 characters).
  void LogFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // The operator's abort (or a stop signal) of the running operation.
  bool IsAborted() const { return m_io.IsAborted(); }

  // Starts the readers whose slots are empty (the USM reader only when the
  // USM channel is 1). 1 ok, 0 failed (error box 5).
  int StartReaders();
  // Stops the running readers, waiting up to m_dwStopReadersTimeoutMs
  // (error boxes 27/28 and 26 on time-out), and empties the slots of the
  // readers that ended. A reader still running (stuck in a library call)
  // keeps its slot, so StartReaders never runs a second reader beside it; it
  // goes on as the channel's reader and the next StopReaders waits for it
  // again. At once when none runs.
  void StopReaders();

  // "Clear Buffer": drops the bytes the data reader has not written yet and
  // what both display feeds hold, and empties the received-data file in
  // place (same file, same descriptor and lock), all under m_rxDataLock, so
  // every byte the reader delivers afterwards is both in the file and in the
  // feed, and none from before is in either. Whoever opened the file, under
  // whatever name, the reader goes on appending to it. Any thread. 1 when
  // the file was emptied, 0 when none is open or truncating failed.
  int ClearReceivedData();
  // Writes what the data reader has not yet written to the received-data
  // file, so a copy taken next holds every byte delivered so far. Any thread.
  void FlushReceivedData();
  // Turns both display feeds on or off under m_rxDataLock. Turning them on
  // returns 1 when the received-data file is open, a regular file, and holds
  // nothing, written or batched: the data feed's bytes are then the file's from offset 0, and
  // a list may read them there. Else 0. Any thread.
  int EnableDisplayFeeds(bool enable);

  // Where the threads report (null: nowhere). Set before any thread starts;
  // it outlives them.
  void SetEvents(ITransferEvents* events) { m_pEvents = events; }
  ITransferEvents* GetEvents() const { return m_pEvents; }

  // Creates ThreadFileTransfer then ThreadStringTransfer. 1 ok, 0 failed.
  int StartTransmitThreads();
  // Ends the transmit threads (sets the abort event so a running job ends) and
  // waits up to timeoutMs for them. 1 when both ended.
  int StopTransmitThreads(DWORD timeoutMs);
  // Program exit and test tear-down: transmit threads, then readers.
  void Shutdown();

  // What the engine works on, owned by the engine's owner.
  CTransferObjects& m_io;
  // StopReaders' wait; tests shorten it.
  DWORD m_dwStopReadersTimeoutMs = kStopReadersTimeoutMs;
  // Reader slots and their events (auto-reset, initially clear).
  std::unique_ptr<CThread> m_pReadThread;
  std::unique_ptr<CThread> m_pReadUsmThread;
  HANDLE m_hReaderStopped;
  HANDLE m_hUsmReaderStopped;
  HANDLE m_hStopReader;
  HANDLE m_hStopUsmReader;

  // Connection parameters (SetConnectionParams).
  int m_nInterfaceType = 0;
  DWORD m_nPort = 0;
  int m_nUsmChannel = 0;
  int m_nRealTimeChannel = 0;
  int m_nOutputPort = 0;
  int m_nCheckStatus = 1;

  // Transmit state, written by the window before it starts a job.
  int m_bRepeat = 0;
  int m_nRepeatCount = 1;
  int m_nDelay = 0;
  BYTE m_StringBuffer[kStringBufferSize] = {};
  DWORD m_nStringLength = 0;

  // Timer and the rate of the running file pass (its value travels in
  // OnRate). Atomic: tests read it while a pass may update it.
  LONGLONG m_llFrequency = 0;
  LONGLONG m_llStartCount = 0;
  std::atomic<double> m_dTransferRate{0.0};

  // Reader storage that outlives a reader (see the note at the top).
  BYTE m_ReadBuffer[kTcpReadSize] = {};
  BYTE m_UsmReadBuffer[kReadSize] = {};
  BYTE m_StatusBuffer[kReadSize] = {};
  OVERLAPPED m_StatusOverlapped;
  static constexpr DWORD kRxFileBatchSize = 65536;
  BYTE m_RxFileBatch[kRxFileBatchSize] = {};
  DWORD m_nRxFileBatch = 0;            // bytes waiting for rxDataFile
  std::mutex m_rxDataLock;             // the batch, rxDataFile's appends, the data feed
  bool m_bReadLeftPending = false;     // by the last data reader
  bool m_bUsmReadLeftPending = false;  // by the last USM reader

 private:
  ITransferEvents* m_pEvents = nullptr;
  BYTE m_TxStaging[2][kTxStagingSize] = {};
  int m_nTxStaging = 0;         // the staging buffer the next write uses
  bool m_bHardFailure = false;  // of the last WriterGeneric call
  // The running job's counts (its thread only).
  std::uint64_t m_qwDelivered = 0;
  DWORD m_nFailedPieces = 0;
  DWORD m_nHardFailures = 0;  // in a row
  mutable std::mutex m_outcomeLock;
  TransferOutcome m_lastOutcome;
  void StopThreadsAtExit();
  void CountPiece(DWORD piece, int written);
  CEvent m_evShutdown{true, false};
  std::unique_ptr<CThread> m_pFileThread;
  std::unique_ptr<CThread> m_pStringThread;

  friend DWORD ThreadFileTransfer(CTransferEngine* engine);
  friend DWORD ThreadStringTransfer(CTransferEngine* engine);
};

// Thread procedures (TransmitThreads.cpp, ReaderThreads.cpp).
DWORD ThreadFileTransfer(CTransferEngine* engine);
DWORD ThreadStringTransfer(CTransferEngine* engine);
DWORD ThreadRead(CTransferEngine* engine);
DWORD ThreadReadUsm(CTransferEngine* engine);
