#include "panels/DataExchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

#include "platform/Notifier.h"

namespace ddx {

void Radio(CControlMap& map, std::initializer_list<int> ids, int& value, int save) {
  int index = 0;
  if (save) {
    value = -1;
    for (int id : ids) {
      auto* b = map.Get<QAbstractButton>(id);
      if (b != nullptr && b->isChecked()) {
        value = index;
        break;
      }
      ++index;
    }
    return;
  }
  for (int id : ids) {
    if (auto* b = map.Get<QRadioButton>(id)) {
      const QSignalBlocker quiet(b);
      // An exclusive radio cannot be cleared directly; -1 clears them all.
      QButtonGroup* group = b->group();
      const bool exclusive = group != nullptr && group->exclusive();
      if (exclusive)
        group->setExclusive(false);
      b->setAutoExclusive(false);
      b->setChecked(index == value);
      b->setAutoExclusive(true);
      if (exclusive)
        group->setExclusive(true);
    }
    ++index;
  }
}

void Check(CControlMap& map, int id, int& value, int save) {
  auto* b = map.Get<QAbstractButton>(id);
  if (b == nullptr) {
    return;
  }
  if (save) {
    value = b->isChecked() ? 1 : 0;
  } else {
    const QSignalBlocker quiet(b);
    b->setChecked(value != 0);
  }
}

void ComboIndex(CControlMap& map, int id, int& index, int save) {
  auto* c = map.Get<QComboBox>(id);
  if (c == nullptr) {
    return;
  }
  if (save) {
    index = c->currentIndex();
  } else {
    const QSignalBlocker quiet(c);
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
  }
}

void Text(CControlMap& map, int id, std::string& value, int save) {
  if (save) {
    value = map.GetText(id);
  } else {
    map.SetText(id, value);
  }
}

namespace {

int Refuse(CControlMap& map, int id, const std::string& message) {
  AfxMessageBox(message.c_str(), MB_OK);
  map.SetFocus(id);
  if (auto* e = map.Get<QLineEdit>(id)) {
    e->selectAll();
  }
  return 0;
}

}  // namespace

int Int(CControlMap& map, int id, int& value, int save) {
  if (!save) {
    map.SetText(id, std::to_string(value));
    return 1;
  }
  bool ok = false;
  int v = Qs(map.GetText(id)).trimmed().toInt(&ok, 10);
  if (!ok) {
    return Refuse(map, id, "Please enter an integer.");
  }
  value = v;
  return 1;
}

int UInt(CControlMap& map, int id, unsigned& value, unsigned minValue, unsigned maxValue,
         int save) {
  if (!save) {
    map.SetText(id, std::to_string(value));
    return 1;
  }
  bool ok = false;
  qulonglong v = Qs(map.GetText(id)).trimmed().toULongLong(&ok, 10);
  if (!ok || v < minValue || v > maxValue) {
    return Refuse(map, id,
                  "Please enter an integer between " + std::to_string(minValue) + " and " +
                      std::to_string(maxValue) + ".");
  }
  value = static_cast<unsigned>(v);
  return 1;
}

}  // namespace ddx
