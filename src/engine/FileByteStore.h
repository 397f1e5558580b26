// CFileByteStore: a receive list's bytes in a file, with only the newest
// kTailBytes and one read window in memory, so a list holds the same memory
// at any length and a row anywhere in it is one read away.
//
// The file is one of two:
//  - the received-data file (OverReceivedDataFile). The data reader already
//    appends every data-channel byte to the session's received-data file
//    (CTransferObjects::rxDataFile), in the order the
//    display feed hands them over, so the store writes nothing: byte i of the
//    list is byte i of the file. That holds when the list and the file start
//    empty together (CTransferEngine::EnableDisplayFeeds, ClearReceivedData
//    say when). The reader writes in batches of up to
//    CTransferEngine::kRxFileBatchSize, so the newest bytes the display has
//    taken may not be in the file yet: the tail, larger than a batch, holds
//    them. Reads go through that file's ReadAt (its own offsets), whoever
//    opened the file and under whatever name ("-F:", the "-pid" name).
//  - a spill file of its own (Spill), for the USM list, or the data list
//    when the received-data file is not in step with it: Append writes each
//    block there. The file is made at the first Append in the given folder,
//    "<prefix>-pid<PID>-<6 characters>.bin", and removed when the store is
//    destroyed; spill files left by a process that no longer runs are
//    removed when a new one is made.
//
// Reads: bytes in the tail come from memory (a list that follows the stream
// paints from there); older bytes from the window, which a miss refills with
// one read of kWindowBytes (1024 rows, more than a screen holds) from the
// 4 KiB boundary below.
//
// What the tail copies: over the received-data file, an append of at least
// kAskFileBytes asks the file's size first, and the bytes the file holds
// already are not copied (they read through the window), so a fast stream,
// whose blocks are mostly written by the time the display takes them, costs
// the display a copy of the newest bytes only. The tail then holds the bytes
// from the first one not known to be in the file.
//
// Failures: a spill file that cannot be made or written stops the spill at
// that byte; what the file cannot give back reads short (the list leaves
// those rows blank), and the tail still shows the newest bytes.
//
// Thread safety: none; the window's thread uses a store. The received-data
// file is shared with the reader through CMyFile's own lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/ByteStore.h"

class CMyFile;

class CFileByteStore : public IByteStore {
 public:
  // The received-data file's tail covers what the reader has not written;
  // a spill file holds every byte at once, so its tail only spares the
  // following list a read per paint.
  static constexpr size_t kTailBytes = 256 * 1024;
  static constexpr size_t kSpillTailBytes = 16 * 1024;
  static constexpr size_t kWindowBytes = 16 * 1024;
  static constexpr size_t kWindowAlign = 4096;
  static constexpr size_t kAskFileBytes = 4096;

  // `rxDataFile`: the session's received-data file; it outlives the store.
  static std::unique_ptr<CFileByteStore> OverReceivedDataFile(CMyFile& rxDataFile);
  static std::unique_ptr<CFileByteStore> Spill(const std::string& folder,
                                               const std::string& prefix);
  ~CFileByteStore() override;
  CFileByteStore(const CFileByteStore&) = delete;
  CFileByteStore& operator=(const CFileByteStore&) = delete;

  void Append(const BYTE* data, size_t length) override;
  // Over the received-data file only: what the file holds needs no copy.
  bool AppendHeld(size_t length) override;
  size_t Read(std::uint64_t offset, BYTE* out, size_t count) const override;
  // Forgets every byte; a spill file is emptied in place. (The received-data
  // file is emptied by the engine, which owns it.)
  void Clear() override;
  size_t MemoryBytes() const override { return m_tail.capacity() + m_window.capacity(); }
  // The spill file's path; empty before it is made, and for the
  // received-data file.
  const std::string& SpillName() const { return m_strSpill; }

 private:
  explicit CFileByteStore(size_t tailBytes) : m_nTailBytes(tailBytes) {}
  std::uint64_t TailStart() const;
  // How many of `length` bytes appended at m_nBytes the file holds already.
  size_t InFileAlready(size_t length);
  void KeepInTail(std::uint64_t offset, const BYTE* data, size_t length);
  void SpillOut(const BYTE* data, size_t length);
  bool MakeSpill();
  size_t ReadFile(std::uint64_t offset, BYTE* out, size_t count) const;
  size_t ReadOlder(std::uint64_t offset, BYTE* out, size_t count) const;

  const size_t m_nTailBytes;
  CMyFile* m_pRxDataFile = nullptr;  // over the received-data file only
  bool m_bSpill = false;
  std::string m_strFolder;
  std::string m_strPrefix;
  std::string m_strSpill;
  int m_fd = -1;
  bool m_bSpillStopped = false;
  std::uint64_t m_nSpilled = 0;   // bytes the spill file holds
  std::vector<BYTE> m_tail;       // a ring: the byte at offset o sits at o % m_nTailBytes
  std::uint64_t m_nTailFrom = 0;  // the tail holds no byte before this one
  std::uint64_t m_nInFile = 0;    // the received-data file's size when last asked
  std::uint64_t m_nBytes = 0;
  mutable std::vector<BYTE> m_window;
  mutable std::uint64_t m_nWindowStart = 0;
  mutable size_t m_nWindowLength = 0;
};
