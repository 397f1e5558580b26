// Control ids that several layers name (the window, its rules, the tooltip
// table, the test views). Most controls still go by their historic numbers.
#pragma once

// The "JSON Log" check box beside "Create Log".
inline constexpr int kIdcJsonLog = 1160;
