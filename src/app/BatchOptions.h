// Options of the headless command-line runner (sendrix-cli): which
// connection to open and which one job to run on it.
//
//   --tcp HOST[:MAIN[:RT[:USM]]]   TCP/IP print server (IPv4 dotted address)
//   --realtime                     send on the real-time connection
//   --serial DEVICE                serial port (device path)
//   --baud N --parity N|O|E|M|S --flow N|H|D|C|X --data-bits 5..8 --stop-bits 1|1.5|2
//   --file PATH [--repeat N] [--delay MS] [--packet]   transmit a file
//   --ascii TEXT | --hex TEXT [--packet]               send a data string
//   --firmware PATH.bin                                 download firmware
//   --listen MS      after the job, keep receiving for MS milliseconds
//   --log            write the HTML data log
//
// ParseBatchOptions never exits and never prints: it returns 0 with a
// message in *error for a bad command line, 1 otherwise.
#pragma once

#include <string>

#include "platform/Win32Types.h"

enum class BatchJob { kNone, kFile, kAscii, kHex, kFirmware };

struct BatchOptions {
  int nInterface = -1;  // COMM_TYPE_*; -1 until a connection option is given
  DWORD dwIpAddress = 0;
  int nMainPort = 9100;
  int nRealTimePort = 9105;
  int nUsmPort = 9110;
  int nOutputPort = 0;  // 0 main, 1 real time
  std::string strSerialPort;
  int nBaudIndex = 0;      // 115200
  int nParityIndex = 0;    // none
  int nFlowIndex = 0;      // none
  int nDataBitsIndex = 3;  // 8
  int nStopBitsIndex = 0;  // 1
  BatchJob job = BatchJob::kNone;
  std::string strArgument;  // file path or data string
  int nRepeatCount = 0;     // 0 = no repeat; -1 = continuous
  int nDelayMs = 0;
  bool bPacketMode = false;
  int nListenMs = 0;
  bool bLog = false;
  bool bHelp = false;
};

int ParseBatchOptions(int argc, const char* const* argv, BatchOptions* out, std::string* error);
const char* BatchUsageText();
