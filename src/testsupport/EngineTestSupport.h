// Test support for the engine and firmware tests: a fixture that installs
// the fake backend (FakeCommLink.h) for an interface type, connects it,
// points the engine at a recording window, records message boxes (error
// text n reads "error n"), gives the program a temporary home, and takes it
// all down again, threads included, after each case.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/MessageQueue.h"
#include "platform/Win32Types.h"
#include "testsupport/FakeCommLink.h"
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
  // Waits for the job's WM_TRANSFER_DONE and a little more, then checks that
  // exactly one came.
  void ExpectOneDone(DWORD timeoutMs = 10000);
  std::vector<std::string> Boxes() const { return m_notifier.Texts(); }

  std::string m_strHome;
  CFakeCommLink m_link;
  CMessageQueue m_window;
  CRecordingNotifier m_notifier;
  bool m_bConnected = false;
  int m_nType = 0;
};

// The hex dumps of a log file, parsed back from its rows, in order.
std::vector<std::vector<BYTE>> ParseLogDumps(const std::string& log);
