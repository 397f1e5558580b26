// Small fixed rules of the main window that need no state: which caption
// goes on which control and the line-status lamps. (The open-file dialog's
// initial name and filters are CHistoryFileBrowser's.)
//
// Threading: window's thread (they drive the view).
#pragma once

#include <string>
#include <vector>

#include "app/IDialogView.h"
#include "platform/Win32Types.h"
#include "texts/TextLibrary.h"

// Sets the captions of the window and its panels from the text library
// (call only when it has its caption function). USB button 1046 shows
// caption 43 when usbRealTime is 1, else 44.
void ApplyWindowCaptions(IMainView& view, CTextLibrary& texts, int usbRealTime);

// The lamps for a status word posted by the data reader: serial DSR 0x20,
// CTS 0x10, RING 0x40, DCD 0x80 green when set, XON/XOFF 0x100 only with
// flow control "Xon / Xoff" (index 4), else hidden; USB ERROR 0x1 and P OUT
// 0x2 red when set (a set bit is a fault); TCP/IP: nothing.
void ShowLineStatus(IMainView& view, int interfaceType, int flowIndex, DWORD bits);
