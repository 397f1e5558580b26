// Debugger output. Written to stderr only when the environment variable
// SENDRIX_DEBUG is set (to anything), so that normal runs and tests stay
// quiet; the text is written as given, without an added line break.
// Thread-safe: each call is one write.
#pragma once

void OutputDebugStringA(const char* text);
