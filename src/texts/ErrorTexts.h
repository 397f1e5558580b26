// The numbers of the text library's error texts (Thes_ErrorGetText): every
// error box the program shows by number names its text here. The values are
// the library's own and never change: a translated library is built against
// them.
#pragma once

enum ErrorText : int {
  kErrorPackFailed = 1,  // the packed copy of the file could not be made
  kErrorFileOpen = 3,
  kErrorFileEmpty = 4,
  kErrorReceiveThreadStart = 5,
  kErrorNoFileSelected = 6,
  // The firmware download.
  kErrorFlashImageRead = 7,
  kErrorFlashEraseSilent = 8,  // "Silent": the printer did not answer
  kErrorFlashEraseUnexpected = 9,
  kErrorFlashHeaderSilent = 10,
  kErrorFlashHeaderUnexpected = 11,
  kErrorFlashDataSilent = 12,
  kErrorFlashDataUnexpected = 13,
  kErrorFlashCrcSilent = 14,
  kErrorFlashCrcUnexpected = 15,
  kErrorFlashCrcIncomplete = 16,
  kErrorFlashImageTooLarge = 17,
  kErrorFlashEraseRefused = 18,
  kErrorFlashDataRefused = 19,
  kErrorFlashCrcMismatch = 20,
  kErrorFlashHeaderRefused = 21,
  kErrorFirmwareSizeNotKiB = 22,  // not a multiple of 1024 bytes
  kErrorFirmwareNotBin = 23,
  kErrorFlashSizeSilent = 46,
  kErrorFileTooBig = 24,  // 4 GiB or more
  kErrorUnknownInterface = 25,
  kErrorReadersStopTimeout = 26,
  kErrorDataReaderStopTimeout = 27,
  kErrorStatusReaderStopTimeout = 28,
  kErrorUsbReaderStopTimeout = 38,
  // The batch command line.
  kErrorBadModeLetter = 30,
  kErrorBadInterfaceLetter = 31,
  kErrorPortWithUsb = 32,
  kErrorBadBaudRate = 33,
  kErrorBadParityLetter = 34,
  kErrorBadFlowLetter = 35,
  kErrorInvalidDataString = 37,
  // The device setup dialog.
  kErrorNoDeviceFound = 39,
  kErrorNoDeviceSelected = 40,
  kErrorNewIpNotSent = 41,
  kErrorNewNameNotSent = 42,
  kErrorRestartNotSent = 43,
  kErrorDuplicateIpQuestion = 44,  // asked as a question
  kErrorNoMacAddress = 45,
  kErrorOsNotSupported = 49,
  kErrorFileTransferFailed = 50,
};
