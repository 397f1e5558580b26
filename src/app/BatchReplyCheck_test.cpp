// The batch run's reply wait: a reply before the action's end needs no
// wait, one during the wait ends it at once, none ends it after the time-out
// with the bytes that did come.
#include "app/BatchReplyCheck.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/MessageQueue.h"

namespace {

TEST(BatchReplyCheckTest, ReplyBeforeOrDuringTheWaitEndsItElseTheTimeOutDoes) {
  CMessageQueue window;
  const BYTE status[] = {0x10, 0x04, 0x12};

  CBatchReplyCheck early;
  ASSERT_TRUE(early.Configure("?? 04 ?2", 200));
  EXPECT_FALSE(early.OnRx(status, sizeof status)) << "nobody waits yet";
  EXPECT_TRUE(early.ActionEnded(&window));

  CBatchReplyCheck late;
  ASSERT_TRUE(late.Configure("1004 12", 5000));
  EXPECT_FALSE(late.ActionEnded(&window));
  EXPECT_TRUE(late.Waiting());
  EXPECT_FALSE(late.OnRx(status, 2));
  EXPECT_TRUE(late.OnRx(status + 2, 1)) << "met across two reads";
  EXPECT_FALSE(late.Expired());

  CBatchReplyCheck none;
  ASSERT_TRUE(none.Configure("FF", 300));
  none.OnRx(status, sizeof status);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(none.ActionEnded(&window));
  ASSERT_TRUE(window.WaitForCount(WM_REPLY_TIMEOUT, 1, 5000));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_TRUE(none.Expired());
  EXPECT_FALSE(none.Expired()) << "the wait ends once";
  EXPECT_EQ(none.FailureText(), "expected reply FF not received within 300 ms; received: 10 04 12");
  EXPECT_EQ(window.Count(WM_REPLY_TIMEOUT), 1u) << "the met wait posted nothing";

  CBatchReplyCheck off;
  EXPECT_FALSE(off.Configure("1", 100));
  EXPECT_TRUE(off.ActionEnded(&window));
}

}  // namespace
