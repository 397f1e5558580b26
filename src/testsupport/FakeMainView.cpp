#include "testsupport/FakeMainView.h"

#include "platform/ControlIds.h"

namespace {

const std::vector<int> kMainIds = {kIdcDataString,
                                   kIdcFileName,
                                   kIdcFileStart,
                                   kIdcFirmwareStart,
                                   kIdcProgressBar,
                                   kIdcStepLabelSwitchMode,
                                   kIdcStepLabelFlashSize,
                                   kIdcStepLabelErase,
                                   kIdcStepLabelDownload,
                                   kIdcStepLabelCheckCrc,
                                   kIdcStepLabelReadCrc,
                                   kIdcSerialRadio,
                                   kIdcStepLampSwitchMode,
                                   kIdcStepLampFlashSize,
                                   kIdcStepLampErase,
                                   kIdcStepLampDownload,
                                   kIdcStepLampCheckCrc,
                                   kIdcFirmwareCrc,
                                   kIdcFileList,
                                   kIdcBrowse,
                                   kIdcStringStart,
                                   kIdcRxDataList,
                                   kIdcClearBuffer,
                                   kIdcAsciiRadio,
                                   kIdcHexRadio,
                                   kIdcSaveAs,
                                   kIdcProgressPercent,
                                   kIdcRepeatNumber,
                                   kIdcUsbRadio,
                                   kIdcRxUsmList,
                                   kIdcRepeat,
                                   kIdcRepeatCount,
                                   kIdcDelay,
                                   kIdcTimesLabel,
                                   kIdcMsLabel,
                                   kIdcDelayLabel,
                                   kIdcSelectFileGroup,
                                   kIdcTransmitFileGroup,
                                   kIdcStringGroup,
                                   kIdcCommunicationGroup,
                                   kIdcFirmwareGroup,
                                   kIdcPacketProtocol,
                                   kIdcShowUsm,
                                   kIdcReceiveGroup,
                                   kIdcInterfaceFrame,
                                   kIdcRate,
                                   kIdcRateLabel,
                                   kIdcViewLog,
                                   kIdcCreateLog,
                                   kIdcJsonLog,
                                   kIdcShowTime,
                                   kIdcEthernetRadio};
const std::vector<int> kSerialIds = {
    kIdcSerialLampDsr,     kIdcSerialLampCts,   kIdcSerialLampRing,    kIdcSerialLampDcd,
    kIdcSerialLampXonXoff, kIdcSerialFlowLabel, kIdcSerialParityLabel, kIdcSerialBaudLabel,
    kIdcSerialStatusFrame, kIdcSerialPortFrame};
const std::vector<int> kUsbIds = {kIdcUsbLampPaperOut,  kIdcUsbNormal,        kIdcUsbRealTime,
                                  kIdcUsbSettingsFrame, kIdcUsbEndpointFrame, kIdcUsbInfo,
                                  kIdcUsbErrorLabel,    kIdcUsbPaperOutLabel, kIdcUsbLampError,
                                  kIdcUsbStatusFrame,   kIdcUsbMonitor};
const std::vector<int> kEthernetIds = {kIdcEthFrame,   kIdcEthIpLabel,     kIdcEthMacLabel,
                                       kIdcEthOutMain, kIdcEthOutRealTime, kIdcEthSettingsFrame,
                                       kIdcEthSetup,   kIdcEthUsmLabel};

}  // namespace

const std::vector<int>& MainWindowControlIds() {
  return kMainIds;
}

CFakeDialog::CFakeDialog(std::vector<int> ids, std::function<void(int)> exchange)
    : m_fnExchange(std::move(exchange)) {
  for (int id : ids)
    m_controls[id] = Control{};
}

int CFakeDialog::EnableDlgItem(int id, int enable) {
  auto it = m_controls.find(id);
  if (it == m_controls.end())
    return 0;
  const int previous = it->second.enabled;
  it->second.enabled = enable ? 1 : 0;
  return previous;
}

int CFakeDialog::IsDlgItemEnabled(int id) {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? 0 : it->second.enabled;
}

void CFakeDialog::ShowDlgItem(int id, int show) {
  auto it = m_controls.find(id);
  if (it != m_controls.end())
    it->second.visible = show ? 1 : 0;
}

int CFakeDialog::IsDlgItemVisible(int id) {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? 0 : it->second.visible;
}

void CFakeDialog::SetDlgItemText(int id, const std::string& text) {
  auto it = m_controls.find(id);
  if (it != m_controls.end())
    it->second.text = text;
}

std::string CFakeDialog::GetDlgItemText(int id) {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? "" : it->second.text;
}

int CFakeDialog::UpdateData(int save) {
  m_fnExchange(save);
  return 1;
}

CFakeMainView::CFakeMainView(CDialogFields& fields)
    : m_fields(fields),
      controls(fields),
      m_main(kMainIds,
             [this](int save) {
               if (save)
                 m_fields.main = controls.main;
               else
                 controls.main = m_fields.main;
             }),
      m_panels{CFakeDialog(kSerialIds,
                           [this](int save) {
                             if (save)
                               m_fields.serial = controls.serial;
                             else
                               controls.serial = m_fields.serial;
                           }),
               CFakeDialog(kUsbIds,
                           [this](int save) {
                             if (save)
                               m_fields.usb = controls.usb;
                             else
                               controls.usb = m_fields.usb;
                           }),
               CFakeDialog(kEthernetIds, [this](int save) {
                 if (save)
                   m_fields.ethernet = controls.ethernet;
                 else
                   controls.ethernet = m_fields.ethernet;
               })} {}

void CFakeMainView::ShowPanel(int n) {
  if (n >= 0 && n <= 2)
    m_nShownPanel = n;
}

void CFakeMainView::SetLed(int dialog, int id, int state) {
  if (state >= 0 && state <= 2)
    m_leds[{dialog, id}] = state;
}

int CFakeMainView::Led(int dialog, int id) const {
  auto it = m_leds.find({dialog, id});
  return it == m_leds.end() ? -1 : it->second;
}

int CFakeMainView::OpenWithDesktop(const std::string& path) {
  m_opened.push_back(path);
  return m_nOpenResult;
}

int CFakeFileDialog::GetOpenFileName(const std::string&, const std::string& initial,
                                     const std::vector<CFileFilter>& filters, int,
                                     std::string& chosen) {
  m_initials.push_back(initial);
  m_lastFilters = filters;
  if (m_answers.empty())
    return 0;
  chosen = m_answers.front();
  m_answers.erase(m_answers.begin());
  return chosen.empty() ? 0 : 1;
}
