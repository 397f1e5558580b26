#include "batch/BatchJournal.h"

#include <cstdio>
#include <vector>

#include "batch/BatchReplyCheck.h"
#include "batch/CommandLine.h"
#include "comm/SerialPortList.h"

namespace {

const char* ActionName(int mode) {
  switch (mode) {
    case kBatchTransmitFile:
      return "transmit-file";
    case kBatchDownloadFirmware:
      return "download-firmware";
    case kBatchSendHexString:
      return "send-hex-string";
    case kBatchSendAsciiString:
      return "send-ascii-string";
    default:
      return "none";
  }
}

// The serial device path, the USB printer's entry, or "address:port".
std::string Target(const CDialogFields& f) {
  switch (f.main.m_nInterface) {
    case 0: {
      const std::vector<std::string> ports = CSerialPortList::Enumerate();
      const int index = f.serial.m_nPortIndex;
      return index >= 0 && static_cast<std::size_t>(index) < ports.size() ? ports[index] : "";
    }
    case 1:
      return f.usb.m_strDevice;
    default: {
      const DWORD a = f.ethernet.m_dwIpAddress;
      char text[64];
      std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu:%d", (a >> 24) & 0xFFUL, (a >> 16) & 0xFFUL,
                    (a >> 8) & 0xFFUL, a & 0xFFUL, f.ethernet.m_nMainPort);
      return text;
    }
  }
}

}  // namespace

bool CBatchJournal::Open(const std::string& path) {
  return m_log.Open(path);
}

void CBatchJournal::Start(int mode, const CDialogFields& fields) {
  static const char* const kInterfaces[] = {"serial", "usb", "tcp"};
  const int type = fields.main.m_nInterface;
  m_nPasses = 0;
  m_log.Start(ActionName(mode), type >= 0 && type <= 2 ? kInterfaces[type] : "none",
              Target(fields));
}

void CBatchJournal::Rx(const char* channel, const BYTE* data, DWORD size) {
  m_log.Rx(channel, data, size);
}

void CBatchJournal::Error(int number, const std::string& text) {
  m_log.Error(number, text);
}

void CBatchJournal::Progress(int pass) {
  if (pass > m_nPasses)
    m_nPasses = pass;
}

void CBatchJournal::Done(std::uint64_t bytes, int exitStatus) {
  m_log.Tx(bytes, m_nPasses > 0 ? m_nPasses : 1);
  m_log.Done(OutcomeName(exitStatus), exitStatus);
}

const char* CBatchJournal::OutcomeName(int exitStatus) {
  switch (exitStatus) {
    case kBatchExitCompleted:
      return "completed";
    case kBatchExitFailed:
      return "failed";
    case kBatchExitNoAction:
      return "no-action";
    case kBatchExitAborted:
      return "aborted";
    case kBatchExitReplyNotReceived:
      return "reply-not-received";
    default:
      return "unknown";
  }
}
