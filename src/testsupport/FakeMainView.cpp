#include "testsupport/FakeMainView.h"

#include "platform/ControlIds.h"

namespace {

const std::vector<int> kMainIds = {
    1001, 1002, 1003, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012,        1014,         1015,
    1016, 1017, 1018, 1019, 1022, 1025, 1026, 1027, 1028, 1029, 1030,        1031,         1032,
    1033, 1041, 1043, 1045, 1058, 1059, 1060, 1061, 1062, 1063, 1064,        1065,         1066,
    1067, 1068, 1069, 1070, 1075, 1087, 1156, 1157, 1158, 1159, kIdcJsonLog, kIdcShowTime, 1300};
const std::vector<int> kSerialIds = {1020, 1024, 1025, 1026, 1027, 1034, 1035, 1040, 1095, 1116};
const std::vector<int> kUsbIds = {1021, 1046, 1047, 1048, 1049, 1108, 1114, 1115, 1116, 1122, 1152};
const std::vector<int> kEthernetIds = {1099, 1100, 1103, 1110, 1111, 1112, 1123, 1154};

}  // namespace

CFakeDialog::CFakeDialog(std::vector<int> ids, std::function<void(int)> exchange)
    : m_fnExchange(std::move(exchange)) {
  for (int id : ids)
    m_controls[id] = Control{};
}

int CFakeDialog::EnableDlgItem(int id, int enable) {
  auto it = m_controls.find(id);
  if (it == m_controls.end())
    return 0;
  const int previous = it->second.enabled;
  it->second.enabled = enable ? 1 : 0;
  return previous;
}

int CFakeDialog::IsDlgItemEnabled(int id) {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? 0 : it->second.enabled;
}

void CFakeDialog::ShowDlgItem(int id, int show) {
  auto it = m_controls.find(id);
  if (it != m_controls.end())
    it->second.visible = show ? 1 : 0;
}

int CFakeDialog::IsDlgItemVisible(int id) {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? 0 : it->second.visible;
}

void CFakeDialog::SetDlgItemText(int id, const std::string& text) {
  auto it = m_controls.find(id);
  if (it != m_controls.end())
    it->second.text = text;
}

std::string CFakeDialog::GetDlgItemText(int id) {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? "" : it->second.text;
}

int CFakeDialog::UpdateData(int save) {
  m_fnExchange(save);
  return 1;
}

CFakeMainView::CFakeMainView(CDialogFields& fields)
    : m_fields(fields),
      controls(fields),
      m_main(kMainIds,
             [this](int save) {
               if (save)
                 m_fields.main = controls.main;
               else
                 controls.main = m_fields.main;
             }),
      m_panels{CFakeDialog(kSerialIds,
                           [this](int save) {
                             if (save)
                               m_fields.serial = controls.serial;
                             else
                               controls.serial = m_fields.serial;
                           }),
               CFakeDialog(kUsbIds,
                           [this](int save) {
                             if (save)
                               m_fields.usb = controls.usb;
                             else
                               controls.usb = m_fields.usb;
                           }),
               CFakeDialog(kEthernetIds, [this](int save) {
                 if (save)
                   m_fields.ethernet = controls.ethernet;
                 else
                   controls.ethernet = m_fields.ethernet;
               })} {}

void CFakeMainView::ShowPanel(int n) {
  if (n >= 0 && n <= 2)
    m_nShownPanel = n;
}

void CFakeMainView::SetLed(int dialog, int id, int state) {
  if (state >= 0 && state <= 2)
    m_leds[{dialog, id}] = state;
}

int CFakeMainView::Led(int dialog, int id) const {
  auto it = m_leds.find({dialog, id});
  return it == m_leds.end() ? -1 : it->second;
}

int CFakeMainView::OpenWithDesktop(const std::string& path) {
  m_opened.push_back(path);
  return m_nOpenResult;
}

int CFakeFileDialog::GetOpenFileName(const std::string&, const std::string& initial,
                                     const std::vector<CFileFilter>& filters, int,
                                     std::string& chosen) {
  m_initials.push_back(initial);
  m_lastFilters = filters;
  if (m_answers.empty())
    return 0;
  chosen = m_answers.front();
  m_answers.erase(m_answers.begin());
  return chosen.empty() ? 0 : 1;
}
