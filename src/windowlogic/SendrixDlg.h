// CSendrixDlg: the deciding logic of the main window, without Qt, as a thin
// coordinator. It holds the bound fields (CDialogFields), routes the
// window's events and the worker threads' messages, opens the port through
// CPortOpener and applies what the opener returns. Each job has its class:
// the operations (COperations: start, abort, outcome), the control-group
// rules (CControlGroups), the histories (CDialogHistories) and the batch run
// (CWindowBatch).
//
// How the window layer uses it (all on the window's thread):
//  1. Construct on the program's session (which owns the engine, the files
//     and the firmware download; the dialog keeps a reference); the settings
//     store fills Fields(); LoadTextLibrary().
//  2. Attach(view, fileDialog, target, receiveDisplay, invoker) once the
//     widgets exist. `target` is the window's IMessageTarget: the
//     communications library and the batch run post to it; the window layer
//     delivers each message on its own thread to OnMessage(). `invoker`
//     runs code on the window's thread: the workers' reports
//     (ITransferEvents) reach the logic's typed handlers through it, queued
//     in line with the target's messages (CQueuedTransferEvents).
//  3. OnInitDialog() once (returns 1, or 0 when initialisation stopped).
//  4. Events: OnCommand(id) for button / check box / radio clicks,
//     OnFileListClick(), OnDropFiles(), PreTranslateKey(key) for every
//     key-down (1 = consumed: do not pass it on), OnSysCommand(cmd) for the
//     system menu and the window manager's close (1 = go on with the
//     default processing: for SC_CLOSE, close the window).
//  5. IMainView::PostClose() is how the logic closes the window (a batch run
//     with auto-close): the window layer then calls OnSysCommand(SC_CLOSE)
//     and closes.
//  6. After the window closed: the settings store saves Fields() and the
//     histories (FileHistoryList/StringHistoryList); destroy the object
//     (the destructor ends the session's firmware download).
//
// Threading: every member runs on the window's thread, except the port
// re-open the Flash thread makes through CPortOpener::Reopen (it never
// touches the view; see PortOpener.h).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "batch/CommandLine.h"
#include "batch/HeadlessProgress.h"
#include "batch/HeadlessRows.h"
#include "engine/QueuedTransferEvents.h"
#include "engine/TransferEvents.h"
#include "platform/MessageTarget.h"
#include "settings/DialogFields.h"
#include "texts/TextLibrary.h"
#include "windowlogic/CommErrorGate.h"
#include "windowlogic/ControlGroups.h"
#include "windowlogic/DialogHistories.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/IFileDialog.h"
#include "windowlogic/IReceiveDisplay.h"
#include "windowlogic/Operations.h"
#include "windowlogic/PanelController.h"
#include "windowlogic/PortOpener.h"
#include "windowlogic/VirtualKeys.h"
#include "windowlogic/WindowBatch.h"

// System-menu commands of the window.
inline constexpr unsigned IDM_ABOUTBOX = 0x10;
inline constexpr unsigned IDM_STRING_HISTORY = 0x11;
inline constexpr unsigned IDM_FILE_HISTORY = 0x12;

class CSession;

class CSendrixDlg : public ITransferEvents {
 public:
  // Runs the history manager modally on `list` (mode 0 strings, 1 files);
  // the list comes back edited. Without one the lists are shown as they are.
  using HistoryManager = CDialogHistories::Manager;
  using AboutBox = std::function<void()>;

  explicit CSendrixDlg(CSession& session);
  ~CSendrixDlg() override;
  CSendrixDlg(const CSendrixDlg&) = delete;
  CSendrixDlg& operator=(const CSendrixDlg&) = delete;

  CDialogFields& Fields() { return m_fields; }
  CSession& Session() { return m_session; }
  CTextLibrary& Texts() { return m_texts; }
  // Loads the text library named by the settings (see TextLibrary.h).
  int LoadTextLibrary(const std::string& fileName);
  // The OS version line a new data log starts with.
  void SetOSVersion(const std::string& text) { m_strOSVersion = text; }

  void Attach(IMainView* view, IFileDialog* files, IMessageTarget* target,
              IReceiveDisplay* display = nullptr, IInvoker* invoker = nullptr);
  void SetHistoryManager(HistoryManager manager) { m_fnHistoryManager = std::move(manager); }
  void SetAboutBox(AboutBox about) { m_fnAbout = std::move(about); }
  // The Ethernet panel's Setup (the device setup dialog, modal) and the USB
  // panel's Info (the port properties in the output window).
  void SetDeviceSetup(std::function<void()> setup) { m_fnDeviceSetup = std::move(setup); }
  void SetPortProperties(std::function<void()> show) { m_fnPortProperties = std::move(show); }
  // The text library's file name given to LoadTextLibrary.
  const std::string& TextLibraryName() const { return m_strTextLibrary; }

  // The interface panels' events (panel 0 serial, 1 USB, 2 TCP/IP), once
  // Attach has run: a command by control ID, Enter on the panel, a list
  // dropping down.
  void OnPanelCommand(int panel, int id);
  void OnPanelEnter(int panel);
  void OnPanelDropDown(int panel, int id);

  // The histories of the application (see DialogHistories.h for the orders).
  std::vector<std::string>& FileHistoryList() { return m_histories.FileHistoryList(); }
  std::vector<std::string>& StringHistoryList() { return m_histories.StringHistoryList(); }
  const CWindowHistory& History() const { return m_histories.History(); }

  // The batch run: its settings before OnInitDialog, its exit status after.
  CWindowBatch& Batch() { return m_batch; }
  void SetCommandLine(CCommandLine commandLine) { m_batch.SetCommandLine(std::move(commandLine)); }
  int BatchExitStatus() const { return m_batch.ExitStatus(); }
  // The batch exit status when the window closes: a window closed while its
  // action ran has cut that action short (kBatchExitAborted); -1 when no
  // batch action decided one.
  int ExitStatusAtClose() const {
    const int status = BatchExitStatus();
    return status == -1 && GetRunningOperation() != OP_IDLE ? kBatchExitAborted : status;
  }
  // Tests: replaces the command line's parsing (fills the fields, returns
  // the batch mode).
  std::function<int(CSendrixDlg&)> m_fnParseCommandLine;
  // A printer status the receive display decoded (for the -J: log).
  void OnPrinterStatus(const std::string& source, const std::string& words) {
    m_batch.Watch().OnStatus(source, words);
  }
  // Also shows the progress and rate on `echo` (headless runs; null: none).
  void SetProgressEcho(CHeadlessProgress* echo) { m_operations.SetProgressEcho(echo); }
  // Headless runs: the printed rows, told when a download owns the data
  // channel (null: none).
  void SetRowEcho(CHeadlessRows* rows) { m_operations.SetRowEcho(rows); }
  // Aborts the running operation exactly as its Abort button does (log line,
  // abort event; the job ends with OnDone). Returns 0 when no
  // operation runs.
  int AbortRunningOperation() { return m_operations.Abort(); }
  int GetRunningOperation() const { return m_operations.Running(); }

  int OnInitDialog();
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // A block of received bytes the receive display has shown (a batch run
  // watches for its expected reply there). The bytes are valid for the call
  // only.
  void OnReceived(RxChannel channel, const BYTE* bytes, size_t count);
  // The workers' reports, on the window's thread (see Attach).
  void OnProgress(int percent, int pass) override;
  void OnRate(double kbytesPerSecond) override;
  void OnDone(const TransferOutcome& outcome) override;
  void OnLineStatus(DWORD bits, bool first) override;
  void OnFlashStep(int step, FlashStepState state) override;
  void OnFlashCrc(unsigned crc) override;
  // Results of PreTranslateKey: normal processing; consumed (nothing more
  // happens); or to the focused control only, never to the dialog's own
  // handling (Escape: the window never closes on it).
  static constexpr int kKeyNormal = 0;
  static constexpr int kKeyConsumed = 1;
  static constexpr int kKeyToControlOnly = 2;
  int PreTranslateKey(int key);
  void OnCommand(int id);
  void OnFileListClick();
  void OnDropFiles(const std::vector<std::string>& files);
  int OnSysCommand(unsigned command);

  // Data exchange of the window and its panels (1 controls to fields; 0
  // when a value was refused).
  int UpdateAll(int save);
  // Shows panel n (0 serial, 1 USB, 2 TCP/IP) with its controls enabled.
  void ShowInterfacePanel(int n) { m_groups.ShowInterfacePanel(n); }

 private:
  // Handlers (reached through OnCommand and the keys).
  void OnInterface(int type);  // the interface radios: 0 serial, 1 USB, 2 TCP/IP
  void OnBrowse();
  void OnRepeat();
  void OnHex();
  void OnAscii();
  void OnPacketProtocol();
  void OnCreateLog();
  void OnViewLog();
  void ApplyCaptions();

  // Opens the port with the fields' parameters and applies the result.
  int OpenPort();
  COpenRequest MakeOpenRequest() const;
  int ApplyOpenResult(const COpenResult& result);
  void OnClose();
  void ConvertStrings(int toHex);
  int OpenReceivedDataFile();
  int ParseCommandLine();
  void MakePanels(IMainView* view);

  CSession& m_session;
  CDialogFields m_fields;
  IMainView* m_pView = nullptr;
  IFileDialog* m_pFiles = nullptr;
  IMessageTarget* m_pTarget = nullptr;
  IReceiveDisplay* m_pDisplay = nullptr;
  HistoryManager m_fnHistoryManager;
  AboutBox m_fnAbout;
  std::function<void()> m_fnDeviceSetup;
  std::function<void()> m_fnPortProperties;
  std::string m_strTextLibrary;
  std::unique_ptr<CPanelController> m_pPanels;  // with panels that list (Attach)
  CTextLibrary m_texts;
  CPortOpener m_portOpener;
  CControlGroups m_groups;
  CDialogHistories m_histories;
  CWindowBatch m_batch;
  // Before the operations: the Flash thread they end may still report.
  std::unique_ptr<CQueuedTransferEvents> m_pEvents;
  COperations m_operations;
  CCommErrorGate m_commErrors;
  int m_bInitialised = 0;
  std::string m_strLastBrowsed;
  bool m_bLastBrowsedSet = false;
  std::string m_strLogCopy;  // the last View Log copy
  std::string m_strOSVersion;
  std::string m_strRxDataFileName;
};
