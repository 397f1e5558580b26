// Numbers of the application messages that worker threads post or send to
// the main window (through IMessageTarget), and what their parameters carry.
#pragma once

#include "platform/Win32Types.h"

inline constexpr UINT WM_APP = 0x8000;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr WPARAM SC_CLOSE = 0xF060;

inline constexpr UINT WM_AUTO_START = WM_APP + 5;         // 0, 0
inline constexpr UINT WM_TRANSFER_PROGRESS = WM_APP + 6;  // percent 0..100, repeat number or -1
inline constexpr UINT WM_ENABLE_CONTROL = WM_APP + 7;     // control id, 1 enable / 0 disable
inline constexpr UINT WM_TRANSFER_DONE = WM_APP + 8;      // 0, 0
inline constexpr UINT WM_LINE_STATUS = WM_APP + 9;        // status bits, 1 first report after start
inline constexpr UINT WM_FLASH_STEP = WM_APP + 10;        // step 0..4, LedState
inline constexpr UINT WM_FLASH_CRC = WM_APP + 11;         // CRC value, 0
inline constexpr UINT WM_SHOW_ERROR = WM_APP + 14;        // comm error code, address of record
inline constexpr UINT WM_LOG_SYSTEM_ERROR = WM_APP + 15;  // system error code, 0
inline constexpr UINT WM_TRANSFER_RATE = WM_APP + 16;     // elapsed ms, rate x kRateParamScale
// WM_TRANSFER_RATE's rate in kbytes/s times this, rounded (hundredths).
inline constexpr double kRateParamScale = 100.0;
