#include "batch/HeadlessProgress.h"

#include <gtest/gtest.h>

#include <string>

#include "testsupport/TestFiles.h"

namespace {

// Two passes of a file job with a progress message every 4 %: a log gets one
// line per 10 % step of each pass, and a new pass starts its steps over.
TEST(HeadlessProgress, PlainOutputHasOneLinePerTenPercentStepOfEachPass) {
  std::FILE* out = std::tmpfile();
  std::FILE* results = std::tmpfile();
  ASSERT_NE(out, nullptr);
  CHeadlessProgress progress(out, false);
  progress.SetResultOutput(results);
  for (int pass = 1; pass <= 2; ++pass) {
    for (int percent = 0; percent <= 100; percent += 4)
      progress.OnProgress(percent, pass);
    progress.OnProgress(100, pass);
  }
  progress.OnRate(812.5);  // a log gets no rate
  progress.End();
  progress.OnProgress(150, -1);  // a firmware download: no pass, clamped
  progress.OnFlashCrc(0x1CA76);
  std::string expected;
  for (int pass = 1; pass <= 2; ++pass) {
    expected += "progress 0% (pass " + std::to_string(pass) + ")\n";
    for (int step = 1; step <= 9; ++step) {
      const int first = (step * 10 + 3) / 4 * 4;  // the first multiple of 4 in the step
      expected += "progress " + std::to_string(first) + "% (pass " + std::to_string(pass) + ")\n";
    }
    expected += "progress 100% (pass " + std::to_string(pass) + ")\n";
  }
  expected += "progress 100%\n";
  EXPECT_EQ(ReadStream(out), expected);
  EXPECT_EQ(ReadStream(results), "CRC = CA76\n");
  std::fclose(out);
  std::fclose(results);
}

// A terminal gets one line rewritten in place, with the rate, ended by End().
TEST(HeadlessProgress, TerminalOutputRewritesOneLiveLine) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  CHeadlessProgress progress(out, true);
  progress.OnRate(99.0);  // no line before the first progress
  progress.OnProgress(5, 2);
  progress.OnProgress(6, 2);
  progress.OnRate(1234.56);
  progress.End();
  progress.End();  // nothing left to finish
  EXPECT_EQ(ReadStream(out),
            "\rprogress   5% (pass 2)  99.0 KB/s\x1b[K"
            "\rprogress   6% (pass 2)  99.0 KB/s\x1b[K"
            "\rprogress   6% (pass 2)  1234.6 KB/s\x1b[K\n");
  std::fclose(out);
}

}  // namespace
