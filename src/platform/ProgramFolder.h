// Where the program keeps what it writes (the "Output" folder with the log
// and the received-data file): $SENDRIX_HOME when set and not empty, else
// $HOME/.local/share/sendrix. Returned without a trailing separator; the
// folder itself is not created here.
#pragma once

#include <string>

inline constexpr char kPathSeparator = '/';

std::string GetProgramFolder();
