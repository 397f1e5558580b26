#include "texts/TooltipTable.h"

#include <cstdio>
#include <map>

#include "platform/ControlIds.h"
#include "texts/TextLibrary.h"

namespace {

const std::map<int, int>& Table(int dialog) {
  static const std::map<int, int> kMain = {{kIdcFileName, 0},
                                           {kIdcFileList, 1},
                                           {kIdcBrowse, 2},
                                           {kIdcFileStart, 3},
                                           {kIdcRepeat, 4},
                                           {kIdcRepeatCount, 5},
                                           {kIdcDelay, 6},
                                           {kIdcRateLabel, 7},
                                           {kIdcRate, 7},
                                           {kIdcProgressBar, 8},
                                           {kIdcRxDataList, 9},
                                           {kIdcRxUsmList, 10},
                                           {kIdcClearBuffer, 11},
                                           {kIdcFirmwareStart, 12},
                                           {kIdcStringStart, 13},
                                           {kIdcDataString, 14},
                                           {kIdcHexRadio, 15},
                                           {kIdcAsciiRadio, 16},
                                           {kIdcSerialRadio, 17},
                                           {kIdcUsbRadio, 18},
                                           {kIdcEthernetRadio, 42},
                                           {kIdcPacketProtocol, 29},
                                           {kIdcStepLabelSwitchMode, 30},
                                           {kIdcStepLabelFlashSize, 31},
                                           {kIdcStepLabelErase, 32},
                                           {kIdcStepLabelDownload, 33},
                                           {kIdcStepLabelCheckCrc, 34},
                                           {kIdcStepLabelReadCrc, 35},
                                           {kIdcFirmwareCrc, 36},
                                           {kIdcShowUsm, 53},
                                           {kIdcSaveAs, 63},
                                           {kIdcViewLog, 65},
                                           {kIdcCreateLog, 66},
                                           {kIdcJsonLog, 67},
                                           {kIdcShowTime, 68}};
  static const std::map<int, int> kSerial = {
      {kIdcSerialPort, 19},     {kIdcSerialBaud, 20},        {kIdcSerialParity, 21},
      {kIdcSerialFlow, 22},     {kIdcSerialDataBits, 23},    {kIdcSerialStopBits, 24},
      {kIdcSerialLabelDsr, 37}, {kIdcSerialLabelCts, 38},    {kIdcSerialLabelRing, 39},
      {kIdcSerialLabelDcd, 40}, {kIdcSerialLabelXonXoff, 41}};
  static const std::map<int, int> kUsb = {{kIdcUsbDevice, 25},     {kIdcUsbInfo, 26},
                                          {kIdcUsbNormal, 27},     {kIdcUsbRealTime, 28},
                                          {kIdcUsbErrorLabel, 54}, {kIdcUsbPaperOutLabel, 55},
                                          {kIdcUsbMonitor, 64}};
  static const std::map<int, int> kEthernet = {
      {kIdcEthIp, 43},       {kIdcEthMac, 50},         {kIdcEthOutMain, 47},
      {kIdcEthMainPort, 44}, {kIdcEthOutRealTime, 48}, {kIdcEthRealTimePort, 45},
      {kIdcEthUsmLabel, 49}, {kIdcEthUsmPort, 46},     {kIdcEthAutoReconnect, 52},
      {kIdcEthSetup, 51}};
  static const std::map<int, int> kSetupEthDev = {
      {kIdcDevSearch, 56}, {kIdcDevList, 57},   {kIdcDevNewIp, 58}, {kIdcDevNewName, 59},
      {kIdcDevUpdate, 60}, {kIdcDevReboot, 61}, {kIdcDevOk, 62}};
  static const std::map<int, int> kNone;
  switch (dialog) {
    case -1:
      return kMain;
    case 0:
      return kSerial;
    case 1:
      return kUsb;
    case 2:
      return kEthernet;
    case 3:
      return kSetupEthDev;
    default:
      return kNone;
  }
}

}  // namespace

int TooltipNumber(int dialog, int id) {
  const std::map<int, int>& table = Table(dialog);
  auto it = table.find(id);
  return it == table.end() ? -1 : it->second;
}

std::string TooltipText(CTextLibrary& texts, int dialog, int id) {
  if (!texts.HasTipFunction()) {
    return std::string();
  }
  int n = TooltipNumber(dialog, id);
  if (n >= 0) {
    const char* tip = texts.GetTipText(n);
    return tip != nullptr ? tip : "";
  }
  if (dialog == 2) {
    char text[64];
    std::snprintf(text, sizeof text, "Undefined Control ID #%d", id);
    return text;
  }
  return std::string();
}
