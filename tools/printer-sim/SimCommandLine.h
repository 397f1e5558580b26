// The command line of sendrix-printer-sim: options into SIM_OPTIONS.
// Options take their value as the next argument or after "=".
#pragma once

#include <string>
#include <vector>

#include "PrinterSim.h"

struct SIM_COMMAND_LINE {
  SIM_OPTIONS options;
  double dExitAfterS = 0;  // 0: run until SIGINT or SIGTERM
  bool bHelp = false;
};

// False with a reason in `error` for an unknown option or a bad value.
bool ParseSimCommandLine(const std::vector<std::string>& args, SIM_COMMAND_LINE& result,
                         std::string& error);
const char* SimUsageText();
// "1B 5B" or "1b5b" or "1B,5B" into bytes; false when malformed or empty.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes);
