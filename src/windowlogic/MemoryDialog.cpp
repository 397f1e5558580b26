#include "windowlogic/MemoryDialog.h"

#include <cerrno>
#include <cstdlib>

#include "platform/Notifier.h"

namespace {

// The number a number edit holds, blanks around it allowed.
bool ParseWhole(const std::string& text, long long* value) {
  const size_t first = text.find_first_not_of(" \t");
  const size_t last = text.find_last_not_of(" \t");
  if (first == std::string::npos)
    return false;
  const std::string digits = text.substr(first, last - first + 1);
  errno = 0;
  char* end = nullptr;
  *value = std::strtoll(digits.c_str(), &end, 10);
  return errno == 0 && end != nullptr && *end == '\0';
}

}  // namespace

void CMemoryDialog::AddList(int id, std::vector<std::string> items) {
  Control& c = At(id);
  c.bList = true;
  c.index = items.empty() ? -1 : 0;
  c.items = std::move(items);
}

int CMemoryDialog::EnableDlgItem(int id, int enable) {
  Control& c = At(id);
  const int previous = c.enabled;
  c.enabled = enable ? 1 : 0;
  return previous;
}

std::string CMemoryDialog::GetDlgItemText(int id) {
  const Control& c = At(id);
  if (!c.bList)
    return c.text;
  return c.index >= 0 && c.index < static_cast<int>(c.items.size()) ? c.items[c.index] : "";
}

void CMemoryDialog::SetListItems(int id, const std::vector<std::string>& items) {
  Control& c = At(id);
  c.bList = true;
  c.items = items;
  c.index = -1;
}

void CMemoryDialog::Text(int id, std::string& value, int save) {
  if (save)
    value = GetDlgItemText(id);
  else
    SetDlgItemText(id, value);
}

void CMemoryDialog::Check(int id, int& value, int save) {
  if (save)
    value = At(id).checked;
  else
    At(id).checked = value != 0 ? 1 : 0;
}

void CMemoryDialog::Radio(std::initializer_list<int> ids, int& value, int save) {
  int index = 0;
  if (save)
    value = -1;
  for (int id : ids) {
    if (save && At(id).checked) {
      value = index;
      return;
    }
    if (!save)
      At(id).checked = index == value ? 1 : 0;
    ++index;
  }
}

void CMemoryDialog::ListIndex(int id, int& index, int save) {
  Control& c = At(id);
  if (save)
    index = c.index;
  else
    c.index = index >= 0 && index < static_cast<int>(c.items.size()) ? index : -1;
}

int CMemoryDialog::Refuse(int id, const std::string& message) {
  AfxMessageBox(message.c_str(), MB_OK);
  m_nFocus = id;
  return 0;
}

int CMemoryDialog::Int(int id, int& value, int save) {
  if (!save) {
    SetDlgItemText(id, std::to_string(value));
    return 1;
  }
  long long v = 0;
  if (!ParseWhole(GetDlgItemText(id), &v) || v < INT32_MIN || v > INT32_MAX)
    return Refuse(id, "Please enter an integer.");
  value = static_cast<int>(v);
  return 1;
}

int CMemoryDialog::UInt(int id, unsigned& value, unsigned minValue, unsigned maxValue, int save) {
  if (!save) {
    SetDlgItemText(id, std::to_string(value));
    return 1;
  }
  long long v = 0;
  if (!ParseWhole(GetDlgItemText(id), &v) || v < static_cast<long long>(minValue) ||
      v > static_cast<long long>(maxValue))
    return Refuse(id, "Please enter an integer between " + std::to_string(minValue) + " and " +
                          std::to_string(maxValue) + ".");
  value = static_cast<unsigned>(v);
  return 1;
}
