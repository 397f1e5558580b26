#include "windowlogic/PanelController.h"

CPanelController::CPanelController(CDialogFields& fields, const Views& views, CPanelHooks hooks)
    : m_hooks(std::move(hooks)),
      m_views(views),
      m_serial(fields.serial, *views.serial, *views.serialLists, m_hooks),
      m_usb(fields.usb, *views.usb, *views.usbLists, m_hooks),
      m_ethernet(fields.ethernet, *views.ethernet, m_hooks) {}

void CPanelController::OnPanelCommand(int panel, int id) {
  switch (panel) {
    case 0:
      m_serial.OnSelChange(id);
      break;
    case 1:
      if (id == CUsbPanel::IDC_DEVICE) {
        m_usb.OnDeviceSelChange(m_views.usbLists->GetListSelection(id));
      } else if (id == CUsbPanel::IDC_NORMAL || id == CUsbPanel::IDC_REALTIME) {
        m_usb.OnEndpointClick();
      } else if (id == CUsbPanel::IDC_MONITOR) {
        m_usb.OnMonitor();
      } else if (id == CUsbPanel::IDC_INFO && m_hooks.showPortProperties) {
        m_hooks.showPortProperties();
      }
      break;
    case 2:
      if (id == CEthernetPanel::IDC_OUT_MAIN || id == CEthernetPanel::IDC_OUT_RT) {
        m_ethernet.OnOutputClick();
      } else if (id == CEthernetPanel::IDC_SETUP) {
        m_ethernet.OnSetup();
      } else if (id == CEthernetPanel::IDC_IP) {
        m_ethernet.OnIpChange();
      } else {
        m_ethernet.OnPortEditChange(id);
      }
      break;
    default:
      break;
  }
}

int CPanelController::OnPanelKey(int panel, int vk) {
  switch (panel) {
    case 0:
      return m_serial.PreTranslateKey(vk);
    case 1:
      return m_usb.PreTranslateKey(vk);
    case 2:
      return m_ethernet.PreTranslateKey(vk);
    default:
      return 0;
  }
}

void CPanelController::OnDropDown(int panel, int id) {
  if (panel == 0 && id == CSerialPanel::IDC_PORT) {
    m_serial.RefreshPortList();
  } else if (panel == 1 && id == CUsbPanel::IDC_DEVICE) {
    m_usb.RefreshDeviceList();
  }
}

void CPanelController::OnLineStatus(DWORD status) {
  int selected = m_hooks.Selected();
  if (selected == 0) {
    m_serial.ApplyLineStatus(status);
  } else if (selected == 1) {
    m_usb.ApplyLineStatus(status);
  }
}
