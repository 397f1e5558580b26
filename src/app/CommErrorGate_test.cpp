// One box per printer event: reports of the same code close together, or
// while the box is open, are logged without a box of their own.
#include "app/CommErrorGate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <utility>

#include "platform/Notifier.h"
#include "testsupport/RecordingNotifier.h"
#include "texts/TextFunctions.h"

namespace {

const char* Text(int code) {
  return code == 7 ? "closed" : "other";
}

COMM_ERROR_RECORD Record(const char* where) {
  COMM_ERROR_RECORD record{};
  std::strncpy(record.szText1, where, sizeof(record.szText1) - 1);
  return record;
}

// Reports a second connection's close from inside the first box, as the
// window's event loop delivers it while the box is open.
class CReentrantNotifier : public CRecordingNotifier {
 public:
  std::function<void()> m_fnWhileOpen;
  int MessageBox(const char* text, UINT type) override {
    CRecordingNotifier::MessageBox(text, type);
    if (auto inner = std::exchange(m_fnWhileOpen, nullptr))
      inner();
    return IDOK;
  }
};

TEST(CommErrorGateTest, OneBoxPerEventNamingItsConnection) {
  CReentrantNotifier notifier;
  SetNotifier(&notifier);
  g_pfnCommErrorGetText.store(&Text);
  uint64_t now = 1000;
  CCommErrorGate gate([&now] { return now; });
  const COMM_ERROR_RECORD main = Record("127.0.0.1:9100"), usm = Record("127.0.0.1:9110");

  notifier.m_fnWhileOpen = [&] {
    now += 5000;  // however long the operator takes: the box is still open
    gate.Report(7, &usm);
  };
  gate.Report(7, &main);
  EXPECT_EQ(notifier.Texts(), std::vector<std::string>{"closed (127.0.0.1:9100)"});
  now += 100;
  gate.Report(7, &usm);  // just after: the same event
  gate.Report(2, &usm);  // another kind of trouble: its own box
  now += CCommErrorGate::kSameEventMs;
  gate.Report(2, &main);  // later: a new event
  EXPECT_EQ(notifier.Texts(),
            (std::vector<std::string>{"closed (127.0.0.1:9100)", "other (127.0.0.1:9110)",
                                      "other (127.0.0.1:9100)"}));
  g_pfnCommErrorGetText.store(nullptr);
  SetNotifier(nullptr);
}

}  // namespace
