// Which backend Comm_OpenSetup makes for each interface type.
//
// The serial and TCP/IP backends are built in. The USB backend lives in
// src/comm/usb/: when that folder is built it defines
// SENDRIX_HAVE_USB_BACKEND for sendrix_core and provides
// CreateUsbCommBackend(), which becomes the default for COMM_TYPE_USB;
// without it Comm_OpenSetup(owner, COMM_TYPE_USB) fails with comm error 12.
//
// Tests install a fake backend for any type with Comm_RegisterBackendFactory
// and restore the default with a null factory.
//
// Thread safety: registration may happen from any thread, but should not
// race with Comm_OpenSetup (the factory is read once per set-up).
#pragma once

#include <functional>
#include <memory>

#include "comm/CommBackend.h"

using CommBackendFactory = std::function<std::unique_ptr<ICommBackend>()>;

// Replaces the factory of `type` (0, 1 or 2); a null factory restores the
// built-in one. Takes effect at the next Comm_OpenSetup.
void Comm_RegisterBackendFactory(int type, CommBackendFactory factory);

// The backend for `type`, or null when the type is unknown or unsupported.
std::unique_ptr<ICommBackend> Comm_CreateBackend(int type);

#ifdef SENDRIX_HAVE_USB_BACKEND
// Provided by src/comm/usb/.
std::unique_ptr<ICommBackend> CreateUsbCommBackend();
#endif
