// CRecordingEvents: the workers' reports (ITransferEvents) recorded in the
// order they were made, with the thread that made each, for tests,
// benchmarks and fuzz targets. Header only, so that the benchmarks and the
// fuzz targets use it without the test-support library.
//
// Thread safety: every member may be called from any thread; waits are
// bounded by their time-out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/TransferEvents.h"

enum class EventKind { kProgress, kRate, kDone, kLineStatus, kFlashStep, kFlashCrc };

// One report. value: the percent, the status bits, the step or the CRC;
// detail: the pass, the first-report flag or the step's FlashStepState.
struct RecordedEvent {
  EventKind kind = EventKind::kProgress;
  std::uint64_t value = 0;
  std::int64_t detail = 0;
  double rate = 0.0;
  TransferOutcome outcome;
  std::thread::id thread;
};

class CRecordingEvents : public ITransferEvents {
 public:
  void OnProgress(int percent, int pass) override {
    Record(Make(EventKind::kProgress, static_cast<std::uint64_t>(percent), pass));
  }
  void OnRate(double kbytesPerSecond) override {
    RecordedEvent e = Make(EventKind::kRate, 0, 0);
    e.rate = kbytesPerSecond;
    Record(e);
  }
  void OnDone(const TransferOutcome& outcome) override {
    RecordedEvent e = Make(EventKind::kDone, 0, 0);
    e.outcome = outcome;
    Record(e);
  }
  void OnLineStatus(DWORD bits, bool first) override {
    Record(Make(EventKind::kLineStatus, bits, first ? 1 : 0));
  }
  void OnFlashStep(int step, FlashStepState state) override {
    Record(Make(EventKind::kFlashStep, static_cast<std::uint64_t>(step),
                static_cast<std::int64_t>(state)));
  }
  void OnFlashCrc(unsigned crc) override { Record(Make(EventKind::kFlashCrc, crc, 0)); }

  std::vector<RecordedEvent> Snapshot() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_events;
  }
  std::vector<RecordedEvent> Filter(EventKind kind) const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<RecordedEvent> out;
    for (const RecordedEvent& e : m_events) {
      if (e.kind == kind)
        out.push_back(e);
    }
    return out;
  }
  size_t Count(EventKind kind) const { return Filter(kind).size(); }
  // Waits until at least `count` reports of this kind were made.
  bool WaitForCount(EventKind kind, size_t count, DWORD timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      size_t n = 0;
      for (const RecordedEvent& e : m_events)
        n += e.kind == kind ? 1 : 0;
      return n >= count;
    });
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_events.clear();
  }

 private:
  static RecordedEvent Make(EventKind kind, std::uint64_t value, std::int64_t detail) {
    RecordedEvent e;
    e.kind = kind;
    e.value = value;
    e.detail = detail;
    return e;
  }
  void Record(RecordedEvent e) {
    e.thread = std::this_thread::get_id();
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_events.push_back(e);
    }
    m_changed.notify_all();
  }

  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  std::vector<RecordedEvent> m_events;
};
