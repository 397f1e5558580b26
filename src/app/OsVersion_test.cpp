#include "app/OsVersion.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <fstream>
#include <string>
#include <vector>

#include "testsupport/CodecTestSupport.h"

namespace {

struct Row {
  COsVersionInfo info;
  const char* text;
  int result;
};

COsVersionInfo V(DWORD platform, DWORD major, DWORD minor, DWORD build, const char* csd,
                 BYTE productType = 1) {
  return COsVersionInfo{platform, major, minor, build, csd, productType};
}

// Win32s, 9x and NT before XP are refused; XP and later run, NT 6 names
// workstation and server apart, later versions show as xxxx.
TEST(OsVersionTest, NamesAndVerdictsOfEveryPlatform) {
  const Row rows[] = {
      {V(0, 3, 11, 0, "x"), "OS Version = Microsoft Win32s- Version 3.11 x", 0},
      // 95: "OSR2 " unless the CSD's second character is B or C; build's low word.
      {V(1, 4, 0, 0x040003B6, " A"), "OS Version = Microsoft Windows 95 OSR2 - Version 4.0.950 A",
       0},
      {V(1, 4, 0, 1111, " B"), "OS Version = Microsoft Windows 95 - Version 4.0.1111 B", 0},
      {V(1, 4, 0, 1212, " C"), "OS Version = Microsoft Windows 95 - Version 4.0.1212 C", 0},
      {V(1, 4, 0, 950, ""), "OS Version = Microsoft Windows 95 OSR2 - Version 4.0.950", 0},
      {V(1, 4, 10, 2222, " A"), "OS Version = Microsoft Windows 98 SE - Version 4.10.2222 A", 0},
      {V(1, 4, 10, 1998, ""), "OS Version = Microsoft Windows 98 - Version 4.10.1998", 0},
      {V(1, 4, 90, 3000, ""),
       "OS Version = Microsoft Windows Millemium Edition - Version 4.90.3000", 0},
      {V(1, 4, 20, 1, ""), "", 0},
      {V(2, 4, 0, 1381, "Service Pack 6"),
       "OS Version = Microsoft Windows NT Service Pack 6 - Version 4.0.1381", 0},
      {V(2, 3, 51, 1057, ""), "OS Version = Microsoft Windows NT  - Version 3.51.1057", 0},
      {V(2, 5, 0, 2195, "Service Pack 4"),
       "OS Version = Microsoft Windows 2000 Service Pack 4 - Version 5.0.2195", 0},
      {V(2, 5, 1, 2600, "Service Pack 3"),
       "OS Version = Microsoft Windows XP Service Pack 3 - Version 5.1.2600", 1},
      {V(2, 5, 2, 3790, "", 3), "OS Version = Microsoft Windows 2003 Server  - Version 5.2.3790",
       1},
      {V(2, 5, 3, 1, ""), "", 0},
      {V(2, 6, 0, 6002, "SP2"), "OS Version = Microsoft Windows Vista SP2 - Version 6.0.6002", 1},
      {V(2, 6, 0, 6002, "", 3), "OS Version = Microsoft Windows Server 2008  - Version 6.0.6002",
       1},
      {V(2, 6, 1, 7601, "Service Pack 1"),
       "OS Version = Microsoft Windows 7 Service Pack 1 - Version 6.1.7601", 1},
      {V(2, 6, 1, 7601, "", 2), "OS Version = Microsoft Windows Server 2008 R2  - Version 6.1.7601",
       1},
      {V(2, 6, 2, 9200, ""), "OS Version = Microsoft Windows 8  - Version 6.2.9200", 1},
      {V(2, 6, 2, 9200, "", 3), "OS Version = Microsoft Windows Server 2012  - Version 6.2.9200",
       1},
      {V(2, 6, 3, 9600, ""), "OS Version = Microsoft Windows xxxx  - Version 6.3.9600", 1},
      {V(2, 10, 0, 19045, ""), "OS Version = Microsoft Windows xxxx  - Version 10.0.19045", 1},
      {V(3, 1, 2, 3, "csd"), "OS Version = unknown - Version 1.2 Build 3 csd", 0},
  };
  for (const Row& row : rows) {
    std::string text = "stale";
    EXPECT_EQ(MapOsVersion(row.info, &text), row.result) << row.text;
    EXPECT_EQ(text, row.text);
  }
}

TEST(OsVersionTest, LinuxTextFromFirstReadableOsReleaseAndUname) {
  const std::string dir = ::testing::TempDir();
  const std::string quoted = dir + "/os-release-quoted";
  std::ofstream(quoted) << "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 \\\"bookworm\\\"\""
                        << "\nID=debian\n";
  const std::string bare = dir + "/os-release-bare";
  std::ofstream(bare) << "PRETTY_NAME=Plain\n";
  const std::string none = dir + "/os-release-none";
  std::ofstream(none) << "ID=x\n";
  utsname u{};
  ASSERT_EQ(uname(&u), 0);
  const std::string kernel = std::string(" - Version ") + u.release + " " + u.machine;

  EXPECT_EQ(LinuxOsVersionText({dir + "/missing", quoted, bare}),
            "OS Version = Debian GNU/Linux 12 \"bookworm\"" + kernel);
  EXPECT_EQ(LinuxOsVersionText({bare}), "OS Version = Plain" + kernel);
  EXPECT_EQ(LinuxOsVersionText({none, bare}), "OS Version = Linux" + kernel);
  EXPECT_EQ(LinuxOsVersionText({dir + "/missing"}), "OS Version = Linux" + kernel);
  std::string text;
  EXPECT_EQ(CheckOSVersion(&text), 1);
  EXPECT_EQ(text.rfind("OS Version = ", 0), 0u);
}

class OsRefusalTest : public CodecTest {};

TEST_F(OsRefusalTest, RefusedSystemShowsErrorFortyNine) {
  EXPECT_EQ(ConfirmOsSupported(1), 1);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(ConfirmOsSupported(0), 0);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"error 49"});
}

}  // namespace
