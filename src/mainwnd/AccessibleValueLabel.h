// CAccessibleValueLabel: a label that shows a value (the CRC read back,
// the transfer rate, the percent done, the repeat number, the MAC address).
// Its name stays the caption that says what the value is ("Read CRC"); the
// value ("1FB9") is its Value text and its text, so a screen reader can say
// both. A label is taken for a value label when the window registered it
// with a name of its own (see CControlMap).
//
// Threading: window thread only.
#pragma once

#include <QAccessibleWidget>

class QLabel;

class CAccessibleValueLabel : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit CAccessibleValueLabel(QLabel* label);

  QString text(QAccessible::Text t) const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  // QAccessibleTextInterface: the value, read only, no selection.
  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

 private:
  QString Value() const;
};
