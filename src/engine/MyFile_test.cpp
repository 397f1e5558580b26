// The file object: modes, handle states, packed copies, the 4 GiB limit,
// "not shared" and appending while a copy reads.
#include "engine/MyFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "codec/Codec.h"
#include "platform/LastError.h"
#include "testsupport/RecordingNotifier.h"
#include "texts/TextFunctions.h"

namespace fs = std::filesystem;

namespace {

const char* ErrorText(int n) {
  switch (n) {
    case 1:
      return "error 1";
    case 24:
      return "error 24";
    default:
      return "other error";
  }
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string Frame(const std::string& block) {
  std::vector<BYTE> out(2 * block.size() + 3);
  int n = FramePacket(reinterpret_cast<const BYTE*>(block.data()), out.data(),
                      static_cast<int>(block.size()));
  return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n));
}

class MyFileTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("SENDRIX_TEST_TMP");
    fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(root);
    std::string templ = (root / "fileXXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    m_dir = templ;
    SetNotifier(&m_notifier);
    g_pfnErrorGetText.store(&ErrorText);
  }
  void TearDown() override {
    g_pfnErrorGetText.store(nullptr);
    SetNotifier(nullptr);
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  std::string Path(const char* name) const { return (m_dir / name).string(); }

  fs::path m_dir;
  CRecordingNotifier m_notifier;
};

TEST_F(MyFileTest, HandleStatesAndModes) {
  CMyFile file;
  EXPECT_EQ(file.GetHandle(), CMyFile::kNullHandle);
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.Open(Path("missing"), CMyFile::kModeRead, 0), 0);
  EXPECT_EQ(file.GetHandle(), CMyFile::kInvalidHandle);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(file.GetName(), Path("missing"));
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.GetHandle(), CMyFile::kNullHandle);
  EXPECT_EQ(file.Open(Path("x"), 2, 0), 0);  // no such mode
  EXPECT_FALSE(fs::exists(m_dir / "x"));
  EXPECT_EQ(file.Open(m_dir.string(), CMyFile::kModeRead, 0), 0);  // a folder is no file

  WriteFile(m_dir / "data", "old content");
  ASSERT_EQ(file.Open(Path("data"), CMyFile::kModeRead, 0), 1);
  EXPECT_EQ(file.GetSize(), 11u);
  char buffer[32];
  DWORD read = 0;
  ASSERT_EQ(file.Read(buffer, sizeof buffer, &read), 1);
  EXPECT_EQ(std::string(buffer, read), "old content");
  EXPECT_EQ(file.Append("x", 1), 0);  // read-only

  ASSERT_EQ(file.Open(Path("data"), CMyFile::kModeWrite, 0), 1);  // closes the reader first
  EXPECT_EQ(file.GetSize(), 0u);
  EXPECT_EQ(ReadFile(m_dir / "data"), "");
  EXPECT_EQ(file.Close(), 1);
  EXPECT_EQ(file.GetHandle(), CMyFile::kNullHandle);
  EXPECT_TRUE(m_notifier.Texts().empty());
}

TEST_F(MyFileTest, PackedCopies) {
  CMyFile file;
  WriteFile(m_dir / "empty", "");
  ASSERT_EQ(file.Open(Path("empty"), CMyFile::kModeRead, 1), 1);
  EXPECT_EQ(file.GetSize(), 0u);
  EXPECT_EQ(file.GetName(), Path("empty"));
  EXPECT_TRUE(fs::exists(m_dir / "empty.pack"));
  EXPECT_EQ(fs::file_size(m_dir / "empty.pack"), 0u);

  std::string source(1025, '\0');
  for (size_t i = 0; i < source.size(); ++i)
    source[i] = static_cast<char>(i * 13);
  WriteFile(m_dir / "big", source);
  ASSERT_EQ(file.Open(Path("big"), CMyFile::kModeRead, 1), 1);
  std::string expected = Frame(source.substr(0, 1024)) + Frame(source.substr(1024));
  EXPECT_EQ(ReadFile(m_dir / "big.pack"), expected);
  EXPECT_EQ(file.GetSize(), expected.size());
  std::string read(expected.size() + 10, '\0');
  DWORD n = 0;
  ASSERT_EQ(file.Read(read.data(), static_cast<DWORD>(read.size()), &n), 1);
  EXPECT_EQ(read.substr(0, n), expected);

  WriteFile(m_dir / "esc", "\x1A");
  ASSERT_EQ(file.Open(Path("esc"), CMyFile::kModeRead, 1), 1);
  EXPECT_EQ(ReadFile(m_dir / "esc.pack"), std::string("\x02\x1A\xE5\x03\xE3", 5));
  file.Close();
  EXPECT_TRUE(m_notifier.Texts().empty());
}

TEST_F(MyFileTest, PackingFailures) {
  CMyFile file;
  // A missing source gives no copy, no box, and no success.
  EXPECT_EQ(file.Open(Path("missing"), CMyFile::kModeRead, 1), 0);
  EXPECT_FALSE(fs::exists(m_dir / "missing.pack"));
  EXPECT_TRUE(m_notifier.Texts().empty());
  // A copy that cannot be created: error text 1.
  WriteFile(m_dir / "src", "abc");
  fs::create_directory(m_dir / "src.pack");
  EXPECT_EQ(file.Open(Path("src"), CMyFile::kModeRead, 1), 0);
  EXPECT_EQ(file.GetHandle(), CMyFile::kInvalidHandle);
  EXPECT_EQ(m_notifier.Texts(), std::vector<std::string>{"error 1"});
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
  EXPECT_FALSE(fs::exists(m_dir / "huge.pack"));
  EXPECT_EQ(m_notifier.Texts(), (std::vector<std::string>{"error 24", "error 24"}));
}

TEST_F(MyFileTest, NotSharedKeepsASecondWriterOutWithoutEmptyingTheFile) {
  CMyFile first, second;
  ASSERT_EQ(first.Open(Path("rx.bin"), CMyFile::kModeWrite, 0), 1);
  ASSERT_EQ(first.Append("kept", 4), 1);
  EXPECT_EQ(second.Open(Path("rx.bin"), CMyFile::kModeWrite, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(second.GetHandle(), CMyFile::kInvalidHandle);
  EXPECT_EQ(ReadFile(m_dir / "rx.bin"), "kept");
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
  EXPECT_EQ(ReadFile(m_dir / "rx.bin"), expected);
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
  std::string content = ReadFile(m_dir / "rx.bin");
  EXPECT_EQ(content.size() % 4, 0u);
  EXPECT_EQ(content.find_first_not_of("abcd"), std::string::npos);
}

}  // namespace
