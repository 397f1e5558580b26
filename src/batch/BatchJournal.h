// The JSON Lines log of a batch run (-J:FILE): what the run did, as the
// events of log/JsonLinesLog.h, for scripts to read back (schema in
// docs/batch-mode.md):
//   start  when the action has started: action, interface, target
//   tx     at the run's end: the bytes the printer took, the passes made
//   rx     every read of the data channel ("data") or the status channel
//          ("usm"), in hex
//   status every status the decoder read (codec/StatusDecoder.h): its source
//          and words
//   error  every communication error: its number and the text shown
//   done   the outcome and the exit status
//
// Threading: the window's thread only.
#pragma once

#include <cstdint>
#include <string>

#include "log/JsonLinesLog.h"
#include "platform/Win32Types.h"
#include "settings/DialogFields.h"

class CBatchJournal {
 public:
  // Appends to `path` (created when missing); false when it cannot.
  bool Open(const std::string& path);
  bool IsOpen() const { return m_log.IsOpen(); }
  void Close() { m_log.Close(); }

  // mode: the BatchMode (CommandLine.h) of the action that started.
  void Start(int mode, const CDialogFields& fields);
  // channel: "data" or "usm".
  void Rx(const char* channel, const BYTE* data, DWORD size);
  void Error(int number, const std::string& text);
  void Status(const std::string& source, const std::string& words) { m_log.Status(source, words); }
  void Progress(int pass);
  // The action's end (bytes delivered) and the run's exit status.
  void Done(std::uint64_t bytes, int exitStatus);

  // "completed", "failed", "no-action", "aborted", "reply-not-received".
  static const char* OutcomeName(int exitStatus);

 private:
  CJsonLinesLog m_log;
  int m_nPasses = 0;
};
