#include "windowlogic/SerialPanel.h"

#include <strings.h>

#include <cctype>
#include <climits>
#include <cstdlib>

#include "comm/Cablox.h"
#include "windowlogic/VirtualKeys.h"

CSerialPanel::CSerialPanel(CSerialFields& fields, IDialogView& view, IListControls& lists,
                           const CPanelHooks& hooks)
    : m_fields(fields),
      m_view(view),
      m_lists(lists),
      m_hooks(hooks),
      m_fnListPorts([](std::vector<std::string>& names) {
        int first = 0;
        int second = 0;
        return Comm_GetPortNames(first, second, "COM", names);
      }) {}

std::vector<std::string> CSerialPanel::ListTexts(int id) {
  switch (id) {
    case IDC_PORT: {
      std::vector<std::string> ports;
      for (int n = 1; n <= 10; ++n)
        ports.push_back("COM" + std::to_string(n));
      return ports;
    }
    case IDC_BAUD:
      return {"115200", "57600", "38400", "19200", "9600", "4800",
              "2400",   "1200",  "600",   "300",   "110"};
    case IDC_PARITY:
      return {"None", "Odd", "Even", "Mark", "Space"};
    case IDC_DATABITS:
      return {"5", "6", "7", "8"};
    case IDC_STOPBITS:
      return {"1", "1.5", "2"};
    case IDC_FLOW:
      return {"None", "DSR+CTS", "DSR", "CTS", "Xon / Xoff"};
    default:
      return {};
  }
}

std::string CSerialPanel::FlowLogText(int index) {
  static const char* const kLog[] = {"None", "DSR/CTS", "DSR", "CTS", "XON/XOFF"};
  return index >= 0 && index < 5 ? kLog[index] : "";
}

long CSerialPanel::PortNumber(const std::string& name) {
  if (name.size() > 3 && strncasecmp(name.c_str(), "COM", 3) == 0 &&
      std::isdigit(static_cast<unsigned char>(name[3]))) {
    return std::strtol(name.c_str() + 3, nullptr, 10);
  }
  std::size_t end = name.size();
  std::size_t start = end;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1])))
    --start;
  // More than nine digits cannot be a port number; such a name sorts last.
  if (start == end || end - start > 9) {
    return LONG_MAX;
  }
  return std::strtol(name.c_str() + start, nullptr, 10);
}

std::vector<std::string> CSerialPanel::OrderPorts(const std::vector<std::string>& table) {
  std::vector<std::string> list;
  std::vector<long> numbers;
  for (const std::string& name : table) {
    bool seen = false;
    for (const std::string& have : list) {
      if (strcasecmp(have.c_str(), name.c_str()) == 0) {
        seen = true;
        break;
      }
    }
    if (seen)
      continue;
    long number = PortNumber(name);
    std::size_t at = 0;
    while (at < numbers.size() && numbers[at] <= number)
      ++at;
    list.insert(list.begin() + static_cast<long>(at), name);
    numbers.insert(numbers.begin() + static_cast<long>(at), number);
  }
  return list;
}

void CSerialPanel::RefreshPortList() {
  if (m_hooks.Selected() != 0) {
    return;
  }
  std::vector<std::string> table;
  if (!m_fnListPorts || !m_fnListPorts(table)) {
    return;
  }
  const int chosenIndex = m_fields.m_nPortIndex;
  m_view.UpdateData(1);
  // A port that went away leaves the list with no selection: the choice
  // stays, and shows again once the port is back.
  if (m_fields.m_nPortIndex < 0)
    m_fields.m_nPortIndex = chosenIndex;
  const std::string chosen = PortAt(m_fields.m_nPortIndex);
  m_lists.SetListItems(IDC_PORT, OrderPorts(table));
  m_view.UpdateData(0);
  if (PortAt(m_fields.m_nPortIndex) != chosen) {
    DarkenLamps();
  }
}

std::string CSerialPanel::PortAt(int index) {
  const std::vector<std::string> ports = m_lists.GetListItems(IDC_PORT);
  return index >= 0 && static_cast<size_t>(index) < ports.size() ? ports[index] : std::string();
}

void CSerialPanel::DarkenLamps() {
  for (int id : {IDC_LED_DSR, IDC_LED_CTS, IDC_LED_RING, IDC_LED_DCD, IDC_LED_XONXOFF}) {
    m_hooks.SetLed(0, id, 0);
  }
}

void CSerialPanel::OnSelChange(int id) {
  if (id != IDC_PORT && id != IDC_FLOW) {
    return;
  }
  m_view.UpdateData(1);
  DarkenLamps();
  if (m_hooks.Selected() == 0) {
    m_hooks.OpenPort(1);
  }
}

void CSerialPanel::ApplyLineStatus(DWORD status) {
  static const struct {
    int id;
    DWORD bit;
  } kLamps[] = {
      {IDC_LED_DSR, 0x20}, {IDC_LED_CTS, 0x10}, {IDC_LED_RING, 0x40}, {IDC_LED_DCD, 0x80}};
  for (const auto& lamp : kLamps) {
    m_hooks.SetLed(0, lamp.id, (status & lamp.bit) ? 2 : 1);
  }
  int xon = m_fields.m_nFlowIndex == kFlowXonXoff ? ((status & 0x100) ? 2 : 1) : 0;
  m_hooks.SetLed(0, IDC_LED_XONXOFF, xon);
}

int CSerialPanel::PreTranslateKey(int key) {
  return key == VK_RETURN || key == VK_ESCAPE;
}
