// Old data logs go: each run that logs makes one HTML file in the Output
// folder, and without a limit they would pile up for good. When a log is
// created, only the newest logs are kept, as many as the setting "Log Files
// Kept" says (default 50; 0 keeps them all).
//
// Threading: SetDataLogsKept at start-up, before any log is made;
// RemoveOldDataLogs from the thread that creates a log.
#pragma once

#include <cstddef>
#include <string>

inline constexpr std::size_t kDefaultDataLogsKept = 50;

void SetDataLogsKept(std::size_t keep);
std::size_t DataLogsKept();

// Removes from `folder` the data logs ("SendrixLog_*.html", not the View Log
// copies "*.temp.html") beyond the newest `keep`, by modification time.
// The log of a process that still runs (its pid is in the name) is never
// removed: it is being written. keep 0 removes nothing. Returns how many
// were removed.
int RemoveOldDataLogs(const std::string& folder, std::size_t keep);
