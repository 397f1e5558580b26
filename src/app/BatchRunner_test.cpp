// The command-line runner on the fake backend: its exit status and output
// follow the job's outcome, and status polls print only what changes.
#include "app/BatchRunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "comm/Cablox.h"
#include "comm/CommBackendRegistry.h"
#include "testsupport/EngineTestSupport.h"
#include "platform/LastError.h"

namespace {

size_t CountOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t pos = 0; (pos = text.find(what, pos)) != std::string::npos; pos += what.size())
    ++n;
  return n;
}

class BatchRunnerTest : public CEngineTest {
 protected:
  void SetUp() override {
    CEngineTest::SetUp();
    Comm_CloseCleanuo();
    Comm_RegisterBackendFactory(COMM_TYPE_SERIAL, [this] { return m_link.MakeBackend(); });
    m_bConnected = true;  // the fixture's tear-down closes and unregisters
    m_nType = COMM_TYPE_SERIAL;
    m_options.nInterface = COMM_TYPE_SERIAL;
    m_options.strSerialPort = "/dev/ttyFAKE0";
  }
  // Runs the runner to its end; returns its exit status and keeps its output.
  int Run() {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    int status;
    {
      CBatchRunner runner(out);
      status = runner.Run(m_options);
    }
    std::fclose(out);
    m_strOut.assign(text, size);
    std::free(text);
    return status;
  }

  BatchOptions m_options;
  std::string m_strOut;
};

TEST_F(BatchRunnerTest, PortThatDiesMidFileFailsTheRunAndStopsTheJob) {
  m_options.job = BatchJob::kFile;
  m_options.strArgument = MakeFile("job.bin", 256 * 1024);
  // The adapter takes 16 KiB, then is unplugged: every write fails at once.
  m_link.SetResponder([this](const BYTE*, DWORD) {
    if (m_link.Written().size() >= 16384)
      m_link.FailWrites(ERROR_DEVICE_NOT_CONNECTED);
  });
  EXPECT_EQ(Run(), 1) << m_strOut;
  EXPECT_NE(m_strOut.find("delivered 16384 bytes, 8 writes failed, stopped: the port is lost\n"),
            std::string::npos)
      << m_strOut;
  EXPECT_NE(m_strOut.find("\nfailed; received 0 bytes"), std::string::npos);
  EXPECT_EQ(m_strOut.find("progress 100%"), std::string::npos) << "the job ended early";
}

TEST_F(BatchRunnerTest, AbortedStringExitsWithThree) {
  m_options.job = BatchJob::kAscii;
  m_options.strArgument = "hello";
  m_link.HoldWrites(true);  // the printer never takes it
  std::thread operatorThread([this] {
    if (m_link.WaitForHeldWrite(5000))
      CBatchRunner::RequestAbort();
  });
  int status = Run();
  operatorThread.join();
  EXPECT_EQ(status, 3) << m_strOut;
  EXPECT_NE(m_strOut.find("\naborted; received"), std::string::npos) << m_strOut;
}

TEST_F(BatchRunnerTest, LineStatusIsPrintedOnlyWhenItChanges) {
  m_link.SetStatus(1, 0x30);  // CTS and DSR, steady; the reader polls every 20 ms
  m_options.nListenMs = 400;
  EXPECT_EQ(Run(), 0) << m_strOut;
  EXPECT_EQ(CountOf(m_strOut, "line status"), 1u) << m_strOut;
  EXPECT_NE(m_strOut.find("line status 0x30\n"), std::string::npos);
}

}  // namespace
