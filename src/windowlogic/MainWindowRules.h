// Small fixed rules of the main window that need no state: which caption
// goes on which control. (The open-file dialog's initial name and filters
// are CHistoryFileBrowser's; the line-status lamps are the panels'
// ApplyLineStatus.)
//
// Threading: window's thread (they drive the view).
#pragma once

#include <string>
#include <vector>

#include "texts/TextLibrary.h"
#include "windowlogic/IDialogView.h"

// Sets the captions of the window and its panels from the text library
// (call only when it has its caption function). USB button kIdcUsbNormal shows
// caption 43 when usbRealTime is 1, else 44.
void ApplyWindowCaptions(IMainView& view, CTextLibrary& texts, int usbRealTime);
