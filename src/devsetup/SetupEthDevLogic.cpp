#include "devsetup/SetupEthDevLogic.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "codec/Codec.h"
#include "comm/Cablox.h"
#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "report/ErrorBoxes.h"
#include "texts/ErrorTexts.h"
#include "texts/TextFunctions.h"
#include "texts/TooltipTable.h"
#include "windowlogic/VirtualKeys.h"

namespace {

int LibraryDiscover(int& count, CSetupEthDevLogic::Table& table) {
  int first = 0;
  int second = 0;
  count = 0;
  return Comm_GetPortParams(first, second, nullptr, count, table.data());
}

int LibrarySend(const std::string& frame) {
  return Comm_SetDeviceParams(frame.c_str());
}

// The duplicate-address error asked as a question: 1 for OK.
int AskAddressInUse() {
  PFN_THES_GETTEXT get = g_pfnErrorGetText.load();
  const char* text = get ? get(kErrorDuplicateIpQuestion) : nullptr;
  return AfxMessageBox(text ? text : "", MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

std::string Dotted(const BYTE a[4]) {
  char dotted[16];
  std::snprintf(dotted, sizeof dotted, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
  return dotted;
}

// The device as the operator knows it: its name (when it has one) and MAC.
std::string DeviceText(const std::string& name, const std::string& mac) {
  const std::size_t end = name.find_last_not_of(' ');
  return end == std::string::npos ? mac : name.substr(0, end + 1) + " (" + mac + ")";
}

}  // namespace

int CSetupEthDevLogic::ParseHostAddress(const std::string& text, BYTE out[4],
                                        std::string* problem) {
  unsigned fields[4] = {0, 0, 0, 0};
  int count = 0;
  std::size_t pos = 0;
  while (count < 4) {
    const std::size_t start = pos;
    unsigned long value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 4)
      value = value * 10 + static_cast<unsigned long>(text[pos++] - '0');
    if (pos == start || (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')) {
      *problem = "it is not four numbers separated by dots";
      return 0;
    }
    if (value > 255) {
      *problem = text.substr(start, pos - start) + " is out of range (0 to 255)";
      return 0;
    }
    fields[count++] = static_cast<unsigned>(value);
    if (count < 4 && (pos >= text.size() || text[pos++] != '.')) {
      *problem = "it is not four numbers separated by dots";
      return 0;
    }
  }
  if (pos != text.size()) {
    *problem = "it is not four numbers separated by dots";
    return 0;
  }
  // Addresses no device can answer on: "this network", multicast, and the
  // reserved range with the broadcast address.
  if (fields[0] == 0)
    *problem = "addresses starting with 0 name no host";
  else if (fields[0] >= 224 && fields[0] <= 239)
    *problem = "it is a multicast address";
  else if (fields[0] >= 240)
    *problem = "it is a broadcast or reserved address";
  else
    problem->clear();
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<BYTE>(fields[i]);
  return problem->empty() ? 1 : 0;
}

namespace {}  // namespace

CSetupEthDevLogic::CSetupEthDevLogic(ISetupEthDevView& view) : m_view(view) {
  SetHooks({});
}

void CSetupEthDevLogic::SetHooks(Hooks hooks) {
  m_hooks = std::move(hooks);
  if (!m_hooks.discover)
    m_hooks.discover = LibraryDiscover;
  if (!m_hooks.sendFrame)
    m_hooks.sendFrame = LibrarySend;
  if (!m_hooks.sleepMs)
    m_hooks.sleepMs = [](unsigned ms) { Sleep(ms); };
}

void CSetupEthDevLogic::Block(const std::function<void()>& work) {
  if (m_hooks.runBlocking) {
    m_hooks.runBlocking(work);
  } else {
    work();
  }
}

int CSetupEthDevLogic::Send(const std::string& frame) {
  int sent = 0;
  Block([&] { sent = m_hooks.sendFrame(frame); });
  return sent;
}

void CSetupEthDevLogic::ReadControls() {
  m_strDeviceName = m_view.GetDlgItemText(IDC_NAME).substr(0, CEthDevFrames::kNameLength);
}

void CSetupEthDevLogic::WriteControls() {
  m_view.SetDlgItemText(IDC_NAME, m_strDeviceName);
}

void CSetupEthDevLogic::EnableSelected(int enable) {
  for (int id : {IDC_UPDATE, IDC_IP, IDC_NAME, IDC_REBOOT})
    m_view.EnableDlgItem(id, enable);
}

int CSetupEthDevLogic::OnInitDialog() {
  EnableSelected(0);
  if (!m_texts.LoadCaptionAndTipTexts(m_strTextLibrary.c_str())) {
    return 1;
  }
  auto caption = [&](int n) {
    const char* text = m_texts.GetCaptionText(n);
    return std::string(text ? text : "");
  };
  m_view.SetTitle(caption(62));
  static const int kCaptions[][2] = {{IDC_SEARCH, 63},     {IDC_GROUP, 67},  {IDC_IP_LABEL, 68},
                                     {IDC_NAME_LABEL, 69}, {IDC_UPDATE, 70}, {IDC_REBOOT, 71}};
  for (const auto& c : kCaptions)
    m_view.SetDlgItemText(c[0], caption(c[1]));
  for (int column = 0; column < 3; ++column) {
    m_view.SetColumnHeader(column, caption(64 + column));
  }
  return 1;
}

void CSetupEthDevLogic::SearchDevices(bool clearSelection) {
  m_view.SetWaitCursor(1);
  m_rows.clear();
  m_view.SetRows(m_rows);
  WriteControls();
  int count = 0;
  int found = 0;
  Block([&] { found = m_hooks.discover(count, m_table); });
  if (!found) {
    m_view.SetWaitCursor(0);
    return;
  }
  count = std::clamp(count, 0, kMaxRecords);
  for (int i = 0; i < count; ++i) {
    CEthDevRecord record;
    if (!CEthDevFrames::ParseRecord(m_table[static_cast<std::size_t>(i)], record)) {
      continue;  // a record that is not whole is left out, never half read
    }
    auto at = std::upper_bound(m_rows.begin(), m_rows.end(), record,
                               [](const CEthDevRecord& a, const CEthDevRecord& b) {
                                 return strcasecmp(a.strIp.c_str(), b.strIp.c_str()) < 0;
                               });
    m_rows.insert(at, std::move(record));
  }
  m_view.SetRows(m_rows);
  if (m_rows.empty()) {
    ShowErrorText(kErrorNoDeviceFound);
  }
  if (clearSelection) {
    EnableSelected(0);
    m_strIpAddress.clear();
    m_strMacAddress.clear();
  }
  WriteControls();
  m_view.SetWaitCursor(0);
}

void CSetupEthDevLogic::OnClickDeviceList() {
  ReadControls();
  int mark = m_view.GetSelectionMark();
  if (mark < 0 || mark >= static_cast<int>(m_rows.size())) {
    return;
  }
  const CEthDevRecord& row = m_rows[static_cast<std::size_t>(mark)];
  m_strIpAddress = row.strIp;
  m_strDeviceName = row.strName;
  m_strMacAddress = row.strMac;
  m_strListedName = m_strDeviceName;
  m_view.SetDlgItemText(IDC_IP, m_strIpAddress);
  EnableSelected(1);
  WriteControls();
}

int CSetupEthDevLogic::ReadNewAddress(BYTE out[4]) {
  const std::string text = m_view.GetDlgItemText(IDC_IP);
  std::string problem;
  if (ParseHostAddress(text, out, &problem))
    return 1;
  AfxMessageBox(
      ("The address \"" + text + "\" cannot be given to a device: " + problem + ".").c_str(),
      MB_OK | MB_ICONERROR);
  m_view.SetFocusId(IDC_IP);
  return 0;
}

void CSetupEthDevLogic::OnUpdateDevice() {
  ReadControls();
  BYTE current[4] = {0, 0, 0, 0};
  if (!ParseIpAddress(m_strIpAddress.c_str(), current, 0)) {
    ShowErrorText(kErrorNoDeviceSelected);
    return;
  }
  BYTE next[4];
  if (!ReadNewAddress(next))
    return;
  bool addressChanged = std::memcmp(current, next, 4) != 0;
  if (addressChanged) {
    for (const CEthDevRecord& row : m_rows) {
      BYTE listed[4] = {0, 0, 0, 0};
      if (ParseIpAddress(row.strIp.c_str(), listed, 0) && std::memcmp(listed, next, 4) == 0) {
        if (!AskAddressInUse())
          return;
        break;
      }
    }
  }
  BYTE mac[6];
  if (m_strMacAddress.empty() || !CEthDevFrames::ParseMac(m_strMacAddress, mac)) {
    ShowErrorText(kErrorNoMacAddress);
    return;
  }
  bool nameChanged = m_strDeviceName != m_strListedName;
  // A device at a wrong address is out of reach: the operator says yes first.
  if (addressChanged) {
    const std::string question = "Change the address of the device " +
                                 DeviceText(m_strListedName, m_strMacAddress) + " from " +
                                 Dotted(current) + " to " + Dotted(next) +
                                 "? The device restarts with the new address.";
    if (AfxMessageBox(question.c_str(), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
      return;
  }
  m_view.SetWaitCursor(1);
  if (addressChanged) {
    std::string chip = CEthDevFrames::BuildChip(mac, next);
    m_strIpAddress = Dotted(next);
    if (!Send(chip))
      ShowErrorText(kErrorNewIpNotSent);
  }
  if (nameChanged) {
    m_strDeviceName.resize(CEthDevFrames::kNameLength, ' ');
    if (!Send(CEthDevFrames::BuildChno(mac, m_strDeviceName)))
      ShowErrorText(kErrorNewNameNotSent);
  }
  if (addressChanged) {
    if (!Send(CEthDevFrames::BuildRest(mac)))
      ShowErrorText(kErrorRestartNotSent);
    Block([&] { m_hooks.sleepMs(kRestartWaitMs); });
  }
  if (addressChanged || nameChanged) {
    SearchDevices(false);
  }
  m_view.SetWaitCursor(0);
}

void CSetupEthDevLogic::OnRebootDevice() {
  if (m_strMacAddress.empty()) {
    ShowErrorText(kErrorNoDeviceSelected);
    return;
  }
  BYTE mac[6];
  if (!CEthDevFrames::ParseMac(m_strMacAddress, mac)) {
    ShowErrorText(kErrorNoMacAddress);
    return;
  }
  m_view.SetWaitCursor(1);
  const int sent = Send(CEthDevFrames::BuildRest(mac));
  m_view.SetDlgItemText(IDC_IP, m_strIpAddress);
  WriteControls();
  m_view.SetWaitCursor(0);
  if (!sent) {
    ShowErrorText(kErrorRestartNotSent);
    return;
  }
  const std::string done = "The device " + DeviceText(m_strListedName, m_strMacAddress) + " at " +
                           m_strIpAddress +
                           " was told to restart. It answers again after a few seconds: press "
                           "Search to see it.";
  AfxMessageBox(done.c_str(), MB_OK | MB_ICONINFORMATION);
}

void CSetupEthDevLogic::OnOK() {
  ReadControls();
  m_view.EndDialog(IDOK);
}

int CSetupEthDevLogic::PreTranslateKey(int key) {
  if (key == VK_RETURN) {
    int focus = m_view.GetFocusId();
    if (focus == IDC_SEARCH) {
      SearchDevices(true);
    } else if (focus == IDC_IP || focus == IDC_NAME) {
      OnUpdateDevice();
    }
    return 1;
  }
  return key == VK_ESCAPE;
}

std::string CSetupEthDevLogic::TipText(int id) {
  return TooltipText(m_texts, 3, id);
}
