// The workers' reports in the Qt window: through the window's target's
// invoker they reach the logic on the window (GUI) thread, in the order
// made, the job's end last.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThread>
#include <thread>

#include "engine/QueuedTransferEvents.h"
#include "mainwnd/QtMessageTarget.h"
#include "testsupport/RecordingEvents.h"

namespace {

TEST(QtTransferEventsTest, ReachTheWindowThreadInOrderTheEndLast) {
  CQtMessageTarget target;
  CRecordingEvents logic;
  CQueuedTransferEvents delivery(target.Invoker(), logic);
  std::thread worker([&] {
    delivery.OnLineStatus(0x10, true);
    delivery.OnProgress(40, 2);
    delivery.OnRate(3.25);
    delivery.OnFlashStep(1, FlashStepState::kFailed);
    delivery.OnProgress(100, 2);
    delivery.OnDone(TransferOutcome{});
  });
  worker.join();
  ASSERT_TRUE(QTest::qWaitFor([&] { return logic.Count(EventKind::kDone) == 1; }, 5000));
  const std::vector<RecordedEvent> got = logic.Snapshot();
  for (const RecordedEvent& e : got)
    EXPECT_EQ(e.thread, std::this_thread::get_id()) << static_cast<int>(e.kind);
  EXPECT_EQ(got.back().kind, EventKind::kDone);
  const std::vector<RecordedEvent> progress = logic.Filter(EventKind::kProgress);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back().value, 100u);
  EXPECT_EQ(progress.back().detail, 2);
  ASSERT_EQ(logic.Count(EventKind::kFlashStep), 1u);
  EXPECT_EQ(logic.Filter(EventKind::kFlashStep)[0].detail,
            static_cast<std::int64_t>(FlashStepState::kFailed));
  target.Close();
}

}  // namespace
