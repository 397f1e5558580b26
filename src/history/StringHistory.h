// The data-string history as the main window's string box holds it: most
// recent first (entry 0 is the top entry), at most kMaxHistoryItems entries.
// Pure logic over a vector, plus the whole-list conversions between escaped
// ASCII text and hex text that switching the string mode performs, and quiet
// checks the settings store uses so that loading and saving never raise the
// codecs' error box.
//
// Threading: no state of its own. The conversions call the codecs, whose
// error box (kErrorInvalidDataString) goes through ShowErrorText (report/ErrorBoxes.h).
#pragma once

#include <string>
#include <vector>

#include "history/FileHistory.h"  // kMaxHistoryItems

// Index of the entry equal to `text` ignoring ASCII letter case, or -1.
int FindStringHistoryEntry(const std::vector<std::string>& entries, const std::string& text);

// Puts `text` on top: found at 0, nothing changes (the old spelling stays);
// found elsewhere, that entry is removed and `text` inserted at 0; not found,
// entries from index 19 on are dropped and `text` inserted at 0.
void AddStringToHistory(std::vector<std::string>& entries, const std::string& text);

// Escaped text to hex text ("%02X " per byte) and back, through the codecs
// (codec/Codec.h). A text the codec refuses gives "" (and its error box).
std::string EscapedToHexText(const std::string& escaped);
std::string HexToEscapedText(const std::string& hex);

// Switching the string mode ASCII -> Hex (OnHex) and Hex -> ASCII (OnAscii):
// every entry is converted in place, order kept, without an error box. An
// entry the codec cannot convert (not valid in the notation it is said to be
// in, say one loaded from a history file of the other mode) stays as it is:
// no entry is ever lost. Returns the number of entries left unconverted.
int ConvertHistoryToHex(std::vector<std::string>& entries);
int ConvertHistoryToAscii(std::vector<std::string>& entries);

// Whether `text` is a data string that can be sent in the mode (hexMode 1:
// hex text, 0: escaped text): it decodes without error (quietly) to 1..255
// bytes.
bool IsSendableString(const std::string& text, int hexMode);

// Quiet checks (no error box): whether the codec would convert the text
// without refusing it (codec/Codec.h: CanConvertHexTextToEscapedText,
// CanConvertEscapedTextToHexText).
bool CanConvertHexToEscaped(const std::string& hex);
bool CanConvertEscapedToHex(const std::string& escaped);
