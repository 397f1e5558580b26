// The program's three ways of reporting a failure to the user and the log.
//
// Texts come from the text library's process-wide look-ups
// (texts/TextFunctions.h); message boxes go through AfxMessageBox (the
// process notifier); log lines go to the data log SetErrorLog installed, when
// logging is on. All three may be called from any thread. They never block longer than the
// notifier's MessageBox does (only the window's notifier waits for the user).
#pragma once

#include <string>

#include "comm/Cablox.h"  // COMM_ERROR_RECORD only
#include "platform/Win32Types.h"

class CDataLogHolder;

// Where the boxes' log lines go: the running session's data log, installed
// by the session for its lifetime and removed before it ends. The
// boxes are free functions called from every layer (the codecs, the command
// line, the panels, the engine's threads) as message boxes are, so, like the
// process notifier, this is the one process-wide pointer they keep; it owns
// nothing. Any thread.
// Returns the log installed before, for RemoveErrorLog.
CDataLogHolder* SetErrorLog(CDataLogHolder* log);
// When `log` is the one installed, puts `previous` back (a session made
// inside another one's lifetime hands the boxes back to it); a log installed
// later stays.
void RemoveErrorLog(CDataLogHolder* log, CDataLogHolder* previous = nullptr);
// One line to that log when logging is on; nothing otherwise.
void LogLine(const char* text);

// Error text n of the text library in an OK message box, and as a log line.
// Without the library's error function nothing is shown or logged. A null
// text from the library counts as an empty one.
void ShowErrorText(int n);

// The same with what the text is about added, " (detail)": the file and the
// reason it could not be used, say. An empty detail adds nothing.
void ShowErrorTextFor(int n, const std::string& detail);
// Error text n and, on a line of its own, the cause or what the operator
// should do (nothing more when empty).
void ShowErrorTextThen(int n, const std::string& advice);

// Communication-error text `code` in an OK message box and as a log line.
// A text holding "%s" (codes 1, 2, 3, 6 and 10 in the English library) is a
// format filled with the record's first and second text (each read up to its
// 128 bytes, so a text without its NUL is still safe); a format holding any
// conversion but "%s" and "%%", or more than two "%s", is shown as it stands.
// The result is at most 511 characters. A null record counts as two empty
// texts. Any other text gets the record's texts, " (text1, text2)" (the
// backends put the port or "address:port" and the reason, or which
// connection, there), in the box and the log line alike. Without the library's comm-error
// function nothing is shown or logged.
void ShowCommError(int code, const COMM_ERROR_RECORD* record);
// The same text as ShowCommError's, to the log only.
void LogCommError(int code, const COMM_ERROR_RECORD* record);

// While a job runs, its end tells the operator what went wrong, and a lost
// connection is the cause it names: with HoldCommErrors(true) ShowCommError
// logs its text and keeps the first one instead of showing a box, and
// TakeHeldCommError() hands that text over once ("" when none). Holding
// ends with HoldCommErrors(false), which keeps a text not taken.
void HoldCommErrors(bool hold);
std::string TakeHeldCommError();

// The text ShowCommError shows for `code` and `record`; empty without the
// library's comm-error function.
std::string CommErrorText(int code, const COMM_ERROR_RECORD* record);

// Writes "System Error 0x%X - Description : %s" with the code and the
// system's text for it to the data log when logging is on. Shows nothing.
void LogSystemError(DWORD code);
