// The window's message target across threads: posts and sends run on the
// window thread, and closing the window while another thread keeps sending
// neither hangs that thread nor runs a handler on a closed window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include "mainwnd/MainWindow.h"
#include "mainwnd/QtMessageTarget.h"
#include "platform/AppMessages.h"

namespace {

// A message whose lParam addresses a caller's buffer, valid during a send.
constexpr UINT kBufferMessage = WM_APP + 12;
// A message posted without a buffer.
constexpr UINT kPostedMessage = WM_APP + 13;

// The display thread keeps sending stack buffers (and posting progress)
// while the window closes; the close path itself blocks for a while (as the
// logic's close sleeps), so a sender left waiting would hang there. Until
// the close every message runs on the window thread, a sent buffer is read
// while its sender waits, and a send from the window thread runs at once.
TEST(QtMessageTargetTest, ClosingDuringAStreamOfSendsReleasesTheSender) {
  CDialogFields fields;
  auto window = std::make_unique<CMainWindow>(fields);
  CQtMessageTarget target;
  QThread* windowThread = QThread::currentThread();
  std::atomic<int> offThread{0};
  std::atomic<int> posted{0};
  std::atomic<int> handled{0};
  std::atomic<bool> closed{false};
  std::atomic<int> handledAfterClose{0};
  target.SetHandler([&](UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    if (closed) {
      ++handledAfterClose;
    }
    if (QThread::currentThread() != windowThread) {
      ++offThread;
    }
    if (msg != kBufferMessage) {
      ++posted;
      return 1;
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(l);
    int sum = 0;
    for (WPARAM i = 0; i < w; ++i) {
      sum += bytes[i];
    }
    ++handled;
    return sum == static_cast<int>(w) ? 1 : -1;  // every byte is 1
  });
  window->AttachMessageTarget(&target);
  CMainWindowHooks hooks;
  std::atomic<bool> senderReleasedDuringClose{false};
  std::atomic<bool> senderDone{false};
  hooks.onSysCommand = [&](UINT cmd) {
    if (cmd != SC_CLOSE) {
      return;
    }
    closed = true;
    // Stops the display thread as the logic does: waits without pumping.
    for (int i = 0; i < 200 && !senderDone; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    senderReleasedDuringClose = senderDone.load();
  };
  window->SetHooks(hooks);
  window->show();

  std::atomic<int> bad{0};
  std::atomic<int> zeroAnswers{0};
  std::atomic<bool> stop{false};
  std::thread display([&] {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int n = 0; n < 1000000 && std::chrono::steady_clock::now() < until; ++n) {
      unsigned char buffer[64];
      std::fill(std::begin(buffer), std::end(buffer), 1);
      LRESULT r =
          target.SendMessage(kBufferMessage, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
      std::fill(std::begin(buffer), std::end(buffer), 0);  // the buffer dies here
      if (r == -1) {
        ++bad;
      } else if (r == 0) {
        ++zeroAnswers;
        if (stop) {
          break;
        }
      }
      if (n % 16 == 0) {
        target.PostMessage(kPostedMessage, 1, 0);
      }
    }
    senderDone = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return handled.load() > 200 && posted.load() > 0; }, 10000));
  unsigned char one = 1;
  EXPECT_EQ(target.SendMessage(kBufferMessage, 1, reinterpret_cast<LPARAM>(&one)), 1);
  stop = true;
  window->close();
  window.reset();
  display.join();
  EXPECT_TRUE(senderReleasedDuringClose);
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(offThread.load(), 0);
  EXPECT_EQ(handledAfterClose.load(), 0);
  EXPECT_GE(zeroAnswers.load(), 1);
  EXPECT_TRUE(target.IsClosed());
  EXPECT_EQ(target.PostMessage(kPostedMessage, 0, 0), FALSE);
  int value = 5;
  EXPECT_EQ(target.SendMessage(kBufferMessage, 1, reinterpret_cast<LPARAM>(&value)), 0);
  QApplication::processEvents();  // queued leftovers are dropped, not run
  EXPECT_EQ(handledAfterClose.load(), 0);
}

}  // namespace
