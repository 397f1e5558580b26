#include "mainwnd/AccessibleCombo.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

CAccessibleCombo::CAccessibleCombo(QComboBox* combo)
    : QAccessibleWidget(combo, QAccessible::ComboBox) {}

QComboBox* CAccessibleCombo::Combo() const {
  return static_cast<QComboBox*>(widget());
}

QString CAccessibleCombo::text(QAccessible::Text t) const {
  if (t == QAccessible::Value) {
    return Combo()->currentText();
  }
  return QAccessibleWidget::text(t);  // the name is the list's label
}

int CAccessibleCombo::childCount() const {
  return Combo()->isEditable() && Combo()->lineEdit() != nullptr ? 2 : 1;
}

QAccessibleInterface* CAccessibleCombo::child(int index) const {
  if (index == 0) {
    return QAccessible::queryAccessibleInterface(Combo()->view());
  }
  if (index == 1 && childCount() == 2) {
    return QAccessible::queryAccessibleInterface(Combo()->lineEdit());
  }
  return nullptr;
}

int CAccessibleCombo::indexOfChild(const QAccessibleInterface* child) const {
  for (int i = 0; i < childCount(); ++i) {
    if (child != nullptr && this->child(i) == child) {
      return i;
    }
  }
  return -1;
}

QStringList CAccessibleCombo::actionNames() const {
  return QStringList{pressAction(), showMenuAction()} + QAccessibleWidget::actionNames();
}

void CAccessibleCombo::doAction(const QString& actionName) {
  if ((actionName == pressAction() || actionName == showMenuAction()) && Combo()->isEnabled()) {
    Combo()->showPopup();
    return;
  }
  QAccessibleWidget::doAction(actionName);
}
