// Access to the external text library: a shared object exporting
// Thes_ErrorGetText, Thes_CommErrorGetText, Thes_CaptionGetText and
// Thes_TipGetText, each `const char* (int)`.
//
// One CTextLibrary per dialog class: the main window owns one (loaded with
// LoadTextLibrary, which also publishes the error and comm-error look-ups
// process-wide, see TextFunctions.h); the device setup dialog owns another
// (LoadCaptionAndTipTexts: captions and tips only).
//
// Finding the library: a file name holding a '/' is used as a path. A bare
// name is tried first in the folder of the running program (where the build
// puts libsendrix-texts-en.so beside the executables that use it), then in
// <that folder>/../lib/sendrix (an installed tree: bin/ and lib/sendrix/
// under one prefix), then by the dynamic loader's own search
// (LD_LIBRARY_PATH, the system folders).
// An empty or null name loads nothing.
//
// Threading: a CTextLibrary is used from the thread that owns its dialog (the
// window thread). LoadTextLibrary, FreeTextLibrary and the destructor of the
// instance that published the process-wide look-ups change them: call them
// only while no other thread can show an error box (at start-up before the
// workers start, at shutdown after they end).
#pragma once

#include <cstddef>

#include "platform/DynamicLibrary.h"
#include "texts/TextFunctions.h"

class CTextLibrary {
 public:
  // The caption buffer; a longer caption is cut to kCaptionBufferSize - 1.
  static constexpr std::size_t kCaptionBufferSize = 250;
  // The tip buffer; a longer tip is cut to 399 characters.
  static constexpr std::size_t kTipBufferSize = 400;

  CTextLibrary() = default;
  ~CTextLibrary();
  CTextLibrary(const CTextLibrary&) = delete;
  CTextLibrary& operator=(const CTextLibrary&) = delete;

  // Frees a library loaded before, then loads fileName and looks up the four
  // exports. Message boxes: "Thesaurus DLL not found" when it does not load
  // (returns 0); for a missing export its "<name> function not found" (the
  // missing error function is preceded by a box with the system's text for
  // the last error). Returns 1 when the library is loaded, even with exports
  // missing. Publishes the error and comm-error look-ups process-wide.
  int LoadTextLibrary(const char* fileName);

  // As LoadTextLibrary for the caption and tip exports only; the
  // process-wide look-ups are left alone.
  int LoadCaptionAndTipTexts(const char* fileName);

  // Unloads the library (if any): every look-up becomes null, the
  // process-wide ones too when this instance published them.
  void FreeTextLibrary();

  bool IsLoaded() const { return m_hLibrary != nullptr; }
  bool HasCaptionFunction() const { return m_pfnCaptionGetText != nullptr; }
  bool HasTipFunction() const { return m_pfnTipGetText != nullptr; }

  // Caption n copied into this object's caption buffer (each call overwrites
  // the last); null when the caption function is missing.
  const char* GetCaptionText(int n);

  // Tip n copied into this object's tip buffer (each call overwrites the
  // last); null when the tip function is missing.
  const char* GetTipText(int n);

 private:
  int Load(const char* fileName, bool publishShared);

  HMODULE m_hLibrary = nullptr;
  PFN_THES_GETTEXT m_pfnCaptionGetText = nullptr;
  PFN_THES_GETTEXT m_pfnTipGetText = nullptr;
  bool m_bPublishedShared = false;
  char m_szCaption[kCaptionBufferSize] = {};
  char m_szTip[kTipBufferSize] = {};
};
