#include "windowlogic/MemoryMainView.h"

#include <strings.h>

#include "platform/ControlIds.h"
#include "platform/Notifier.h"
#include "windowlogic/EthernetPanel.h"

namespace {

constexpr int kSerialPanel = 0;
constexpr int kUsbPanel = 1;
constexpr int kEthernetPanel = 2;
constexpr int kPanels = 3;
constexpr unsigned kMaxDelayMs = 300000;
constexpr size_t kMacFieldLength = 50;
constexpr int kFlowXonXoff = 4;
// Main window: the bound controls.
constexpr int kIdString = 1001, kIdFileName = 1002, kIdRepeatNumber = 1041, kIdRepeat = 1058;
constexpr int kIdRepeatCount = 1059, kIdDelay = 1060, kIdPacketMode = 1069, kIdShowUsm = 1070;
constexpr int kIdCreateLog = 1159, kIdAscii = 1030, kIdHex = 1031;
constexpr int kIdSerial = 1014, kIdUsb = 1043, kIdEthernet = 1300;
// Serial panel: the lists; the XON / XOFF lamp's label.
constexpr int kIdPort = 1038, kIdBaud = 1039, kIdParity = 1204, kIdDataBits = 1205;
constexpr int kIdStopBits = 1206, kIdFlow = 1013, kIdXonLabel = 1094;
// USB panel.
constexpr int kIdDevice = 1050, kIdNormRt = 1046, kIdRealTime = 1047, kIdMonitor = 1152;
// Ethernet panel.
constexpr int kIdIp = 1098, kIdMac = 1104, kIdMainPort = 1101, kIdUsmPort = 1102;
constexpr int kIdRtPort = 1105, kIdOutMain = 1110, kIdOutRt = 1111, kIdAutoReconnect = 1151;

std::vector<std::string> PortNames() {
  std::vector<std::string> names;
  for (int n = 1; n <= 10; ++n)
    names.push_back("COM" + std::to_string(n));
  return names;
}

}  // namespace

CMemoryMainView::CMemoryMainView(CDialogFields& fields, std::function<void()> onClose)
    : m_fields(fields), m_fnClose(std::move(onClose)) {
  m_main.SetExchange([this](CMemoryDialog& d, int save) { return ExchangeMain(d, save); });
  CMemoryDialog& serial = m_panels[kSerialPanel];
  serial.AddList(kIdPort, PortNames());
  serial.AddList(kIdBaud, {"115200", "57600", "38400", "19200", "9600", "4800", "2400", "1200",
                           "600", "300", "110"});
  serial.AddList(kIdParity, {"None", "Odd", "Even", "Mark", "Space"});
  serial.AddList(kIdFlow, {"None", "DSR+CTS", "DSR", "CTS", "Xon / Xoff"});
  serial.AddList(kIdDataBits, {"5", "6", "7", "8"});
  serial.AddList(kIdStopBits, {"1", "1.5", "2"});
  serial.SetExchange([this](CMemoryDialog& d, int save) {
    CSerialFields& f = m_fields.serial;
    d.ListIndex(kIdPort, f.m_nPortIndex, save);
    d.ListIndex(kIdBaud, f.m_nBaudIndex, save);
    d.ListIndex(kIdParity, f.m_nParityIndex, save);
    d.ListIndex(kIdDataBits, f.m_nDataBitsIndex, save);
    d.ListIndex(kIdStopBits, f.m_nStopBitsIndex, save);
    d.ListIndex(kIdFlow, f.m_nFlowIndex, save);
    return 1;
  });
  m_panels[kUsbPanel].AddList(kIdDevice, {});
  m_panels[kUsbPanel].SetExchange(
      [this](CMemoryDialog& d, int save) { return ExchangeUsb(d, save); });
  m_panels[kEthernetPanel].SetExchange(
      [this](CMemoryDialog& d, int save) { return ExchangeEthernet(d, save); });
}

int CMemoryMainView::ExchangeMain(CMemoryDialog& d, int save) {
  CMainFields& f = m_fields.main;
  d.Text(kIdFileName, f.m_strFileName, save);
  d.Radio({kIdAscii, kIdHex}, f.m_nStringFormat, save);
  d.Check(kIdRepeat, f.m_bRepeat, save);
  if (!d.UInt(kIdDelay, f.m_nDelay, 0, kMaxDelayMs, save))
    return 0;
  d.Text(kIdRepeatNumber, f.m_strRepeatNumber, save);
  if (!d.Int(kIdRepeatCount, f.m_nRepeatCount, save))
    return 0;
  d.Text(kIdString, f.m_strDataString, save);
  d.Radio({kIdSerial, kIdUsb, kIdEthernet}, f.m_nInterface, save);
  d.Check(kIdPacketMode, f.m_bPacketMode, save);
  d.Check(kIdShowUsm, f.m_bShowUsm, save);
  d.Check(kIdCreateLog, f.m_bCreateLog, save);
  d.Check(kIdcJsonLog, f.m_bJsonLog, save);
  return 1;
}

int CMemoryMainView::ExchangeUsb(CMemoryDialog& d, int save) {
  CUsbFields& f = m_fields.usb;
  CMemoryDialog::Control& devices = d.At(kIdDevice);
  if (save) {
    f.m_strDevice = d.GetDlgItemText(kIdDevice);
  } else {
    // The first entry that begins with the text, letter case ignored.
    for (size_t i = 0; i < devices.items.size(); ++i) {
      if (strncasecmp(devices.items[i].c_str(), f.m_strDevice.c_str(), f.m_strDevice.size()) == 0) {
        devices.index = static_cast<int>(i);
        break;
      }
    }
  }
  d.Radio({kIdNormRt, kIdRealTime}, f.m_nOutEndpoint, save);
  d.Check(kIdMonitor, f.m_bMonitor, save);
  return 1;
}

int CMemoryMainView::ExchangeEthernet(CMemoryDialog& d, int save) {
  CEthernetFields& f = m_fields.ethernet;
  if (save) {
    if (!CEthernetPanel::ParseIpText(d.GetDlgItemText(kIdIp), &f.m_dwIpAddress)) {
      AfxMessageBox("Please enter a valid IP address.", MB_OK);
      d.SetFocusId(kIdIp);
      return 0;
    }
  } else {
    d.SetDlgItemText(kIdIp, CEthernetPanel::IpText(f.m_dwIpAddress));
  }
  if (!save && f.m_strMac.size() > kMacFieldLength)
    f.m_strMac.resize(kMacFieldLength);
  d.Text(kIdMac, f.m_strMac, save);
  d.Radio({kIdOutMain, kIdOutRt}, f.m_nOutputPort, save);
  d.Check(kIdAutoReconnect, f.m_bAutoReconnect, save);
  return d.Int(kIdRtPort, f.m_nRealTimePort, save) && d.Int(kIdUsmPort, f.m_nUsmPort, save) &&
                 d.Int(kIdMainPort, f.m_nMainPort, save)
             ? 1
             : 0;
}

IDialogView& CMemoryMainView::Panel(int interfaceType) {
  return m_panels[interfaceType >= 0 && interfaceType < kPanels ? interfaceType : 0];
}

void CMemoryMainView::ShowPanel(int n) {
  if (n < 0 || n >= kPanels)
    return;
  for (int i = 0; i < kPanels; ++i) {
    for (auto& [id, control] : m_panels[i].All())
      control.visible = i == n ? 1 : 0;
  }
}

void CMemoryMainView::EnablePanels(int selected) {
  for (int n = 0; n < kPanels; ++n) {
    for (auto& [id, control] : m_panels[n].All())
      control.enabled = n == selected ? 1 : 0;
  }
  // "XON / XOFF" means something only with that flow control chosen.
  m_panels[kSerialPanel].EnableDlgItem(
      kIdXonLabel, selected == kSerialPanel && m_fields.serial.m_nFlowIndex == kFlowXonXoff);
  m_panels[kEthernetPanel].SetDlgItemText(kIdIp,
                                          CEthernetPanel::IpText(m_fields.ethernet.m_dwIpAddress));
}

void CMemoryMainView::SetListCaptions(const std::vector<std::string>&,
                                      const std::vector<std::string>& parity,
                                      const std::string& flowNone) {
  CMemoryDialog::Control& parityList = m_panels[kSerialPanel].At(kIdParity);
  for (size_t i = 0; i < parityList.items.size() && i < parity.size(); ++i)
    parityList.items[i] = parity[i];
  m_panels[kSerialPanel].At(kIdFlow).items[0] = flowNone;
}

void CMemoryMainView::PostClose() {
  if (m_fnClose)
    m_fnClose();
}
