// Boxes of the window's own wording (the text library's error texts are
// shown through report/ErrorBoxes.h): each says what it is about and what
// the operator can do. Every box is also a log line.
//
// Threading: any thread (AfxMessageBox and the log are thread-safe).
#pragma once

#include <string>

// "path: reason" for the file operation that just failed, the reason being
// the system's text for the calling thread's last error.
std::string FileProblem(const std::string& path);

// A box of the program's own wording, written to the log as the numbered
// error texts are (a line of its own).
void ShowAndLogText(const std::string& text);

// View Log found no program to show the copy of the log at `path`.
void ShowNoLogViewer(const std::string& path);

// The boxes a job's end owes, once its own failure box (which takes a held
// connection error as its cause) has been shown: ends holding the
// connection errors (report/ErrorBoxes.h) and shows one not taken (the job
// ended well, or was aborted); then, for an aborted firmware download,
// whether the flash was touched (`flashTouched`: the erase had begun).
void ShowJobEndBoxes(bool firmwareAborted, bool flashTouched);
