#include "windowlogic/WindowBatch.h"

#include "platform/Notifier.h"
#include "windowlogic/Operations.h"
#include "windowlogic/OperatorMessages.h"

int CWindowBatch::Parse(CDialogFields& fields, CDialogHistories& histories) {
  const int stringFormat = fields.main.m_nStringFormat;
  const int mode = m_commandLine.ParseCommandLine(fields, m_run);
  if (m_commandLine.HasCommandLine())
    m_nExitStatus = BatchExitStatusForMode(mode);
  if (fields.main.m_nStringFormat != stringFormat && stringFormat >= 0) {
    // -M:X or -M:S switched the string mode: the history follows, as with
    // the window's own switch (the data string is the command line's).
    histories.ConvertStrings(fields.main.m_nStringFormat);
  }
  if (m_bSettingsUnreadable && BatchStartButton(mode) != 0 &&
      !m_commandLine.NamesInterfaceAndPort()) {
    AfxMessageBox(kUnreadSettingsBatchText);
    m_nExitStatus = kBatchExitFailed;
    m_pView->PostClose();
    return kBatchInvalid;
  }
  m_bAutoCloseWindow = m_run.m_bAutoCloseWindow;
  if (m_run.m_bEnableRepeatControls) {
    for (int id : kRepeatControlIds)
      m_pView->EnableDlgItem(id, 1);
  }
  if (m_run.m_bCloseWindow)
    m_pView->PostClose();
  if (const std::string problem = m_watch.Configure(m_run); !problem.empty())
    AfxMessageBox(problem.c_str());
  return mode;
}

int CWindowBatch::StopStartUp(const std::string& why) {
  ShowAndLogText(why);
  if (m_nBatchMode >= kBatchTransmitFile) {
    m_nExitStatus = kBatchExitFailed;
    m_pView->PostClose();
  }
  return 0;
}

void CWindowBatch::ActionStarted(int running, const CDialogFields& fields) {
  if (running == OP_IDLE) {
    // A start check refused the action (its message has been shown).
    m_nExitStatus = kBatchExitFailed;
    if (m_bHeadless)
      m_pView->PostClose();
  } else {
    m_watch.Started(m_nBatchMode, fields);
  }
}

void CWindowBatch::JobEnded(int ended, int outcome, std::uint64_t bytes) {
  if (!BatchModeMatchesOperation(m_nBatchMode, ended))
    return;
  m_nExitStatus = outcome;
  if (m_bAutoCloseWindow == 1 && m_watch.ActionEnded(m_nExitStatus, bytes, m_pTarget))
    m_pView->PostClose();
}

void CWindowBatch::OnReplyTimeout() {
  if (m_watch.OnReplyTimeout(m_nExitStatus))
    m_pView->PostClose();
}

void CWindowBatch::OnRx(RxChannel channel, const BYTE* data, DWORD size) {
  if (m_watch.OnRx(channel, data, size, m_nExitStatus))
    m_pView->PostClose();  // the awaited reply came
}
