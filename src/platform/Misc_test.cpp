// Bounded formatting, last error, clocks, error texts, message queue,
// notifiers and the program folder. Dynamic loading is checked through the
// text library (texts/TextLibrary_test.cpp).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "platform/AppendFormat.h"
#include "platform/Clock.h"
#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "platform/Notifier.h"
#include "platform/ProgramFolder.h"

namespace {

TEST(AppendFormatTest, StaysInsideItsBuffer) {
  char buffer[kAppendFormatBufferSize];
  std::strcpy(buffer, "x=");
  AppendFormat(buffer, "%d,%s", 5, "y");
  EXPECT_STREQ(buffer, "x=5,y");

  const std::string big(3000, 'b');
  AppendFormat(buffer, "%s", big.c_str());
  EXPECT_EQ(std::strlen(buffer), kAppendFormatBufferSize - 1);

  char small[8] = "ab";
  small[7] = 'Z';
  AppendFormatTo(small, 7, "%s", "cdefghij");
  EXPECT_STREQ(small, "abcdef");
  EXPECT_EQ(small[7], 'Z');
  char noNul[4] = {'a', 'b', 'c', 'd'};
  AppendFormatTo(noNul, sizeof(noNul), "%s", "e");
  EXPECT_EQ(std::string(noNul, 4), "abcd");
}

TEST(LastErrorTest, PerThreadWithErrnoMappingAndTexts) {
  SetLastError(ERROR_IO_PENDING);
  DWORD other = 1;
  std::thread t([&] { other = GetLastError(); });
  t.join();
  EXPECT_EQ(other, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_EQ(ErrnoToWin32(ENOENT), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ErrnoToWin32(ECANCELED), ERROR_OPERATION_ABORTED);
  DWORD odd = ErrnoToWin32(EXDEV);
  EXPECT_EQ(odd, ERRNO_CODE_BASE | EXDEV);
  EXPECT_NE(SystemErrorText(odd).find("link"), std::string::npos);  // "Invalid cross-device link"
  EXPECT_EQ(SystemErrorText(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.");
  EXPECT_FALSE(SystemErrorText(123456).empty());
  errno = EACCES;
  EXPECT_EQ(SetLastErrorFromErrno(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(ClockTest, CounterAdvancesWithSleep) {
  LONGLONG freq = 0, a = 0, b = 0;
  ASSERT_TRUE(QueryPerformanceFrequency(&freq));
  ASSERT_TRUE(QueryPerformanceCounter(&a));
  Sleep(15);
  ASSERT_TRUE(QueryPerformanceCounter(&b));
  EXPECT_GE((b - a) * 1000 / freq, 15);
}

TEST(MessageQueueTest, RecordsPostsAndSendsInOrderAcrossThreads) {
  CMessageQueue queue;
  int copied = 0;
  queue.SetHook([&](const QueuedMessage& m) -> LRESULT {
    if (m.sent)
      copied = *reinterpret_cast<const int*>(m.lParam);
    return 7;
  });
  std::thread worker([&] {
    queue.PostMessage(0x8006, 50, -1);
    int value = 99;
    EXPECT_EQ(queue.SendMessage(0x800C, 4, reinterpret_cast<LPARAM>(&value)), 7);
    queue.PostMessage(0x8008, 0, 0);
  });
  EXPECT_TRUE(queue.WaitForCount(0x8008, 1, 5000));
  worker.join();
  EXPECT_EQ(copied, 99);
  auto all = queue.Snapshot();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].message, 0x8006u);
  EXPECT_EQ(all[0].lParam, -1);
  EXPECT_TRUE(all[1].sent);
  QueuedMessage m{};
  ASSERT_TRUE(queue.Take(&m, 0));
  EXPECT_EQ(m.message, 0x8006u);
  EXPECT_EQ(queue.Count(0x8008), 1u);
  EXPECT_FALSE(queue.WaitForCount(0x8008, 2, 10));
  // What was taken is no longer held: a consumer that runs for days does
  // not keep every message it handled.
  EXPECT_EQ(queue.Snapshot().size(), 2u);
  ASSERT_TRUE(queue.Take(&m, 0));
  ASSERT_TRUE(queue.Take(&m, 0));
  EXPECT_TRUE(queue.Snapshot().empty());
  EXPECT_FALSE(queue.Take(&m, 0));
}

// Without a window the boxes go to stderr (what batch runs show).
TEST(NotifierTest, WithoutANotifierBoxesGoToStderr) {
  SetNotifier(nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(AfxMessageBox("to stderr"), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Sendrix: to stderr\n");
}

TEST(ProgramFolderTest, HomeVariableWinsElseXdgStyleDefault) {
  setenv("SENDRIX_HOME", "/tmp/sx-home//", 1);
  EXPECT_EQ(GetProgramFolder(), "/tmp/sx-home");
  unsetenv("SENDRIX_HOME");
  setenv("HOME", "/home/tester", 1);
  EXPECT_EQ(GetProgramFolder(), "/home/tester/.local/share/sendrix");
}

}  // namespace
