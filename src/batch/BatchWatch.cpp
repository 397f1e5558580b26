#include "batch/BatchWatch.h"

#include <cstdio>

#include "platform/AppMessages.h"
#include "report/ErrorBoxes.h"

std::string CBatchWatch::Configure(const CBatchRun& run) {
  if (!run.m_strExpectedReply.empty())
    m_reply.Configure(run.m_strExpectedReply, run.m_nReplyTimeoutMs);
  m_bCommandLineLog = !run.m_strJsonLog.empty();
  if (m_bCommandLineLog && !m_journal.Open(run.m_strJsonLog))
    return "The JSON Lines log " + run.m_strJsonLog + " could not be created.";
  return {};
}

void CBatchWatch::Started(int mode, const CDialogFields& fields) {
  if (CommandLineLog())
    m_journal.Start(mode, fields);
}

bool CBatchWatch::OnRx(RxChannel channel, const BYTE* data, DWORD size, int exitStatus) {
  const bool dataChannel = channel == RxChannel::kData;
  if (m_journal.IsOpen())
    m_journal.Rx(dataChannel ? "data" : "usm", data, size);
  if (!dataChannel || !m_reply.OnRx(data, size))
    return false;
  if (CommandLineLog())
    m_journal.Done(m_qwBytes, exitStatus);
  return true;
}

void CBatchWatch::OnCommError(int code, const std::string& text) {
  if (m_journal.IsOpen())
    m_journal.Error(code, text);
}

void CBatchWatch::OnStatus(const std::string& source, const std::string& words) {
  if (m_journal.IsOpen())
    m_journal.Status(source, words);
}

void CBatchWatch::OnProgress(int pass) {
  m_journal.Progress(pass);
}

bool CBatchWatch::ActionEnded(int exitStatus, std::uint64_t bytes, IMessageTarget* target) {
  m_qwBytes = bytes;
  // An action that failed keeps its own status: no reply is awaited.
  if (exitStatus == kBatchExitCompleted && !m_reply.ActionEnded(target))
    return false;
  if (CommandLineLog())
    m_journal.Done(bytes, exitStatus);
  return true;
}

bool CBatchWatch::OnReplyTimeout(int& exitStatus) {
  if (!m_reply.Expired())
    return false;
  const std::string text = m_reply.FailureText();
  std::fprintf(stderr, "Sendrix: %s\n", text.c_str());
  std::fflush(stderr);
  LogLine(text.c_str());
  exitStatus = kBatchExitReplyNotReceived;
  if (CommandLineLog())
    m_journal.Done(m_qwBytes, exitStatus);
  return true;
}

void CBatchWatch::WindowRunStarted(const std::string& path, int mode, const CDialogFields& fields) {
  if (m_bCommandLineLog)
    return;
  m_bWindowRun = false;
  if (path.empty()) {
    m_journal.Close();
    return;
  }
  if (!m_journal.IsOpen() && !m_journal.Open(path))
    return;
  m_bWindowRun = true;
  m_journal.Start(mode, fields);
}

void CBatchWatch::WindowRunEnded(int status, std::uint64_t bytes) {
  if (!m_bWindowRun)
    return;
  m_bWindowRun = false;
  m_journal.Done(bytes, status);
}
