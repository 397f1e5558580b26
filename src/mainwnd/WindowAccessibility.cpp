#include "mainwnd/WindowAccessibility.h"

#include <QComboBox>
#include <QLabel>

#include "mainwnd/AccessibleCombo.h"
#include "mainwnd/AccessibleHexList.h"
#include "mainwnd/AccessibleValueLabel.h"
#include "mainwnd/HexListView.h"

namespace {

QAccessibleInterface* WindowInterface(const QString&, QObject* object) {
  if (auto* list = qobject_cast<CHexListView*>(object)) {
    return new CAccessibleHexList(list);
  }
  // Only the controls the window registered by ID (see CControlMap).
  if (object == nullptr || !object->property("ctrlId").isValid()) {
    return nullptr;
  }
  if (auto* combo = qobject_cast<QComboBox*>(object)) {
    return new CAccessibleCombo(combo);
  }
  auto* label = qobject_cast<QLabel*>(object);
  if (label != nullptr && !label->property("ctrlNamedByCaption").toBool()) {
    return new CAccessibleValueLabel(label);
  }
  return nullptr;
}

}  // namespace

void InstallWindowAccessibility() {
  static bool installed = false;
  if (!installed) {
    installed = true;
    QAccessible::installFactory(WindowInterface);
  }
}
