#include "batch/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "codec/Codec.h"
#include "codec/ReplyPattern.h"
#include "comm/CommBackend.h"
#include "comm/SerialPortList.h"
#include "platform/ControlIds.h"
#include "platform/Notifier.h"
#include "report/ErrorBoxes.h"
#include "texts/ErrorTexts.h"

namespace {

// The widest values the fields take: the delay edit's range, the TCP ports,
// and the serial port list's length.
constexpr long long kMaxDelayMs = 300000;
constexpr long long kMaxTcpPort = 65535;
constexpr int kMaxSerialPortNumber = 50;

const char* const kMarkers[] = {"-M:", "-R:", "-D:", "-W:", "-Q:", "-F:", "-I:", "-O:",
                                "-B:", "-P:", "-H:", "-A:", "-C:", "-E:", "-T:", "-J:"};
enum Marker {
  kMode,
  kRepeat,
  kDelay,
  kAutoClose,
  kPacket,
  kRxFile,
  kInterface,
  kPort,
  kBaud,
  kParity,
  kFlow,
  kAddress,
  kChannel,
  kExpectedReply,
  kReplyTimeout,
  kJsonLog,
  kNoMarker
};

const int kBaudRates[] = {115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200, 600, 300, 110};

// atoi's reading (blanks, sign, digits; none gives 0), held at the int range
// instead of overflowing.
int ReadNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0)
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1)
      value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative)
    value = -value;
  if (value > INT_MAX)
    value = INT_MAX;
  return static_cast<int>(value);
}

// Position of `letter` in `letters`, or -1 (also for the end of the value).
int LetterIndex(char letter, const char* letters) {
  if (letter == '\0')
    return -1;
  const char* found = std::strchr(letters, letter);
  return found != nullptr ? static_cast<int>(found - letters) : -1;
}

Marker FindMarker(const std::string& token, std::string& value) {
  for (int m = kMode; m < kNoMarker; ++m) {
    const std::size_t at = token.find(kMarkers[m]);
    if (at != std::string::npos) {
      value = token.substr(at + 3);
      return static_cast<Marker>(m);
    }
  }
  return kNoMarker;
}

void ApplyMode(char letter, int& mode, CDialogFields& f) {
  switch (letter) {
    case 'T':
      mode = kBatchTransmitFile;
      break;
    case 'D':
      mode = kBatchDownloadFirmware;
      break;
    case 'X':
      mode = kBatchSendHexString;
      f.main.m_nStringFormat = 1;
      break;
    case 'S':
      mode = kBatchSendAsciiString;
      f.main.m_nStringFormat = 0;
      break;
    default:
      ShowErrorText(kErrorBadModeLetter);
      mode = kBatchInvalid;
      break;
  }
}

// A refused value: its message, and the run sends nothing (ParseCommandLine).
bool Refuse(const std::string& text) {
  AfxMessageBox(text.c_str(), MB_OK);
  return false;
}

bool RefuseText(int error) {
  ShowErrorText(error);
  return false;
}

void ApplyRepeat(int n, CDialogFields& f, CBatchRun& run) {
  // 0 leaves the repeat alone; any count below -1 repeats until stopped, as
  // the window's own start makes of it.
  if (n == 0)
    return;
  f.main.m_nRepeatCount = n < -1 ? -1 : n;
  f.main.m_bRepeat = 1;
  run.m_bEnableRepeatControls = 1;
}

// A port the fields cannot hold is refused: left out, the run would go to
// the saved port, which may be another printer.
bool ApplyPort(const std::string& value, CDialogFields& f) {
  const int n = ReadNumber(value);
  switch (f.main.m_nInterface) {
    case 0:
      if (n < 1 || n > kMaxSerialPortNumber) {
        return Refuse("Command line: invalid serial port (-O:" + value +
                      "): give its place in the list, 1..50, or its device path.");
      }
      f.serial.m_nPortIndex = n - 1;
      return true;
    case 1:
      return RefuseText(kErrorPortWithUsb);
    case 2:
      if (n < 0 || n > kMaxTcpPort)
        return Refuse("Command line: invalid TCP/IP port (-O:" + value + "): give 0..65535.");
      f.ethernet.m_nMainPort = n;
      return true;
    default:
      return true;
  }
}

// "-O:/dev/ttyUSB0": a serial port named by its device path, as Linux users
// name ports, rather than by its place in a list that differs between
// machines. A path the list does not hold selects no port, so the run fails
// to open instead of using the saved port, which may be another printer.
// A link such as /dev/serial/by-id/... names the listed device it leads to.
int FindSerialPath(const std::string& path, const std::vector<std::string>& ports) {
  const auto found = std::find(ports.begin(), ports.end(), path);
  if (found != ports.end())
    return static_cast<int>(found - ports.begin());
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  if (error)
    return -1;
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (std::filesystem::canonical(ports[i], error) == target && !error)
      return static_cast<int>(i);
  }
  return -1;
}

bool ApplySerialPath(const std::string& path, CDialogFields& f,
                     const CCommandLine::PortLister& listPorts) {
  const std::vector<std::string> ports = listPorts ? listPorts() : CSerialPortList::Enumerate();
  const int index = FindSerialPath(path, ports);
  if (index >= 0) {
    f.serial.m_nPortIndex = index;
    return true;
  }
  COMM_ERROR_RECORD record{};
  std::snprintf(record.szText1, sizeof record.szText1, "%s", path.c_str());
  std::snprintf(record.szText2, sizeof record.szText2, "not in the serial port list");
  ShowCommError(COMM_ERR_INVALID_INDEX, &record);
  return false;
}

bool ApplyBaud(int n, CDialogFields& f) {
  for (int i = 0; i < static_cast<int>(std::size(kBaudRates)); ++i) {
    if (kBaudRates[i] == n) {
      f.serial.m_nBaudIndex = i;
      return true;
    }
  }
  return RefuseText(kErrorBadBaudRate);
}

bool ApplyLetterChoice(char letter, const char* letters, int& field, int error) {
  const int index = LetterIndex(letter, letters);
  if (index < 0)
    return RefuseText(error);
  field = index;
  return true;
}

// Four decimal numbers 0..255 and nothing else: a host name, a fifth part or
// an octet out of range is refused rather than saved as 255.255.255.255.
bool ReadDottedQuad(const std::string& text, DWORD& address) {
  DWORD value = 0;
  std::size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && (i >= text.size() || text[i++] != '.'))
      return false;
    int digits = 0;
    unsigned octet = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4; ++i, ++digits)
      octet = octet * 10 + static_cast<unsigned>(text[i] - '0');
    if (digits == 0 || digits > 3 || octet > 255)
      return false;
    value = value << 8 | octet;
  }
  address = value;
  return i == text.size();
}

bool ApplyAddress(const std::string& value, CDialogFields& f) {
  if (value.empty())
    return true;
  if (!ReadDottedQuad(value, f.ethernet.m_dwIpAddress)) {
    return Refuse("Command line: invalid IP address (-A:" + value +
                  "): give four numbers 0..255, as in 192.168.1.2.");
  }
  return true;
}

void ApplyChannel(char letter, CDialogFields& f) {
  const int index = LetterIndex(letter, "MR");
  if (index < 0)
    return;
  f.usb.m_nOutEndpoint = index;
  f.ethernet.m_nOutputPort = index;
}

// False when the option's value was refused (its message shown).
bool ApplyOption(const std::string& token, int& mode, CDialogFields& f, CBatchRun& run,
                 const CCommandLine::PortLister& listPorts) {
  std::string value;
  const Marker marker = FindMarker(token, value);
  const char letter = value.empty() ? '\0' : value[0];
  switch (marker) {
    case kMode:
      ApplyMode(letter, mode, f);
      break;
    case kRepeat:
      ApplyRepeat(ReadNumber(value), f, run);
      break;
    case kDelay: {
      // A negative delay would wrap to weeks in the unsigned field.
      const int n = ReadNumber(value);
      if (n > 0 && n <= kMaxDelayMs)
        f.main.m_nDelay = static_cast<unsigned>(n);
      break;
    }
    case kAutoClose:
      run.m_bAutoCloseWindow = letter == '0' ? 0 : 1;
      break;
    case kPacket:
      f.main.m_bPacketMode = letter == 'L' ? 1 : 0;
      break;
    case kRxFile:
      run.m_strRxDataFileName = value;
      break;
    case kInterface:
      return ApplyLetterChoice(letter, "RUT", f.main.m_nInterface, kErrorBadInterfaceLetter);
    case kPort:
      if (f.main.m_nInterface == 0 && letter == '/')
        return ApplySerialPath(value, f, listPorts);
      return ApplyPort(value, f);
    case kBaud:
      return ApplyBaud(ReadNumber(value), f);
    case kParity:
      return ApplyLetterChoice(letter, "NOEMS", f.serial.m_nParityIndex, kErrorBadParityLetter);
    case kFlow:
      return ApplyLetterChoice(letter, "NHDCX", f.serial.m_nFlowIndex, kErrorBadFlowLetter);
    case kAddress:
      return ApplyAddress(value, f);
    case kChannel:
      ApplyChannel(letter, f);
      break;
    case kExpectedReply:
      // A run that could not tell whether the reply came has nothing to run.
      if (!CReplyPattern().Parse(value)) {
        AfxMessageBox(("-E:" + value +
                       " is not a reply pattern: hex bytes, spaces optional, ? a wildcard hex "
                       "digit, ?? any byte.")
                          .c_str());
        return false;
      }
      run.m_strExpectedReply = value;
      break;
    case kReplyTimeout:
      if (ReadNumber(value) > 0)
        run.m_nReplyTimeoutMs = ReadNumber(value);
      break;
    case kJsonLog:
      run.m_strJsonLog = value;
      break;
    case kNoMarker:
      break;
  }
  return true;
}

bool AnyOptionNamesMode(const std::vector<std::string>& tokens) {
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    if (tokens[i].find("-M:") != std::string::npos)
      return true;
  }
  return false;
}

}  // namespace

CCommandLine::CCommandLine(std::vector<std::string> tokens) : m_tokens(std::move(tokens)) {}

CCommandLine CCommandLine::FromArgv(int argc, const char* const* argv) {
  std::vector<std::string> tokens;
  for (int i = 1; i < argc; ++i)
    tokens.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return CCommandLine(std::move(tokens));
}

int CCommandLine::ParseCommandLine(CDialogFields& fields, CBatchRun& run) const {
  if (m_tokens.empty())
    return kBatchNone;
  // Without a mode there is no action to run: the options are not applied
  // (they would otherwise be saved as settings) and the help says why.
  if (m_tokens.size() == 1 || !AnyOptionNamesMode(m_tokens)) {
    ShowHelp();
    run.m_bCloseWindow = 1;
    return kBatchInvalid;
  }
  // The options go to a copy: a run that sends nothing saves nothing either.
  int mode = kBatchNone;
  CDialogFields work = fields;
  CBatchRun workRun = run;
  bool refused = false;
  for (std::size_t i = 1; i < m_tokens.size(); ++i)
    refused |= !ApplyOption(m_tokens[i], mode, work, workRun, m_fnListPorts);
  if (mode == kBatchSendHexString || mode == kBatchSendAsciiString)
    work.main.m_strDataString = m_tokens[0];
  else
    work.main.m_strFileName = m_tokens[0];
  // A refused value would leave the action to run with a saved setting
  // nobody chose (another port, another printer): nothing runs. A window
  // left half-initialised (no port, no threads) has nothing useful to offer:
  // it closes as after the help.
  if (mode == kBatchInvalid || refused) {
    run.m_bCloseWindow = 1;
    return kBatchInvalid;
  }
  fields = work;
  run = workRun;
  return mode;
}

bool CCommandLine::NamesInterfaceAndPort() const {
  char interfaceLetter = '\0';
  bool port = false;
  bool address = false;
  for (std::size_t i = 1; i < m_tokens.size(); ++i) {
    std::string value;
    const Marker marker = FindMarker(m_tokens[i], value);
    if (marker == kInterface && LetterIndex(value.empty() ? '\0' : value[0], "RUT") >= 0) {
      interfaceLetter = value[0];
      port = false;  // a port given before it was a port of another interface
    } else if (marker == kPort && interfaceLetter != '\0') {
      port = true;
    } else if (marker == kAddress && !value.empty()) {
      address = true;
    }
  }
  switch (interfaceLetter) {
    case 'U':
      return true;
    case 'R':
      return port;
    case 'T':
      return port && address;
    default:
      return false;
  }
}

void CCommandLine::ShowHelp() const {
  const std::string& help = CommandLineHelpText();
  if (m_pHelpOut != nullptr) {
    std::fwrite(help.data(), 1, help.size(), m_pHelpOut);
    std::fflush(m_pHelpOut);
  }
  AfxMessageBox(help.c_str(), MB_OK | MB_ICONINFORMATION);
}

const std::string& CommandLineHelpText() {
  static const std::string text =
      "Command Line Syntax : \r\n\nSENDRIX String -M:Mode [options]\r\n\n"
      "\tString\t\t: File Name or ASCII data string or HEX data string\r\n"
      "\tMode\t\t: T=Transmit File, D=Download Firmware, S=Send ASCII String, X=Send HEX "
      "String\r\n\n"
      "\tOptions :\r\n\n"
      "\t* Global Parameters : -R:NbRepeats -D:Delay -W:AutoCloseWindow -I:Interface "
      "-Q:PacketMode -F:RxDataFileName\r\n"
      "\tNbRepeats\t: 1..65535 times or -1 for continuous transmission\r\n"
      "\tDelay\t\t: 1..65535 milliseconds\r\n"
      "\tAutoCloseWindow\t: 0=NO, 1=YES\r\n"
      "\tInterface\t\t: R=RS232, U=USB, T=TCP/IP\r\n"
      "\tPacketMode\t: L=LOTTERY\r\n"
      "\tRxDataFileName\t: File Name\r\n\n"
      "\t* Serial Interface Parameters : -C:Port -B:Baudrate -P:Parity -H:Handshaking\r\n"
      "\tPort\t\t: 1=COM1, 2=COM2, 3=COM3, etc...\r\n"
      "\tBaudrate\t\t: 110,300,600,1200,2400,4800,9600,19200,38400,57600,115200\r\n"
      "\tParity\t\t: N=None, O=Odd, E=Even, M=Mark, S=Space\r\n"
      "\tHandshaking\t: N=None, H=DSR/CTS, D=DSR, C=CTS, X=Xon/Xoff\r\n\n"
      "\t* USB Interface Parameters : -C:Out Channel\r\n"
      "\tChannel\t\t: M=Main, R=Real Time Port\r\n\n"
      "\t* TCP/IP Interface Parameters : -A:IpAddress -C:Channel -O:Port\r\n"
      "\tIpAddress\t: IP Address in dotted format ex: 192.168.1.2\r\n"
      "\tChannel\t\t: M=Main, R=Real Time Port\r\n"
      "\tPort\t\t: 0..65535\r\n\n";
  return text;
}

int BatchStartButton(int mode) {
  switch (mode) {
    case kBatchTransmitFile:
      return kIdcFileStart;
    case kBatchDownloadFirmware:
      return kIdcFirmwareStart;
    case kBatchSendHexString:
    case kBatchSendAsciiString:
      return kIdcStringStart;
    default:
      return 0;
  }
}

bool BatchModeMatchesOperation(int mode, int runningOperation) {
  switch (runningOperation) {
    case 1:
      return mode == kBatchDownloadFirmware;
    case 2:
      return mode == kBatchTransmitFile;
    case 3:
      return mode == kBatchSendHexString || mode == kBatchSendAsciiString;
    default:
      return false;
  }
}

int BatchExitStatusForMode(int mode) {
  return BatchStartButton(mode) != 0 ? -1 : kBatchExitNoAction;
}

std::string RxDataFilePath(const std::string& value, const std::string& outputFolder) {
  if (value.empty())
    return {};
  if (value.find('/') != std::string::npos)
    return value;
  return outputFolder + "/" + value;
}

std::string RxDataFileFailureText(const std::string& path) {
  return "Cannot create the received-data file " + path + "; the default file is used.";
}

std::string RxDataFileIsInputText(const std::string& path) {
  return "The received-data file " + path +
         " is the file being sent, which it would empty; the default file is used.";
}
