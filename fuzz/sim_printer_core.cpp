// Any byte stream as what the virtual printer receives: print data, status
// requests, the download switch and the firmware protocol of its flash
// device. Input: two configuration bytes (packet mode, echo, firmware on,
// flash size, USB-style switch, a fault), then the stream.
// Invariants: the stream handled whole and in pieces gives the same replies
// and the same state (print bytes, their hash, flash image and CRC, counts),
// since reads may split it anywhere; the flash image never exceeds the flash.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "PrinterCore.h"

namespace {

struct CRun {
  std::vector<uint8_t> replies;
  // (offset in the replies, delay) of each delayed reply: how the replies
  // are grouped into SIM_REPLY entries may follow the pieces, their bytes
  // and delays may not.
  std::vector<std::pair<size_t, uint32_t>> delays;
  uint64_t print = 0, raw = 0, status = 0;
  std::string sha;
  std::vector<uint8_t> image;
  uint16_t crc = 0;
  uint32_t blocks = 0, naks = 0, sessions = 0;
  bool operator==(const CRun&) const = default;
};

CRun Run(const PRINTER_CORE_CONFIG& config, const CSimFaults& faults, const uint8_t* data,
         size_t size, size_t piece) {
  CPrinterCore core;
  core.SetConfig(config);
  std::vector<SIM_REPLY> out;
  for (size_t at = 0; at < size; at += piece)
    core.Process(data + at, std::min(piece, size - at), faults, out);
  core.Flush(faults, out);
  CRun run;
  for (const SIM_REPLY& r : out) {
    if (r.dwDelayMs != 0)
      run.delays.emplace_back(run.replies.size(), r.dwDelayMs);
    run.replies.insert(run.replies.end(), r.bytes.begin(), r.bytes.end());
  }
  run.print = core.GetPrintBytes();
  run.raw = core.GetRawBytes();
  run.status = core.GetStatusReplies();
  run.sha = core.GetSha256();
  const CFlashDevice& flash = core.GetFlash();
  run.image = flash.GetImage();
  run.crc = flash.GetCrc();
  run.blocks = flash.GetBlocks();
  run.naks = flash.GetNaks();
  run.sessions = flash.GetSessions();
  FUZZ_CHECK(run.image.size() <=
             (uint64_t{config.flash.bySizeCode} + 1) * CFlashDevice::kBlockSize);
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > 16384)
    return 0;
  PRINTER_CORE_CONFIG config;
  config.bPacket = (data[0] & 1) != 0;
  config.bEcho = (data[0] & 2) != 0;
  config.bFirmware = (data[0] & 4) == 0;
  config.flash.bUsbStyle = (data[0] & 8) != 0;
  config.flash.nSwitchReply = (data[0] & 16) != 0 ? 0x06 : -1;
  config.flash.bySizeCode = data[1] & 3;  // up to 256 KiB: keeps each run small
  config.flash.dwEraseMs = 0;
  CSimFaults faults;
  const FlashStep step = static_cast<FlashStep>((data[1] >> 2) % 7);
  const int index = (data[1] & 0x20) != 0 ? -1 : 0;
  switch (data[1] >> 6) {
    case 1:
      faults.m_nak.push_back({step, index});
      break;
    case 2:
      faults.m_garbage.push_back({step, index});
      break;
    case 3:
      faults.m_bXonXoffAll = true;
      faults.m_bShortReadCrc = (data[0] & 32) != 0;
      break;
    default:
      break;
  }
  const size_t piece = 1 + data[2] % 13;
  data += 3;
  size -= 3;
  FUZZ_CHECK(Run(config, faults, data, size, size) == Run(config, faults, data, size, piece));
  return 0;
}
