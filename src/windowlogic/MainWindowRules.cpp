#include "windowlogic/MainWindowRules.h"

#include "platform/ControlIds.h"

namespace {

struct NumberedControl {
  int number;  // caption or tooltip number
  int id;
};

const NumberedControl kMainCaptions[] = {{0, kIdcSelectFileGroup},
                                         {1, kIdcBrowse},
                                         {6, kIdcTransmitFileGroup},
                                         {2, kIdcFileStart},
                                         {7, kIdcRepeat},
                                         {8, kIdcDelayLabel},
                                         {9, kIdcTimesLabel},
                                         {10, kIdcRateLabel},
                                         {14, kIdcFirmwareGroup},
                                         {3, kIdcFirmwareStart},
                                         {15, kIdcStepLabelSwitchMode},
                                         {16, kIdcStepLabelFlashSize},
                                         {17, kIdcStepLabelErase},
                                         {18, kIdcStepLabelDownload},
                                         {19, kIdcStepLabelCheckCrc},
                                         {20, kIdcStepLabelReadCrc},
                                         {21, kIdcStringGroup},
                                         {4, kIdcStringStart},
                                         {22, kIdcReceiveGroup},
                                         {23, kIdcClearBuffer},
                                         {57, kIdcShowUsm},
                                         {72, kIdcSaveAs},
                                         {24, kIdcCommunicationGroup},
                                         {25, kIdcSerialRadio},
                                         {27, kIdcUsbRadio},
                                         {47, kIdcEthernetRadio},
                                         {48, kIdcViewLog},
                                         {85, kIdcCreateLog},
                                         {86, kIdcJsonLog},
                                         {87, kIdcShowTime}};
const NumberedControl kSerialCaptions[] = {{28, kIdcSerialPortFrame},
                                           {29, kIdcSerialBaudLabel},
                                           {30, kIdcSerialParityLabel},
                                           {36, kIdcSerialFlowLabel},
                                           {46, kIdcSerialStatusFrame}};
const NumberedControl kUsbCaptions[] = {{38, kIdcUsbSettingsFrame}, {42, kIdcUsbEndpointFrame},
                                        {45, kIdcUsbRealTime},      {58, kIdcUsbStatusFrame},
                                        {59, kIdcUsbErrorLabel},    {60, kIdcUsbPaperOutLabel},
                                        {61, kIdcUsbMonitor}};
const NumberedControl kEthernetCaptions[] = {{49, kIdcEthFrame},    {50, kIdcEthIpLabel},
                                             {55, kIdcEthMacLabel}, {51, kIdcEthSettingsFrame},
                                             {52, kIdcEthOutMain},  {53, kIdcEthOutRealTime},
                                             {54, kIdcEthUsmLabel}, {56, kIdcEthSetup}};

}  // namespace

void ApplyWindowCaptions(IMainView& view, CTextLibrary& texts, int usbRealTime) {
  auto caption = [&texts](int n) {
    const char* text = texts.GetCaptionText(n);
    return std::string(text != nullptr ? text : "");
  };
  auto apply = [&caption](IDialogView& dialog, const NumberedControl* table, size_t count) {
    for (size_t i = 0; i < count; ++i)
      dialog.SetDlgItemText(table[i].id, caption(table[i].number));
  };
  apply(view, kMainCaptions, std::size(kMainCaptions));
  apply(view.Panel(0), kSerialCaptions, std::size(kSerialCaptions));
  apply(view.Panel(1), kUsbCaptions, std::size(kUsbCaptions));
  apply(view.Panel(2), kEthernetCaptions, std::size(kEthernetCaptions));
  view.Panel(1).SetDlgItemText(kIdcUsbNormal, caption(usbRealTime ? 43 : 44));
  std::vector<std::string> headers, parity;
  for (int n : {11, 12, 13})
    headers.push_back(caption(n));
  for (int n = 31; n <= 35; ++n)
    parity.push_back(caption(n));
  view.SetListCaptions(headers, parity, caption(37));
}
