// Test support for the engine and firmware tests: a fixture that owns an
// engine and the objects it works on (as the program's session does),
// installs the fake backend (FakeCommLink.h) for an interface type, connects
// it, points the engine at a recording window, records message boxes (error
// text n reads "error n"), gives the program a temporary home, and takes it
// all down again, threads included, after each case.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/RingBuffer.h"
#include "engine/TransferEngine.h"
#include "engine/TransferObjects.h"
#include "platform/MessageQueue.h"
#include "platform/Win32Types.h"
#include "testsupport/FakeCommLink.h"
#include "testsupport/RecordingEvents.h"
#include "testsupport/RecordingNotifier.h"

class CEngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sets the backend up for `type` and connects it (call once per case; the
  // fixture calls it with serial unless a case sets m_nType first and calls
  // it itself after changing m_link's settings).
  void Connect(int type);
  // Turns the data log on; StopLog() ends it and returns the file's text.
  void StartLog();
  std::string StopLog();
  // A file of `size` pattern bytes in the temporary home; returns its path.
  std::string MakeFile(const std::string& name, size_t size, unsigned seed = 1);
  static std::vector<BYTE> ReadWhole(const std::string& path);
  // Waits for the job's OnDone and a little more, then checks that exactly
  // one came.
  void ExpectOneDone(DWORD timeoutMs = 10000);
  std::vector<std::string> Boxes() const { return m_notifier.Texts(); }

  // Built first and destroyed last: the engine ends its threads before the
  // objects they use go.
  CTransferObjects m_io;
  CTransferEngine m_engine{m_io};
  // The log StartLog/StopLog and the error boxes use; a fixture whose code
  // runs on another session points it there before SetUp.
  CDataLogHolder* m_pLog = &m_io.dataLog;
  std::string m_strHome;
  CFakeCommLink m_link;
  CMessageQueue m_window;     // the communications library's owner
  CRecordingEvents m_events;  // what the engine's threads report
  CRecordingNotifier m_notifier;
  bool m_bConnected = false;
  int m_nType = 0;
};

// The reader fixture: the fake backend as a USB printer with a USM channel,
// connected, and the received-data file "<home>/Output/RxData.bin" open.
class CReaderTest : public CEngineTest {
 protected:
  void SetUp() override;
  // Waits (5 s at most) until the ring has been given `count` bytes in all.
  static bool WaitForRing(CRingBuffer& ring, DWORD count);
  static std::vector<BYTE> Take(CRingBuffer& ring, size_t n);

  std::string m_strRxFile;
};

// Waits (up to timeoutMs) until the enabled feed holds `count` bytes
// waiting to be taken.
bool WaitForFeed(const CRxFeed& feed, size_t count, DWORD timeoutMs = 5000);
// Everything the feed holds, in one piece; the blocks go back to the feed
// as the display gives them back, so later bytes land in reused blocks.
std::vector<BYTE> TakeAll(CRxFeed& feed);

// `size` pattern bytes (a different pattern for each seed).
std::vector<BYTE> TestPattern(size_t size, unsigned seed = 1);

// The hex dumps of a log file, parsed back from its rows, in order.
std::vector<std::vector<BYTE>> ParseLogDumps(const std::string& log);
