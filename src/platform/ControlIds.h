// The control IDs of every dialog: the main window, its three interface
// panels, the device setup dialog and the about box. The window builds its controls under
// these IDs, the logic drives them by ID, the tooltip table and the test
// views look them up. The values are kept as they are: the scripts that
// click controls through the control-places file name them by number.
// IDs are unique within one dialog only: a panel's control may share its
// number with one of the main window's.
#pragma once

enum ControlId : int {
  // ---- Main window ----
  kIdcDataString = 1001,           // combo: the data string and its history
  kIdcFileName = 1002,             // edit: the file to transmit
  kIdcFileStart = 1003,            // "Start" / "Abort" of the file transfer
  kIdcFirmwareStart = 1005,        // "Start" / "Abort" of the firmware download
  kIdcProgressBar = 1006,          // 0..100
  kIdcStepLabelSwitchMode = 1007,  // the download's step labels, in order
  kIdcStepLabelFlashSize = 1008,
  kIdcStepLabelErase = 1009,
  kIdcStepLabelDownload = 1010,
  kIdcStepLabelCheckCrc = 1011,
  kIdcStepLabelReadCrc = 1012,
  kIdcSerialRadio = 1014,         // interface radios
  kIdcStepLampSwitchMode = 1015,  // the download's step lamps, in order
  kIdcStepLampFlashSize = 1016,
  kIdcStepLampErase = 1017,
  kIdcStepLampDownload = 1018,
  kIdcStepLampCheckCrc = 1019,
  kIdcFirmwareCrc = 1022,  // the CRC the printer read back
  kIdcFileList = 1025,     // the file history list
  kIdcBrowse = 1026,
  kIdcStringStart = 1027,  // "Start" / "Abort" of the string transfer
  kIdcRxDataList = 1028,   // received data
  kIdcClearBuffer = 1029,
  kIdcAsciiRadio = 1030,
  kIdcHexRadio = 1031,
  kIdcSaveAs = 1032,
  kIdcProgressPercent = 1033,
  kIdcRepeatNumber = 1041,  // the pass under way
  kIdcUsbRadio = 1043,
  kIdcRxUsmList = 1045,  // received status messages
  kIdcRepeat = 1058,     // check box
  kIdcRepeatCount = 1059,
  kIdcDelay = 1060,
  kIdcTimesLabel = 1061,
  kIdcMsLabel = 1062,
  kIdcDelayLabel = 1063,
  kIdcSelectFileGroup = 1064,
  kIdcTransmitFileGroup = 1065,
  kIdcStringGroup = 1066,
  kIdcCommunicationGroup = 1067,
  kIdcFirmwareGroup = 1068,
  kIdcPacketProtocol = 1069,  // check box
  kIdcShowUsm = 1070,         // check box
  kIdcReceiveGroup = 1075,
  kIdcInterfaceFrame = 1087,  // where the interface panel sits
  kIdcRate = 1156,            // kbytes/sec of the transfer
  kIdcRateLabel = 1157,
  kIdcViewLog = 1158,
  kIdcCreateLog = 1159,   // check box
  kIdcJsonLog = 1160,     // check box beside "Create Log"
  kIdcShowTime = 1161,    // check box beside "Show USM": the Time column
  kIdcStatusLine = 1162,  // the printer's status line under the lists
  kIdcEthernetRadio = 1300,

  // ---- Serial panel ----
  kIdcSerialFlow = 1013,
  kIdcSerialLampDsr = 1020,
  kIdcSerialLampCts = 1024,
  kIdcSerialLampRing = 1025,
  kIdcSerialLampDcd = 1026,
  kIdcSerialLampXonXoff = 1027,
  kIdcSerialFlowLabel = 1034,
  kIdcSerialParityLabel = 1035,
  kIdcSerialDataBitsLabel = 1036,
  kIdcSerialStopBitsLabel = 1037,
  kIdcSerialPort = 1038,
  kIdcSerialBaud = 1039,
  kIdcSerialBaudLabel = 1040,
  kIdcSerialLabelDsr = 1090,
  kIdcSerialLabelCts = 1091,
  kIdcSerialLabelRing = 1092,
  kIdcSerialLabelDcd = 1093,
  kIdcSerialLabelXonXoff = 1094,
  kIdcSerialStatusFrame = 1095,
  kIdcSerialPortFrame = 1116,
  kIdcSerialParity = 1204,
  kIdcSerialDataBits = 1205,
  kIdcSerialStopBits = 1206,

  // ---- USB panel ----
  kIdcUsbLampPaperOut = 1021,
  kIdcUsbNormal = 1046,  // OUT endpoint radios
  kIdcUsbRealTime = 1047,
  kIdcUsbSettingsFrame = 1048,
  kIdcUsbEndpointFrame = 1049,
  kIdcUsbDevice = 1050,
  kIdcUsbInfo = 1108,
  kIdcUsbErrorLabel = 1114,
  kIdcUsbPaperOutLabel = 1115,
  kIdcUsbLampError = 1116,
  kIdcUsbStatusFrame = 1122,
  kIdcUsbMonitor = 1152,  // check box

  // ---- TCP/IP panel ----
  kIdcEthIp = 1098,
  kIdcEthFrame = 1099,
  kIdcEthIpLabel = 1100,
  kIdcEthMainPort = 1101,
  kIdcEthUsmPort = 1102,
  kIdcEthMacLabel = 1103,
  kIdcEthMac = 1104,
  kIdcEthRealTimePort = 1105,
  kIdcEthOutMain = 1110,  // output port radios
  kIdcEthOutRealTime = 1111,
  kIdcEthSettingsFrame = 1112,
  kIdcEthSetup = 1123,
  kIdcEthAutoReconnect = 1151,
  kIdcEthUsmLabel = 1154,
  kIdcEthUsmFrame = 1155,

  // ---- Device setup dialog ----
  kIdcDevOk = 1,
  kIdcDevList = 1126,
  kIdcDevSearch = 1127,
  kIdcDevUpdate = 1128,
  kIdcDevReboot = 1130,
  kIdcDevNewIp = 1133,
  kIdcDevNewName = 1134,
  kIdcDevIpLabel = 1136,
  kIdcDevNameLabel = 1138,
  kIdcDevGroup = 1140,

  // ---- About box ----
  kIdcAboutVersion = 1085,  // the version line
  kIdcAboutNotice = 1161,   // the maker's notice
};
