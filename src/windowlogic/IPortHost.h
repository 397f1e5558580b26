// What port opening asks of the window when it may touch the controls (the
// update-controls flag is 1). CSendrixDlg implements it; CPortOpener never
// calls it on its flag-0 path, which runs on the Flash thread.
//
// Threading: every member is called on the window's thread only.
#pragma once

class IPortHost {
 public:
  virtual ~IPortHost() = default;
  // Data exchange of the window and its panels (1 controls to fields).
  virtual int UpdateAll(int save) = 0;
  // Shows panel n (0 serial, 1 USB, 2 Ethernet) with its controls enabled.
  virtual void ShowInterfacePanel(int n) = 0;
  // Every send control off: firmware, receive, file-start, file, string-send
  // button, string group and the packet-mode check box.
  virtual void DisableAllSendControls() = 0;
  // The common end of a successful open (available: Comm_IsPortAvailable()).
  virtual void EnableSendControls(int available, int firmwareFlag, int receiveFlag) = 0;
  virtual void ShowDlgItem(int dialog, int id, int show) = 0;  // dialog -1 main, 0..2 panel
  virtual void EnableDlgItem(int dialog, int id, int enable) = 0;
  // The serial panel refreshes its port list; the USB panel its device list.
  virtual void RefreshSerialPortList() = 0;
  virtual void RefreshUsbDeviceList() = 0;
  // The receive list shows the USM view when usmChannel is 1 and "Show USM"
  // is ticked, else the data view (the opener passes 0 to force the data view).
  virtual void RefreshUsmView(int usmChannel) = 0;
};
