// The English text library: captions, tooltips, error texts and
// communication-error texts by number. Only the four Thes_* functions are
// exported; everything else has hidden visibility.
//
// Texts are returned as pointers into constant tables (or, for a number
// without a text, into a per-thread buffer) that stay valid until the
// library is unloaded; callers copy them at once.
#include <cstddef>
#include <cstdio>

#define THES_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct NumberedText {
  int number;
  const char* text;
};

// Captions of controls and windows.
constexpr NumberedText kCaptions[] = {
    {0, "Select File"},
    {1, "Browse"},
    {2, "Start"},  // file transfer, idle
    {3, "Start"},  // firmware download, idle
    {4, "Start"},  // string transfer, idle
    {5, "Abort"},  // any running operation
    {6, "Transmit File"},
    {7, "Repeat"},
    {8, "Delay"},
    {9, "times"},
    {10, "kbytes/sec"},
    {11, "File Name"},
    {12, "Size"},
    {13, "Date"},
    {14, "Download Firmware"},
    {15, "Switch To Download Mode"},
    {16, "Check Flash Size"},
    {17, "Erase Flash"},
    {18, "Download Code"},
    {19, "Check CRC"},
    {20, "Read CRC"},
    {21, "Send Data String"},
    {22, "Receive Buffer"},
    {23, "Clear Buffer"},
    {24, "Communication"},
    {25, "Serial"},
    {26, "ASCII"},
    {27, "USB"},
    {28, "&Serial Port"},
    {29, "Baud Rate"},
    {30, "&Parity"},
    {31, "None"},
    {32, "Odd"},
    {33, "Even"},
    {34, "Mark"},
    {35, "Space"},
    {36, "&Flow Control"},
    {37, "None"},
    {38, "Settings"},
    {39, "Hex"},
    {40, "&Data Bits"},
    {41, "&Stop Bits"},
    {42, "OUT endp"},
    {43, "Norm/RT"},
    {44, "Normal"},
    {45, "Real Time"},
    {46, "&Status"},
    {47, "Ethernet"},
    {48, "View Log"},
    {49, "Ethernet Port"},
    {50, "IP address"},
    {51, "Settings"},
    {52, "Main Port"},
    {53, "Real Time"},
    {54, "USM Port"},
    {55, "MAC Address"},
    {56, "Setup"},
    {57, "Show USM"},
    {58, "Status"},
    {59, "ERROR"},
    {60, "P OUT"},
    {61, "Monitor"},
    {62, "Setup Devices"},
    {63, "Search"},
    {64, "IP Address"},
    {65, "Device Name"},
    {66, "MAC Address"},
    {67, "Selected Device"},
    {68, "IP Address"},
    {69, "Device Name"},
    {70, "Update"},
    {71, "Reboot"},
    {72, "Save As"},
    {73, "Packet Protocol"},
    {74, "Info"},
    {75, "Auto"},
    {76, "OK"},
    {77, "Cancel"},
    {78, "Port"},
    {79, "Device"},
    {80, "Progress"},
    {81, "CRC"},
    {82, "ms"},
    {83, "DSR"},
    {84, "CTS"},
    {85, "Create Log"},
    {86, "JSON Log"},
    {87, "Show Time"},
};

// Tooltips, by the number the dialogs' tables give each control.
constexpr NumberedText kTips[] = {
    {0,
     "The file to send. Type a path, pick one with Browse or from the list, or drop a file "
     "on the window."},
    {1, "Recently sent files, most recent first. Click a file to select it."},
    {2, "Choose the file to send."},
    {3, "Send the selected file to the printer. Press again to abort."},
    {4, "Send the file several times, with a delay between passes."},
    {5, "How many times to send the file; -1 sends it again and again until aborted."},
    {6, "Pause between two passes, in milliseconds (0 to 300000)."},
    {7, "Transfer rate of the running file transfer, in kbytes per second."},
    {8, "Progress of the running transfer or firmware download."},
    {9, "Data received from the printer, in hexadecimal and as text."},
    {10, "Unsolicited status messages (USM) received from the printer."},
    {11, "Clear the receive list."},
    {12,
     "Download the selected firmware file (.bin) into the printer's flash. Press again to "
     "abort."},
    {13, "Send the data string to the printer. Press again to abort."},
    {14,
     "The data string to send, in the notation chosen below. ASCII: \\t \\r \\n \\\\ and "
     "\\xHH stand for special bytes. Hex: pairs of digits, e.g. 1B 40."},
    {15, "The data string is hexadecimal byte values, e.g. 1B 40 0A."},
    {16, "The data string is text; a backslash introduces special bytes (\\n, \\x1B)."},
    {17, "Connect through a serial (RS232) port."},
    {18, "Connect through USB."},
    {19, "The serial port the printer is connected to."},
    {20, "Speed of the serial line, in bits per second."},
    {21, "Parity bit of each character."},
    {22, "How the printer and the computer pace the data flow."},
    {23, "Number of data bits per character."},
    {24, "Number of stop bits per character."},
    {25, "The USB printer to use. The list is refreshed when it opens."},
    {26, "Show the properties of the open port."},
    {27, "Send on the normal output endpoint."},
    {28, "Send on the real-time output endpoint (commands handled at once)."},
    {29, "Wrap every transfer in the packet protocol (STX, data, ETX, check byte)."},
    {30, "Step 1: switch the printer to download mode."},
    {31, "Step 2: check that the firmware fits the printer's flash."},
    {32, "Step 3: erase the flash."},
    {33, "Step 4: send the firmware in 64 KB blocks."},
    {34, "Step 5: let the printer check the CRC of what it received."},
    {35, "Step 6: read the CRC back from the printer."},
    {36, "The CRC read back from the printer after a download."},
    {37, "Data Set Ready: on when the printer reports it is ready."},
    {38, "Clear To Send: on when the printer can take data."},
    {39, "Ring Indicator line."},
    {40, "Data Carrier Detect line."},
    {41, "On while the printer has stopped the flow with XOFF."},
    {42, "Connect through Ethernet (TCP/IP)."},
    {43, "IP address of the printer."},
    {44, "TCP port for normal data (usually 9100)."},
    {45, "TCP port for real-time commands (usually 9105)."},
    {46, "TCP port for unsolicited status messages (usually 9110)."},
    {47, "Send on the main port."},
    {48, "Send on the real-time port."},
    {49, "Port on which the printer sends its status messages."},
    {50, "MAC address of the connected print server."},
    {51, "Find print servers on the network and change their address or name."},
    {52, "Reconnect automatically when the connection is lost."},
    {53, "Show the unsolicited status messages instead of the received data."},
    {54, "On when the printer reports an error."},
    {55, "On when the printer is out of paper."},
    {56, "Look for print servers on the network."},
    {57, "Print servers found. Click one to select it."},
    {58, "New IP address for the selected device."},
    {59, "New name for the selected device (at most 10 characters)."},
    {60, "Send the new address and name to the selected device."},
    {61, "Restart the selected device."},
    {62, "Close this window."},
    {63, "Save the received data to a file."},
    {64, "Watch the printer's status while connected."},
    {65, "Open a copy of the log as it is now."},
    {66, "Record everything the program does in an HTML log file."},
    {67, "Append each run's events to Sendrix.jsonl in the Output folder, one JSON object a line."},
    {68, "Show when each block of received bytes arrived, in a Time column before Hex."},
};

// Error texts shown in message boxes and written to the log.
constexpr NumberedText kErrors[] = {
    {1, "The packed copy of the file could not be made."},
    {3, "The file could not be opened."},
    {4, "The file is empty."},
    {5, "The receive thread could not be started."},
    {6, "No file is selected."},
    {7, "Firmware download: the image file could not be read."},
    {8, "Firmware download: the printer did not answer the erase command."},
    {9, "Firmware download: unexpected answer to the erase command."},
    {10, "Firmware download: the printer did not answer a block header."},
    {11, "Firmware download: unexpected answer to a block header."},
    {12, "Firmware download: the printer did not answer a data frame."},
    {13, "Firmware download: unexpected answer to a data frame."},
    {14, "Firmware download: the printer did not answer the CRC check."},
    {15, "Firmware download: unexpected answer to the CRC check."},
    {16, "Firmware download: the CRC reply did not arrive complete."},
    {17, "The firmware image is larger than the printer's flash."},
    {18, "The printer refused to erase its flash."},
    {19, "The printer refused a data frame."},
    {20, "CRC mismatch: the firmware in the flash is not what was sent."},
    {21, "The printer refused a block header."},
    {22, "The firmware file size is not a multiple of 1024 bytes."},
    {23, "The firmware file name must contain \".bin\"."},
    {24, "The file is too large (4 GB or more)."},
    {25, "Unknown interface type."},
    {26, "The receive threads did not stop in time."},
    {27, "The data receive thread did not stop in time."},
    {28, "The status receive thread did not stop in time."},
    {30, "Command line: invalid mode (-M:T, -M:D, -M:X or -M:S)."},
    {31, "Command line: invalid interface (-I:R, -I:U or -I:T)."},
    {32, "Command line: -O: cannot be used with USB."},
    {33,
     "Command line: invalid baud rate (-B:110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, "
     "57600 or 115200)."},
    {34, "Command line: invalid parity (-P:N, O, E, M or S)."},
    {35, "Command line: invalid flow control (-H:N, H, D, C or X)."},
    {36, "Command line: invalid option."},
    {37,
     "Invalid data string: check the hexadecimal digits and escapes. A data string holds at "
     "most 255 bytes (the send buffer's 256 less its end mark)."},
    {38, "The USB receive thread did not stop in time."},
    {39, "No device was found on the network."},
    {40, "No device is selected."},
    {41, "The new IP address could not be sent to the device."},
    {42, "The new name could not be sent to the device."},
    {43, "The restart command could not be sent to the device."},
    {44, "Another device in the list already has this IP address. Use it anyway?"},
    {45, "The selected device has no readable MAC address."},
    {46, "Firmware download: the printer did not answer the flash size request."},
    {49, "This operating system is not supported."},
    {50, "File transfer failed: not every byte reached the printer."},
};

// Communication-error texts of the communications library. 1, 2, 3, 6 and
// 10 are formats with exactly two %s (the port or device, then the reason or
// the fix the library found) and no other conversion.
constexpr NumberedText kCommErrors[] = {
    {1, "Cannot open %s: %s"},
    {2, "The port %s is busy: it is held by %s."},
    {3, "Cannot open %s: permission denied; %s."},
    {4, "The port refused the serial settings."},
    {5, "The device is not present. Check that it is plugged in and switched on."},
    {6, "The USB printer %s is busy: %s."},
    {7, "The printer closed the connection."},
    {8, "The connection attempt timed out."},
    {9, "Network discovery failed (socket error)."},
    {10, "Cannot connect to %s: %s"},
    {11, "USB transfer failed."},
    {12, "USB support is unavailable (libusb could not start)."},
    {13, "The USB device has no printer interface or no bulk OUT endpoint."},
    {14, "Invalid port or device number."},
    {15, "The device setup frame could not be sent."},
};

template <std::size_t N>
const char* Find(const NumberedText (&table)[N], int n, const char* unknownFormat) {
  for (const NumberedText& entry : table) {
    if (entry.number == n)
      return entry.text;
  }
  static thread_local char unknown[48];
  std::snprintf(unknown, sizeof(unknown), unknownFormat, n);
  return unknown;
}

}  // namespace

THES_EXPORT const char* Thes_ErrorGetText(int n) {
  return Find(kErrors, n, "Unknown error %d");
}

THES_EXPORT const char* Thes_CommErrorGetText(int n) {
  return Find(kCommErrors, n, "Unknown communication error %d");
}

THES_EXPORT const char* Thes_CaptionGetText(int n) {
  return Find(kCaptions, n, "Caption %d");
}

THES_EXPORT const char* Thes_TipGetText(int n) {
  return Find(kTips, n, "Unknown tip %d");
}
