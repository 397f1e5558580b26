// The JSON Lines log: every line a script reads must parse as one JSON
// object with "t" and "event", whatever the texts held, also when threads
// write at once. The parser here takes flat objects of strings and numbers,
// which is all the log writes.
#include "log/JsonLinesLog.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/EngineTestSupport.h"

namespace {

using Object = std::map<std::string, std::string>;

// A JSON string at text[at] (at its quote); \uXXXX below 0x100 as that byte.
bool ParseString(const std::string& text, std::size_t& at, std::string& out) {
  if (text[at] != '"')
    return false;
  for (++at; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (static_cast<unsigned char>(c) < 0x20)
      return false;
    if (c != '\\') {
      out += c;
      continue;
    }
    const char e = text[++at];
    if (e == 'u') {
      out += static_cast<char>(std::stoi(text.substr(at + 1, 4), nullptr, 16));
      at += 4;
    } else if (e == '"' || e == '\\' || e == '/') {
      out += e;
    } else {
      return false;
    }
  }
  return false;
}

bool ParseLine(const std::string& line, Object& object) {
  std::size_t at = 0;
  if (line.empty() || line[at++] != '{')
    return false;
  while (at < line.size()) {
    std::string key, value;
    if (!ParseString(line, at, key) || line[at++] != ':')
      return false;
    if (line[at] == '"') {
      if (!ParseString(line, at, value))
        return false;
    } else {
      const std::size_t end = line.find_first_not_of("-0123456789", at);
      if (end == at || end == std::string::npos)
        return false;
      value = line.substr(at, end - at);
      at = end;
    }
    object[key] = value;
    if (line[at] == '}')
      return at + 1 == line.size();
    if (line[at++] != ',')
      return false;
  }
  return false;
}

// "2026-12-07T18:03:04.123Z": 'd' stands for a digit.
bool IsUtcTime(const std::string& text) {
  const std::string shape = "dddd-dd-ddTdd:dd:dd.dddZ";
  if (text.size() != shape.size())
    return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i])
      return false;
  }
  return true;
}

std::vector<Object> ParseFile(const std::string& path) {
  std::vector<Object> objects;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    Object object;
    EXPECT_TRUE(ParseLine(line, object)) << line;
    EXPECT_TRUE(IsUtcTime(object["t"])) << line;
    EXPECT_FALSE(object["event"].empty()) << line;
    objects.push_back(object);
  }
  return objects;
}

using JsonLinesLogTest = CEngineTest;  // for its temporary folder

TEST_F(JsonLinesLogTest, EveryEventIsOneParsableLineAppended) {
  const std::string path = m_strHome + "/run.jsonl";
  std::ofstream(path) << "{\"t\":\"2026-01-01T00:00:00.000Z\",\"event\":\"done\"}\n";
  CJsonLinesLog log;
  ASSERT_TRUE(log.Open(path));
  log.Start("send-hex-string", "tcp", "127.0.0.1:9100");
  log.Tx(3, 1);
  const uint8_t reply[] = {0x10, 0x04, 0xAB};
  log.Rx("data", reply, sizeof reply);
  const std::string hostile = "say \"hi\"\\ \n\t\x01 \xFF caf\xC3\xA9 \xE2\x80\xA6";
  log.Status("DLE EOT 4", "paper present");
  log.Error(3, hostile);
  log.Done("completed", 0);
  log.Close();
  log.Tx(1, 1);  // closed: dropped

  const std::vector<Object> lines = ParseFile(path);
  ASSERT_EQ(lines.size(), 7u);
  std::vector<std::string> events;
  for (const Object& object : lines)
    events.push_back(object.at("event"));
  EXPECT_EQ(events,
            (std::vector<std::string>{"done", "start", "tx", "rx", "status", "error", "done"}));
  EXPECT_EQ(lines[1].at("target"), "127.0.0.1:9100");
  EXPECT_EQ(lines[2].at("bytes"), "3");
  EXPECT_EQ(lines[3].at("hex"), "1004AB");
  EXPECT_EQ(lines[3].at("channel"), "data");
  // Control characters and the stray byte come back as themselves; the
  // UTF-8 sequences go through untouched.
  EXPECT_EQ(lines[4].at("words"), "paper present");
  EXPECT_EQ(lines[5].at("text"), hostile);
  EXPECT_EQ(lines[6].at("exit"), "0");
  EXPECT_FALSE(log.Open(m_strHome + "/no/such/folder/run.jsonl"));
}

TEST_F(JsonLinesLogTest, LinesFromSeveralThreadsNeverInterleave) {
  const std::string path = m_strHome + "/threads.jsonl";
  CJsonLinesLog log;
  ASSERT_TRUE(log.Open(path));
  std::vector<uint8_t> block(3000, 0x5A);
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&] {
      for (int i = 0; i < 50; ++i)
        log.Rx("usm", block.data(), block.size());
    });
  }
  for (std::thread& writer : writers)
    writer.join();
  log.Close();
  EXPECT_EQ(ParseFile(path).size(), 200u);
}

}  // namespace
