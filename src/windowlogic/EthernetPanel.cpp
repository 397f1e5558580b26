#include "windowlogic/EthernetPanel.h"

#include <cstdio>

#include "platform/ControlIds.h"
#include "windowlogic/VirtualKeys.h"

CEthernetPanel::CEthernetPanel(CEthernetFields& fields, IDialogView& view, const CPanelHooks& hooks)
    : m_fields(fields), m_view(view), m_hooks(hooks) {}

std::string CEthernetPanel::IpText(DWORD a) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (a >> 24) & 0xFFu, (a >> 16) & 0xFFu,
                (a >> 8) & 0xFFu, a & 0xFFu);
  return text;
}

int CEthernetPanel::ParseIpText(const std::string& text, DWORD* address) {
  DWORD value = 0;
  std::size_t pos = 0;
  for (int field = 0; field < 4; ++field) {
    unsigned octet = 0;
    int digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      octet = octet * 10 + static_cast<unsigned>(text[pos++] - '0');
      if (++digits > 3 || octet > 255)
        return 0;
    }
    value = (value << 8) | octet;
    if (field < 3) {
      if (pos < text.size() && text[pos] == '.') {
        ++pos;
      } else if (pos < text.size()) {
        return 0;
      }
    }
  }
  if (pos != text.size()) {
    return 0;
  }
  *address = value;
  return 1;
}

void CEthernetPanel::OnIpChange() {
  DWORD address = 0;
  if (ParseIpText(m_view.GetDlgItemText(IDC_IP), &address)) {
    m_fields.m_dwIpAddress = address;
  }
}

void CEthernetPanel::OnPortEditChange(int id) {
  if (id != IDC_MAIN_PORT && id != IDC_USM_PORT && id != IDC_RT_PORT) {
    return;
  }
  m_view.UpdateData(1);
  if (m_hooks.Selected() == 2) {
    m_bEditPending = 1;
    if (m_hooks.disableActionControls) {
      m_hooks.disableActionControls();
    }
  }
}

void CEthernetPanel::Reopen() {
  if (!m_view.UpdateData(1)) {
    return;  // a port edit does not hold a number: the view has said so
  }
  OnIpChange();
  m_bEditPending = 0;
  m_hooks.OpenPort(1);
}

void CEthernetPanel::OnOutputClick() {
  if (m_hooks.Running() != 0) {
    return;
  }
  Reopen();
}

void CEthernetPanel::ApplyConnectionState(int selected, int completion, int rtChannel,
                                          int usmChannel) {
  m_view.EnableDlgItem(IDC_OUT_MAIN, selected && completion != 0);
  m_view.EnableDlgItem(IDC_OUT_RT, selected && rtChannel != 0);
  m_view.EnableDlgItem(kIdcEthUsmLabel, selected && usmChannel != 0);
}

void CEthernetPanel::OnSetup() {
  if (m_hooks.openDeviceSetup) {
    m_hooks.openDeviceSetup();
  }
}

int CEthernetPanel::PreTranslateKey(int key) {
  if (key == VK_RETURN) {
    int focus = m_view.GetFocusId();
    bool field =
        focus == IDC_IP || focus == IDC_MAIN_PORT || focus == IDC_USM_PORT || focus == IDC_RT_PORT;
    if (field && m_hooks.Running() == 0) {
      Reopen();
    }
    return 1;
  }
  return key == VK_ESCAPE;
}
