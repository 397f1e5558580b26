#include "mainwnd/AccessibleValueLabel.h"

#include <QLabel>

CAccessibleValueLabel::CAccessibleValueLabel(QLabel* label)
    : QAccessibleWidget(label, QAccessible::StaticText) {}

QString CAccessibleValueLabel::Value() const {
  return static_cast<QLabel*>(widget())->text();
}

QString CAccessibleValueLabel::text(QAccessible::Text t) const {
  if (t == QAccessible::Value) {
    return Value();
  }
  return QAccessibleWidget::text(t);
}

void* CAccessibleValueLabel::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) {
    return static_cast<QAccessibleTextInterface*>(this);
  }
  return QAccessibleWidget::interface_cast(type);
}

void CAccessibleValueLabel::selection(int, int* startOffset, int* endOffset) const {
  *startOffset = 0;
  *endOffset = 0;
}

QString CAccessibleValueLabel::text(int startOffset, int endOffset) const {
  return Value().mid(startOffset, endOffset - startOffset);
}

int CAccessibleValueLabel::characterCount() const {
  return static_cast<int>(Value().size());
}

QRect CAccessibleValueLabel::characterRect(int) const {
  return rect();
}

QString CAccessibleValueLabel::attributes(int offset, int* startOffset, int* endOffset) const {
  *startOffset = offset;
  *endOffset = offset;
  return QString();
}
