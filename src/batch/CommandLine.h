// The command line of a batch run of the window: "sendrix String -M:Mode
// [options]". One action (transmit a file, download firmware, send a hex or
// an ASCII data string) and its parameters; the window applies them to its
// own fields, starts the action once its initialisation is done, and closes
// itself when the action has ended.
//
// Tokens: the shell has already split and unquoted the command line, and
// QApplication has taken out its own options (-platform, -style, ...), so
// each remaining argument is one token: token 0 is String (a file path or a
// data string, spaces allowed), the others are options. Inside each option
// token the thirteen markers below are searched, anywhere in the token and
// in this order; the first one found decides and the rest is not looked at:
//   -M: mode letter T D X S     -R: repeat count     -D: delay (ms)
//   -W: 0 = stay open           -Q: L = packet mode  -F: received-data file
//   -I: interface R U T         -O: port (serial list position 1..50 or a
//                                   serial device path, or the TCP main
//                                   port; depends on -I so far)
//   -B: baud rate   -P: parity N O E M S   -H: flow N H D C X
//   -A: dotted IP address       -C: output channel M R
// and after those thirteen, so that no older command line changes meaning:
//   -E: expected reply (hex pattern, ReplyPattern.h)   -T: its wait (ms)
//   -J: JSON Lines log file
// Letters are upper case only; numbers are read as atoi reads them.
//
// How the window uses it, at the step of its initialisation after the
// controls were filled and the repeat controls disabled:
//   CBatchRun run;
//   m_nBatchMode = m_commandLine.ParseCommandLine(m_fields, run);
//   m_bAutoCloseWindow = run.m_bAutoCloseWindow;
//   if (run.m_bEnableRepeatControls) enable kRepeatControlIds;
//   if (run.m_bCloseWindow) view.PostClose();
//   if (m_nBatchMode == kBatchInvalid) stop the initialisation here;
//   ... received-data file from RxDataFilePath(run.m_strRxDataFileName, ...)
//   ... at the end, for modes 2..5, post WM_AUTO_START, whose handler
//       writes the fields to the controls and runs the handler of
//       BatchStartButton(m_nBatchMode).
//
// Threading: the window's thread. Message boxes go through ShowErrorText
// and AfxMessageBox (the process notifier); the help also goes to stdout.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/ControlIds.h"
#include "settings/DialogFields.h"

// Result of parsing, kept by the window for the whole run.
enum BatchMode : int {
  kBatchNone = 0,              // no command line: interactive run
  kBatchInvalid = 1,           // help shown, or an invalid mode letter
  kBatchTransmitFile = 2,      // -M:T
  kBatchDownloadFirmware = 3,  // -M:D
  kBatchSendHexString = 4,     // -M:X
  kBatchSendAsciiString = 5,   // -M:S
};

// The repeat controls "-R:" enables: edits kIdcRepeatCount and kIdcDelay, labels kIdcDelayLabel,
// kIdcTimesLabel and kIdcMsLabel.
inline constexpr int kRepeatControlIds[] = {kIdcRepeatCount, kIdcDelay, kIdcDelayLabel,
                                            kIdcTimesLabel, kIdcMsLabel};

// What parsing decided besides the dialog fields.
struct CBatchRun {
  int m_bAutoCloseWindow = 1;       // -W:0 makes it 0
  int m_bEnableRepeatControls = 0;  // -R: set a repeat count
  int m_bCloseWindow = 0;           // the help or error 30 was shown: close now
  std::string m_strRxDataFileName;  // -F: value as given; empty = default name
  std::string m_strExpectedReply;   // -E: pattern; empty = none awaited
  int m_nReplyTimeoutMs = 1000;     // -T: above 0
  std::string m_strJsonLog;         // -J: path; empty = no JSON Lines log
};

class CCommandLine {
 public:
  // tokens: the arguments after the program name (and after QApplication
  // took its own), in order.
  explicit CCommandLine(std::vector<std::string> tokens = {});
  static CCommandLine FromArgv(int argc, const char* const* argv);

  // True when at least one token was given (the window then shows no splash).
  bool HasCommandLine() const { return !m_tokens.empty(); }

  // Applies the options to `fields` and `run` and returns the BatchMode.
  // No token: kBatchNone, nothing changed. One token, or no "-M:" in any
  // option: the help is shown, nothing changed, run.m_bCloseWindow = 1 and
  // kBatchInvalid. An invalid mode letter: error 30, scanning goes on, and
  // unless a later "-M:" is valid the result is kBatchInvalid with
  // m_bCloseWindow = 1. A refused option value (errors 31..35, an "-A:" that
  // is not four numbers 0..255, an "-O:" port out of range or a device path
  // not listed) shows its message, scanning goes on, and the result is
  // kBatchInvalid with m_bCloseWindow = 1: nothing is sent. Whenever the
  // result is kBatchInvalid, `fields` and `run` (but m_bCloseWindow) are
  // left as they were, so nothing is saved. "-R:" below -1 means continuous
  // (-1). Call once.
  int ParseCommandLine(CDialogFields& fields, CBatchRun& run) const;

  // True when the options choose the interface ("-I:") and, after it, where
  // on it: the port ("-O:") for serial, the address ("-A:") and port for
  // TCP/IP; USB needs nothing more. What a batch run needs when it cannot
  // rely on saved settings.
  bool NamesInterfaceAndPort() const;

  // Where the help is printed besides its message box (stdout by default;
  // null prints nothing). For tests.
  void SetHelpOutput(std::FILE* out) { m_pHelpOut = out; }

  // The serial ports, in list order, that "-O:" looks a device path up in
  // (CSerialPortList::Enumerate unless set). For tests.
  using PortLister = std::function<std::vector<std::string>()>;
  void SetPortLister(PortLister lister) { m_fnListPorts = std::move(lister); }

 private:
  void ShowHelp() const;

  std::vector<std::string> m_tokens;
  std::FILE* m_pHelpOut = stdout;
  PortLister m_fnListPorts;
};

// The syntax help, byte for byte (lines end in "\r\n", groups in "\r\n\n").
const std::string& CommandLineHelpText();

// The start button whose handler WM_AUTO_START runs for `mode`: kIdcFileStart
// (transmit file), kIdcFirmwareStart (download firmware), kIdcStringStart (send data string); 0 for
// kBatchNone, kBatchInvalid and anything else.
int BatchStartButton(int mode);

// The auto-close test at the job's end: true when the operation that ended
// (RunningOperation: 1 firmware download, 2 file transfer, 3 string transfer)
// is the batch action of `mode`.
bool BatchModeMatchesOperation(int mode, int runningOperation);

// Exit statuses of a headless batch run.
inline constexpr int kBatchExitCompleted = 0;
inline constexpr int kBatchExitFailed = 1;  // refused, port not opened, transfer failed
inline constexpr int kBatchExitNoAction = 2;
inline constexpr int kBatchExitAborted = 3;
// The exit status decided by parsing alone: kBatchExitNoAction for
// kBatchNone and kBatchInvalid (and unknown values), -1 for modes 2..5, whose
// status the job's outcome decides.
int BatchExitStatusForMode(int mode);

// Shown when a batch action is refused because the settings could not be
// read and the options do not say where to send.
inline constexpr char kUnreadSettingsBatchText[] =
    "The settings could not be read, so the saved interface and port are unknown: nothing is "
    "sent. Name them on the command line (-I: with -O:, and -A: for TCP/IP).";

// Path of the received-data file named by "-F:". An empty value gives an
// empty path (use the default name). A value holding a '/' is a path as it
// stands (relative to the current folder when it does not start with '/');
// any other value is a file name in `outputFolder`.
std::string RxDataFilePath(const std::string& value, const std::string& outputFolder);

// The message shown when the file "-F:" names cannot be created, before the
// window falls back to its default name.
std::string RxDataFileFailureText(const std::string& path);
// The message shown when "-F:" names the file the action sends (opening it
// for the received data would empty it); the default file is used instead.
std::string RxDataFileIsInputText(const std::string& path);
