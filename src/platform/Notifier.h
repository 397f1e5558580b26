// Message boxes go through this interface: the window shows them, a
// headless run prints them to stderr, tests record them. Nothing here may
// block a test: only the window's implementation waits for the user.
//
// The process-wide notifier starts as a CStderrNotifier. SetNotifier() is
// meant for start-up and test set-up, before worker threads run; the
// notifier must outlive every call. MessageBox may be called from any thread.
#pragma once

#include "platform/Win32Types.h"

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_TYPEMASK = 0xF;
// The box's icon, added to the buttons. Without one a box with OK and Cancel
// asks (question mark) and a box with OK alone warns.
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONMASK = 0xF0;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

class INotifier {
 public:
  virtual ~INotifier() = default;
  // Shows `text` with the buttons and the icon of `type`; returns IDOK or
  // IDCANCEL.
  virtual int MessageBox(const char* text, UINT type) = 0;
};

void SetNotifier(INotifier* notifier);  // null restores the stderr notifier
INotifier& GetNotifier();
// Shorthand for GetNotifier().MessageBox(text, type).
int AfxMessageBox(const char* text, UINT type = MB_OK);
