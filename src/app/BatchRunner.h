// Runs one job without the window: opens the connection, starts the engine's
// threads and readers, runs a file transfer, a string transfer or a firmware
// download, and reports what the worker threads post on stdout.
//
// Messages are taken off the queue as they are handled, and a line status
// is printed only when it changes, so a long (continuous) run holds no
// history and prints no poll noise.
// Lifetime: one runner per process (the engine objects are process-wide).
// Run() may be called once; it returns only after every thread it started
// has been ended, so the process can exit at once.
// Abort: RequestAbort() may be called from a signal handler (it only stores
// a flag); the runner sets the abort event on its next message poll, at most
// kPollMs later. The job then ends as after an operator's abort.
#pragma once

#include <atomic>
#include <cstdio>

#include "app/BatchOptions.h"
#include "engine/RingBuffer.h"
#include "engine/TransferOutcome.h"
#include "platform/MessageQueue.h"

class CBatchRunner {
 public:
  static constexpr DWORD kPollMs = 100;

  explicit CBatchRunner(std::FILE* out) : m_out(out) {}
  // The exit status: 0 the job completed (TRANSFER_COMPLETED), 1 it failed
  // or could not start (TRANSFER_FAILED), 3 it was aborted
  // (TRANSFER_ABORTED). A job fails when its TransferOutcome says so (a
  // write refused or cut short, the port lost, a firmware step failed) or
  // when the library reported a comm error. Prints "delivered N bytes" for
  // a job that ran, then "done", "failed" or "aborted".
  int Run(const BatchOptions& options);
  static void RequestAbort() { s_bAbort.store(true); }

 private:
  int Connect(const BatchOptions& options);
  int OpenReceivedDataFile();
  int StartFile(const BatchOptions& options);
  int StartString(const BatchOptions& options);
  int RunFirmware(const BatchOptions& options);
  // Handles messages until WM_TRANSFER_DONE (or until listenMs ran out when
  // not waiting for a job). 1 when it ended.
  int Pump(bool waitForDone, DWORD listenMs);
  int JobStatus() const;
  void Handle(const QueuedMessage& m);
  // Prints the bytes that arrived in the data and USM buffers since the last
  // call, as the window's receive lists would show them (hex and ASCII). The
  // firmware download is left alone: its replies are protocol bytes.
  void ShowReceived();
  void ShowBuffer(const char* label, CRingBuffer& buffer, DWORD* position);
  void Shutdown();

  std::FILE* m_out;
  CMessageQueue m_queue;
  bool m_bFailed = false;
  bool m_bAborted = false;
  bool m_bShowReceived = true;
  bool m_bHaveLineStatus = false;  // a line status was printed
  WPARAM m_nLineStatus = 0;        // the last one printed
  DWORD m_nDataPosition = 0;
  DWORD m_nUsmPosition = 0;
  static std::atomic<bool> s_bAbort;
};
