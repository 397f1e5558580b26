#include "windowlogic/Operations.h"

#include <cstdio>
#include <cstring>

#include "batch/CommandLine.h"
#include "codec/Codec.h"
#include "firmware/FlashDownload.h"
#include "log/DataLog.h"
#include "platform/AppendFormat.h"
#include "platform/Clock.h"
#include "platform/ControlIds.h"
#include "platform/DebugOutput.h"
#include "platform/Notifier.h"
#include "platform/ProgramFolder.h"
#include "report/ErrorBoxes.h"
#include "session/Session.h"
#include "texts/ErrorTexts.h"
#include "windowlogic/OperatorMessages.h"

namespace {

constexpr const char* kNothingToSendText = "The data string holds no byte to send.";
constexpr int kFlashSteps = 5;
constexpr DWORD kFirmwareBlockSize = 1024;

}  // namespace

COperations::COperations(CSession& session, CDialogFields& fields, CControlGroups& groups,
                         CDialogHistories& histories, CTextLibrary& texts, CBatchWatch& batchWatch)
    : m_session(session),
      m_fields(fields),
      m_groups(groups),
      m_histories(histories),
      m_texts(texts),
      m_batchWatch(batchWatch) {}

COperations::~COperations() {
  if (m_pFlash) {
    m_session.EndFlashDownload();
    m_pFlash = nullptr;
  }
}

void COperations::Attach(IMainView* view, IMessageTarget* target, IReceiveDisplay* display,
                         Services services) {
  m_pView = view;
  m_pTarget = target;
  m_pDisplay = display;
  m_services = std::move(services);
}

void COperations::CreateFlash(ITransferEvents* events, std::function<int(int)> reopen) {
  m_pFlash = m_session.StartFlashDownload(events, std::move(reopen));
}

std::string COperations::ButtonCaption(int n) {
  const char* text = m_texts.GetCaptionText(n);
  if (text != nullptr)
    return text;
  return n == 5 ? "Abort" : "Start";
}

void COperations::ShowProgress(int percent, int repeat) {
  m_pView->SetProgress(percent);
  m_pView->SetDlgItemText(kIdcProgressPercent, FormatText("%d %%", percent));
  m_fields.main.m_strRepeatNumber = repeat == -1 ? "" : FormatText("%d", repeat);
  m_pView->SetDlgItemText(kIdcRepeatNumber, m_fields.main.m_strRepeatNumber);
  if (m_pProgressEcho && m_nRunningOperation != OP_IDLE)
    m_pProgressEcho->OnProgress(percent, repeat);
}

void COperations::ShowRate(double kbytesPerSecond) {
  char text[64] = "-------";
  if (kbytesPerSecond >= 0)
    std::snprintf(text, sizeof text, "%3.1f", kbytesPerSecond);
  m_pView->SetDlgItemText(kIdcRate, text);
  if (m_pProgressEcho)
    m_pProgressEcho->OnRate(kbytesPerSecond);
}

void COperations::ShowFlashCrc(unsigned crc) {
  m_pView->SetDlgItemText(kIdcFirmwareCrc, FormatText("%04lX", static_cast<long>(crc & 0xFFFF)));
  if (m_pProgressEcho)
    m_pProgressEcho->OnFlashCrc(crc);
}

int COperations::Abort() {
  switch (m_nRunningOperation) {
    case OP_FILE_TRANSFER:
      OnStartTransmit();
      return 1;
    case OP_STRING_TRANSFER:
      OnStartString();
      return 1;
    case OP_FIRMWARE_DOWNLOAD:
      OnStartFirmware();
      return 1;
    default:
      return 0;
  }
}

// What every job does as it starts: it runs from here on, the JSON log and
// the row echo learn of it, and the communication errors wait for its end.
void COperations::BeginJob(int operation, bool dataOwnedByProtocol) {
  m_nRunningOperation = operation;
  StartJsonLog();
  m_bCommErrorDuringJob = 0;
  if (m_pRowEcho)
    m_pRowEcho->SetDataOwnedByProtocol(dataOwnedByProtocol);
  HoldCommErrors(true);
}

void COperations::OnStartTransmit() {
  if (m_nRunningOperation == OP_FILE_TRANSFER) {
    m_pView->EnableDlgItem(kIdcFileStart, 0);
    SetEvent(m_session.AbortEvent());
    if (m_session.DataLog())
      m_session.DataLog()->Log("Abort File Transfer.\n");
    return;
  }
  if (m_nRunningOperation != OP_IDLE)
    return;
  // A value out of range has been reported by the exchange, which stopped
  // half-way: start nothing on fields only partly read.
  if (!m_services.updateAll(1) || !m_services.openPort())
    return;
  CMainFields& f = m_fields.main;
  if (f.m_strFileName.empty()) {
    ShowErrorText(kErrorNoFileSelected);
    return;
  }
  if (!m_session.TransferFile().Open(f.m_strFileName, CMyFile::kModeRead, f.m_bPacketMode)) {
    ShowErrorTextFor(kErrorFileOpen, FileProblem(f.m_strFileName));
    return;
  }
  if (m_session.TransferFile().GetSize() == 0) {
    ShowErrorText(kErrorFileEmpty);
    m_session.TransferFile().Close();
    return;
  }
  m_histories.AddFile(f.m_strFileName);
  if (m_pDisplay)
    m_pDisplay->ResetDataLineCounter();
  f.m_strRepeatNumber.clear();
  m_pView->SetDlgItemText(kIdcRepeatNumber, "");
  if (f.m_nRepeatCount == 0)
    f.m_nRepeatCount = 1;
  if (f.m_bRepeat && f.m_nRepeatCount < -1)
    f.m_nRepeatCount = -1;
  m_groups.EnableFileGroup(0);
  m_groups.EnableFirmwareGroup(0);
  m_groups.EnableStringSendButton(0);
  m_groups.EnableStringGroup(0);
  m_groups.EnableInterfaceGroup(0);
  ShowProgress(0, 0);
  m_services.updateAll(0);
  ResetEvent(m_session.AbortEvent());
  BeginJob(OP_FILE_TRANSFER, false);
  m_pView->SetDlgItemText(kIdcFileStart, ButtonCaption(5));
  m_groups.EnableRepeatGroup(0);
  m_session.Engine().SetRepeatParams(f.m_bRepeat, f.m_nRepeatCount, static_cast<int>(f.m_nDelay));
  m_session.FileJob().Set();
}

void COperations::OnStartString() {
  m_services.updateAll(1);
  if (m_nRunningOperation == OP_STRING_TRANSFER) {
    SetEvent(m_session.AbortEvent());
    if (m_session.DataLog())
      m_session.DataLog()->Log("Abort String Transfer.\n");
    return;
  }
  if (m_nRunningOperation != OP_IDLE)
    return;
  CMainFields& f = m_fields.main;
  BYTE bytes[kCodecBufferSize] = {};
  int length = 0;
  if (f.m_nStringFormat == 1) {
    char escaped[kEscapedTextBufferSize] = {};
    char hex[kHexTextBufferSize] = {};
    HexTextToEscapedText(f.m_strDataString.c_str(), escaped);
    EscapedTextToHexText(escaped, hex);
    f.m_strDataString = hex;
    length = HexTextToBytes(hex, bytes);
  } else {
    length = EscapedTextToBytes(f.m_strDataString.c_str(), bytes);
  }
  if (length <= 0) {
    // The window's Start on an empty box simply does nothing; a script is
    // told why its run failed.
    if (m_nBatchMode >= kBatchTransmitFile)
      ShowAndLogText(kNothingToSendText);
    return;
  }
  CTransferEngine& engine = m_session.Engine();
  if (f.m_bPacketMode) {
    BYTE frame[CTransferEngine::kStringBufferSize] = {};
    length = FramePacket(bytes, frame, length);
    std::memcpy(engine.m_StringBuffer, frame, static_cast<size_t>(length));
  } else {
    std::memcpy(engine.m_StringBuffer, bytes, static_cast<size_t>(length));
  }
  engine.m_nStringLength = static_cast<DWORD>(length);
  ResetEvent(m_session.AbortEvent());
  m_histories.AddString(f.m_strDataString);
  m_services.updateAll(0);
  if (!m_services.openPort())
    return;
  m_groups.EnableFileGroup(0);
  m_groups.EnableFirmwareGroup(0);
  m_groups.EnableFileStartGroup(0);
  m_groups.EnableStringGroup(0);
  m_groups.EnableInterfaceGroup(0);
  if (m_pDisplay) {
    m_pDisplay->ResetDataLineCounter();
    m_pDisplay->NoteStringSent(engine.m_StringBuffer, static_cast<size_t>(length));
  }
  BeginJob(OP_STRING_TRANSFER, false);
  m_pView->SetDlgItemText(kIdcStringStart, ButtonCaption(5));
  m_session.StringJob().Set();
}

void COperations::ClearFlashSteps() {
  for (int k = 0; k < kFlashSteps; ++k)
    m_pView->SetLed(-1, kIdcStepLampSwitchMode + k, 0);
}

// The firmware file's checks; 1 when it is open as the session's transfer file.
int COperations::CheckFirmwareFile(const std::string& name) {
  if (name.empty()) {
    ShowErrorText(kErrorNoFileSelected);
    return 0;
  }
  if (!CFlashDownload::HasBinExtension(name)) {
    ShowErrorText(kErrorFirmwareNotBin);
    return 0;
  }
  if (!m_session.TransferFile().Open(name, CMyFile::kModeRead, 0)) {
    ShowErrorTextFor(kErrorFileOpen, FileProblem(name));
    return 0;
  }
  const DWORD size = m_session.TransferFile().GetSize();
  if (size == 0 || size % kFirmwareBlockSize != 0) {
    m_session.TransferFile().Close();
    ShowErrorText(size == 0 ? kErrorFileEmpty : kErrorFirmwareSizeNotKiB);
    return 0;
  }
  return 1;
}

void COperations::OnStartFirmware() {
  if (m_nRunningOperation == OP_FIRMWARE_DOWNLOAD && m_pFlash) {
    m_pView->EnableDlgItem(kIdcFirmwareStart, 0);
    SetEvent(m_session.AbortEvent());
    if (m_session.DataLog())
      m_session.DataLog()->Log("Abort Flash Download.\n");
    return;
  }
  if (m_nRunningOperation != OP_IDLE || !m_pFlash)
    return;
  // A new attempt, even one refused below, clears what the last one showed.
  ClearFlashSteps();
  m_pView->SetDlgItemText(kIdcFirmwareCrc, "");
  // The checks apply to the name the operator sees, typed or chosen.
  if (!m_services.updateAll(1))
    return;
  const std::string& name = m_fields.main.m_strFileName;
  if (!CheckFirmwareFile(name))
    return;
  m_histories.AddFile(name);
  if (m_pDisplay)
    m_pDisplay->ResetDataLineCounter();
  m_services.updateAll(1);
  m_fields.usb.m_nOutEndpoint = 0;
  m_services.updateAll(0);
  if (!m_services.openPort()) {
    m_session.TransferFile().Close();
    return;
  }
  m_groups.EnableFileGroup(0);
  m_groups.EnableFileStartGroup(0);
  m_groups.EnableStringSendButton(0);
  m_groups.EnableStringGroup(0);
  m_groups.EnableInterfaceGroup(0);
  m_pView->SetDlgItemText(kIdcFirmwareStart, ButtonCaption(5));
  for (int id = kIdcStepLabelSwitchMode; id <= kIdcStepLabelReadCrc; ++id)
    m_pView->EnableDlgItem(id, 0);
  m_session.RxDataBuffer().Reset();
  Sleep(20);
  ShowProgress(0, -1);
  ResetEvent(m_session.AbortEvent());
  BeginJob(OP_FIRMWARE_DOWNLOAD, true);
  m_pFlash->Start();
}

int COperations::ReadFileJobOutcome() const {
  // A failed write shows as the communications library's error report,
  // posted before the write completes and so handled before
  // the job's end. A lost port that ends the job (the writes failed with a
  // system error only) leaves just the engine's outcome to tell.
  if (m_bCommErrorDuringJob)
    return 0;
  return m_session.Engine().GetLastOutcome().nResult == TRANSFER_FAILED ? 0 : 1;
}

void COperations::ShowFileTransferFailed() {
  if (m_session.DataLog())
    m_session.DataLog()->Log("File Transfer failed: not every byte reached the printer.\n");
  m_pView->SetDlgItemText(kIdcRate, "-------");
  ShowErrorTextThen(kErrorFileTransferFailed, TakeHeldCommError());
}

// The "JSON Log" box: the run that has just started goes to Sendrix.jsonl in
// the Output folder, as a -J: file would log it.
void COperations::StartJsonLog() {
  int mode = kBatchDownloadFirmware;
  if (m_nRunningOperation == OP_FILE_TRANSFER)
    mode = kBatchTransmitFile;
  else if (m_nRunningOperation == OP_STRING_TRANSFER)
    mode = m_fields.main.m_nStringFormat == 1 ? kBatchSendHexString : kBatchSendAsciiString;
  const bool on = m_fields.main.m_bJsonLog == 1;
  m_batchWatch.WindowRunStarted(on ? GetProgramFolder() + "/Output/Sendrix.jsonl" : "", mode,
                                m_fields);
}

int COperations::OnJobDone() {
  const int ended = m_nRunningOperation;
  // Each job's end, for scripts that check that it came exactly once
  // (SENDRIX_DEBUG): neither the window nor the log shows it otherwise.
  char line[80];
  std::snprintf(line, sizeof line, "** WM_TRANSFER_DONE operation %d result %d\r\n", ended,
                static_cast<int>(m_session.Engine().GetLastOutcome().nResult));
  OutputDebugStringA(line);
  switch (m_nRunningOperation) {
    case OP_STRING_TRANSFER:
      m_pView->SetDlgItemText(kIdcStringStart, ButtonCaption(4));
      m_pView->EnableDlgItem(kIdcStringStart, 1);
      m_groups.EnableFileGroup(1);
      m_groups.EnableFileStartGroup(1);
      m_groups.EnableFirmwareGroup(1);
      m_groups.EnableStringSendButton(1);
      m_groups.EnableStringGroup(1);
      m_groups.EnableInterfaceGroup(1);
      break;
    case OP_FILE_TRANSFER:
      m_pView->SetDlgItemText(kIdcFileStart, ButtonCaption(2));
      m_pView->EnableDlgItem(kIdcFileStart, 1);
      m_groups.EnableRepeatGroup(1);
      m_groups.EnableFileGroup(1);
      m_groups.EnableFirmwareGroup(1);
      m_groups.EnableStringSendButton(1);
      m_groups.EnableStringGroup(1);
      m_groups.EnableInterfaceGroup(1);
      if (!ReadFileJobOutcome())
        ShowFileTransferFailed();
      break;
    case OP_FIRMWARE_DOWNLOAD:
      m_pView->SetDlgItemText(kIdcFirmwareStart, ButtonCaption(3));
      m_pView->EnableDlgItem(kIdcFirmwareStart, 1);
      m_groups.EnableFileGroup(1);
      m_groups.EnableFileStartGroup(1);
      m_groups.EnableStringSendButton(1);
      m_groups.EnableStringGroup(1);
      m_groups.EnableInterfaceGroup(1);
      break;
    default:
      return OP_IDLE;
  }
  ShowJobEndBoxes(ended == OP_FIRMWARE_DOWNLOAD &&
                      m_session.Engine().GetLastOutcome().nResult == TRANSFER_ABORTED,
                  m_pFlash && m_pFlash->EraseBegun());
  m_nRunningOperation = OP_IDLE;
  m_batchWatch.WindowRunEnded(m_session.Engine().GetLastOutcome().nResult,
                              m_session.Engine().GetLastOutcome().qwBytesDelivered);
  if (m_pProgressEcho)
    m_pProgressEcho->End();
  return ended;
}

int COperations::OutcomeExitStatus(int ended) const {
  const int status = m_session.Engine().GetLastOutcome().nResult;
  // A file job that reported a write failure failed, whatever its count said.
  if (ended == OP_FILE_TRANSFER && status == kBatchExitCompleted && !ReadFileJobOutcome())
    return kBatchExitFailed;
  return status;
}
