#include "windowlogic/FirmwareGroupState.h"

void CFirmwareGroupState::Apply(IDialogView& view, int enable) {
  const int b = enable ? 1 : 0;
  if (!b && !m_bEnabled) {
    for (int id : kControls)
      view.EnableDlgItem(id, 0);
    return;
  }
  for (size_t i = 0; i < kControls.size(); ++i) {
    const int target = b ? m_saved[i] : 0;
    m_saved[i] = view.EnableDlgItem(kControls[i], target);
  }
  m_bEnabled = b;
}
