#include "report/ErrorBoxes.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "log/DataLog.h"
#include "platform/AppendFormat.h"
#include "platform/LastError.h"
#include "platform/Notifier.h"
#include "texts/TextFunctions.h"

namespace {

constexpr std::size_t kCommErrorTextSize = 512;
constexpr std::size_t kRecordTextSize = sizeof(COMM_ERROR_RECORD::szText1);

std::atomic<CDataLogHolder*> g_pErrorLog{nullptr};

void LogText(const char* text) {
  LogLine(text);
}

void ShowAndLog(const char* text) {
  AfxMessageBox(text, MB_OK | MB_ICONERROR);
  // The box's lines make one log line.
  std::string line = text;
  std::replace(line.begin(), line.end(), '\n', ' ');
  LogText(line.c_str());
}

// True when format holds at most two "%s" and no other conversion but "%%",
// so that it is safe to fill with two texts.
bool IsTwoTextFormat(const char* format) {
  int texts = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%')
      continue;
    ++p;
    if (*p == '%')
      continue;
    if (*p != 's' || ++texts > 2)
      return false;
  }
  return true;
}

// A record text is read up to its reserved size even when its NUL is missing.
std::string RecordText(const char* text) {
  return std::string(text, strnlen(text, kRecordTextSize));
}

}  // namespace

void ShowErrorText(int n) {
  const PFN_THES_GETTEXT getText = g_pfnErrorGetText.load();
  if (getText == nullptr)
    return;
  const char* text = getText(n);
  ShowAndLog(text != nullptr ? text : "");
}

void ShowErrorTextFor(int n, const std::string& detail) {
  const PFN_THES_GETTEXT getText = g_pfnErrorGetText.load();
  if (getText == nullptr)
    return;
  const char* text = getText(n);
  std::string message = text != nullptr ? text : "";
  if (!detail.empty())
    message += " (" + detail + ")";
  ShowAndLog(message.c_str());
}

void ShowErrorTextThen(int n, const std::string& advice) {
  const PFN_THES_GETTEXT getText = g_pfnErrorGetText.load();
  if (getText == nullptr)
    return;
  const char* text = getText(n);
  std::string message = text != nullptr ? text : "";
  if (!advice.empty())
    message += "\n" + advice;
  ShowAndLog(message.c_str());
}

namespace {

std::mutex g_heldLock;
bool g_bHolding = false;
std::string g_strHeld;

// True when the text was kept for the job's end instead of shown.
bool HoldText(const std::string& text) {
  std::lock_guard<std::mutex> lock(g_heldLock);
  if (!g_bHolding)
    return false;
  if (g_strHeld.empty())
    g_strHeld = text;
  return true;
}

}  // namespace

void HoldCommErrors(bool hold) {
  std::lock_guard<std::mutex> lock(g_heldLock);
  g_bHolding = hold;
  if (hold)
    g_strHeld.clear();
}

std::string TakeHeldCommError() {
  std::lock_guard<std::mutex> lock(g_heldLock);
  std::string text;
  text.swap(g_strHeld);
  return text;
}

// The record's texts for the log line of a code whose box does not carry
// them: " (text1, text2)", either left out when empty.
static std::string RecordDetails(const std::string& text1, const std::string& text2) {
  if (text1.empty() && text2.empty())
    return "";
  if (text1.empty() || text2.empty())
    return " (" + text1 + text2 + ")";
  return " (" + text1 + ", " + text2 + ")";
}

// The box's text of a comm error, and the record's details for the log line
// when the box does not carry them.
static std::string FormatCommError(const char* text, const COMM_ERROR_RECORD* record,
                                   std::string& details) {
  if (text == nullptr)
    text = "";
  const std::string text1 = record != nullptr ? RecordText(record->szText1) : std::string();
  const std::string text2 = record != nullptr ? RecordText(record->szText2) : std::string();
  char message[kCommErrorTextSize] = {};
  if (std::strstr(text, "%s") != nullptr && IsTwoTextFormat(text)) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    AppendFormatTo(message, sizeof(message), text, text1.c_str(), text2.c_str());
#pragma GCC diagnostic pop
  } else {
    AppendFormatTo(message, sizeof(message), "%s", text);
    details = RecordDetails(text1, text2);
  }
  return message;
}

std::string CommErrorText(int code, const COMM_ERROR_RECORD* record) {
  const PFN_THES_GETTEXT getText = g_pfnCommErrorGetText.load();
  std::string details;
  return getText != nullptr ? FormatCommError(getText(code), record, details) : std::string();
}

void ShowCommError(int code, const COMM_ERROR_RECORD* record) {
  const PFN_THES_GETTEXT getText = g_pfnCommErrorGetText.load();
  if (getText == nullptr)
    return;
  std::string details;
  // The box names the port or connection and the reason, as the log does.
  const std::string full = FormatCommError(getText(code), record, details) + details;
  LogText(full.c_str());
  if (!HoldText(full))
    AfxMessageBox(full.c_str(), MB_OK | MB_ICONERROR);
}

void LogCommError(int code, const COMM_ERROR_RECORD* record) {
  const PFN_THES_GETTEXT getText = g_pfnCommErrorGetText.load();
  if (getText == nullptr)
    return;
  std::string details;
  LogText((FormatCommError(getText(code), record, details) + details).c_str());
}

CDataLogHolder* SetErrorLog(CDataLogHolder* log) {
  return g_pErrorLog.exchange(log);
}

void RemoveErrorLog(CDataLogHolder* log, CDataLogHolder* previous) {
  g_pErrorLog.compare_exchange_strong(log, previous);
}

void LogLine(const char* text) {
  CDataLogHolder* log = g_pErrorLog.load();
  if (log != nullptr && *log)
    (*log)->Log(text, nullptr, 0);
}

void LogSystemError(DWORD code) {
  CDataLogHolder* log = g_pErrorLog.load();
  if (log == nullptr || !*log)
    return;
  const std::string description = SystemErrorText(code);
  char line[kAppendFormatBufferSize] = {};
  AppendFormat(line, "System Error 0x%X - Description : %s", code, description.c_str());
  LogText(line);
}
