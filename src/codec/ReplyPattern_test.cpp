// The expected reply: its hex form with wildcards, matched anywhere in what
// arrives, also across reads, and the report of what did arrive.
#include "codec/ReplyPattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool FeedAll(CReplyPattern& pattern, const std::vector<uint8_t>& bytes) {
  return pattern.Feed(bytes.data(), bytes.size());
}

TEST(ReplyPatternTest, ParsesHexWithOptionalSpacesAndWildcardsOnly) {
  CReplyPattern pattern;
  for (const char* good : {"12", "10 04 ?2", "1004?2", "?? 1e", " 0A  b0 "})
    EXPECT_TRUE(pattern.Parse(good)) << good;
  for (const char* bad : {"", "  ", "1", "10 4", "1G", "0x12", "12,34", "???"})
    EXPECT_FALSE(pattern.Parse(bad)) << bad;
  EXPECT_EQ(pattern.Text(), " 0A  b0 ") << "a refused pattern leaves the last good one";
}

TEST(ReplyPatternTest, MatchesAnywhereWithWildcardsAndAcrossReads) {
  struct Case {
    const char* pattern;
    std::vector<uint8_t> reply;
    bool met;
  };
  const Case cases[] = {
      {"12", {0x00, 0x12, 0x34}, true},
      {"10 04 ?2", {0x10, 0x04, 0x72}, true},
      {"10 04 ?2", {0x10, 0x04, 0x73}, false},
      {"1?", {0x2F}, false},
      {"?? 1E", {0x1E, 0x99, 0x1E}, true},
      {"?? 1E", {0x1E}, false},             // the wildcard byte must be there too
      {"AA BB", {0xAA, 0xAA, 0xBB}, true},  // a false start does not hide the real one
      {"AA BB", {0xBB, 0xAA}, false},
  };
  for (const Case& c : cases) {
    CReplyPattern whole, split;
    ASSERT_TRUE(whole.Parse(c.pattern));
    ASSERT_TRUE(split.Parse(c.pattern));
    EXPECT_EQ(FeedAll(whole, c.reply), c.met) << c.pattern;
    for (uint8_t byte : c.reply)
      split.Feed(&byte, 1);
    EXPECT_EQ(split.Matched(), c.met) << c.pattern << " fed byte by byte";
  }
  CReplyPattern once;
  ASSERT_TRUE(once.Parse("01"));
  EXPECT_TRUE(FeedAll(once, {0x01}));
  EXPECT_TRUE(FeedAll(once, {0x02})) << "a match stays met";
}

TEST(ReplyPatternTest, ReportsTheLastBytesReceived) {
  CReplyPattern pattern;
  ASSERT_TRUE(pattern.Parse("FF"));
  EXPECT_EQ(pattern.Received(), "");
  FeedAll(pattern, {0x12, 0x0a});
  EXPECT_EQ(pattern.Received(), "12 0A");
  std::vector<uint8_t> many(CReplyPattern::kKeptBytes + 1, 0x00);
  many.back() = 0x7E;
  FeedAll(pattern, many);
  const std::string received = pattern.Received();
  EXPECT_EQ(received.rfind("… 00 00", 0), 0u) << received;
  EXPECT_EQ(received.size(), std::string("…").size() + 3 * CReplyPattern::kKeptBytes);
  EXPECT_EQ(received.substr(received.size() - 3), " 7E");
}

}  // namespace
