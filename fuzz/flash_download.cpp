// The firmware download's reply handling: fuzzer bytes are the printer's
// answers. A backend installed for the run plays them: after each frame the
// download writes it takes one control byte (low two bits: how many answer
// bytes follow, 0 to 3; bit 7: the user aborts after this frame) and puts
// that many bytes into the receive buffer, as the reader thread would; when
// the input is used up the printer stays silent. The first input byte picks
// the interface (serial, USB, TCP/IP), the image size and the packet size.
//
// The run is the window's RunSequence called on this thread; the pauses are
// set to 0 and every reply budget to one poll, which the fuzz build makes
// return at once (SENDRIX_RX_POLL_US=0), so a run costs no waiting.
//
// Invariants, whatever the answers: the run ends with 1D FF as the last
// frame, sent once; the end (OnDone) is reported exactly once, as the last
// report; the image file is closed; blocks are announced in order from 0,
// data frames stay within their block and never send more than the image;
// the CRC is reported at most once, the port re-opened at most once.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "comm/Cablox.h"
#include "comm/CommBackendRegistry.h"
#include "firmware/FlashDownload.h"
#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "platform/Notifier.h"
#include "platform/Overlapped.h"
#include "session/Session.h"
#include "testsupport/RecordingEvents.h"
#include "texts/TextFunctions.h"

namespace {

// libFuzzer's C entry points share no context, so the harness keeps its
// session here; never destroyed, as its Flash thread may outlive the statics.
CSession* g_pSession = nullptr;

// What the download sent in this run, and the answers still to play.
struct CFuzzPrinter {
  const uint8_t* input = nullptr;
  size_t left = 0;
  unsigned packetSize = 4096;
  size_t writes = 0;
  size_t leaves = 0;  // 1D FF frames
  std::vector<BYTE> last;
  std::vector<int> blocks;
  size_t dataSent = 0;
  size_t dataAnnounced = 0;  // by the last data header, not yet sent
  bool headerBad = false;

  void OnWrite(const BYTE* p, DWORD n) {
    ++writes;
    if (dataAnnounced > 0) {
      headerBad |= n != dataAnnounced;
      dataSent += n;
      dataAnnounced = 0;
    } else if (n == 2 && p[0] == 0x1D && p[1] == 0xFF) {
      ++leaves;
    } else if (n == 3 && p[0] == 0x1D && p[1] == 0x02) {
      blocks.push_back(p[2]);
    } else if (n == 6 && p[0] == 0x1D && p[1] == 0x11) {
      const size_t offset = p[2] | (p[3] << 8);
      dataAnnounced = p[4] | (p[5] << 8);
      headerBad |= dataAnnounced == 0 || offset + dataAnnounced > 65536;
    }
    last.assign(p, p + n);
    Answer();
  }

  void Answer() {
    if (left == 0)
      return;
    const uint8_t control = *input++;
    --left;
    const size_t count = std::min<size_t>(control & 3, left);
    g_pSession->RxDataBuffer().Put(input, static_cast<DWORD>(count));
    input += count;
    left -= count;
    if ((control & 0x80) != 0)
      SetEvent(g_pSession->AbortEvent());
  }
};

CFuzzPrinter g_printer;

class CFuzzBackend : public ICommBackend {
 public:
  int Setup(ICommErrorSink*) override { return 1; }
  void Cleanup() override {}
  unsigned IsConnectionValid(DWORD, int, int, int, int, int, int) override { return 0; }
  int UpdateConnection(int, DWORD&, char*, int&, int&, int&, int&, int&) override { return 1; }
  int BreakDown() override { return 1; }
  int IsConnected() override { return 1; }
  int IsPortAvailable() override { return 1; }
  bool HasChannel(int channel) override { return channel != COMM_CHANNEL_RX_USM; }
  int Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* ov) override {
    g_printer.OnWrite(static_cast<const BYTE*>(buffer), length);
    *written = length;
    CompleteOverlapped(ov, ERROR_SUCCESS, length);
    return 1;
  }
  int Read(int, void*, DWORD, DWORD*, OVERLAPPED*) override { return 0; }
  CommPacketSizes PacketSizes() override {
    return {std::min(g_printer.packetSize, 4096u), 256, g_printer.packetSize};
  }
  DWORD ReadTimeout() override { return 20; }
  int InitGetDeviceStatus(void*, DWORD, DWORD*, OVERLAPPED&) override { return 0; }
  int GetDeviceStatus(void*, DWORD, DWORD&) override { return 0; }
  int IsDevicePresent() override { return 1; }
  int GetPortParams(int&, int&, const char*, int& count, char (*)[128], int) override {
    count = 0;
    return 0;
  }
  int SetDeviceParams(const char*) override { return 0; }
  void ShowPortProperties(char* buffer, size_t size) override {
    std::snprintf(buffer, size, "fuzz");
  }
};

// Error boxes are counted, never shown.
class CCountingNotifier : public INotifier {
 public:
  int MessageBox(const char*, UINT) override {
    ++m_nBoxes;
    return IDOK;
  }
  int m_nBoxes = 0;
};

const char* ErrorText(int) {
  return "error";
}

CMessageQueue g_window;  // the communications library's owner
CRecordingEvents g_events;
CCountingNotifier g_notifier;
// Never destroyed: its thread waits on the download's own events, which
// may be gone when this file's statics are.
CFlashDownload* g_pFlash = nullptr;
int g_nOpenPortCalls = 0;
std::string g_images[3];
constexpr DWORD kImageSizes[3] = {1024, 3072, 65536 + 2048};
constexpr unsigned kPacketSizes[4] = {4096, 1000, 32768, 700};

void MakeImages() {
  char folder[] = "/tmp/sendrix-fuzz-XXXXXX";
  FUZZ_CHECK(mkdtemp(folder) != nullptr);
  setenv("SENDRIX_HOME", folder, 1);
  for (int i = 0; i < 3; ++i) {
    g_images[i] = std::string(folder) + "/image" + std::to_string(i) + ".bin";
    FILE* f = std::fopen(g_images[i].c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    // 0xA5 throughout: a data frame never looks like a command frame.
    const std::vector<BYTE> bytes(kImageSizes[i], 0xA5);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    std::fclose(f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakeImages();
  SetNotifier(&g_notifier);
  g_pfnErrorGetText.store(&ErrorText);
  g_pSession = new CSession;
  Comm_RegisterBackendFactory(COMM_TYPE_TCPIP, [] { return std::make_unique<CFuzzBackend>(); });
  FUZZ_CHECK(Comm_OpenSetup(&g_window, COMM_TYPE_TCPIP) != 0);
  DWORD port = 0;
  int p[5] = {};
  FUZZ_CHECK(Comm_UpdateConnection(0, port, nullptr, p[0], p[1], p[2], p[3], p[4]) != 0);
  FlashTimings t;
  t.dwSettleMs = t.dwReattachMs = t.dwLeaveMs = 0;
  t.dwSwitchPolls = t.dwSizePolls = t.dwErasePolls = t.dwReplyPolls = 1;
  CFlashDownload::SetTimings(t);
  g_pFlash = new CFlashDownload(g_pSession->Engine(), &g_events,
                                [](int) { return ++g_nOpenPortCalls, 1; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096)
    return 0;
  const int type = data[0] % 3;
  const int image = (data[0] >> 2) % 3;
  g_printer = CFuzzPrinter();
  g_printer.packetSize = kPacketSizes[(data[0] >> 4) % 4];
  g_printer.input = data + 1;
  g_printer.left = size - 1;
  g_pSession->Engine().SetConnectionParams(type, 0, 0, 0, 0, type == COMM_TYPE_USB ? 1 : 0);
  g_window.Clear();
  g_events.Clear();
  g_notifier.m_nBoxes = 0;
  g_nOpenPortCalls = 0;
  g_pSession->RxDataBuffer().Reset();
  ResetEvent(g_pSession->AbortEvent());
  FUZZ_CHECK(g_pSession->TransferFile().Open(g_images[image], CMyFile::kModeRead, 0) == 1);

  g_pFlash->RunSequence();

  FUZZ_CHECK(!g_pSession->TransferFile().IsOpen());
  FUZZ_CHECK(g_printer.leaves == 1);
  FUZZ_CHECK(g_printer.last == (std::vector<BYTE>{0x1D, 0xFF}));
  FUZZ_CHECK(g_events.Count(EventKind::kDone) == 1);
  FUZZ_CHECK(g_events.Snapshot().back().kind == EventKind::kDone);
  FUZZ_CHECK(g_events.Count(EventKind::kFlashCrc) <= 1);
  FUZZ_CHECK(g_nOpenPortCalls <= 1);
  FUZZ_CHECK(!g_printer.headerBad);
  FUZZ_CHECK(g_printer.dataSent <= kImageSizes[image]);
  for (size_t i = 0; i < g_printer.blocks.size(); ++i)
    FUZZ_CHECK(g_printer.blocks[i] == static_cast<int>(i));
  return 0;
}
