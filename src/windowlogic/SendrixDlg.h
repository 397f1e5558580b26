// CSendrixDlg: the deciding logic of the main window, without Qt. It holds
// the bound fields (CDialogFields), drives the controls through IMainView,
// opens the port (CPortOpener), runs the three operations (file transfer,
// string transfer, firmware download) and handles the worker threads'
// messages.
//
// How the window layer uses it (all on the window's thread):
//  1. Construct; the settings store fills Fields(); LoadTextLibrary().
//  2. Attach(view, fileDialog, target, receiveDisplay) once the widgets
//     exist. `target` is the window's IMessageTarget: the workers and the
//     communications library post to it; the window layer delivers each
//     message on its own thread to OnMessage().
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
//     (the destructor stops the Flash thread).
//
// Threading: every member runs on the window's thread, except the port
// re-open the Flash thread makes through CPortOpener with flag 0 (it never
// touches the view; see PortOpener.h).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "batch/BatchWatch.h"
#include "batch/CommandLine.h"
#include "batch/HeadlessProgress.h"
#include "batch/HeadlessRows.h"
#include "platform/MessageTarget.h"
#include "settings/DialogFields.h"
#include "texts/TextLibrary.h"
#include "windowlogic/CommErrorGate.h"
#include "windowlogic/FirmwareGroupState.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/IFileDialog.h"
#include "windowlogic/IPortHost.h"
#include "windowlogic/IReceiveDisplay.h"
#include "windowlogic/PanelController.h"
#include "windowlogic/PortOpener.h"
#include "windowlogic/VirtualKeys.h"
#include "windowlogic/WindowHistory.h"

class CFlashDownload;

// RunningOperation.
enum : int {
  OP_IDLE = 0,
  OP_FIRMWARE_DOWNLOAD = 1,
  OP_FILE_TRANSFER = 2,
  OP_STRING_TRANSFER = 3,
};

// System-menu commands of the window.
inline constexpr unsigned IDM_ABOUTBOX = 0x10;
inline constexpr unsigned IDM_STRING_HISTORY = 0x11;
inline constexpr unsigned IDM_FILE_HISTORY = 0x12;

class CSendrixDlg : public IPortHost {
 public:
  // Runs the history manager modally on `list` (mode 0 strings, 1 files);
  // the list comes back edited. Without one the lists are shown as they are.
  using HistoryManager = std::function<void(int mode, std::vector<std::string>& list)>;
  using AboutBox = std::function<void()>;

  CSendrixDlg();
  ~CSendrixDlg() override;
  CSendrixDlg(const CSendrixDlg&) = delete;
  CSendrixDlg& operator=(const CSendrixDlg&) = delete;

  CDialogFields& Fields() { return m_fields; }
  CTextLibrary& Texts() { return m_texts; }
  // Loads the text library named by the settings (see TextLibrary.h).
  int LoadTextLibrary(const std::string& fileName);
  // The OS version line a new data log starts with.
  void SetOSVersion(const std::string& text) { m_strOSVersion = text; }

  void Attach(IMainView* view, IFileDialog* files, IMessageTarget* target,
              IReceiveDisplay* display = nullptr);
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

  // The histories of the application: at start-up the settings put them
  // here oldest first (each is added at the top); at close the window leaves
  // the files oldest first and the strings most recent first (the orders of
  // CHistoryLists, app/SettingsStore.h).
  std::vector<std::string>& FileHistoryList() { return m_fileHistory; }
  std::vector<std::string>& StringHistoryList() { return m_stringHistory; }

  // Batch run (set by the command-line parser before OnInitDialog).
  int m_nBatchMode = 0;
  int m_bAutoCloseWindow = 1;
  // The command line of a batch run (before OnInitDialog; none: interactive).
  void SetCommandLine(CCommandLine commandLine) { m_commandLine = std::move(commandLine); }
  // Tests: replaces the command line's parsing (fills the fields, returns
  // the batch mode).
  std::function<int(CSendrixDlg&)> m_fnParseCommandLine;
  // Headless run (no one can click): a batch action that a start check
  // refused closes the window instead of leaving it open.
  int m_bHeadless = 0;
  // Set before OnInitDialog when the user's settings file could not be read
  // (defaults stand in for it): a batch action then runs only when its
  // options name the interface and the port (CCommandLine::
  // NamesInterfaceAndPort); otherwise it is refused before the port opens,
  // since the default port may be another device.
  int m_bSettingsUnreadable = 0;
  // The exit status of a batch run (kBatchExit*, CommandLine.h): decided by
  // parsing for no action or an invalid one, by a refused start (1), or by
  // the engine's outcome of the batch action's job. -1 while undecided
  // (interactive, or the window closed before the action ended).
  // A printer status the receive display decoded (for the -J: log).
  void OnPrinterStatus(const std::string& source, const std::string& words) {
    m_batchWatch.OnStatus(source, words);
  }
  int BatchExitStatus() const { return m_nExitStatus; }
  // Also shows the progress and rate on `echo` (headless runs; null: none).
  void SetProgressEcho(CHeadlessProgress* echo) { m_pProgressEcho = echo; }
  // Headless runs: the printed rows, told when a download owns the data
  // channel (null: none).
  void SetRowEcho(CHeadlessRows* rows) { m_pRowEcho = rows; }
  // Aborts the running operation exactly as its Abort button does (log line,
  // abort event; the job ends with WM_TRANSFER_DONE). Returns 0 when no
  // operation runs.
  int AbortRunningOperation();

  int OnInitDialog();
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
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

  // Handlers (also reached through OnCommand and the keys).
  void OnStartTransmit();
  void OnStartString();
  void OnStartFirmware();
  void OnInterface(
      int type);  // the radios kIdcSerialRadio (0), kIdcUsbRadio (1), kIdcEthernetRadio (2)
  void OnBrowse();
  void OnRepeat();
  void OnHex();
  void OnAscii();
  void OnPacketProtocol();
  void OnCreateLog();
  void OnViewLog();

  // OpenPort of the port opener; with flag 1 the panels then show what the
  // connection offers (real-time radios, USM label).
  int OpenPort(int updateControls);
  int GetRunningOperation() const { return m_nRunningOperation; }
  const CWindowHistory& History() const { return m_history; }
  // Caption n of the text library, or null without its caption function.
  const char* GetCaptionText(int n) { return m_texts.GetCaptionText(n); }
  void ApplyCaptions();
  void ShowProgress(int percent, int repeat);

  // Group operations (b: 1 enable, 0 disable).
  void EnableFileGroup(int b);
  void EnableRepeatGroup(int b);
  void EnableStringSendButton(int b);
  void EnableFirmwareGroup(int b);
  void EnableReceiveGroup(int b);
  void EnableFileStartGroup(int b);
  void EnableStringGroup(int b);
  void EnableInterfaceGroup(int b);

  // IPortHost.
  int UpdateAll(int save) override;
  void ShowInterfacePanel(int n) override;
  void DisableAllSendControls() override;
  void EnableSendControls(int available, int firmwareFlag, int receiveFlag) override;
  void ShowDlgItem(int dialog, int id, int show) override;
  void EnableDlgItem(int dialog, int id, int enable) override;
  void RefreshSerialPortList() override;
  void RefreshUsbDeviceList() override;
  void RefreshUsmView(int usmChannel) override;

 private:
  // The caption a Start button shows: caption n, or the template's "Start"
  // (n 2..4) and "Abort" (n 5) when the library has no caption function.
  std::string ButtonCaption(int n);
  void AddFileToHistory(const std::string& path);
  void AddStringToHistory(const std::string& text);
  void ShowLists();
  void OnTransferDone();
  void StartJsonLog();
  // What follows every open with flag 1 (the panels' connection state).
  int AfterOpen(int result, int updateControls);
  void EndFileTransfer();
  // Whether the file job that just ended wrote everything; the one place
  // where the outcome of a job is read.
  int ReadFileJobOutcome();
  void ShowFileTransferFailed();
  void OnClose();
  void ConvertStrings(int toHex);
  int OpenReceivedDataFile();
  int ParseCommandLine();
  int StopStartUp(const std::string& why);

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
  // The connection values of the last open, kept here because the opener's
  // getters lock it and ShowInterfacePanel runs inside its OpenPort.
  int m_nLastUsm = 0;
  int m_nLastRealTime = 0;
  int m_nLastCompletion = 0;
  void ApplyPanelConnectionState(int panel);
  CTextLibrary m_texts;
  CPortOpener m_portOpener;
  CFirmwareGroupState m_firmwareGroup;
  CCommErrorGate m_commErrors;
  CWindowHistory m_history;
  std::vector<std::string> m_fileHistory;
  std::vector<std::string> m_stringHistory;
  std::unique_ptr<CFlashDownload> m_pFlash;
  int m_nRunningOperation = OP_IDLE;
  int m_nExitStatus = -1;
  CHeadlessProgress* m_pProgressEcho = nullptr;
  CHeadlessRows* m_pRowEcho = nullptr;
  int m_bStringBoxHadFocus = 0;  // EnableStringGroup's focus record
  int m_bCommErrorDuringJob = 0;
  int m_bInitialised = 0;
  std::string m_strLastBrowsed;
  bool m_bLastBrowsedSet = false;
  std::string m_strLogCopy;  // the last View Log copy
  std::string m_strOSVersion;
  std::string m_strRxDataFileName;
  CCommandLine m_commandLine;
  CBatchRun m_batchRun;
  CBatchWatch m_batchWatch;  // -E:, -T:, -J:
};
