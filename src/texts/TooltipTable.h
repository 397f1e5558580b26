// Which tip text each control shows: one table per dialog, mapping a
// control number to a tip number of the text library.
//
// Dialogs: -1 the main window, 0 the serial panel, 1 the USB panel, 2 the
// Ethernet panel (the panels use the main window's text library), 3 the
// print-server set-up dialog (with the text library it loads itself).
#pragma once

#include <string>

class CTextLibrary;

// The tip number of control `id` in `dialog`'s table; -1 when it has none.
int TooltipNumber(int dialog, int id);

// The text a tip request shows: empty without the library's tip function;
// else the tip of the control's number; for a control outside the table,
// empty, except in the Ethernet panel, which shows
// "Undefined Control ID #<id>". At most 399 characters.
std::string TooltipText(CTextLibrary& texts, int dialog, int id);
