// Any batch command line for the window: the input split at line ends into
// tokens (token 0 the file or data string, the rest options).
// Invariants: the mode is one of the BatchMode values; none exactly when no
// token was given; a run mode (2..5) only when an option token holds "-M:"
// with that mode's letter; an invalid run closes the window; every field
// the options may set stays within the range the window's controls accept
// (delay 0..300000 ms, repeat count -1 or above 0, interface -1..2, serial
// port 1..50 or none for a device path not listed, TCP port 0..65535, list
// positions -1 or above).
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "batch/CommandLine.h"
#include "platform/Notifier.h"
#include "texts/TextFunctions.h"

namespace {

class CSilentNotifier : public INotifier {
 public:
  int MessageBox(const char*, UINT) override { return IDOK; }
};

const char* ErrorText(int) {
  return "error";
}

bool HasModeOption(const std::vector<std::string>& tokens, char letter) {
  const std::string marker = std::string("-M:") + letter;
  for (size_t i = 1; i < tokens.size(); ++i) {
    if (tokens[i].find(marker) != std::string::npos)
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static CSilentNotifier notifier;
  SetNotifier(&notifier);
  g_pfnErrorGetText.store(&ErrorText);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> tokens;
  if (size > 0) {
    tokens.emplace_back();
    for (size_t i = 0; i < size; ++i) {
      if (data[i] == '\n')
        tokens.emplace_back();
      else
        tokens.back() += static_cast<char>(data[i]);
    }
  }
  CCommandLine line(tokens);
  line.SetHelpOutput(nullptr);
  line.SetPortLister([] { return std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0"}; });
  CDialogFields f;
  CBatchRun run;
  const int mode = line.ParseCommandLine(f, run);
  FUZZ_CHECK(mode >= kBatchNone && mode <= kBatchSendAsciiString);
  FUZZ_CHECK((mode == kBatchNone) == tokens.empty());
  static const char kLetters[] = "TDXS";
  if (mode >= kBatchTransmitFile)
    FUZZ_CHECK(HasModeOption(tokens, kLetters[mode - kBatchTransmitFile]));
  // The help and a bad mode letter both close the window at once.
  if (mode == kBatchInvalid)
    FUZZ_CHECK(run.m_bCloseWindow == 1);
  FUZZ_CHECK(f.main.m_nDelay <= 300000);
  FUZZ_CHECK(f.main.m_nRepeatCount == -1 || f.main.m_nRepeatCount > 0);
  FUZZ_CHECK(f.main.m_nInterface >= -1 && f.main.m_nInterface <= 2);
  FUZZ_CHECK(f.serial.m_nPortIndex >= -1 && f.serial.m_nPortIndex < 50);
  FUZZ_CHECK(f.ethernet.m_nMainPort >= 0 && f.ethernet.m_nMainPort <= 65535);
  for (int index : {f.serial.m_nBaudIndex, f.serial.m_nParityIndex, f.serial.m_nFlowIndex,
                    f.usb.m_nOutEndpoint, f.ethernet.m_nOutputPort, f.main.m_nStringFormat})
    FUZZ_CHECK(index >= -1);
  FUZZ_CHECK(BatchExitStatusForMode(mode) ==
             (mode >= kBatchTransmitFile ? -1 : kBatchExitNoAction));
  return 0;
}
