// The file object: modes, handle states, packed copies, the 4 GiB limit,
// "not shared" and appending while a copy reads. (What a packed copy holds
// is checked by the virtual printer, which unframes it: EngineEndToEnd.)
#include "engine/MyFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/LastError.h"
#include "testsupport/EngineTestSupport.h"

namespace fs = std::filesystem;

namespace {

class MyFileTest : public CEngineTest {
 protected:
  std::string Path(const char* name) const { return m_strHome + "/" + name; }
  std::string Read(const char* name) const {
    std::vector<BYTE> bytes = ReadWhole(Path(name));
    return std::string(bytes.begin(), bytes.end());
  }
  void Write(const char* name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }
};

TEST_F(MyFileTest, HandleStatesAndModes) {
  CMyFile file;
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.Open(Path("missing"), CMyFile::kModeRead, 0), 0);
  EXPECT_EQ(file.GetHandle(), CMyFile::kInvalidHandle);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(file.Open(Path("x"), 2, 0), 0);  // no such mode
  EXPECT_FALSE(fs::exists(Path("x")));
  EXPECT_EQ(file.Open(m_strHome, CMyFile::kModeRead, 0), 0);  // a folder is no file

  Write("data", "old content");
  ASSERT_EQ(file.Open(Path("data"), CMyFile::kModeRead, 0), 1);
  EXPECT_EQ(file.GetSize(), 11u);
  char buffer[32];
  DWORD read = 0;
  ASSERT_EQ(file.Read(buffer, sizeof buffer, &read), 1);
  EXPECT_EQ(std::string(buffer, read), "old content");
  EXPECT_EQ(file.Append("x", 1), 0);  // read-only

  ASSERT_EQ(file.Open(Path("data"), CMyFile::kModeWrite, 0), 1);  // closes the reader first
  EXPECT_EQ(Read("data"), "");
  EXPECT_EQ(file.Close(), 1);
  EXPECT_TRUE(Boxes().empty());
}

// The copy lives in $TMPDIR without a name: nothing beside the source (its
// folder may be read-only or shared), nothing left behind.
TEST_F(MyFileTest, PackedCopiesAndTheirFailures) {
  const std::string tmp = Path("tmp");
  fs::create_directory(tmp);
  const char* savedTmp = std::getenv("TMPDIR");
  const std::string saved = savedTmp != nullptr ? savedTmp : "";
  setenv("TMPDIR", tmp.c_str(), 1);
  CMyFile file;
  Write("src", std::string(1500, 'a'));
  ASSERT_EQ(file.Open(Path("src"), CMyFile::kModeRead, 1), 1);
  EXPECT_GT(file.GetSize(), 1500u);  // two frames
  EXPECT_EQ(file.GetName(), Path("src"));
  EXPECT_FALSE(fs::exists(Path("src.pack")));
  EXPECT_TRUE(fs::is_empty(tmp));
  // A missing source gives no copy, no box, and no success.
  EXPECT_EQ(file.Open(Path("missing"), CMyFile::kModeRead, 1), 0);
  EXPECT_TRUE(Boxes().empty());
  // A copy that cannot be created: error text 1.
  setenv("TMPDIR", Path("no such folder").c_str(), 1);
  EXPECT_EQ(file.Open(Path("src"), CMyFile::kModeRead, 1), 0);
  EXPECT_EQ(file.GetHandle(), CMyFile::kInvalidHandle);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"error 1"});
  if (savedTmp != nullptr)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

TEST_F(MyFileTest, FilesOf4GiBAreRefused) {
  const std::uint64_t fourGiB = 0x100000000ull;
  int fd = ::open(Path("huge").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  bool sparse = ::ftruncate(fd, static_cast<off_t>(fourGiB - 1)) == 0;
  ::close(fd);
  if (!sparse)
    GTEST_SKIP() << "no sparse files of 4 GiB here";
  CMyFile file;
  ASSERT_EQ(file.Open(Path("huge"), CMyFile::kModeRead, 0), 1);
  EXPECT_EQ(file.GetSize(), 0xFFFFFFFFu);
  ASSERT_EQ(::truncate(Path("huge").c_str(), static_cast<off_t>(fourGiB)), 0);
  EXPECT_EQ(file.Open(Path("huge"), CMyFile::kModeRead, 0), 0);
  EXPECT_EQ(file.GetHandle(), CMyFile::kInvalidHandle);
  EXPECT_EQ(file.Open(Path("huge"), CMyFile::kModeRead, 1), 0);  // refused before packing
  EXPECT_FALSE(fs::exists(Path("huge.pack")));
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"error 24", "error 24"}));
}

TEST_F(MyFileTest, NotSharedKeepsASecondWriterOutWithoutEmptyingTheFile) {
  CMyFile first, second;
  ASSERT_EQ(first.Open(Path("rx.bin"), CMyFile::kModeWrite, 0), 1);
  ASSERT_EQ(first.Append("kept", 4), 1);
  EXPECT_EQ(second.Open(Path("rx.bin"), CMyFile::kModeWrite, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Read("rx.bin"), "kept");
  first.Close();
  EXPECT_EQ(second.Open(Path("rx.bin"), CMyFile::kModeWrite, 0), 1);
}

TEST_F(MyFileTest, AppendsLandAtTheEndWhileACopyReads) {
  CMyFile rx;
  ASSERT_EQ(rx.Open(Path("rx.bin"), CMyFile::kModeWrite, 0), 1);
  constexpr int kChunks = 2000;
  std::thread reader([&rx] {
    for (int i = 0; i < kChunks; ++i) {
      std::string chunk = std::to_string(i) + ",";
      rx.Append(chunk.data(), static_cast<DWORD>(chunk.size()));
    }
  });
  // The window's "Save As": copies from the start while bytes arrive.
  std::string copy;
  for (int pass = 0; pass < 50; ++pass) {
    copy.clear();
    rx.SeekToStart();
    char buffer[512];
    DWORD n = 0;
    for (std::uint64_t offset = 0; rx.ReadAt(offset, buffer, sizeof buffer, &n) && n > 0;
         offset += n) {
      copy.append(buffer, n);
    }
    rx.SeekToEnd();
  }
  reader.join();
  std::string expected;
  for (int i = 0; i < kChunks; ++i)
    expected += std::to_string(i) + ",";
  EXPECT_EQ(Read("rx.bin"), expected);
  EXPECT_EQ(expected.compare(0, copy.size(), copy), 0);
  std::uint64_t size = 0;
  ASSERT_EQ(rx.GetCurrentSize(&size), 1);
  EXPECT_EQ(size, expected.size());
  EXPECT_EQ(rx.GetSize(), 0u);  // as it was when opened
}

TEST_F(MyFileTest, ClearingWhileTheReaderAppends) {
  CMyFile rx;
  ASSERT_EQ(rx.Open(Path("rx.bin"), CMyFile::kModeWrite, 0), 1);
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    for (int i = 0; i < 100000 && !stop; ++i)
      rx.Append("abcd", 4);
  });
  for (int i = 0; i < 50; ++i) {
    rx.Close();
    ASSERT_EQ(rx.Open(Path("rx.bin"), CMyFile::kModeWrite, 0), 1);
  }
  stop = true;
  reader.join();
  std::string content = Read("rx.bin");
  EXPECT_EQ(content.size() % 4, 0u);
  EXPECT_EQ(content.find_first_not_of("abcd"), std::string::npos);
}

}  // namespace
