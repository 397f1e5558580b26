// The JSON Lines log a script asks for with -J:FILE: one object per line,
// appended, each with "t" (UTC, ISO 8601 with milliseconds) and "event":
//
//   {"t":"2026-12-07T18:03:04.123Z","event":"start","action":"send-hex-string","interface":"tcp","target":"127.0.0.1:9100"}
//   {"t":...,"event":"tx","bytes":3,"pass":1}
//   {"t":...,"event":"rx","channel":"data","hex":"1004"}
//   {"t":...,"event":"status","source":"DLE EOT 4","words":"paper present"}
//   {"t":...,"event":"error","number":3,"text":"Cannot open ..."}
//   {"t":...,"event":"done","outcome":"completed","exit":0}
//
// The schema is in docs/batch-mode.md. Texts are escaped so that every line
// is valid JSON: control characters as \u00XX, bytes that are not UTF-8 as
// the Latin-1 character of that value.
//
// Threading: every member may be called from any thread; a line is written
// with one write() on a file opened for appending, so lines from several
// threads, or several processes sharing the file, never interleave.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

class CJsonLinesLog {
 public:
  CJsonLinesLog() = default;
  CJsonLinesLog(const CJsonLinesLog&) = delete;
  CJsonLinesLog& operator=(const CJsonLinesLog&) = delete;
  ~CJsonLinesLog();

  // Opens (creates) `path` for appending, closing any file open before.
  // False when it cannot; events are then dropped.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const;

  void Start(const std::string& action, const std::string& interfaceName,
             const std::string& target);
  void Tx(uint64_t bytes, int pass);
  // channel: "data" or "usm".
  void Rx(const char* channel, const uint8_t* data, std::size_t size);
  void Error(int number, const std::string& text);
  // source: "DLE EOT 4" or "automatic"; words: the status decoder's.
  void Status(const std::string& source, const std::string& words);
  void Done(const std::string& outcome, int exitStatus);

  // "2026-12-07T18:03:04.123Z"
  static std::string Timestamp(std::chrono::system_clock::time_point when);
  // The JSON string literal of `text`, quotes included.
  static std::string Quote(const std::string& text);

 private:
  // Writes {"t":...,"event":EVENT<fields>} and a newline; fields start with ','.
  void Write(const char* event, const std::string& fields);

  mutable std::mutex m_lock;
  int m_fd = -1;
};
