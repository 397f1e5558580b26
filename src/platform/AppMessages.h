// Numbers of the application messages posted to the main window (through
// IMessageTarget): the communications library's error reports and the batch
// run's own, and what their parameters carry. The workers' reports are
// typed calls instead (engine/TransferEvents.h).
#pragma once

#include "platform/Win32Types.h"

inline constexpr UINT WM_APP = 0x8000;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr WPARAM SC_CLOSE = 0xF060;

inline constexpr UINT WM_AUTO_START = WM_APP + 5;         // 0, 0
inline constexpr UINT WM_SHOW_ERROR = WM_APP + 14;        // comm error code, address of record
inline constexpr UINT WM_LOG_SYSTEM_ERROR = WM_APP + 15;  // system error code, 0
