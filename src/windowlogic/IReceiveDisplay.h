// The receive display as the window's logic sees it: the two receive lists
// and their buttons. Built by another module; the window works without one
// (received data are then not shown).
//
// Threading: every member is called on the window's thread.
#pragma once

#include "platform/Win32Types.h"

class IReceiveDisplay {
 public:
  virtual ~IReceiveDisplay() = default;
  // Starts the display thread (initialisation) / sets its stop event (close).
  virtual int Start() = 0;
  virtual void Stop() = 0;
  // The next received byte starts a new line of the data list.
  virtual void ResetDataLineCounter() = 0;
  // The bytes of a data string about to be sent: a status request among
  // them makes the display decode its reply. Displays that decode nothing
  // ignore it.
  virtual void NoteStringSent(const BYTE* /*bytes*/, size_t /*count*/) {}
  // The lists' Time column (showTime 1) and the pause, in ms, that starts a
  // new received block. Displays without times ignore it.
  virtual void SetBlockTimes(int /*showTime*/, int /*idleGapMs*/) {}
  // Buttons kIdcClearBuffer "Clear Buffer", kIdcSaveAs "Save As", check box kIdcShowUsm "Show USM".
  virtual void OnCommand(int id) = 0;
  // The USM view when usmChannel is 1 and showUsm is 1, else the data view.
  virtual void RefreshUsmView(int usmChannel, int showUsm) = 0;
};
