// The spill file of a receive list: bytes read back at any offset, emptied
// in place, removed with the store, leftovers of dead processes swept; a
// spill that cannot be made still shows the newest bytes; and the store over
// the received-data file copies only what the file does not hold yet.
#include "engine/FileByteStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "engine/MyFile.h"
#include "platform/Clock.h"
#include "testsupport/TestFiles.h"

namespace fs = std::filesystem;

namespace {

std::vector<BYTE> Pattern(size_t size) {
  std::vector<BYTE> bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<BYTE>(i * 7 + (i >> 10));
  return bytes;
}

std::vector<BYTE> ReadBack(const IByteStore& store, std::uint64_t offset, size_t count) {
  std::vector<BYTE> out(count);
  out.resize(store.Read(offset, out.data(), count));
  return out;
}

TEST(FileByteStoreTest, SpillReadsBackEmptiesInPlaceAndGoesWithTheStore) {
  const std::string folder = MakeTestFolder("spill");
  ASSERT_FALSE(folder.empty());
  // 7FFFFFF0 is no process; the other name is this process's own.
  char own[64];
  std::snprintf(own, sizeof own, "/RxUsm-pid%X-keep00.bin", GetCurrentProcessId());
  WriteFileBytes(folder + "/RxUsm-pid7FFFFFF0-dead00.bin", "x");
  WriteFileBytes(folder + own, "y");
  const std::vector<BYTE> bytes = Pattern(300000);
  std::string spill;
  {
    auto store = CFileByteStore::Spill(folder, "RxUsm");
    store->Append(bytes.data(), 100000);
    store->Append(bytes.data() + 100000, bytes.size() - 100000);
    spill = store->SpillName();
    EXPECT_FALSE(fs::exists(folder + "/RxUsm-pid7FFFFFF0-dead00.bin"));
    EXPECT_TRUE(fs::exists(folder + own));
    EXPECT_EQ(fs::file_size(spill), bytes.size());
    for (std::uint64_t offset : {0ull, 4095ull, 16383ull, 150001ull, 299990ull}) {
      const std::vector<BYTE> got = ReadBack(*store, offset, 16);
      const size_t want = std::min<size_t>(16, bytes.size() - offset);
      ASSERT_EQ(got.size(), want) << offset;
      EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + offset)) << offset;
    }
    EXPECT_LT(store->MemoryBytes(), 64u * 1024);
    store->Clear();
    EXPECT_EQ(fs::file_size(spill), 0u);
    EXPECT_TRUE(ReadBack(*store, 0, 16).empty());
    store->Append(bytes.data() + 5, 40000);
    EXPECT_EQ(ReadBack(*store, 0, 16), std::vector<BYTE>(bytes.begin() + 5, bytes.begin() + 21));
  }
  EXPECT_FALSE(fs::exists(spill));
  fs::remove_all(folder);
}

TEST(FileByteStoreTest, SpillThatCannotBeMadeStillShowsTheNewestBytes) {
  auto store = CFileByteStore::Spill("/nonexistent-folder-for-a-test", "RxUsm");
  const std::vector<BYTE> bytes = Pattern(100000);
  store->Append(bytes.data(), bytes.size());
  EXPECT_TRUE(store->SpillName().empty());
  EXPECT_TRUE(ReadBack(*store, 0, 16).empty());  // gone with the file
  const std::vector<BYTE> last = ReadBack(*store, bytes.size() - 16, 16);
  EXPECT_EQ(last, std::vector<BYTE>(bytes.end() - 16, bytes.end()));
}

// A received-data file the test writes as the reader would, and the bytes.
class RxDataFileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = MakeTestFolder("rxfile");
    ASSERT_FALSE(m_folder.empty());
    ASSERT_EQ(m_rxDataFile.Open(m_folder + "/RxData.bin", CMyFile::kModeWrite, 0), 1);
  }
  void TearDown() override {
    m_rxDataFile.Close();
    fs::remove_all(m_folder);
  }
  void Write(size_t from, size_t to) {
    ASSERT_EQ(m_rxDataFile.Append(m_bytes.data() + from, static_cast<DWORD>(to - from)), 1);
  }
  // The row at each offset reads as the bytes there, up to the store's size.
  void ExpectRows(const IByteStore& store, size_t size, std::initializer_list<size_t> offsets) {
    for (size_t offset : offsets) {
      const std::vector<BYTE> got = ReadBack(store, offset, 16);
      ASSERT_EQ(got.size(), std::min<size_t>(16, size - offset)) << offset;
      EXPECT_TRUE(std::equal(got.begin(), got.end(), m_bytes.begin() + offset)) << offset;
    }
  }

  std::string m_folder;
  CMyFile m_rxDataFile;
  const std::vector<BYTE> m_bytes = Pattern(400000);
};

// What the reader has written already is read back from the file and costs
// the store no copy; what it has not written yet comes from the tail; rows
// read the same on either side of the seam.
TEST_F(RxDataFileStoreTest, KeepsInMemoryOnlyWhatTheReaderHasNotWritten) {
  auto store = CFileByteStore::OverReceivedDataFile(m_rxDataFile);
  Write(0, 300000);
  store->Append(m_bytes.data(), 200000);
  EXPECT_EQ(store->MemoryBytes(), 0u);             // all in the file: nothing copied
  store->Append(m_bytes.data() + 200000, 150000);  // the last 50000 not written yet
  ExpectRows(*store, 350000, {0, 4096, 199990, 299990, 349995});
  Write(300000, 400000);
  store->Append(m_bytes.data() + 350000, 50000);
  ExpectRows(*store, 400000, {0, 4096, 199990, 299990, 399995});
  EXPECT_LE(store->MemoryBytes(), CFileByteStore::kTailBytes + CFileByteStore::kWindowBytes);
}

// Bytes a list only counts (the file holds them, nobody else wants them):
// refused while the file does not hold them all, and once added, every row
// reads from the file, those the tail held before included; a spill store,
// which has no received-data file behind it, refuses.
TEST_F(RxDataFileStoreTest, AddsHeldBytesOnlyWhenTheFileHoldsThem) {
  auto store = CFileByteStore::OverReceivedDataFile(m_rxDataFile);
  Write(0, 100000);
  store->Append(m_bytes.data(), 120000);  // the last 20000 in the tail only
  EXPECT_FALSE(store->AppendHeld(50000));
  EXPECT_TRUE(ReadBack(*store, 120000, 16).empty());
  Write(100000, 250000);
  EXPECT_TRUE(store->AppendHeld(130000));
  ExpectRows(*store, 250000, {0, 110000, 119992, 120000, 249984, 249995});
  Write(250000, 300000);
  store->Append(m_bytes.data() + 250000, 50000);
  ExpectRows(*store, 300000, {249992, 260000, 299984});
  EXPECT_FALSE(CFileByteStore::Spill(m_folder, "RxUsm")->AppendHeld(1));
}

}  // namespace
