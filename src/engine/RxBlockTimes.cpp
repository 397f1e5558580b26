#include "engine/RxBlockTimes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>

#include "platform/Clock.h"

namespace {

constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::uint64_t kMaxStep = std::numeric_limits<std::uint32_t>::max();

}  // namespace

void CRxBlockTimes::Add(std::uint64_t count, std::int64_t atMs) {
  if (count == 0)
    return;
  if (m_nBytes == 0 || atMs - m_nLastMs > static_cast<std::int64_t>(m_nIdleGapMs))
    StartBlock(atMs);
  m_nLastMs = atMs;
  m_nBytes += count;
}

void CRxBlockTimes::AddTake(const std::vector<CRxFeed::Mark>& marks, std::uint64_t count,
                            std::int64_t wallOffsetMs) {
  for (size_t i = 0; i < marks.size(); ++i) {
    const std::uint64_t end = i + 1 < marks.size() ? marks[i + 1].offset : count;
    Add(end - marks[i].offset, static_cast<std::int64_t>(marks[i].ms) + wallOffsetMs);
  }
}

std::int64_t CRxBlockTimes::WallOffsetMs() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() -
         static_cast<std::int64_t>(NowMs());
}

void CRxBlockTimes::StartBlock(std::int64_t atMs) {
  if (!m_runs.empty()) {
    Run& run = m_runs.back();
    const std::uint64_t offsetStep = m_nBytes - run.baseOffset;
    const std::int64_t timeStep = atMs - run.baseMs;
    if (run.entries.size() < kRunEntries && offsetStep <= kMaxStep && timeStep >= 0 &&
        static_cast<std::uint64_t>(timeStep) <= kMaxStep) {
      run.entries.push_back(
          {static_cast<std::uint32_t>(offsetStep), static_cast<std::uint32_t>(timeStep)});
      return;
    }
  }
  m_runs.push_back(Run{m_nBytes, atMs, {Entry{0, 0}}});
}

void CRxBlockTimes::Clear() {
  m_runs = {};  // frees the memory, not only the entries
  m_nBytes = 0;
  m_nLastMs = 0;
}

size_t CRxBlockTimes::BlockCount() const {
  size_t count = 0;
  for (const Run& run : m_runs)
    count += run.entries.size();
  return count;
}

size_t CRxBlockTimes::MemoryBytes() const {
  size_t bytes = m_runs.capacity() * sizeof(Run);
  for (const Run& run : m_runs)
    bytes += run.entries.capacity() * sizeof(Entry);
  return bytes;
}

namespace {

template <class Runs>
auto RunHolding(const Runs& runs, std::uint64_t offset) {
  auto next = std::upper_bound(runs.begin(), runs.end(), offset,
                               [](std::uint64_t o, const auto& run) { return o < run.baseOffset; });
  return next - 1;
}

template <class Entries>
auto EntryHolding(const Entries& entries, std::uint64_t step) {
  auto next =
      std::upper_bound(entries.begin(), entries.end(), step,
                       [](std::uint64_t s, const auto& entry) { return s < entry.offsetStep; });
  return next - 1;
}

}  // namespace

bool CRxBlockTimes::TimeAt(std::uint64_t offset, std::int64_t* atMs) const {
  if (offset >= m_nBytes)
    return false;
  const auto run = RunHolding(m_runs, offset);
  const auto entry = EntryHolding(run->entries, offset - run->baseOffset);
  *atMs = run->baseMs + static_cast<std::int64_t>(entry->timeStep);
  return true;
}

std::uint64_t CRxBlockTimes::NextStartAfter(std::uint64_t offset) const {
  const auto run = RunHolding(m_runs, offset);
  const auto entry = EntryHolding(run->entries, offset - run->baseOffset);
  if (entry + 1 != run->entries.end())
    return run->baseOffset + (entry + 1)->offsetStep;
  return run + 1 != m_runs.end() ? (run + 1)->baseOffset : m_nBytes;
}

bool CRxBlockTimes::BlockStartsWithin(std::uint64_t first, std::uint64_t count) const {
  if (count < 2 || first >= m_nBytes)
    return false;
  return NextStartAfter(first) < std::min(first + count, m_nBytes);
}

std::string CRxBlockTimes::FormatTime(std::int64_t epochMs) {
  std::int64_t seconds = epochMs / kMsPerSecond;
  std::int64_t ms = epochMs % kMsPerSecond;
  if (ms < 0) {  // before 1970: round the seconds down
    ms += kMsPerSecond;
    --seconds;
  }
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&when, &local);
  char text[kTimeChars + 8];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms));
  return text;
}
