#include "app/BatchOptions.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "codec/Codec.h"
#include "comm/Cablox.h"

namespace {

bool ParseInt(const char* text, long low, long high, int* out) {
  if (text == nullptr || *text == '\0')
    return false;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < low || value > high)
    return false;
  *out = static_cast<int>(value);
  return true;
}

int IndexOf(std::string_view value, std::initializer_list<std::string_view> list) {
  int i = 0;
  for (std::string_view item : list) {
    if (item == value)
      return i;
    ++i;
  }
  return -1;
}

// HOST[:MAIN[:RT[:USM]]]
bool ParseTcp(const char* text, BatchOptions* out) {
  std::string target = text;
  std::string host = target.substr(0, target.find(':'));
  BYTE octets[4] = {};
  if (host.empty() || !ParseIpAddress(host.c_str(), octets, 0))
    return false;
  // The address parser gives 255.255.255.255 for a text it cannot read.
  const BYTE broadcast[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  if (std::memcmp(octets, broadcast, 4) == 0 && host != "255.255.255.255")
    return false;
  out->dwIpAddress = (DWORD{octets[0]} << 24) | (DWORD{octets[1]} << 16) | (DWORD{octets[2]} << 8) |
                     DWORD{octets[3]};
  int* ports[] = {&out->nMainPort, &out->nRealTimePort, &out->nUsmPort};
  size_t pos = target.find(':');
  for (int* port : ports) {
    if (pos == std::string::npos)
      break;
    size_t next = target.find(':', pos + 1);
    std::string part = target.substr(pos + 1, next == std::string::npos ? next : next - pos - 1);
    if (!ParseInt(part.c_str(), 0, 65535, port))
      return false;
    pos = next;
  }
  out->nInterface = COMM_TYPE_TCPIP;
  return true;
}

bool SetJob(BatchOptions* out, BatchJob job, const char* value, std::string* error) {
  if (out->job != BatchJob::kNone) {
    *error = "give one job only (--file, --ascii, --hex or --firmware)";
    return false;
  }
  out->job = job;
  out->strArgument = value;
  return true;
}

// Options with a value; returns false with *error set on a bad value.
bool ApplyValue(std::string_view name, const char* value, BatchOptions* out, std::string* error) {
  bool ok = true;
  if (name == "--tcp") {
    ok = ParseTcp(value, out);
  } else if (name == "--serial") {
    out->strSerialPort = value;
    out->nInterface = COMM_TYPE_SERIAL;
  } else if (name == "--baud") {
    out->nBaudIndex = IndexOf(value, {"115200", "57600", "38400", "19200", "9600", "4800", "2400",
                                      "1200", "600", "300", "110"});
    ok = out->nBaudIndex >= 0;
  } else if (name == "--parity") {
    ok = (out->nParityIndex = IndexOf(value, {"N", "O", "E", "M", "S"})) >= 0;
  } else if (name == "--flow") {
    ok = (out->nFlowIndex = IndexOf(value, {"N", "H", "D", "C", "X"})) >= 0;
  } else if (name == "--data-bits") {
    ok = (out->nDataBitsIndex = IndexOf(value, {"5", "6", "7", "8"})) >= 0;
  } else if (name == "--stop-bits") {
    ok = (out->nStopBitsIndex = IndexOf(value, {"1", "1.5", "2"})) >= 0;
  } else if (name == "--file") {
    return SetJob(out, BatchJob::kFile, value, error);
  } else if (name == "--ascii") {
    return SetJob(out, BatchJob::kAscii, value, error);
  } else if (name == "--hex") {
    return SetJob(out, BatchJob::kHex, value, error);
  } else if (name == "--firmware") {
    return SetJob(out, BatchJob::kFirmware, value, error);
  } else if (name == "--repeat") {
    ok = ParseInt(value, -1, 65535, &out->nRepeatCount);
  } else if (name == "--delay") {
    ok = ParseInt(value, 0, 65535, &out->nDelayMs);
  } else if (name == "--listen") {
    ok = ParseInt(value, 0, 3600000, &out->nListenMs);
  } else {
    *error = "unknown option " + std::string(name);
    return false;
  }
  if (!ok)
    *error = "bad value for " + std::string(name) + ": " + value;
  return ok;
}

}  // namespace

int ParseBatchOptions(int argc, const char* const* argv, BatchOptions* out, std::string* error) {
  *out = BatchOptions{};
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    if (name == "--help" || name == "-h") {
      out->bHelp = true;
    } else if (name == "--packet") {
      out->bPacketMode = true;
    } else if (name == "--realtime") {
      out->nOutputPort = 1;
    } else if (name == "--log") {
      out->bLog = true;
    } else if (i + 1 >= argc) {
      *error = "missing value for " + std::string(name);
      return 0;
    } else if (!ApplyValue(name, argv[++i], out, error)) {
      return 0;
    }
  }
  if (out->bHelp)
    return 1;
  if (out->nInterface < 0) {
    *error = "choose a connection: --tcp HOST[:PORT] or --serial DEVICE";
    return 0;
  }
  if (out->job == BatchJob::kNone && out->nListenMs == 0) {
    *error = "nothing to do: give --file, --ascii, --hex, --firmware or --listen";
    return 0;
  }
  return 1;
}

const char* BatchUsageText() {
  return "Usage: sendrix-cli CONNECTION [JOB] [OPTIONS]\n"
         "Sends to a receipt or ticket printer without the window.\n\n"
         "Connection:\n"
         "  --tcp HOST[:MAIN[:RT[:USM]]]  print server (ports default 9100, 9105, 9110)\n"
         "  --realtime                    send on the real-time connection\n"
         "  --serial DEVICE               serial port, e.g. /dev/ttyUSB0\n"
         "  --baud N        115200 (default), 57600, ... 110\n"
         "  --parity X      N (default), O, E, M, S\n"
         "  --flow X        N (default), H = DSR/CTS, D = DSR, C = CTS, X = XON/XOFF\n"
         "  --data-bits N   5..8 (default 8)     --stop-bits 1 | 1.5 | 2 (default 1)\n\n"
         "Job (one of):\n"
         "  --file PATH     transmit a file byte for byte\n"
         "    --repeat N    N passes (-1: until Ctrl-C)   --delay MS  pause after each pass\n"
         "  --ascii TEXT    send escaped text (\\n \\r \\t \\\\ \\xHH)\n"
         "  --hex TEXT      send hex bytes, e.g. \"1B 40 0A\"\n"
         "  --packet        frame files and strings in the packet protocol\n"
         "  --firmware PATH.bin  download a firmware image into the printer's flash\n\n"
         "Other:\n"
         "  --listen MS     keep receiving for MS ms after the job (or without a job)\n"
         "  --log           write the HTML data log under $SENDRIX_HOME/Output\n\n"
         "Received bytes go to $SENDRIX_HOME/Output/RxData.bin (default SENDRIX_HOME:\n"
         "~/.local/share/sendrix). Ctrl-C aborts the running job.\n"
         "Exit status: 0 done, 1 the job failed, 2 bad command line, 3 aborted.\n";
}
