// CAccessibleCombo: what a screen reader meets in a drop-down list of the
// window. Its name is the label that names the list ("Baud Rate"), its value
// the entry chosen ("115200"); Qt's own interface names a list by its value
// on Linux, so "115200" could not be told from the list's purpose. The list
// of entries and, for an editable list, its edit box are its children; the
// press and show-menu actions open the list as a click does.
//
// Threading: window thread only (as every accessible interface).
#pragma once

#include <QAccessibleWidget>

class QComboBox;

class CAccessibleCombo : public QAccessibleWidget {
 public:
  explicit CAccessibleCombo(QComboBox* combo);

  QString text(QAccessible::Text t) const override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QStringList actionNames() const override;
  void doAction(const QString& actionName) override;

 private:
  QComboBox* Combo() const;
};
