// The text library's process-wide look-ups: the error and communication-error
// texts, used by the error boxes (report/ErrorBoxes.h) from any thread.
//
// Each export takes a number and returns a NUL-terminated text owned by the
// library (copied at once by the caller, never freed), or null.
//
// Thread safety: the pointers are set by CTextLibrary::LoadTextLibrary at
// start-up, before any worker thread runs, and then never change until the
// library is unloaded at shutdown, after the workers have ended. They are
// atomics so that a reader on another thread always sees either null or a
// complete pointer; a null pointer means "no such text": the error boxes then
// show and log nothing.
#pragma once

#include <atomic>

using PFN_THES_GETTEXT = const char* (*)(int);

extern std::atomic<PFN_THES_GETTEXT> g_pfnErrorGetText;
extern std::atomic<PFN_THES_GETTEXT> g_pfnCommErrorGetText;
