#include "windowlogic/SendrixDlg.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "codec/Codec.h"
#include "comm/Cablox.h"
#include "engine/ReceivedDataFile.h"
#include "engine/TransferGlobals.h"
#include "firmware/FlashDownload.h"
#include "history/StringHistory.h"
#include "log/DataLog.h"
#include "platform/AppMessages.h"
#include "platform/AppendFormat.h"
#include "platform/Clock.h"
#include "platform/ControlIds.h"
#include "platform/DebugOutput.h"
#include "platform/FileIo.h"
#include "platform/Notifier.h"
#include "platform/ProgramFolder.h"
#include "platform/StopRequest.h"
#include "report/ErrorBoxes.h"
#include "windowlogic/HistoryFileBrowser.h"
#include "windowlogic/MainWindowRules.h"
#include "windowlogic/OperatorMessages.h"

namespace {

constexpr int kFileTransferFailedText = 50;
constexpr size_t kMaxDroppedName = 255;
constexpr const char* kNothingToSendText = "The data string holds no byte to send.";

// A box of the program's own wording, written to the log as the numbered
// error texts are.
void ShowAndLog(const std::string& text) {
  AfxMessageBox(text.c_str());
  if (g_pDataLog)
    g_pDataLog->Log((text + "\n").c_str());
}

}  // namespace

CSendrixDlg::CSendrixDlg() : m_portOpener(m_fields, *this, nullptr) {}

CSendrixDlg::~CSendrixDlg() {
  if (m_pFlash) {
    m_pFlash->Stop();
    if (g_pFlashDownload == m_pFlash.get())
      g_pFlashDownload = nullptr;
    m_pFlash.reset();
  }
  // The workers report to this window's target: end them before it goes.
  if (m_bInitialised && g_TransferEngine.GetMessageTarget() == m_pTarget) {
    g_TransferEngine.Shutdown();
    g_TransferEngine.SetMessageTarget(nullptr);
  }
}

int CSendrixDlg::LoadTextLibrary(const std::string& fileName) {
  m_strTextLibrary = fileName;
  return m_texts.LoadTextLibrary(fileName.c_str());
}

void CSendrixDlg::Attach(IMainView* view, IFileDialog* files, IMessageTarget* target,
                         IReceiveDisplay* display) {
  m_pView = view;
  m_pFiles = files;
  m_pTarget = target;
  m_pDisplay = display;
  m_portOpener.SetOwner(target);
  if (view == nullptr) {
    return;
  }
  auto* serialLists = dynamic_cast<IListControls*>(&view->Panel(0));
  auto* usbLists = dynamic_cast<IListControls*>(&view->Panel(1));
  if (serialLists == nullptr || usbLists == nullptr) {
    return;  // a view whose panels hold no lists: the panels' events go nowhere
  }
  CPanelHooks hooks;
  hooks.selectedInterface = [this] { return m_fields.main.m_nInterface; };
  hooks.runningOperation = [this] { return m_nRunningOperation; };
  hooks.openPort = [this](int update) { return OpenPort(update); };
  hooks.setLed = [this](int dialog, int id, int state) { m_pView->SetLed(dialog, id, state); };
  hooks.log = [](const std::string& line) {
    if (g_pDataLog)
      g_pDataLog->Log(line.c_str());
  };
  hooks.disableActionControls = [this] { DisableAllSendControls(); };
  hooks.setMonitor = [this](int monitor) {
    g_TransferEngine.SetConnectionParams(
        m_fields.main.m_nInterface, static_cast<DWORD>(m_fields.usb.m_nDeviceIndex),
        m_fields.usb.m_nOutEndpoint, m_portOpener.GetRealTimeChannel(),
        m_portOpener.GetUsmChannel(), monitor);
  };
  hooks.showPortProperties = [this] {
    UpdateAll(1);
    if (m_fnPortProperties)
      m_fnPortProperties();
  };
  hooks.openDeviceSetup = [this] {
    if (m_fnDeviceSetup)
      m_fnDeviceSetup();
  };
  m_pPanels = std::make_unique<CPanelController>(
      m_fields,
      CPanelController::Views{&view->Panel(0), serialLists, &view->Panel(1), usbLists,
                              &view->Panel(2)},
      hooks);
}

// ---- Initialisation -------------------------------------------------------

int CSendrixDlg::OnInitDialog() {
  char title[96];
  std::snprintf(title, sizeof title, "Sendrix V%d.%d.%d %s  -  pid=%X", 5, 0, 894, "svn",
                GetCurrentProcessId());
  m_pView->SetTitle(title);
  m_fields.ethernet.m_nOutputPort = 0;
  ApplyCaptions();
  if (m_pDisplay)
    m_pDisplay->ResetDataLineCounter();
  m_pFlash = std::make_unique<CFlashDownload>(m_pTarget, [this](int update) {
    // The Flash thread's re-open passes 0: CPortOpener then touches no view.
    return m_portOpener.OpenPort(update);
  });
  g_pFlashDownload = m_pFlash.get();
  for (int k = 0; k < 5; ++k)
    m_pView->SetLed(-1, 1015 + k, 0);
  for (const std::string& entry : m_fileHistory)
    m_history.AddFile(entry);
  m_fields.main.m_strFileName = m_history.Files().empty() ? "" : m_history.Files()[0].name;
  for (const std::string& entry : m_stringHistory)
    m_history.AddString(entry);
  if (!m_history.Strings().empty())
    m_fields.main.m_strDataString = m_history.Strings()[0];
  ShowLists();
  for (int id : {1007, 1008, 1009, 1010, 1011, 1012, 1059, 1060, 1061, 1062, 1063})
    m_pView->EnableDlgItem(id, 0);
  m_pView->EnableDlgItem(1158, m_fields.main.m_bCreateLog == 1);
  m_nBatchMode = ParseCommandLine();
  if (m_nBatchMode == 1)
    return 0;
  const std::string output = GetProgramFolder() + "/Output";
  if (!CreateFolderPath("", output.c_str())) {
    const std::string reason = std::strerror(errno);
    return StopStartUp("Cannot create the Output folder " + output + ": " + reason + ".");
  }
  OpenReceivedDataFile();
  // A script looks for the received data under the default name; any other
  // one (named by -F:, or taken because another run holds the default) is
  // said.
  if (m_bHeadless && m_strRxDataFileName != GetProgramFolder() + "/Output/RxData.bin")
    std::fprintf(stderr, "received-data file %s\n", m_strRxDataFileName.c_str());
  UpdateAll(0);
  m_pView->SetProgress(0);
  m_bInitialised = 1;
  if (m_pDisplay) {
    m_pDisplay->SetBlockTimes(m_fields.main.m_bShowTime, m_fields.main.m_nRxBlockGapMs);
    m_pDisplay->Start();
  }
  g_TransferEngine.SetMessageTarget(m_pTarget);
  if (!g_TransferEngine.StartTransmitThreads())
    return StopStartUp("The transfer threads could not be started.");
  if (g_pDataLog) {
    g_pDataLog->Log(m_fields.main.m_bPacketMode == 1 ? "Packet Mode = Enabled"
                                                     : "Packet Mode = Disabled");
  }
  UpdateAll(0);
  // A batch action opens the port itself at once: opening it here as well
  // would connect twice, or wait twice for a printer that never answers.
  const bool batchAction = m_nBatchMode >= 2 && m_nBatchMode <= 5;
  if (!batchAction)
    OpenPort(1);
  UpdateAll(0);
  if (batchAction)
    m_pTarget->PostMessage(WM_AUTO_START, 0, 0);
  return 1;
}

// A batch run whose start-up stopped could never reach its end: it says why
// and closes (exit 1) instead of waiting unseen for ever.
int CSendrixDlg::StopStartUp(const std::string& why) {
  ShowAndLog(why);
  if (m_nBatchMode >= kBatchTransmitFile) {
    m_nExitStatus = kBatchExitFailed;
    m_pView->PostClose();
  }
  return 0;
}

int CSendrixDlg::ParseCommandLine() {
  if (m_fnParseCommandLine)
    return m_fnParseCommandLine(*this);
  const int stringFormat = m_fields.main.m_nStringFormat;
  const int mode = m_commandLine.ParseCommandLine(m_fields, m_batchRun);
  if (m_commandLine.HasCommandLine())
    m_nExitStatus = BatchExitStatusForMode(mode);
  if (m_fields.main.m_nStringFormat != stringFormat && stringFormat >= 0) {
    // -M:X or -M:S switched the string mode: the history follows, as with
    // the window's own switch (the data string is the command line's).
    m_history.ConvertStrings(m_fields.main.m_nStringFormat);
    m_stringHistory = m_history.Strings();
    m_pView->SetStringList(m_history.Strings());
  }
  if (m_bSettingsUnreadable && BatchStartButton(mode) != 0 &&
      !m_commandLine.NamesInterfaceAndPort()) {
    AfxMessageBox(kUnreadSettingsBatchText);
    m_nExitStatus = kBatchExitFailed;
    m_pView->PostClose();
    return kBatchInvalid;
  }
  m_bAutoCloseWindow = m_batchRun.m_bAutoCloseWindow;
  if (m_batchRun.m_bEnableRepeatControls) {
    for (int id : kRepeatControlIds)
      m_pView->EnableDlgItem(id, 1);
  }
  if (m_batchRun.m_bCloseWindow)
    m_pView->PostClose();
  if (const std::string problem = m_batchWatch.Configure(m_batchRun); !problem.empty())
    AfxMessageBox(problem.c_str());
  return mode;
}

// The -F: name when given and it opens, else "RxData.bin" in the Output
// folder, or a name with the process id when another instance holds that one
// (CReceivedDataFile, the one place those names are made).
int CSendrixDlg::OpenReceivedDataFile() {
  const std::string folder = GetProgramFolder() + "/Output/";
  m_strRxDataFileName = RxDataFilePath(m_batchRun.m_strRxDataFileName, folder);
  // Opening it for writing empties it: never the file this run is to send.
  if (!m_strRxDataFileName.empty() &&
      (m_nBatchMode == kBatchTransmitFile || m_nBatchMode == kBatchDownloadFirmware) &&
      IsSameFile(m_strRxDataFileName, m_fields.main.m_strFileName)) {
    AfxMessageBox(RxDataFileIsInputText(m_strRxDataFileName).c_str());
    m_strRxDataFileName.clear();
  }
  if (!m_strRxDataFileName.empty()) {
    if (g_RxDataFile.Open(m_strRxDataFileName, CMyFile::kModeWrite, 0))
      return 1;
    AfxMessageBox(RxDataFileFailureText(m_strRxDataFileName).c_str());
  }
  return CReceivedDataFile::Open(&m_strRxDataFileName);
}

// ---- Data exchange, captions, groups ------------------------------------

int CSendrixDlg::UpdateAll(int save) {
  const int interfaceBefore = m_fields.main.m_nInterface;
  const int portBefore = m_fields.serial.m_nPortIndex;
  for (int panel = 0; panel < 3; ++panel)
    m_pView->Panel(panel).UpdateData(save);
  const int result = m_pView->UpdateData(save);
  if (!save)
    return result;
  // Controls that show no choice never unset the operator's: radios with
  // none selected, or the port list while the chosen port has gone away
  // (it is chosen again once it is back). The controls show it again.
  if (m_fields.serial.m_nPortIndex < 0 && portBefore >= 0) {
    m_fields.serial.m_nPortIndex = portBefore;
    m_pView->Panel(0).UpdateData(0);
  }
  const int read = m_fields.main.m_nInterface;
  if ((read < 0 || read > 2) && interfaceBefore >= 0 && interfaceBefore <= 2) {
    m_fields.main.m_nInterface = interfaceBefore;
    m_pView->UpdateData(0);
  }
  return result;
}

std::string CSendrixDlg::ButtonCaption(int n) {
  const char* text = GetCaptionText(n);
  if (text != nullptr)
    return text;
  return n == 5 ? "Abort" : "Start";
}

void CSendrixDlg::ApplyCaptions() {
  if (m_texts.HasCaptionFunction())
    ApplyWindowCaptions(*m_pView, m_texts, m_fields.usb.m_nOutEndpoint == 1);
}

void CSendrixDlg::EnableFileGroup(int b) {
  for (int id : {1026, 1002, 1064, 1025})
    m_pView->EnableDlgItem(id, b);
}

void CSendrixDlg::EnableRepeatGroup(int b) {
  m_pView->EnableDlgItem(1058, b);
  for (int id : {1059, 1060, 1063, 1061, 1062})
    m_pView->EnableDlgItem(id, b && m_fields.main.m_bRepeat);
}

void CSendrixDlg::EnableStringSendButton(int b) {
  m_pView->EnableDlgItem(1027, b);
}

void CSendrixDlg::EnableFirmwareGroup(int b) {
  m_firmwareGroup.Apply(*m_pView, b);
}

void CSendrixDlg::EnableReceiveGroup(int b) {
  for (int id : {1075, 1028, 1045, 1070, 1029, 1032})
    m_pView->EnableDlgItem(id, b);
}

void CSendrixDlg::EnableFileStartGroup(int b) {
  for (int id : {1003, 1002, 1065, 1156, 1157})
    m_pView->EnableDlgItem(id, b);
  EnableRepeatGroup(b);
}

void CSendrixDlg::EnableStringGroup(int b) {
  if (!b)
    m_bStringBoxHadFocus = m_pView->GetFocusId() == 1001;
  for (int id : {1066, 1001, 1031, 1030})
    m_pView->EnableDlgItem(id, b);
  // The focus goes back only once the box is enabled again: a disabled
  // control takes no focus, and it would stay on the Start button, where
  // the next blank typed sends the string once more.
  if (b && m_bStringBoxHadFocus) {
    m_pView->SetFocusId(1001);
    m_bStringBoxHadFocus = 0;
  }
}

void CSendrixDlg::EnableInterfaceGroup(int b) {
  m_pView->EnableDlgItem(1067, b);
  ShowInterfacePanel(b ? m_fields.main.m_nInterface : -1);
  for (int id : {1014, 1043, 1300, 1069})
    m_pView->EnableDlgItem(id, b);
}

void CSendrixDlg::ShowInterfacePanel(int n) {
  const int panel = n >= 0 && n <= 2 ? n : -1;
  m_pView->ShowPanel(panel);
  m_pView->EnablePanels(panel);
  ApplyPanelConnectionState(panel);
}

void CSendrixDlg::ApplyPanelConnectionState(int panel) {
  if (m_pPanels) {
    // What the last connection offers: the real-time radios, the USM label.
    m_pPanels->Usb().SetChannels(m_nLastUsm, m_nLastRealTime);
    m_pPanels->Usb().ApplyEndpointState(panel == 1, &m_texts);
    m_pPanels->Ethernet().ApplyConnectionState(panel == 2, m_nLastCompletion, m_nLastRealTime,
                                               m_nLastUsm);
  }
}

int CSendrixDlg::OpenPort(int updateControls) {
  return AfterOpen(m_portOpener.OpenPort(updateControls), updateControls);
}

int CSendrixDlg::AfterOpen(int result, int updateControls) {
  if (updateControls) {
    m_nLastUsm = m_portOpener.GetUsmChannel();
    m_nLastRealTime = m_portOpener.GetRealTimeChannel();
    m_nLastCompletion = m_portOpener.GetCompletion();
    int n = m_fields.main.m_nInterface;
    ApplyPanelConnectionState(m_nRunningOperation == OP_IDLE && n >= 0 && n <= 2 ? n : -1);
  }
  return result;
}

void CSendrixDlg::RefreshSerialPortList() {
  if (m_pPanels)
    m_pPanels->Serial().RefreshPortList();
}

void CSendrixDlg::RefreshUsbDeviceList() {
  if (m_pPanels)
    m_pPanels->Usb().RefreshDeviceList();
}

void CSendrixDlg::OnPanelCommand(int panel, int id) {
  if (m_pPanels)
    m_pPanels->OnPanelCommand(panel, id);
}

void CSendrixDlg::OnPanelEnter(int panel) {
  if (m_pPanels)
    m_pPanels->OnPanelKey(panel, VK_RETURN);
}

void CSendrixDlg::OnPanelDropDown(int panel, int id) {
  if (m_pPanels)
    m_pPanels->OnDropDown(panel, id);
}

void CSendrixDlg::DisableAllSendControls() {
  EnableFirmwareGroup(0);
  EnableReceiveGroup(0);
  EnableFileStartGroup(0);
  EnableFileGroup(0);
  EnableStringSendButton(0);
  EnableStringGroup(0);
  m_pView->EnableDlgItem(1069, 0);
}

void CSendrixDlg::EnableSendControls(int available, int firmwareFlag, int receiveFlag) {
  EnableFirmwareGroup(0);
  if (available && firmwareFlag)
    EnableFirmwareGroup(1);
  EnableReceiveGroup(available && receiveFlag);
  EnableFileStartGroup(available);
  EnableFileGroup(available);
  EnableStringSendButton(available);
  EnableStringGroup(available);
  m_pView->EnableDlgItem(1069, available);
}

void CSendrixDlg::ShowDlgItem(int dialog, int id, int show) {
  (dialog < 0 ? static_cast<IDialogView&>(*m_pView) : m_pView->Panel(dialog)).ShowDlgItem(id, show);
}

void CSendrixDlg::EnableDlgItem(int dialog, int id, int enable) {
  (dialog < 0 ? static_cast<IDialogView&>(*m_pView) : m_pView->Panel(dialog))
      .EnableDlgItem(id, enable);
}

void CSendrixDlg::RefreshUsmView(int usmChannel) {
  if (m_pDisplay)
    m_pDisplay->RefreshUsmView(usmChannel, m_fields.main.m_bShowUsm);
}

void CSendrixDlg::ShowProgress(int percent, int repeat) {
  m_pView->SetProgress(percent);
  m_pView->SetDlgItemText(1033, FormatText("%d %%", percent));
  m_fields.main.m_strRepeatNumber = repeat == -1 ? "" : FormatText("%d", repeat);
  m_pView->SetDlgItemText(1041, m_fields.main.m_strRepeatNumber);
  if (m_pProgressEcho && m_nRunningOperation != OP_IDLE)
    m_pProgressEcho->OnProgress(percent, repeat);
}

int CSendrixDlg::AbortRunningOperation() {
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

// ---- Histories --------------------------------------------------------------

void CSendrixDlg::ShowLists() {
  m_pView->SetFileList(m_history.Files());
  m_pView->SetStringList(m_history.Strings());
}

void CSendrixDlg::AddFileToHistory(const std::string& path) {
  m_history.AddFile(path);
  m_pView->SetFileList(m_history.Files());
}

void CSendrixDlg::AddStringToHistory(const std::string& text) {
  m_history.AddString(text);
  m_pView->SetStringList(m_history.Strings());
}

// ---- Operations ---------------------------------------------------------------

void CSendrixDlg::OnStartTransmit() {
  if (m_nRunningOperation == OP_FILE_TRANSFER) {
    m_pView->EnableDlgItem(1003, 0);
    SetEvent(g_hAbortEvent);
    if (g_pDataLog)
      g_pDataLog->Log("Abort File Transfer.\n");
    return;
  }
  if (m_nRunningOperation != OP_IDLE)
    return;
  // A value out of range has been reported by the exchange, which stopped
  // half-way: start nothing on fields only partly read.
  if (!UpdateAll(1) || !OpenPort(1))
    return;
  CMainFields& f = m_fields.main;
  if (f.m_strFileName.empty()) {
    ShowErrorText(6);
    return;
  }
  if (!g_TransferFile.Open(f.m_strFileName, CMyFile::kModeRead, f.m_bPacketMode)) {
    ShowErrorTextFor(3, FileProblem(f.m_strFileName));
    return;
  }
  if (g_TransferFile.GetSize() == 0) {
    ShowErrorText(4);
    g_TransferFile.Close();
    return;
  }
  AddFileToHistory(f.m_strFileName);
  if (m_pDisplay)
    m_pDisplay->ResetDataLineCounter();
  f.m_strRepeatNumber.clear();
  m_pView->SetDlgItemText(1041, "");
  if (f.m_nRepeatCount == 0)
    f.m_nRepeatCount = 1;
  if (f.m_bRepeat && f.m_nRepeatCount < -1)
    f.m_nRepeatCount = -1;
  EnableFileGroup(0);
  EnableFirmwareGroup(0);
  EnableStringSendButton(0);
  EnableStringGroup(0);
  EnableInterfaceGroup(0);
  ShowProgress(0, 0);
  UpdateAll(0);
  ResetEvent(g_hAbortEvent);
  m_nRunningOperation = OP_FILE_TRANSFER;
  StartJsonLog();
  m_bCommErrorDuringJob = 0;
  if (m_pRowEcho)
    m_pRowEcho->SetDataOwnedByProtocol(false);
  HoldCommErrors(true);
  m_pView->SetDlgItemText(1003, ButtonCaption(5));
  EnableRepeatGroup(0);
  g_TransferEngine.SetRepeatParams(f.m_bRepeat, f.m_nRepeatCount, static_cast<int>(f.m_nDelay));
  g_evFileTransfer.Set();
}

void CSendrixDlg::OnStartString() {
  UpdateAll(1);
  if (m_nRunningOperation == OP_STRING_TRANSFER) {
    SetEvent(g_hAbortEvent);
    if (g_pDataLog)
      g_pDataLog->Log("Abort String Transfer.\n");
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
      ShowAndLog(kNothingToSendText);
    return;
  }
  CTransferEngine& engine = g_TransferEngine;
  if (f.m_bPacketMode) {
    BYTE frame[1024] = {};
    length = FramePacket(bytes, frame, length);
    std::memcpy(engine.m_StringBuffer, frame, static_cast<size_t>(length));
  } else {
    std::memcpy(engine.m_StringBuffer, bytes, static_cast<size_t>(length));
  }
  engine.m_nStringLength = static_cast<DWORD>(length);
  ResetEvent(g_hAbortEvent);
  AddStringToHistory(f.m_strDataString);
  UpdateAll(0);
  if (!OpenPort(1))
    return;
  EnableFileGroup(0);
  EnableFirmwareGroup(0);
  EnableFileStartGroup(0);
  EnableStringGroup(0);
  EnableInterfaceGroup(0);
  if (m_pDisplay) {
    m_pDisplay->ResetDataLineCounter();
    m_pDisplay->NoteStringSent(engine.m_StringBuffer, static_cast<size_t>(length));
  }
  m_nRunningOperation = OP_STRING_TRANSFER;
  StartJsonLog();
  m_bCommErrorDuringJob = 0;
  if (m_pRowEcho)
    m_pRowEcho->SetDataOwnedByProtocol(false);
  HoldCommErrors(true);
  m_pView->SetDlgItemText(1027, ButtonCaption(5));
  g_evStringTransfer.Set();
}

void CSendrixDlg::OnStartFirmware() {
  if (m_nRunningOperation == OP_FIRMWARE_DOWNLOAD && m_pFlash) {
    m_pView->EnableDlgItem(1005, 0);
    SetEvent(g_hAbortEvent);
    if (g_pDataLog)
      g_pDataLog->Log("Abort Flash Download.\n");
    return;
  }
  if (m_nRunningOperation != OP_IDLE || !m_pFlash)
    return;
  // A new attempt, even one refused below, clears what the last one showed.
  for (int k = 0; k < 5; ++k)
    m_pView->SetLed(-1, 1015 + k, 0);
  m_pView->SetDlgItemText(1022, "");
  // The checks apply to the name the operator sees, typed or chosen.
  if (!UpdateAll(1))
    return;
  const std::string& name = m_fields.main.m_strFileName;
  if (name.empty()) {
    ShowErrorText(6);
    return;
  }
  if (!CFlashDownload::HasBinExtension(name)) {
    ShowErrorText(23);
    return;
  }
  if (!g_TransferFile.Open(name, CMyFile::kModeRead, 0)) {
    ShowErrorTextFor(3, FileProblem(name));
    return;
  }
  const DWORD size = g_TransferFile.GetSize();
  if (size == 0 || size % 1024 != 0) {
    g_TransferFile.Close();
    ShowErrorText(size == 0 ? 4 : 22);
    return;
  }
  AddFileToHistory(name);
  if (m_pDisplay)
    m_pDisplay->ResetDataLineCounter();
  UpdateAll(1);
  m_fields.usb.m_nOutEndpoint = 0;
  UpdateAll(0);
  if (!OpenPort(1)) {
    g_TransferFile.Close();
    return;
  }
  EnableFileGroup(0);
  EnableFileStartGroup(0);
  EnableStringSendButton(0);
  EnableStringGroup(0);
  EnableInterfaceGroup(0);
  m_pView->SetDlgItemText(1005, ButtonCaption(5));
  for (int id = 1007; id <= 1012; ++id)
    m_pView->EnableDlgItem(id, 0);
  g_RxDataBuffer.Reset();
  Sleep(20);
  ShowProgress(0, -1);
  ResetEvent(g_hAbortEvent);
  m_nRunningOperation = OP_FIRMWARE_DOWNLOAD;
  StartJsonLog();
  m_bCommErrorDuringJob = 0;
  if (m_pRowEcho)
    m_pRowEcho->SetDataOwnedByProtocol(true);
  HoldCommErrors(true);
  m_pFlash->Start();
}

int CSendrixDlg::ReadFileJobOutcome() {
  // A failed write shows as the communications library's error report,
  // posted before the write completes and so handled before
  // WM_TRANSFER_DONE. A lost port that ends the job (the writes failed with a
  // system error only) leaves just the engine's outcome to tell.
  if (m_bCommErrorDuringJob)
    return 0;
  return g_TransferEngine.GetLastOutcome().nResult == TRANSFER_FAILED ? 0 : 1;
}

void CSendrixDlg::ShowFileTransferFailed() {
  if (g_pDataLog)
    g_pDataLog->Log("File Transfer failed: not every byte reached the printer.\n");
  m_pView->SetDlgItemText(1156, "-------");
  ShowErrorTextThen(kFileTransferFailedText, TakeHeldCommError());
}

// The "JSON Log" box: the run that has just started goes to Sendrix.jsonl in
// the Output folder, as a -J: file would log it.
void CSendrixDlg::StartJsonLog() {
  int mode = kBatchDownloadFirmware;
  if (m_nRunningOperation == OP_FILE_TRANSFER)
    mode = kBatchTransmitFile;
  else if (m_nRunningOperation == OP_STRING_TRANSFER)
    mode = m_fields.main.m_nStringFormat == 1 ? kBatchSendHexString : kBatchSendAsciiString;
  const bool on = m_fields.main.m_bJsonLog == 1;
  m_batchWatch.WindowRunStarted(on ? GetProgramFolder() + "/Output/Sendrix.jsonl" : "", mode,
                                m_fields);
}

void CSendrixDlg::OnTransferDone() {
  const int ended = m_nRunningOperation;
  // Each job's end, for scripts that check that it came exactly once
  // (SENDRIX_DEBUG): neither the window nor the log shows it otherwise.
  char line[80];
  std::snprintf(line, sizeof line, "** WM_TRANSFER_DONE operation %d result %d\r\n", ended,
                static_cast<int>(g_TransferEngine.GetLastOutcome().nResult));
  OutputDebugStringA(line);
  switch (m_nRunningOperation) {
    case OP_STRING_TRANSFER:
      m_pView->SetDlgItemText(1027, ButtonCaption(4));
      m_pView->EnableDlgItem(1027, 1);
      EnableFileGroup(1);
      EnableFileStartGroup(1);
      EnableFirmwareGroup(1);
      EnableStringSendButton(1);
      EnableStringGroup(1);
      EnableInterfaceGroup(1);
      break;
    case OP_FILE_TRANSFER:
      m_pView->SetDlgItemText(1003, ButtonCaption(2));
      m_pView->EnableDlgItem(1003, 1);
      EnableRepeatGroup(1);
      EnableFileGroup(1);
      EnableFirmwareGroup(1);
      EnableStringSendButton(1);
      EnableStringGroup(1);
      EnableInterfaceGroup(1);
      if (!ReadFileJobOutcome())
        ShowFileTransferFailed();
      break;
    case OP_FIRMWARE_DOWNLOAD:
      m_pView->SetDlgItemText(1005, ButtonCaption(3));
      m_pView->EnableDlgItem(1005, 1);
      EnableFileGroup(1);
      EnableFileStartGroup(1);
      EnableStringSendButton(1);
      EnableStringGroup(1);
      EnableInterfaceGroup(1);
      break;
    default:
      return;
  }
  ShowJobEndBoxes(ended == OP_FIRMWARE_DOWNLOAD &&
                      g_TransferEngine.GetLastOutcome().nResult == TRANSFER_ABORTED,
                  m_pFlash && m_pFlash->EraseBegun());
  m_nRunningOperation = OP_IDLE;
  m_batchWatch.WindowRunEnded(g_TransferEngine.GetLastOutcome().nResult,
                              g_TransferEngine.GetLastOutcome().qwBytesDelivered);
  if (m_pProgressEcho)
    m_pProgressEcho->End();
  if (BatchModeMatchesOperation(m_nBatchMode, ended)) {
    m_nExitStatus = g_TransferEngine.GetLastOutcome().nResult;
    // A file job that reported a write failure failed, whatever its count said.
    if (ended == OP_FILE_TRANSFER && m_nExitStatus == kBatchExitCompleted && !ReadFileJobOutcome())
      m_nExitStatus = kBatchExitFailed;
  }
  if (BatchModeMatchesOperation(m_nBatchMode, ended) && m_bAutoCloseWindow == 1 &&
      m_batchWatch.ActionEnded(m_nExitStatus, g_TransferEngine.GetLastOutcome().qwBytesDelivered,
                               m_pTarget))
    m_pView->PostClose();
}

// ---- Messages -------------------------------------------------------------------

LRESULT CSendrixDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_AUTO_START:
      if (IsStopRequested()) {  // a signal came before the start: nothing is sent
        m_pView->PostClose();
        break;
      }
      UpdateAll(0);
      OnCommand(BatchStartButton(m_nBatchMode));
      if (m_nRunningOperation == OP_IDLE) {
        // A start check refused the action (its message has been shown).
        m_nExitStatus = kBatchExitFailed;
        if (m_bHeadless)
          m_pView->PostClose();
      } else {
        m_batchWatch.Started(m_nBatchMode, m_fields);
      }
      break;
    case WM_TRANSFER_PROGRESS:
      ShowProgress(static_cast<int>(wParam), static_cast<int>(lParam));
      m_batchWatch.OnProgress(static_cast<int>(lParam));
      break;
    case WM_REPLY_TIMEOUT:
      if (m_batchWatch.OnReplyTimeout(m_nExitStatus))
        m_pView->PostClose();
      break;
    case WM_ENABLE_CONTROL:
      m_pView->EnableDlgItem(static_cast<int>(wParam), lParam ? 1 : 0);
      break;
    case WM_TRANSFER_DONE:
      OnTransferDone();
      break;
    case WM_LINE_STATUS:
      if (m_pPanels)
        m_pPanels->OnLineStatus(static_cast<DWORD>(wParam));
      break;
    case WM_FLASH_STEP:
      if (wParam <= 4)
        m_pView->SetLed(-1, 1015 + static_cast<int>(wParam), static_cast<int>(lParam));
      break;
    case WM_FLASH_CRC:
      m_pView->SetDlgItemText(1022, FormatText("%04lX", static_cast<long>(wParam & 0xFFFF)));
      if (m_pProgressEcho)
        m_pProgressEcho->OnFlashCrc(static_cast<unsigned>(wParam));
      break;
    case WM_RX_DATA:
    case WM_RX_USM:
      if (m_batchWatch.OnRx(message, reinterpret_cast<const BYTE*>(lParam),
                            static_cast<DWORD>(wParam), m_nExitStatus))
        m_pView->PostClose();  // the awaited reply came
      return m_pDisplay ? m_pDisplay->OnRxMessage(message, wParam, lParam) : 1;
    case WM_SHOW_ERROR:
      m_bCommErrorDuringJob |= m_nRunningOperation != OP_IDLE;
      m_commErrors.Report(static_cast<int>(wParam),
                          reinterpret_cast<const COMM_ERROR_RECORD*>(lParam));
      m_batchWatch.OnCommError(static_cast<int>(wParam),
                               CommErrorText(static_cast<int>(wParam),
                                             reinterpret_cast<const COMM_ERROR_RECORD*>(lParam)));
      break;
    case WM_LOG_SYSTEM_ERROR:
      m_bCommErrorDuringJob |= m_nRunningOperation != OP_IDLE;
      LogSystemError(static_cast<DWORD>(wParam));
      break;
    case WM_TRANSFER_RATE: {
      // The transmit thread may already be storing the next piece's rate.
      const double rate = wParam != 0 && lParam != 0
                              ? reinterpret_cast<const std::atomic<double>*>(lParam)->load()
                              : -1.0;
      char text[64] = "-------";
      if (rate >= 0)
        std::snprintf(text, sizeof text, "%3.1f", rate);
      m_pView->SetDlgItemText(1156, text);
      if (m_pProgressEcho)
        m_pProgressEcho->OnRate(rate);
      break;
    }
    default:
      break;
  }
  return 1;
}

// ---- Keyboard and commands ------------------------------------------------------

int CSendrixDlg::PreTranslateKey(int key) {
  const int focus = m_pView->GetFocusId();
  if (key == VK_RETURN) {
    if (focus == 1001 || focus == 1027) {
      OnStartString();
    } else if (focus == 1003) {
      OnStartTransmit();
    } else if (focus == 1025) {
      const int row = m_pView->GetFileListSelection();
      if (row >= 0 && static_cast<size_t>(row) < m_history.Files().size()) {
        m_fields.main.m_strFileName = m_history.Files()[row].name;
        UpdateAll(0);
      }
      OnStartTransmit();
      m_pView->SetFocusId(1003);
    }
    return kKeyConsumed;
  }
  if (key == VK_ESCAPE)
    return kKeyToControlOnly;
  if (key == VK_UP || key == VK_DOWN) {
    if (focus == 1003) {
      m_pView->SetFocusId(1025);
      return kKeyConsumed;
    }
    if (focus == 1027) {
      m_pView->SetFocusId(1001);
      return kKeyConsumed;
    }
  }
  return kKeyNormal;
}

void CSendrixDlg::OnCommand(int id) {
  switch (id) {
    case 1003:
      OnStartTransmit();
      break;
    case 1027:
      OnStartString();
      break;
    case 1005:
      OnStartFirmware();
      break;
    case 1014:
      OnInterface(0);
      break;
    case 1043:
      OnInterface(1);
      break;
    case 1300:
      OnInterface(2);
      break;
    case 1026:
      OnBrowse();
      break;
    case 1058:
      OnRepeat();
      break;
    case 1031:
      OnHex();
      break;
    case 1030:
      OnAscii();
      break;
    case 1069:
      OnPacketProtocol();
      break;
    case 1159:
      OnCreateLog();
      break;
    case kIdcJsonLog:  // taken at the next run's start, and saved
      UpdateAll(1);
      break;
    case kIdcShowTime:
      UpdateAll(1);
      if (m_pDisplay)
        m_pDisplay->SetBlockTimes(m_fields.main.m_bShowTime, m_fields.main.m_nRxBlockGapMs);
      break;
    case 1158:
      OnViewLog();
      break;
    case 1029:
    case 1032:
    case 1070:
      if (m_pDisplay)
        m_pDisplay->OnCommand(id);
      break;
    default:
      break;
  }
}

void CSendrixDlg::OnInterface(int type) {
  static const char* const kLines[] = {"Set Interface = RS232\n", "Set Interface = USB\n",
                                       "Set Interface = TCP/IP\n"};
  const int before = m_fields.main.m_nInterface;
  UpdateAll(1);
  m_fields.main.m_nInterface = type;
  ShowInterfacePanel(type);
  CTransferEngine::LogText(kLines[type]);
  // The interface already selected, picked again: the operator's way to
  // make its connection afresh.
  if (before == type)
    AfterOpen(m_portOpener.Reconnect(), 1);
  else
    OpenPort(1);
}

void CSendrixDlg::OnBrowse() {
  UpdateAll(1);
  if (!m_bLastBrowsedSet) {
    m_strLastBrowsed = m_fields.main.m_strFileName;
    m_bLastBrowsedSet = true;
  }
  std::string chosen;
  if (m_pFiles && m_pFiles->GetOpenFileName("", CHistoryFileBrowser::InitialName(m_strLastBrowsed),
                                            CHistoryFileBrowser::Filters(), 0, chosen)) {
    m_fields.main.m_strFileName = chosen;
    m_strLastBrowsed = chosen;
  }
  UpdateAll(0);
}

void CSendrixDlg::OnDropFiles(const std::vector<std::string>& files) {
  if (files.empty())
    return;
  m_fields.main.m_strFileName = files[0].substr(0, kMaxDroppedName);
  UpdateAll(0);
}

void CSendrixDlg::OnFileListClick() {
  UpdateAll(1);
  const int row = m_pView->GetFileListSelection();
  if (row >= 0 && static_cast<size_t>(row) < m_history.Files().size()) {
    m_fields.main.m_strFileName = m_history.Files()[row].name;
    UpdateAll(0);
  }
}

void CSendrixDlg::OnRepeat() {
  UpdateAll(1);
  for (int id : {1059, 1060, 1063, 1061, 1062})
    m_pView->EnableDlgItem(id, m_fields.main.m_bRepeat == 1);
  UpdateAll(0);
}

// Converts every combo entry and the data string; the string history list
// is rebuilt from the converted entries (the combo's order).
void CSendrixDlg::ConvertStrings(int toHex) {
  UpdateAll(1);
  m_history.ConvertStrings(toHex);
  m_stringHistory = m_history.Strings();
  std::string& text = m_fields.main.m_strDataString;
  text = toHex ? EscapedToHexText(text) : HexToEscapedText(text);
  m_pView->SetStringList(m_history.Strings());
  UpdateAll(0);
}

void CSendrixDlg::OnHex() {
  if (m_fields.main.m_nStringFormat == 0)
    ConvertStrings(1);
  else
    UpdateAll(1);
}

void CSendrixDlg::OnAscii() {
  if (m_fields.main.m_nStringFormat == 1)
    ConvertStrings(0);
  else
    UpdateAll(1);
}

void CSendrixDlg::OnPacketProtocol() {
  UpdateAll(1);
  if (g_pDataLog) {
    g_pDataLog->Log(m_fields.main.m_bPacketMode == 1 ? "Packet Mode = Enabled"
                                                     : "Packet Mode = Disabled");
  }
  UpdateAll(0);
}

void CSendrixDlg::OnCreateLog() {
  UpdateAll(1);
  if (m_fields.main.m_bCreateLog == 1)
    g_pDataLog.Reset(std::make_shared<CDataLog>(m_strOSVersion));
  else if (g_pDataLog)
    g_pDataLog.Reset(nullptr);
  m_pView->EnableDlgItem(1158, m_fields.main.m_bCreateLog == 1);
  UpdateAll(0);
}

void CSendrixDlg::OnViewLog() {
  if (!m_strLogCopy.empty()) {
    std::remove(m_strLogCopy.c_str());
    m_strLogCopy.clear();
  }
  std::shared_ptr<CDataLog> log = g_pDataLog.Get();
  std::string path;
  if (!log || !log->WriteSnapshot(&path))
    return;
  m_strLogCopy = path;
  if (!m_pView->OpenWithDesktop(path))
    ShowNoLogViewer(path);
}

// ---- System menu and closing ------------------------------------------------------

int CSendrixDlg::OnSysCommand(unsigned command) {
  if (command == IDM_ABOUTBOX) {
    if (m_fnAbout)
      m_fnAbout();
  } else if (command == IDM_STRING_HISTORY) {
    m_stringHistory = m_history.Strings();
    if (m_fnHistoryManager)
      m_fnHistoryManager(0, m_stringHistory);
    // The list comes back oldest first (the manager's last row in front):
    // each entry goes on top in turn, so the manager's first row ends on top
    // and the combo shows the manager's order.
    m_history.ClearStrings();
    for (const std::string& entry : m_stringHistory)
      m_history.AddString(entry);
    ShowLists();
  } else if (command == IDM_FILE_HISTORY) {
    m_fileHistory = m_history.FileHistory();
    if (m_fnHistoryManager)
      m_fnHistoryManager(1, m_fileHistory);
    m_history.ClearFiles();
    for (const std::string& entry : m_fileHistory)
      m_history.AddFile(entry);
    ShowLists();
  } else if (command == SC_CLOSE) {
    OnClose();
  }
  return 1;
}

void CSendrixDlg::OnClose() {
  if (m_pDisplay)
    m_pDisplay->Stop();
  m_portOpener.ClosePort();
  m_fileHistory = m_history.FileHistory();
  m_stringHistory = m_history.Strings();
}
