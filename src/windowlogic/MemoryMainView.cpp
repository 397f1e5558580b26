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
  serial.AddList(kIdcSerialPort, PortNames());
  serial.AddList(kIdcSerialBaud, {"115200", "57600", "38400", "19200", "9600", "4800", "2400",
                                  "1200", "600", "300", "110"});
  serial.AddList(kIdcSerialParity, {"None", "Odd", "Even", "Mark", "Space"});
  serial.AddList(kIdcSerialFlow, {"None", "DSR+CTS", "DSR", "CTS", "Xon / Xoff"});
  serial.AddList(kIdcSerialDataBits, {"5", "6", "7", "8"});
  serial.AddList(kIdcSerialStopBits, {"1", "1.5", "2"});
  serial.SetExchange([this](CMemoryDialog& d, int save) {
    CSerialFields& f = m_fields.serial;
    d.ListIndex(kIdcSerialPort, f.m_nPortIndex, save);
    d.ListIndex(kIdcSerialBaud, f.m_nBaudIndex, save);
    d.ListIndex(kIdcSerialParity, f.m_nParityIndex, save);
    d.ListIndex(kIdcSerialDataBits, f.m_nDataBitsIndex, save);
    d.ListIndex(kIdcSerialStopBits, f.m_nStopBitsIndex, save);
    d.ListIndex(kIdcSerialFlow, f.m_nFlowIndex, save);
    return 1;
  });
  m_panels[kUsbPanel].AddList(kIdcUsbDevice, {});
  m_panels[kUsbPanel].SetExchange(
      [this](CMemoryDialog& d, int save) { return ExchangeUsb(d, save); });
  m_panels[kEthernetPanel].SetExchange(
      [this](CMemoryDialog& d, int save) { return ExchangeEthernet(d, save); });
}

int CMemoryMainView::ExchangeMain(CMemoryDialog& d, int save) {
  CMainFields& f = m_fields.main;
  d.Text(kIdcFileName, f.m_strFileName, save);
  d.Radio({kIdcAsciiRadio, kIdcHexRadio}, f.m_nStringFormat, save);
  d.Check(kIdcRepeat, f.m_bRepeat, save);
  if (!d.UInt(kIdcDelay, f.m_nDelay, 0, kMaxDelayMs, save))
    return 0;
  d.Text(kIdcRepeatNumber, f.m_strRepeatNumber, save);
  if (!d.Int(kIdcRepeatCount, f.m_nRepeatCount, save))
    return 0;
  d.Text(kIdcDataString, f.m_strDataString, save);
  d.Radio({kIdcSerialRadio, kIdcUsbRadio, kIdcEthernetRadio}, f.m_nInterface, save);
  d.Check(kIdcPacketProtocol, f.m_bPacketMode, save);
  d.Check(kIdcShowUsm, f.m_bShowUsm, save);
  d.Check(kIdcCreateLog, f.m_bCreateLog, save);
  d.Check(kIdcJsonLog, f.m_bJsonLog, save);
  return 1;
}

int CMemoryMainView::ExchangeUsb(CMemoryDialog& d, int save) {
  CUsbFields& f = m_fields.usb;
  CMemoryDialog::Control& devices = d.At(kIdcUsbDevice);
  if (save) {
    f.m_strDevice = d.GetDlgItemText(kIdcUsbDevice);
  } else {
    // The first entry that begins with the text, letter case ignored.
    for (size_t i = 0; i < devices.items.size(); ++i) {
      if (strncasecmp(devices.items[i].c_str(), f.m_strDevice.c_str(), f.m_strDevice.size()) == 0) {
        devices.index = static_cast<int>(i);
        break;
      }
    }
  }
  d.Radio({kIdcUsbNormal, kIdcUsbRealTime}, f.m_nOutEndpoint, save);
  d.Check(kIdcUsbMonitor, f.m_bMonitor, save);
  return 1;
}

int CMemoryMainView::ExchangeEthernet(CMemoryDialog& d, int save) {
  CEthernetFields& f = m_fields.ethernet;
  if (save) {
    if (!CEthernetPanel::ParseIpText(d.GetDlgItemText(kIdcEthIp), &f.m_dwIpAddress)) {
      AfxMessageBox("Please enter a valid IP address.", MB_OK);
      d.SetFocusId(kIdcEthIp);
      return 0;
    }
  } else {
    d.SetDlgItemText(kIdcEthIp, CEthernetPanel::IpText(f.m_dwIpAddress));
  }
  if (!save && f.m_strMac.size() > kMacFieldLength)
    f.m_strMac.resize(kMacFieldLength);
  d.Text(kIdcEthMac, f.m_strMac, save);
  d.Radio({kIdcEthOutMain, kIdcEthOutRealTime}, f.m_nOutputPort, save);
  d.Check(kIdcEthAutoReconnect, f.m_bAutoReconnect, save);
  return d.Int(kIdcEthRealTimePort, f.m_nRealTimePort, save) &&
                 d.Int(kIdcEthUsmPort, f.m_nUsmPort, save) &&
                 d.Int(kIdcEthMainPort, f.m_nMainPort, save)
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
      kIdcSerialLabelXonXoff,
      selected == kSerialPanel && m_fields.serial.m_nFlowIndex == kFlowXonXoff);
  m_panels[kEthernetPanel].SetDlgItemText(kIdcEthIp,
                                          CEthernetPanel::IpText(m_fields.ethernet.m_dwIpAddress));
}

void CMemoryMainView::SetListCaptions(const std::vector<std::string>&,
                                      const std::vector<std::string>& parity,
                                      const std::string& flowNone) {
  CMemoryDialog::Control& parityList = m_panels[kSerialPanel].At(kIdcSerialParity);
  for (size_t i = 0; i < parityList.items.size() && i < parity.size(); ++i)
    parityList.items[i] = parity[i];
  m_panels[kSerialPanel].At(kIdcSerialFlow).items[0] = flowNone;
}

void CMemoryMainView::PostClose() {
  if (m_fnClose)
    m_fnClose();
}
