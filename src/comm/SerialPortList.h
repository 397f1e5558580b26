// The serial ports the library offers: real ports found under
// /sys/class/tty (ttyS with a UART present, ttyUSB, ttyACM, rfcomm) plus the
// paths listed in SENDRIX_EXTRA_SERIAL_PORTS (colon-separated; pseudo-
// terminals for tests and users). Names are device paths.
//
// Order: by the trailing number of the name (/dev/ttyUSB2 -> 2; a name
// without one sorts last), equal numbers keep the discovery order (ttyS,
// ttyUSB, ttyACM, rfcomm, then the extra paths). The serial panel sorts its
// list by number with the same tie rule, so the panel's index of a port is its
// index here.
#pragma once

#include <string>
#include <vector>

class CSerialPortList {
 public:
  static constexpr size_t kMaxPorts = 50;
  static constexpr size_t kMaxName = 127;

  // The system's ports: /sys/class/tty and $SENDRIX_EXTRA_SERIAL_PORTS.
  static std::vector<std::string> Enumerate();
  // The same from another sysfs folder and extra list (tests).
  static std::vector<std::string> Enumerate(const std::string& sysClassTty, const char* extra);
  // Trailing decimal number of a name, or -1 when it has none.
  static long TrailingNumber(const std::string& name);
};
