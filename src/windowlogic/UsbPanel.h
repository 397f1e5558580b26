// CUsbPanel: the deciding logic of the USB panel, without Qt: the device list
// from the library with repeated names numbered, the output-endpoint radios,
// the Monitor check box, the two status lamps and the tooltips.
//
// The main window owns the device index (CUsbFields::m_nDeviceIndex) and the
// connection values the library fills in; the real-time and USM channel
// values are passed by reference to the lister, which writes them.
//
// Threading: window thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ControlIds.h"
#include "platform/Win32Types.h"
#include "settings/DialogFields.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/IListControls.h"
#include "windowlogic/PanelHooks.h"

class CTextLibrary;

class CUsbPanel {
 public:
  enum : int {
    IDC_DEVICE = kIdcUsbDevice,
    IDC_INFO = kIdcUsbInfo,
    IDC_NORMAL = kIdcUsbNormal,
    IDC_REALTIME = kIdcUsbRealTime,
    IDC_MONITOR = kIdcUsbMonitor,
    IDC_LED_ERROR = kIdcUsbLampError,
    IDC_LED_POUT = kIdcUsbLampPaperOut,
  };

  // The device table of the library: 1 with the names (and the channel
  // values written), 0 when enumeration failed. Default: Comm_GetPortParams
  // with a null prefix.
  using DeviceLister =
      std::function<int(int& usmChannel, int& rtChannel, std::vector<std::string>& names)>;

  CUsbPanel(CUsbFields& fields, IDialogView& view, IListControls& lists, const CPanelHooks& hooks);

  void SetDeviceLister(DeviceLister lister) { m_fnListDevices = std::move(lister); }
  // The connection values the library filled in (main window's own).
  void SetChannels(int usmChannel, int rtChannel) {
    m_nUsmChannel = usmChannel;
    m_nRealTimeChannel = rtChannel;
  }
  int GetUsmChannel() const { return m_nUsmChannel; }
  int GetRealTimeChannel() const { return m_nRealTimeChannel; }

  // Names as listed: a name met more than once (exact comparison) becomes
  // "%s (%d)" for its k-th occurrence, k from 1; names met once stay.
  static std::vector<std::string> NumberDuplicates(const std::vector<std::string>& table);

  // The list drops down, or the port opening connected: only while USB is
  // selected; a failed enumeration changes nothing; an empty one empties the
  // list and keeps the device text.
  void RefreshDeviceList();
  // A new choice in the device list: device index = its position (0 when
  // none), then OpenPort(1).
  void OnDeviceSelChange(int selected);
  // A click on kIdcUsbNormal or kIdcUsbRealTime (and the Ethernet panel's radios): nothing
  // while an operation runs, else read the controls and OpenPort(1).
  void OnEndpointClick();
  // Monitor clicked: logs "Check USB Printer Status = TRUE" or, hiding both
  // lamps, "... = FALSE"; hands the flag on. The port is not reopened.
  void OnMonitor();
  // Line status: both lamps shown; ERROR red when 0x1 is set, P OUT red
  // when 0x2 is set, green otherwise.
  void ApplyLineStatus(DWORD status);
  // The enabled state and caption of the endpoint radios while USB is
  // selected (selected = 1) or not: kIdcUsbRealTime only with a real-time channel;
  // kIdcUsbNormal shows caption 43 with one, 44 without (the caption function's text;
  // left alone without it).
  void ApplyEndpointState(int selected, CTextLibrary* texts);
  // Enter: with the focus on Info, the port properties; consumed with
  // Escape too (1); other keys 0.
  int PreTranslateKey(int key);

 private:
  CUsbFields& m_fields;
  IDialogView& m_view;
  IListControls& m_lists;
  const CPanelHooks& m_hooks;
  DeviceLister m_fnListDevices;
  int m_nUsmChannel = 0;
  int m_nRealTimeChannel = 0;
};
