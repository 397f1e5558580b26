// What an interface panel's logic asks of the main window. Each hook may be
// left empty; an empty hook does nothing and answers 0.
//
// Threading: every hook is called on the window's thread only.
#pragma once

#include <functional>
#include <string>

struct CPanelHooks {
  // The selected InterfaceType (0 serial, 1 USB, 2 TCP/IP).
  std::function<int()> selectedInterface;
  // The main window's running operation (0 idle).
  std::function<int()> runningOperation;
  // OpenPort(updateControls) of the window; 1 ready, 0 failed.
  std::function<int(int)> openPort;
  // A lamp of a panel: dialog 0..2, picture control id, LedState.
  std::function<void(int dialog, int id, int state)> setLed;
  // One data-log line (only when logging is on).
  std::function<void(const std::string& line)> log;
  // Turns off the window's action controls (file, transmit, firmware, data
  // string and receive groups) until the connection is reopened.
  std::function<void()> disableActionControls;
  // Hands the monitoring flag to the transfer engine with the current
  // connection parameters (the port is not reopened).
  std::function<void(int monitor)> setMonitor;
  // The Info button: the library's port properties in the output window.
  std::function<void()> showPortProperties;
  // The Setup button: the device setup dialog, modal.
  std::function<void()> openDeviceSetup;

  int Selected() const { return selectedInterface ? selectedInterface() : 0; }
  int Running() const { return runningOperation ? runningOperation() : 0; }
  int OpenPort(int update) const { return openPort ? openPort(update) : 0; }
  void SetLed(int dialog, int id, int state) const {
    if (setLed)
      setLed(dialog, id, state);
  }
  void Log(const std::string& line) const {
    if (log)
      log(line);
  }
};
