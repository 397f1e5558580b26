// The workers' reports reach the logic on the logic's own thread, in the
// order made, through the core's event loop (a run without a window): a
// worker thread reports a job's progress, rate, line status, flash step and
// CRC, then its end; the loop's thread receives every call, the end last.
#include <gtest/gtest.h>

#include <thread>

#include "engine/QueuedTransferEvents.h"
#include "platform/EventLoop.h"
#include "testsupport/RecordingEvents.h"

namespace {

// A worker's reports as a transmit job and a download make them.
void ReportAJob(ITransferEvents& events) {
  events.OnLineStatus(0x5A, true);
  events.OnProgress(50, -1);
  events.OnRate(12.5);
  events.OnFlashStep(0, FlashStepState::kPassed);
  events.OnFlashCrc(0x1234);
  events.OnProgress(100, -1);
  TransferOutcome outcome;
  outcome.qwBytesDelivered = 4096;
  events.OnDone(outcome);
}

TEST(QueuedTransferEventsTest, ReachTheLoopsThreadInOrderTheEndLast) {
  CEventLoop loop;
  CRecordingEvents logic;
  CQueuedTransferEvents delivery(loop, logic);
  std::thread worker([&] { ReportAJob(delivery); });
  const int timer = loop.AddTimer(5, [&] {
    if (logic.Count(EventKind::kDone) == 1)
      loop.Quit();
  });
  constexpr DWORD kWaitMs = 5000;
  const int guard = loop.AddTimer(static_cast<int>(kWaitMs), [&] { loop.Quit(); });
  loop.Run();
  loop.KillTimer(timer);
  loop.KillTimer(guard);
  worker.join();

  const std::vector<RecordedEvent> got = logic.Snapshot();
  ASSERT_FALSE(got.empty());
  for (const RecordedEvent& e : got)
    EXPECT_EQ(e.thread, std::this_thread::get_id()) << static_cast<int>(e.kind);
  EXPECT_EQ(got.back().kind, EventKind::kDone);
  EXPECT_EQ(got.back().outcome.qwBytesDelivered, 4096u);
  // Progress comes before the end, and the last value wins.
  const std::vector<RecordedEvent> progress = logic.Filter(EventKind::kProgress);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back().value, 100u);
  ASSERT_EQ(logic.Count(EventKind::kFlashCrc), 1u);
  EXPECT_EQ(logic.Filter(EventKind::kFlashCrc)[0].value, 0x1234u);
  ASSERT_EQ(logic.Count(EventKind::kLineStatus), 1u);
  EXPECT_EQ(logic.Filter(EventKind::kLineStatus)[0].value, 0x5Au);
  ASSERT_EQ(logic.Count(EventKind::kRate), 1u);
  EXPECT_EQ(logic.Filter(EventKind::kRate)[0].rate, 12.5);
}

// A closed loop (the window closing) takes no more reports.
TEST(QueuedTransferEventsTest, AClosedLoopDropsTheReports) {
  CEventLoop loop;
  CRecordingEvents logic;
  CQueuedTransferEvents delivery(loop, logic);
  loop.Close();
  std::thread worker([&] { ReportAJob(delivery); });
  worker.join();
  EXPECT_TRUE(logic.Snapshot().empty());
}

}  // namespace
