// Hex dump rows and the log clock's arithmetic; escaping and a short row are
// checked in the whole file (DataLog_test.cpp).
#include "log/LogFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Dump(const std::string& bytes) {
  std::string out;
  AppendHexDump(out, reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
  return out;
}

SYSTEMTIME Time(int day, int h, int m, int s, int ms) {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 12;
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(h);
  t.wMinute = static_cast<WORD>(m);
  t.wSecond = static_cast<WORD>(s);
  t.wMilliseconds = static_cast<WORD>(ms);
  return t;
}

std::string Clock(const SYSTEMTIME& t) {
  char s[64];
  std::snprintf(s, sizeof s, "%02d/%02d/%04d %02d:%02d:%02d:%03d", t.wDay, t.wMonth, t.wYear,
                t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  return s;
}

TEST(HexDumpTest, FullRowsAndTheSecondRowOffset) {
  std::string bytes;
  for (int i = 0; i < 17; ++i)
    bytes.push_back(static_cast<char>(0x30 + i));
  std::string sixteen = Dump(bytes.substr(0, 16));
  EXPECT_EQ(sixteen,
            "0000: 30 31 32 33  34 35 36 37  38 39 3A 3B  3C 3D 3E 3F   "
            "0123456789:;&lt;=&gt;?\r\n");
  std::string seventeen = Dump(bytes);
  ASSERT_EQ(seventeen.substr(0, sixteen.size()), sixteen);
  std::string second = "0010: 40 ";
  second.append(59 - second.size(), ' ');
  EXPECT_EQ(seventeen.substr(sixteen.size()), second + "@\r\n");
  EXPECT_EQ(Dump(""), "");
}

TEST(HexDumpTest, OffsetKeepsItsLow16Bits) {
  std::string bytes(0x10020, 'a');
  std::string out = Dump(bytes);
  size_t rowLength = 59 + 16 + 2;
  ASSERT_EQ(out.size(), (0x10020 / 16) * rowLength);
  EXPECT_EQ(out.substr(0x1000 * rowLength, 6), "0000: ");
  EXPECT_EQ(out.substr(0x1001 * rowLength, 6), "0010: ");
}

TEST(LogClockTest, MidnightGoesToTheNextDayOfTheSameMonthAndHoursWrapAt24) {
  SYSTEMTIME late = Time(6, 23, 59, 59, 900);
  SYSTEMTIME next = AddElapsedMs(late, 200);
  EXPECT_EQ(Clock(next), "07/12/2026 00:00:00:100");
  SYSTEMTIME d = TimeDifference(next, late);
  EXPECT_EQ(d.wHour + d.wMinute + d.wSecond, 0);
  EXPECT_EQ(d.wMilliseconds, 200);
  // The day is not wrapped at the end of the month.
  EXPECT_EQ(Clock(AddElapsedMs(Time(31, 23, 0, 0, 0), 3600000)), "32/12/2026 00:00:00:000");
  // Two days and more in one step.
  EXPECT_EQ(Clock(AddElapsedMs(Time(6, 1, 0, 0, 0), 49ull * 3600000)), "08/12/2026 02:00:00:000");
  // Beyond the 49.7 days a 32-bit count of milliseconds would hold.
  EXPECT_EQ(Clock(AddElapsedMs(Time(1, 0, 0, 0, 0), 50ull * 86400000 + 1)),
            "51/12/2026 00:00:00:001");
  // Elapsed hours are taken modulo 24.
  d = TimeDifference(Time(7, 1, 0, 0, 0), Time(6, 2, 30, 0, 0));
  EXPECT_EQ(d.wHour * 60 + d.wMinute, 22 * 60 + 30);
}

}  // namespace
