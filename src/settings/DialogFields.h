// The values the operator edits in the main window and its three interface
// panels, as plain fields. The window layer copies controls into these and
// back (UpdateAll); the settings store loads and saves them; the deciding
// logic (port opening, start checks, batch options) reads and writes them.
// Values below are those at construction; the settings load replaces them
// before the window is shown.
//
// Threading: owned by the window's thread. Worker threads never read them;
// they receive copies (engine parameters, the string buffer) at a start.
#pragma once

#include <string>

#include "platform/Win32Types.h"

// RS232 panel: list positions, not values.
struct CSerialFields {
  int m_nPortIndex = 0;
  int m_nBaudIndex = -1;
  int m_nParityIndex = -1;
  int m_nDataBitsIndex = -1;
  int m_nStopBitsIndex = -1;
  int m_nFlowIndex = -1;
};

// USB panel.
struct CUsbFields {
  int m_nDeviceIndex = 0;   // position in the device list
  std::string m_strDevice;  // text of the selected device entry
  int m_nOutEndpoint = -1;  // 0 "Norm/RT", 1 "Real Time"
  int m_bMonitor = 0;       // poll the printer status
};

// Ethernet (TCP/IP) panel.
struct CEthernetFields {
  DWORD m_dwIpAddress = 0;  // first dotted octet most significant
  std::string m_strMac;     // written by the library on connect, <= 50 chars
  int m_nOutputPort = -1;   // 0 "Main Port", 1 "Real Time"
  int m_bAutoReconnect = 0;
  int m_nMainPort = 0;
  int m_nRealTimePort = 0;
  int m_nUsmPort = 0;
};

// The main window's own fields.
struct CMainFields {
  std::string m_strFileName;
  int m_nStringFormat = -1;  // 0 ASCII, 1 Hex
  int m_bRepeat = 0;
  unsigned m_nDelay = 0;  // milliseconds, 0..300000
  std::string m_strRepeatNumber;
  int m_nRepeatCount = 1;  // -1 = continuous
  std::string m_strDataString;
  int m_nInterface = -1;  // InterfaceType: 0 Serial, 1 USB, 2 Ethernet
  int m_bPacketMode = 0;
  int m_bShowUsm = 0;
  int m_bCreateLog = 0;
  int m_bJsonLog = 0;        // the window's runs append to Output/Sendrix.jsonl
  int m_bShowTime = 0;       // the receive lists' Time column
  int m_nRxBlockGapMs = 20;  // a longer pause starts a new received block
};

// Everything the window holds that the settings store and the batch options
// touch, in one place.
struct CDialogFields {
  CMainFields main;
  CSerialFields serial;
  CUsbFields usb;
  CEthernetFields ethernet;
};
