// Small fixed rules of the main window that need no state: which caption
// goes on which control, the open-file dialog's initial name and filters,
// and the line-status lamps.
//
// Threading: window's thread (they drive the view).
#pragma once

#include <string>
#include <vector>

#include "app/IDialogView.h"
#include "app/IFileDialog.h"
#include "platform/Win32Types.h"
#include "texts/TextLibrary.h"

// Sets the captions of the window and its panels from the text library
// (call only when it has its caption function). USB button 1046 shows
// caption 43 when usbRealTime is 1, else 44.
void ApplyWindowCaptions(IMainView& view, CTextLibrary& texts, int usbRealTime);

// The tooltip number of a main-window control (Thes_TipGetText), -1 when the
// control has none.
int MainWindowTipNumber(int id);

// Initial name of the open-file dialog from the last browsed file: empty ->
// "*.*"; a bare name -> "*" plus its part from the first dot ("*.*" without
// a dot); a path -> its folder followed by that pattern of its name.
std::string BrowseInitialName(const std::string& lastBrowsed);
// The open-file dialog's filters; each pattern in both letter cases.
const std::vector<CFileFilter>& BrowseFilters();

// The lamps for a status word posted by the data reader: serial DSR 0x20,
// CTS 0x10, RING 0x40, DCD 0x80 green when set, XON/XOFF 0x100 only with
// flow control "Xon / Xoff" (index 4), else hidden; USB ERROR 0x1 and P OUT
// 0x2 red when set (a set bit is a fault); TCP/IP: nothing.
void ShowLineStatus(IMainView& view, int interfaceType, int flowIndex, DWORD bits);
