#include "windowlogic/OperatorMessages.h"

#include <algorithm>

#include "firmware/FlashDownload.h"
#include "platform/LastError.h"
#include "platform/Notifier.h"
#include "report/ErrorBoxes.h"

namespace {

void ShowAndLog(const std::string& text, UINT icon) {
  AfxMessageBox(text.c_str(), MB_OK | icon);
  std::string line = text;  // the box's lines make one log line
  std::replace(line.begin(), line.end(), '\n', ' ');
  LogLine(line.c_str());
}

}  // namespace

void ShowAndLogText(const std::string& text) {
  AfxMessageBox(text.c_str());
  LogLine((text + "\n").c_str());
}

std::string FileProblem(const std::string& path) {
  return path + ": " + SystemErrorText(GetLastError());
}

void ShowNoLogViewer(const std::string& path) {
  ShowAndLog(
      "No program to show the log was found. Open the copy of the log in a web browser: " + path,
      MB_ICONWARNING);
}

void ShowJobEndBoxes(bool firmwareAborted, bool flashTouched) {
  HoldCommErrors(false);
  const std::string cause = TakeHeldCommError();
  if (!cause.empty())
    AfxMessageBox(cause.c_str(), MB_OK | MB_ICONERROR);  // logged when it came
  if (!firmwareAborted)
    return;
  std::string text = "The firmware download was aborted.\n";
  text += flashTouched ? CFlashDownload::PartlyWrittenAdvice()
                       : "The printer's flash was not touched: the firmware in it is unchanged.";
  ShowAndLog(text, MB_ICONWARNING);
}
