#include "SimCommandLine.h"

#include <cerrno>
#include <cstdlib>

#include "HexDigit.h"

namespace {

const char kUsage[] =
    "Usage: sendrix-printer-sim [options]\n"
    "A virtual receipt printer for testing Sendrix. Listens on 127.0.0.1 only.\n"
    "Prints 'ready main=P rt=P usm=P udp=P pty=PATH' (the faces in use) once ready,\n"
    "and 'summary bytes=N sha256=HEX frames_ok=N frames_bad=N flash_blocks=N crc=XXXX'\n"
    "on exit (SIGINT, SIGTERM or --exit-after-s).\n"
    "\n"
    "Interfaces:\n"
    "  --main-port N          main TCP port (default 9100; 0 = a free port)\n"
    "  --rt-port N            real-time TCP port (default 9105; 0 = a free port)\n"
    "  --usm-port N           unsolicited-status TCP port (default 9110; 0 = a free port)\n"
    "  --no-tcp               open no TCP port\n"
    "  --pty LINK             make a pseudo-terminal; LINK becomes a symlink to its\n"
    "                         slave side, the serial port for Sendrix\n"
    "  --udp-port N           answer discovery and device-setup frames on UDP port N\n"
    "  --name NAME            device name reported by discovery (default SIMPRN)\n"
    "  --mac XX-XX-XX-XX-XX-XX  MAC address (default 02-00-00-00-00-01)\n"
    "  --ip A.B.C.D           address reported by discovery (default 127.0.0.1)\n"
    "Print data:\n"
    "  --packet               decode packet frames; count and hash their data\n"
    "  --capture FILE         save the print data (what is counted and hashed)\n"
    "  --echo                 send every received print-data byte back\n"
    "  --stream FILE          send FILE once to the first main connection (or to\n"
    "                         the pseudo-terminal when there is no TCP)\n"
    "  --usm-every-ms N       send a status message on each USM connection every N ms\n"
    "  --usm-bytes HEX        the status message (default: the automatic status of\n"
    "                         the printer state, 14 00 00 0F when online)\n"
    "Printer state (answers to DLE EOT n, automatic status on the USM port):\n"
    "  --state LIST           LIST: comma-separated from online, offline, cover-open,\n"
    "                         paper-near-end, paper-out, drawer-open, error\n"
    "                         (default online)\n"
    "  --state-at MS:LIST     the state becomes LIST MS ms after start (repeatable)\n"
    "Firmware download:\n"
    "  --no-firmware          treat 1B 5B 7D as print data: no download mode\n"
    "  --usb-style            answer the switch to download mode with 'S' (53)\n"
    "  --switch-reply HEX     answer the switch with this byte (when not --usb-style)\n"
    "  --flash-size-code B    flash size byte: (B+1)*64 KiB (default 255 = 16 MiB)\n"
    "  --erase-ms N           erase time before the erase reply (default 100)\n"
    "Faults (repeatable):\n"
    "  --fault nak-erase | nak-block=N | nak-data=N | nak-crc | nak=STEP\n"
    "  --fault silent=STEP | garbage=STEP | xonxoff | xonxoff=STEP | short-readcrc\n"
    "  --fault drop-after=N | restart-after=N | hangup-after=N | throttle=R\n"
    "  --fault refuse | no-setup-ack\n"
    "         throttle=R: read at most R bytes/s from the TCP data ports and the pty\n"
    "         STEP: switch, size, erase, block[:N], data[:N], crc, readcrc\n"
    "Other:\n"
    "  --exit-after-s S       exit by itself after S seconds\n"
    "  --help                 show this text\n"
    "See docs/printer-sim.md for the protocol and every fault.\n";

bool ParseUnsigned(const std::string& text, unsigned long long maxValue,
                   unsigned long long& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  value = std::strtoull(text.c_str(), &end, 0);
  return errno == 0 && end != nullptr && *end == '\0' && value <= maxValue;
}

bool ParsePort(const std::string& text, int& port) {
  unsigned long long value = 0;
  if (!ParseUnsigned(text, 65535, value)) {
    return false;
  }
  port = static_cast<int>(value);
  return true;
}

bool TakesValue(const std::string& name) {
  static const char* const kValued[] = {"--main-port",    "--rt-port",
                                        "--usm-port",     "--pty",
                                        "--udp-port",     "--name",
                                        "--mac",          "--ip",
                                        "--capture",      "--stream",
                                        "--usm-every-ms", "--usm-bytes",
                                        "--switch-reply", "--flash-size-code",
                                        "--erase-ms",     "--fault",
                                        "--exit-after-s", "--state",
                                        "--state-at"};
  for (const char* valued : kValued) {
    if (name == valued) {
      return true;
    }
  }
  return false;
}

bool ApplyFlag(const std::string& name, SIM_COMMAND_LINE& result) {
  SIM_OPTIONS& o = result.options;
  if (name == "--help" || name == "-h") {
    result.bHelp = true;
  } else if (name == "--no-tcp") {
    o.bTcp = false;
  } else if (name == "--packet") {
    o.bPacket = true;
  } else if (name == "--echo") {
    o.bEcho = true;
  } else if (name == "--no-firmware") {
    o.bFirmware = false;
  } else if (name == "--usb-style") {
    o.flash.bUsbStyle = true;
  } else {
    return false;
  }
  return true;
}

// "MS:LIST" into a step of the state schedule.
bool ParseStateStep(const std::string& text, SIM_STATE_STEP& step, std::string& error) {
  const size_t colon = text.find(':');
  unsigned long long ms = 0;
  if (colon == std::string::npos || !ParseUnsigned(text.substr(0, colon), 86400000, ms)) {
    error = "bad value \"" + text + "\" for --state-at (MS:LIST)";
    return false;
  }
  step.dwAtMs = static_cast<uint32_t>(ms);
  return CPrinterState::Parse(text.substr(colon + 1), step.state, error);
}

bool ApplyValue(const std::string& name, const std::string& value, SIM_COMMAND_LINE& result,
                std::string& error) {
  SIM_OPTIONS& o = result.options;
  unsigned long long number = 0;
  std::vector<uint8_t> bytes;
  bool ok = true;
  if (name == "--main-port") {
    ok = ParsePort(value, o.nMainPort);
  } else if (name == "--rt-port") {
    ok = ParsePort(value, o.nRtPort);
  } else if (name == "--usm-port") {
    ok = ParsePort(value, o.nUsmPort);
  } else if (name == "--udp-port") {
    ok = ParsePort(value, o.nUdpPort);
  } else if (name == "--pty") {
    ok = !value.empty();
    o.strPtyLink = value;
  } else if (name == "--name") {
    o.strName = value;
  } else if (name == "--mac") {
    std::array<uint8_t, 6> mac{};
    ok = ParseMacText(value, mac);
    o.strMac = value;
  } else if (name == "--ip") {
    ok = CDeviceSetup().SetIp(value);
    o.strIp = value;
  } else if (name == "--capture") {
    ok = !value.empty();
    o.strCapture = value;
  } else if (name == "--stream") {
    ok = !value.empty();
    o.strStreamFile = value;
  } else if (name == "--usm-every-ms") {
    ok = ParseUnsigned(value, 86400000, number);
    o.dwUsmEveryMs = static_cast<uint32_t>(number);
  } else if (name == "--usm-bytes") {
    ok = ParseHexBytes(value, o.usmMessage);
  } else if (name == "--switch-reply") {
    ok = ParseHexBytes(value, bytes) && bytes.size() == 1;
    o.flash.nSwitchReply = ok ? bytes[0] : -1;
  } else if (name == "--flash-size-code") {
    ok = ParseUnsigned(value, 255, number);
    o.flash.bySizeCode = static_cast<uint8_t>(number);
  } else if (name == "--erase-ms") {
    ok = ParseUnsigned(value, 600000, number);
    o.flash.dwEraseMs = static_cast<uint32_t>(number);
  } else if (name == "--exit-after-s") {
    char* end = nullptr;
    result.dExitAfterS = std::strtod(value.c_str(), &end);
    ok = !value.empty() && *end == '\0' && result.dExitAfterS > 0 && result.dExitAfterS < 1e7;
  } else if (name == "--fault") {
    return o.faults.Add(value, error);
  } else if (name == "--state") {
    return CPrinterState::Parse(value, o.state, error);
  } else if (name == "--state-at") {
    SIM_STATE_STEP step;
    if (!ParseStateStep(value, step, error)) {
      return false;
    }
    o.stateSteps.push_back(step);
  }
  if (!ok) {
    error = "bad value \"" + value + "\" for " + name;
  }
  return ok;
}

}  // namespace

const char* SimUsageText() {
  return kUsage;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> result;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == ',' || c == '-' || c == ':') {
      if (high >= 0) {
        return false;  // a separator inside a pair
      }
      continue;
    }
    const int digit = HexDigit(c);
    if (digit < 0) {
      return false;
    }
    if (high < 0) {
      high = digit;
    } else {
      result.push_back(static_cast<uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0 || result.empty()) {
    return false;
  }
  bytes = result;
  return true;
}

bool ParseSimCommandLine(const std::vector<std::string>& args, SIM_COMMAND_LINE& result,
                         std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    const size_t eq = name.find('=');
    if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    if (!TakesValue(name)) {
      if (hasValue || !ApplyFlag(name, result)) {
        error = "unknown option " + args[i];
        return false;
      }
      continue;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (!ApplyValue(name, value, result, error)) {
      return false;
    }
  }
  return true;
}
