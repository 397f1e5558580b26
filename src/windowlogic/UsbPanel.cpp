#include "windowlogic/UsbPanel.h"

#include <map>

#include "comm/Cablox.h"
#include "texts/TextLibrary.h"
#include "windowlogic/VirtualKeys.h"

CUsbPanel::CUsbPanel(CUsbFields& fields, IDialogView& view, IListControls& lists,
                     const CPanelHooks& hooks)
    : m_fields(fields),
      m_view(view),
      m_lists(lists),
      m_hooks(hooks),
      m_fnListDevices([](int& usm, int& rt, std::vector<std::string>& names) {
        return Comm_GetPortNames(usm, rt, nullptr, names);
      }) {}

std::vector<std::string> CUsbPanel::NumberDuplicates(const std::vector<std::string>& table) {
  std::map<std::string, int> total;
  for (const std::string& name : table)
    ++total[name];
  std::map<std::string, int> seen;
  std::vector<std::string> list;
  list.reserve(table.size());
  for (const std::string& name : table) {
    if (total[name] > 1) {
      list.push_back(name + " (" + std::to_string(++seen[name]) + ")");
    } else {
      list.push_back(name);
    }
  }
  return list;
}

void CUsbPanel::RefreshDeviceList() {
  if (m_hooks.Selected() != 1) {
    return;
  }
  std::vector<std::string> table;
  if (!m_fnListDevices || !m_fnListDevices(m_nUsmChannel, m_nRealTimeChannel, table)) {
    return;
  }
  m_view.UpdateData(1);
  std::vector<std::string> list = NumberDuplicates(table);
  m_lists.SetListItems(IDC_DEVICE, list);
  int index = m_fields.m_nDeviceIndex;
  if (index >= 0 && index < static_cast<int>(list.size())) {
    m_fields.m_strDevice = list[static_cast<std::size_t>(index)];
  }
  m_view.UpdateData(0);
}

void CUsbPanel::OnDeviceSelChange(int selected) {
  m_view.UpdateData(1);
  m_fields.m_nDeviceIndex = selected < 0 ? 0 : selected;
  m_hooks.OpenPort(1);
}

void CUsbPanel::OnEndpointClick() {
  if (m_hooks.Running() != 0) {
    return;
  }
  m_view.UpdateData(1);
  m_hooks.OpenPort(1);
}

void CUsbPanel::OnMonitor() {
  m_view.UpdateData(1);
  if (m_fields.m_bMonitor) {
    m_hooks.Log("Check USB Printer Status = TRUE");
  } else {
    m_hooks.SetLed(1, IDC_LED_ERROR, 0);
    m_hooks.SetLed(1, IDC_LED_POUT, 0);
    m_hooks.Log("Check USB Printer Status = FALSE");
  }
  if (m_hooks.setMonitor) {
    m_hooks.setMonitor(m_fields.m_bMonitor);
  }
}

void CUsbPanel::ApplyLineStatus(DWORD status) {
  m_view.ShowDlgItem(IDC_LED_ERROR, 1);
  m_view.ShowDlgItem(IDC_LED_POUT, 1);
  m_hooks.SetLed(1, IDC_LED_ERROR, (status & 0x1) ? 1 : 2);
  m_hooks.SetLed(1, IDC_LED_POUT, (status & 0x2) ? 1 : 2);
}

void CUsbPanel::ApplyEndpointState(int selected, CTextLibrary* texts) {
  m_view.EnableDlgItem(IDC_REALTIME, selected && m_nRealTimeChannel != 0);
  const char* caption = texts ? texts->GetCaptionText(m_nRealTimeChannel ? 43 : 44) : nullptr;
  if (caption) {
    m_view.SetDlgItemText(IDC_NORMAL, caption);
  }
}

int CUsbPanel::PreTranslateKey(int key) {
  if (key == VK_RETURN) {
    if (m_view.GetFocusId() == IDC_INFO && m_hooks.showPortProperties) {
      m_hooks.showPortProperties();
    }
    return 1;
  }
  return key == VK_ESCAPE;
}
