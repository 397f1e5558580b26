// Run-time loading of shared objects (dlopen/dlsym).
//
// LoadLibraryA: a name with a '/' is a path; a bare name is searched the
// dynamic loader's way. Returns null on failure, with last error
// ERROR_FILE_NOT_FOUND (2) and the loader's message in LastLoadError().
// GetProcAddress: null when the symbol is missing (last error 1168, not
// found). Handles are freed with FreeLibrary.
#pragma once

#include <string>

#include "platform/Win32Types.h"

using HMODULE = void*;

HMODULE LoadLibraryA(const char* fileName);
void* GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
// The loader's last message on this thread (empty when none).
std::string LastLoadError();
