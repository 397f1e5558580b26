#include "comm/SerialSettings.h"

namespace {

constexpr int kRates[] = {115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200, 600, 300, 110};
constexpr speed_t kSpeeds[] = {B115200, B57600, B38400, B19200, B9600, B4800,
                               B2400,   B1200,  B600,   B300,   B110};
constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
const char* const kParity[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const kStop[] = {"1", "1.5", "2"};
const char* const kFlow[] = {"None", "DSR/CTS", "DSR", "CTS", "XON/XOFF"};

bool InRange(int value, int count) {
  return value >= 0 && value < count;
}

}  // namespace

bool CSerialSettings::Validate(const SerialParams& p, std::string* reason) {
  const char* bad = nullptr;
  if (!InRange(p.baud, 11))
    bad = "baud rate";
  else if (!InRange(p.parity, 5))
    bad = "parity";
  else if (!InRange(p.dataBits, 4))
    bad = "data bits";
  else if (!InRange(p.stopBits, 3))
    bad = "stop bits";
  else if (!InRange(p.flow, 5))
    bad = "flow control";
  if (bad != nullptr && reason != nullptr)
    *reason = std::string("no such ") + bad + " setting";
  return bad == nullptr;
}

void CSerialSettings::ToTermios(const SerialParams& p, termios& t) {
  cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CLOCAL | CREAD | kSizes[p.dataBits];
  switch (p.parity) {
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag |= PARENB;
      break;
    case 3:
      t.c_cflag |= PARENB | PARODD | CMSPAR;
      break;  // mark: parity bit always 1
    case 4:
      t.c_cflag |= PARENB | CMSPAR;
      break;  // space: always 0
    default:
      break;
  }
  if (p.stopBits != 0)
    t.c_cflag |= CSTOPB;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (p.parity != 0)
    t.c_iflag |= INPCK;
  if (p.flow == kFlowCts || p.flow == kFlowDsrCts)
    t.c_cflag |= CRTSCTS;
  if (p.flow == kFlowXonXoff)
    t.c_iflag |= IXON | IXOFF;
  // VMIN 1: a non-blocking read without data then fails with EAGAIN
  // instead of returning 0, which would look like a hang-up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, kSpeeds[p.baud]);
  cfsetospeed(&t, kSpeeds[p.baud]);
}

bool CSerialSettings::Matches(const SerialParams& p, const termios& t, bool pseudo) {
  termios want{};
  want = t;
  ToTermios(p, want);
  const tcflag_t mask = (pseudo ? 0 : CSIZE | PARENB) | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  return (t.c_cflag & mask) == (want.c_cflag & mask) &&
         (t.c_iflag & (IXON | IXOFF)) == (want.c_iflag & (IXON | IXOFF)) &&
         cfgetospeed(&t) == kSpeeds[p.baud];
}

int CSerialSettings::BaudRate(int index) {
  return InRange(index, 11) ? kRates[index] : 0;
}

bool CSerialSettings::DsrFlow(const SerialParams& p) {
  return p.flow == kFlowDsr || p.flow == kFlowDsrCts;
}

std::string CSerialSettings::Describe(const SerialParams& p) {
  if (!Validate(p, nullptr))
    return "invalid settings";
  return std::to_string(kRates[p.baud]) + " baud, " + std::to_string(p.dataBits + 5) +
         " data bits, parity " + kParity[p.parity] + ", " + kStop[p.stopBits] + " stop bit(s)" +
         (p.stopBits == 1 ? " (set as 2)" : "") + ", flow control " + kFlow[p.flow];
}
