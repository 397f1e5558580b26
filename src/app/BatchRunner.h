// Runs one job without the window: opens the connection, starts the engine's
// threads and readers, runs a file transfer, a string transfer or a firmware
// download, and reports what the worker threads post on stdout.
//
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
#include "platform/MessageQueue.h"

class CBatchRunner {
 public:
  static constexpr DWORD kPollMs = 100;

  explicit CBatchRunner(std::FILE* out) : m_out(out) {}
  // 0 when the job ran to its end, 1 when it failed or was aborted.
  int Run(const BatchOptions& options);
  static void RequestAbort() { s_bAbort.store(true); }

 private:
  int Connect(const BatchOptions& options);
  int OpenReceivedDataFile();
  int StartFile(const BatchOptions& options);
  int StartString(const BatchOptions& options);
  int RunFirmware(const BatchOptions& options);
  // Handles messages until WM_TRANSFER_DONE (or until listenMs ran out when
  // not waiting for a job). 1 when the job ended without a failure.
  int Pump(bool waitForDone, DWORD listenMs);
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
  DWORD m_nDataPosition = 0;
  DWORD m_nUsmPosition = 0;
  static std::atomic<bool> s_bAbort;
};
