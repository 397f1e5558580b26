// CFirmwareGroupState: the memory of EnableFirmwareGroup. Disabling records
// which of the firmware group's controls were enabled; the next enabling
// restores exactly those, so a control the download left disabled (its
// Start button during an abort, a step label) is not switched on by a
// group operation that did not switch it off.
//
// Rules: one saved state per control (all 1 at start) and a flag telling
// whether the last call enabled (1 at start). Disabling while already
// disabled disables all again and keeps the saved states. Otherwise each
// control gets its saved state (enabling) or is disabled (disabling), and
// its saved state becomes the state it had before this call.
//
// Threading: window's thread only.
#pragma once

#include <array>

#include "platform/ControlIds.h"
#include "windowlogic/IDialogView.h"

class CFirmwareGroupState {
 public:
  static constexpr std::array<int, 14> kControls = {
      kIdcFirmwareStart,    kIdcFirmwareGroup,      kIdcStepLabelSwitchMode, kIdcStepLabelFlashSize,
      kIdcStepLabelErase,   kIdcStepLabelDownload,  kIdcStepLabelCheckCrc,   kIdcStepLabelReadCrc,
      kIdcFirmwareCrc,      kIdcStepLampSwitchMode, kIdcStepLampFlashSize,   kIdcStepLampErase,
      kIdcStepLampDownload, kIdcStepLampCheckCrc};

  void Apply(IDialogView& view, int enable);
  int IsEnabled() const { return m_bEnabled; }

 private:
  std::array<int, kControls.size()> m_saved = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  int m_bEnabled = 1;
};
