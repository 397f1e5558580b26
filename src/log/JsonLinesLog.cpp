#include "log/JsonLinesLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

constexpr mode_t kFileMode = 0644;
constexpr unsigned char kFirstNonAscii = 0x80;
constexpr unsigned char kFirstPrintable = 0x20;

// The length of the UTF-8 sequence starting at text[at], or 0 when the
// bytes there are not one.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                             : lead >= 0xE0                 ? 3
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                                                            : 0;
  if (lead >= 0xF5 || length == 0 || at + length > text.size())
    return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
      return 0;
  }
  return length;
}

void AppendEscaped(std::string& out, unsigned value) {
  char escaped[16];
  std::snprintf(escaped, sizeof escaped, "\\u%04X", value);
  out += escaped;
}

}  // namespace

CJsonLinesLog::~CJsonLinesLog() {
  Close();
}

bool CJsonLinesLog::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_fd >= 0)
    close(m_fd);
  m_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, kFileMode);
  return m_fd >= 0;
}

void CJsonLinesLog::Close() {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_fd >= 0)
    close(m_fd);
  m_fd = -1;
}

bool CJsonLinesLog::IsOpen() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_fd >= 0;
}

std::string CJsonLinesLog::Timestamp(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms % 1000));
  return text;
}

std::string CJsonLinesLog::Quote(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < kFirstPrintable || c == 0x7F) {
      AppendEscaped(out, c);
    } else if (c < kFirstNonAscii) {
      out += static_cast<char>(c);
    } else if (const std::size_t length = Utf8Length(text, i); length > 0) {
      out.append(text, i, length);
      i += length - 1;
    } else {
      AppendEscaped(out, c);
    }
  }
  return out + "\"";
}

void CJsonLinesLog::Write(const char* event, const std::string& fields) {
  const std::string line = "{\"t\":\"" + Timestamp(std::chrono::system_clock::now()) +
                           "\",\"event\":\"" + event + "\"" + fields + "}\n";
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_fd >= 0 && write(m_fd, line.data(), line.size()) < 0) {
    // A full disk must not stop the job; the log just ends there.
  }
}

void CJsonLinesLog::Start(const std::string& action, const std::string& interfaceName,
                          const std::string& target) {
  Write("start", ",\"action\":" + Quote(action) + ",\"interface\":" + Quote(interfaceName) +
                     ",\"target\":" + Quote(target));
}

void CJsonLinesLog::Tx(uint64_t bytes, int pass) {
  Write("tx", ",\"bytes\":" + std::to_string(bytes) + ",\"pass\":" + std::to_string(pass));
}

void CJsonLinesLog::Rx(const char* channel, const uint8_t* data, std::size_t size) {
  std::string hex;
  hex.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02X", data[i]);
    hex += digits;
  }
  Write("rx", ",\"channel\":" + Quote(channel) + ",\"hex\":\"" + hex + "\"");
}

void CJsonLinesLog::Status(const std::string& source, const std::string& words) {
  Write("status", ",\"source\":" + Quote(source) + ",\"words\":" + Quote(words));
}

void CJsonLinesLog::Error(int number, const std::string& text) {
  Write("error", ",\"number\":" + std::to_string(number) + ",\"text\":" + Quote(text));
}

void CJsonLinesLog::Done(const std::string& outcome, int exitStatus) {
  Write("done", ",\"outcome\":" + Quote(outcome) + ",\"exit\":" + std::to_string(exitStatus));
}
