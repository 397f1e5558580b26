#include "windowlogic/SendrixDlg.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "codec/Codec.h"
#include "engine/ReceivedDataFile.h"
#include "history/StringHistory.h"
#include "log/DataLog.h"
#include "platform/AppMessages.h"
#include "platform/ControlIds.h"
#include "platform/FileIo.h"
#include "platform/Notifier.h"
#include "platform/ProgramFolder.h"
#include "platform/StopRequest.h"
#include "report/ErrorBoxes.h"
#include "session/Session.h"
#include "windowlogic/HistoryFileBrowser.h"
#include "windowlogic/MainWindowRules.h"
#include "windowlogic/OperatorMessages.h"

namespace {

constexpr size_t kMaxDroppedName = 255;
constexpr int kFlashSteps = 5;   // the lamps
constexpr int kFlashLabels = 6;  // reading the CRC has a label and no lamp
constexpr int kLedFailed = 1;
constexpr int kLedPassed = 2;

}  // namespace

CSendrixDlg::CSendrixDlg(CSession& session)
    : m_session(session),
      m_portOpener(nullptr, session.Engine()),
      m_groups(m_fields, m_portOpener, m_texts),
      m_operations(session, m_fields, m_groups, m_histories, m_texts, m_batch.Watch()) {}

CSendrixDlg::~CSendrixDlg() {
  // The workers report to this window's target: end them before it goes.
  if (m_bInitialised && m_session.Engine().GetEvents() == m_pEvents.get()) {
    m_session.Engine().Shutdown();
    m_session.Engine().SetEvents(nullptr);
  }
}

int CSendrixDlg::LoadTextLibrary(const std::string& fileName) {
  m_strTextLibrary = fileName;
  return m_texts.LoadTextLibrary(fileName.c_str());
}

void CSendrixDlg::Attach(IMainView* view, IFileDialog* files, IMessageTarget* target,
                         IReceiveDisplay* display, IInvoker* invoker) {
  m_pEvents =
      invoker != nullptr ? std::make_unique<CQueuedTransferEvents>(*invoker, *this) : nullptr;
  m_pView = view;
  m_pFiles = files;
  m_pTarget = target;
  m_pDisplay = display;
  m_portOpener.SetOwner(target);
  m_histories.SetView(view);
  m_batch.SetView(view, target);
  m_operations.Attach(
      view, target, display,
      {[this](int save) { return UpdateAll(save); }, [this] { return OpenPort(); }});
  m_groups.Attach(view, nullptr);
  if (view != nullptr)
    MakePanels(view);
}

void CSendrixDlg::MakePanels(IMainView* view) {
  auto* serialLists = dynamic_cast<IListControls*>(&view->Panel(0));
  auto* usbLists = dynamic_cast<IListControls*>(&view->Panel(1));
  if (serialLists == nullptr || usbLists == nullptr) {
    return;  // a view whose panels hold no lists: the panels' events go nowhere
  }
  CPanelHooks hooks;
  hooks.selectedInterface = [this] { return m_fields.main.m_nInterface; };
  hooks.runningOperation = [this] { return m_operations.Running(); };
  hooks.openPort = [this](int) { return OpenPort(); };
  hooks.setLed = [this](int dialog, int id, int state) { m_pView->SetLed(dialog, id, state); };
  hooks.log = [this](const std::string& line) {
    if (m_session.DataLog())
      m_session.DataLog()->Log(line.c_str());
  };
  hooks.disableActionControls = [this] { m_groups.DisableAllSendControls(); };
  hooks.setMonitor = [this](int monitor) {
    const CConnectionOffer offer = m_portOpener.GetOffer();
    m_session.Engine().SetConnectionParams(
        m_fields.main.m_nInterface, static_cast<DWORD>(m_fields.usb.m_nDeviceIndex),
        m_fields.usb.m_nOutEndpoint, offer.nRealTimeChannel, offer.nUsmChannel, monitor);
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
  m_groups.Attach(view, m_pPanels.get());
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
  // The Flash thread's re-open: the last parameters, no view.
  m_operations.CreateFlash(m_pEvents.get(), [this](int) { return m_portOpener.Reopen(); });
  for (int k = 0; k < kFlashSteps; ++k)
    m_pView->SetLed(-1, kIdcStepLampSwitchMode + k, 0);
  m_histories.Load(m_fields.main);
  for (int id : {kIdcStepLabelSwitchMode, kIdcStepLabelFlashSize, kIdcStepLabelErase,
                 kIdcStepLabelDownload, kIdcStepLabelCheckCrc, kIdcStepLabelReadCrc,
                 kIdcRepeatCount, kIdcDelay, kIdcTimesLabel, kIdcMsLabel, kIdcDelayLabel})
    m_pView->EnableDlgItem(id, 0);
  m_pView->EnableDlgItem(kIdcViewLog, m_fields.main.m_bCreateLog == 1);
  m_batch.m_nBatchMode = ParseCommandLine();
  m_operations.SetBatchMode(m_batch.m_nBatchMode);
  if (m_batch.m_nBatchMode == 1)
    return 0;
  const std::string output = GetProgramFolder() + "/Output";
  if (!CreateFolderPath("", output.c_str())) {
    const std::string reason = std::strerror(errno);
    return m_batch.StopStartUp("Cannot create the Output folder " + output + ": " + reason + ".");
  }
  OpenReceivedDataFile();
  // A script looks for the received data under the default name; any other
  // one (named by -F:, or taken because another run holds the default) is
  // said.
  if (m_batch.m_bHeadless && m_strRxDataFileName != GetProgramFolder() + "/Output/RxData.bin")
    std::fprintf(stderr, "received-data file %s\n", m_strRxDataFileName.c_str());
  UpdateAll(0);
  m_pView->SetProgress(0);
  m_bInitialised = 1;
  if (m_pDisplay) {
    m_pDisplay->SetBlockTimes(m_fields.main.m_bShowTime, m_fields.main.m_nRxBlockGapMs);
    m_pDisplay->Start();
  }
  m_session.Engine().SetEvents(m_pEvents.get());
  if (!m_session.Engine().StartTransmitThreads())
    return m_batch.StopStartUp("The transfer threads could not be started.");
  if (m_session.DataLog()) {
    m_session.DataLog()->Log(m_fields.main.m_bPacketMode == 1 ? "Packet Mode = Enabled"
                                                              : "Packet Mode = Disabled");
  }
  UpdateAll(0);
  // A batch action opens the port itself at once: opening it here as well
  // would connect twice, or wait twice for a printer that never answers.
  const bool batchAction = m_batch.HasAction();
  if (!batchAction)
    OpenPort();
  UpdateAll(0);
  if (batchAction)
    m_pTarget->PostMessage(WM_AUTO_START, 0, 0);
  return 1;
}

int CSendrixDlg::ParseCommandLine() {
  if (m_fnParseCommandLine)
    return m_fnParseCommandLine(*this);
  return m_batch.Parse(m_fields, m_histories);
}

// The -F: name when given and it opens, else "RxData.bin" in the Output
// folder, or a name with the process id when another instance holds that one
// (CReceivedDataFile, the one place those names are made).
int CSendrixDlg::OpenReceivedDataFile() {
  const std::string folder = GetProgramFolder() + "/Output/";
  m_strRxDataFileName = RxDataFilePath(m_batch.Run().m_strRxDataFileName, folder);
  // Opening it for writing empties it: never the file this run is to send.
  if (!m_strRxDataFileName.empty() &&
      (m_batch.m_nBatchMode == kBatchTransmitFile ||
       m_batch.m_nBatchMode == kBatchDownloadFirmware) &&
      IsSameFile(m_strRxDataFileName, m_fields.main.m_strFileName)) {
    AfxMessageBox(RxDataFileIsInputText(m_strRxDataFileName).c_str());
    m_strRxDataFileName.clear();
  }
  if (!m_strRxDataFileName.empty()) {
    if (m_session.RxDataFile().Open(m_strRxDataFileName, CMyFile::kModeWrite, 0))
      return 1;
    AfxMessageBox(RxDataFileFailureText(m_strRxDataFileName).c_str());
  }
  return CReceivedDataFile::Open(m_session.Engine(), &m_strRxDataFileName);
}

// ---- Data exchange, captions, the port ------------------------------------

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

void CSendrixDlg::ApplyCaptions() {
  if (m_texts.HasCaptionFunction())
    ApplyWindowCaptions(*m_pView, m_texts, m_fields.usb.m_nOutEndpoint == 1);
}

COpenRequest CSendrixDlg::MakeOpenRequest() const {
  COpenRequest request;
  request.nInterface = m_fields.main.m_nInterface;
  request.serial = m_fields.serial;
  request.usb = m_fields.usb;
  request.ethernet = m_fields.ethernet;
  return request;
}

int CSendrixDlg::OpenPort() {
  return ApplyOpenResult(m_portOpener.Open(MakeOpenRequest()));
}

// What the window shows after an open, in the order the result gives it;
// then the panels show what the connection offers.
int CSendrixDlg::ApplyOpenResult(const COpenResult& result) {
  m_fields.ethernet.m_strMac = result.strMac;
  if (m_pPanels && result.bRefreshSerialList)
    m_pPanels->Serial().RefreshPortList();
  if (m_pPanels && result.bRefreshUsbList)
    m_pPanels->Usb().RefreshDeviceList();
  if (result.bShowFields)
    UpdateAll(0);
  if (result.bHideUsbLamps) {
    m_pView->Panel(1).ShowDlgItem(kIdcUsbLampError, 0);
    m_pView->Panel(1).ShowDlgItem(kIdcUsbLampPaperOut, 0);
  }
  if (result.nPanel >= 0)
    m_groups.ShowInterfacePanel(result.nPanel);
  if (result.bSendControls)
    m_groups.EnableSendControls(1, result.bFirmwareFlag, result.bReceiveFlag);
  if (result.bDisableUsbInfo)
    m_pView->Panel(1).EnableDlgItem(kIdcUsbInfo, 0);
  if (result.nShowUsmButton >= 0)
    m_pView->ShowDlgItem(kIdcShowUsm, result.nShowUsmButton);
  if (result.nUsmView >= 0 && m_pDisplay)
    m_pDisplay->RefreshUsmView(result.nUsmView, m_fields.main.m_bShowUsm);
  const int n = m_fields.main.m_nInterface;
  m_groups.ApplyConnectionOffer(m_operations.Running() == OP_IDLE && n >= 0 && n <= 2 ? n : -1);
  return result.bOk;
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

// ---- Messages -------------------------------------------------------------------

void CSendrixDlg::OnDone(const TransferOutcome& outcome) {
  const int ended = m_operations.OnJobDone();
  if (ended != OP_IDLE)
    m_batch.JobEnded(ended, m_operations.OutcomeExitStatus(ended), outcome.qwBytesDelivered);
}

void CSendrixDlg::OnProgress(int percent, int pass) {
  m_operations.ShowProgress(percent, pass);
  m_batch.Watch().OnProgress(pass);
}

void CSendrixDlg::OnRate(double kbytesPerSecond) {
  m_operations.ShowRate(kbytesPerSecond);
}

void CSendrixDlg::OnLineStatus(DWORD bits, bool /*first*/) {
  if (m_pPanels)
    m_pPanels->OnLineStatus(bits);
}

void CSendrixDlg::OnFlashStep(int step, FlashStepState state) {
  if (state == FlashStepState::kBegun) {
    if (step >= 0 && step < kFlashLabels)
      m_pView->EnableDlgItem(kIdcStepLabelSwitchMode + step, 1);
  } else if (step >= 0 && step < kFlashSteps) {
    m_pView->SetLed(-1, kIdcStepLampSwitchMode + step,
                    state == FlashStepState::kFailed ? kLedFailed : kLedPassed);
  }
}

void CSendrixDlg::OnFlashCrc(unsigned crc) {
  m_operations.ShowFlashCrc(crc);
}

void CSendrixDlg::OnReceived(RxChannel channel, const BYTE* bytes, size_t count) {
  m_batch.OnRx(channel, bytes, static_cast<DWORD>(count));
}

LRESULT CSendrixDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_AUTO_START:
      if (IsStopRequested()) {  // a signal came before the start: nothing is sent
        m_pView->PostClose();
        break;
      }
      UpdateAll(0);
      OnCommand(BatchStartButton(m_batch.m_nBatchMode));
      m_batch.ActionStarted(m_operations.Running(), m_fields);
      break;
    case WM_REPLY_TIMEOUT:
      m_batch.OnReplyTimeout();
      break;
    case WM_SHOW_ERROR:
      m_operations.NoteCommError();
      m_commErrors.Report(static_cast<int>(wParam),
                          reinterpret_cast<const COMM_ERROR_RECORD*>(lParam));
      m_batch.Watch().OnCommError(
          static_cast<int>(wParam),
          CommErrorText(static_cast<int>(wParam),
                        reinterpret_cast<const COMM_ERROR_RECORD*>(lParam)));
      break;
    case WM_LOG_SYSTEM_ERROR:
      m_operations.NoteCommError();
      LogSystemError(static_cast<DWORD>(wParam));
      break;
    default:
      break;
  }
  return 1;
}

// ---- Keyboard and commands ------------------------------------------------------

int CSendrixDlg::PreTranslateKey(int key) {
  const int focus = m_pView->GetFocusId();
  if (key == VK_RETURN) {
    if (focus == kIdcDataString || focus == kIdcStringStart) {
      m_operations.OnStartString();
    } else if (focus == kIdcFileStart) {
      m_operations.OnStartTransmit();
    } else if (focus == kIdcFileList) {
      const int row = m_pView->GetFileListSelection();
      if (const std::string name = m_histories.FileAt(row); !name.empty()) {
        m_fields.main.m_strFileName = name;
        UpdateAll(0);
      }
      m_operations.OnStartTransmit();
      m_pView->SetFocusId(kIdcFileStart);
    }
    return kKeyConsumed;
  }
  if (key == VK_ESCAPE)
    return kKeyToControlOnly;
  if (key == VK_UP || key == VK_DOWN) {
    if (focus == kIdcFileStart) {
      m_pView->SetFocusId(kIdcFileList);
      return kKeyConsumed;
    }
    if (focus == kIdcStringStart) {
      m_pView->SetFocusId(kIdcDataString);
      return kKeyConsumed;
    }
  }
  return kKeyNormal;
}

void CSendrixDlg::OnCommand(int id) {
  switch (id) {
    case kIdcFileStart:
      m_operations.OnStartTransmit();
      break;
    case kIdcStringStart:
      m_operations.OnStartString();
      break;
    case kIdcFirmwareStart:
      m_operations.OnStartFirmware();
      break;
    case kIdcSerialRadio:
      OnInterface(0);
      break;
    case kIdcUsbRadio:
      OnInterface(1);
      break;
    case kIdcEthernetRadio:
      OnInterface(2);
      break;
    case kIdcBrowse:
      OnBrowse();
      break;
    case kIdcRepeat:
      OnRepeat();
      break;
    case kIdcHexRadio:
      OnHex();
      break;
    case kIdcAsciiRadio:
      OnAscii();
      break;
    case kIdcPacketProtocol:
      OnPacketProtocol();
      break;
    case kIdcCreateLog:
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
    case kIdcViewLog:
      OnViewLog();
      break;
    case kIdcClearBuffer:
    case kIdcSaveAs:
    case kIdcShowUsm:
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
  m_groups.ShowInterfacePanel(type);
  m_session.Engine().LogText(kLines[type]);
  // The interface already selected, picked again: the operator's way to
  // make its connection afresh.
  if (before == type)
    ApplyOpenResult(m_portOpener.Reconnect(MakeOpenRequest()));
  else
    OpenPort();
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
  if (const std::string name = m_histories.FileAt(row); !name.empty()) {
    m_fields.main.m_strFileName = name;
    UpdateAll(0);
  }
}

void CSendrixDlg::OnRepeat() {
  UpdateAll(1);
  m_groups.FollowRepeatBox();
  UpdateAll(0);
}

// Converts every combo entry and the data string; the string history list
// is rebuilt from the converted entries (the combo's order).
void CSendrixDlg::ConvertStrings(int toHex) {
  UpdateAll(1);
  m_histories.ConvertStrings(toHex);
  std::string& text = m_fields.main.m_strDataString;
  text = toHex ? EscapedToHexText(text) : HexToEscapedText(text);
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
  if (m_session.DataLog()) {
    m_session.DataLog()->Log(m_fields.main.m_bPacketMode == 1 ? "Packet Mode = Enabled"
                                                              : "Packet Mode = Disabled");
  }
  UpdateAll(0);
}

void CSendrixDlg::OnCreateLog() {
  UpdateAll(1);
  if (m_fields.main.m_bCreateLog == 1)
    m_session.DataLog().Reset(std::make_shared<CDataLog>(m_strOSVersion));
  else if (m_session.DataLog())
    m_session.DataLog().Reset(nullptr);
  m_pView->EnableDlgItem(kIdcViewLog, m_fields.main.m_bCreateLog == 1);
  UpdateAll(0);
}

void CSendrixDlg::OnViewLog() {
  if (!m_strLogCopy.empty()) {
    std::remove(m_strLogCopy.c_str());
    m_strLogCopy.clear();
  }
  std::shared_ptr<CDataLog> log = m_session.DataLog().Get();
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
    m_histories.Edit(0, m_fnHistoryManager);
  } else if (command == IDM_FILE_HISTORY) {
    m_histories.Edit(1, m_fnHistoryManager);
  } else if (command == SC_CLOSE) {
    OnClose();
  }
  return 1;
}

void CSendrixDlg::OnClose() {
  if (m_pDisplay)
    m_pDisplay->Stop();
  m_portOpener.ClosePort(m_fields.main.m_nInterface);
  m_histories.KeepForSaving();
}
