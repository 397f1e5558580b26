// The serial line settings as the panels pass them (positions in their
// lists) and their termios form.
//
// Lists: baud 115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200, 600, 300,
// 110; parity None, Odd, Even, Mark, Space (Mark/Space with CMSPAR); data bits
// 5, 6, 7, 8; stop bits 1, 1.5, 2 (1.5 is set as 2: termios has no 1.5);
// flow control None, DSR/CTS, DSR, CTS, XON/XOFF. termios has no DSR flow
// control: the backend holds writes while DSR is low (DsrFlow()).
#pragma once

#include <termios.h>

#include <string>

struct SerialParams {
  int baud = 0;
  int parity = 0;
  int flow = 0;
  int dataBits = 3;
  int stopBits = 0;
  bool operator==(const SerialParams&) const = default;
};

class CSerialSettings {
 public:
  static constexpr int kFlowNone = 0;
  static constexpr int kFlowDsrCts = 1;
  static constexpr int kFlowDsr = 2;
  static constexpr int kFlowCts = 3;
  static constexpr int kFlowXonXoff = 4;

  // False (with a reason) when an index is outside its list.
  static bool Validate(const SerialParams& p, std::string* reason);
  // Raw mode with the given settings; p must be valid.
  static void ToTermios(const SerialParams& p, termios& t);
  // Whether the kernel kept what ToTermios asked for. A pseudo-terminal
  // always forces 8 data bits without parity (it has no wire to frame);
  // with `pseudo` those two are not compared.
  static bool Matches(const SerialParams& p, const termios& t, bool pseudo);
  static int BaudRate(int index);  // 0 for a bad index
  static bool DsrFlow(const SerialParams& p);
  // "115200 baud, 8 data bits, parity None, 1 stop bit(s), flow control DSR/CTS"
  static std::string Describe(const SerialParams& p);
};
