// Control ids that several layers name (the window, its rules, the tooltip
// table, the test views). Most controls still go by their historic numbers.
#pragma once

// The "JSON Log" check box beside "Create Log".
inline constexpr int kIdcJsonLog = 1160;
// The "Show Time" check box beside "Show USM": the receive lists' Time column.
inline constexpr int kIdcShowTime = 1161;
// The printer's status line under the receive lists.
inline constexpr int kIdcStatusLine = 1162;
