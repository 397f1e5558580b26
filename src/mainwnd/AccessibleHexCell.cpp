#include "mainwnd/AccessibleHexCell.h"

#include <string>

#include "mainwnd/HexListView.h"

CAccessibleHexCell::CAccessibleHexCell(CHexListView* list, std::uint64_t row, int column)
    : m_pList(list), m_nRow(row), m_nColumn(column) {}

QAccessibleInterface* CAccessibleHexCell::parent() const {
  return QAccessible::queryAccessibleInterface(m_pList.data());
}

QString CAccessibleHexCell::text(QAccessible::Text t) const {
  std::string hex, ascii;
  if ((t != QAccessible::Name && t != QAccessible::Value) || m_pList.isNull() ||
      !m_pList->Rows().RowText(m_nRow, &hex, &ascii)) {
    return QString();
  }
  if (m_nColumn == 2) {
    return m_pList->RowLabelText(m_nRow);
  }
  return QString::fromLatin1((m_nColumn == 0 ? hex : ascii).c_str()).trimmed();
}

QRect CAccessibleHexCell::rect() const {
  if (m_pList.isNull()) {
    return QRect();
  }
  const QRect cell = m_pList->CellRect(m_nRow, m_nColumn);
  return cell.isNull() ? QRect() : cell.translated(m_pList->viewport()->mapToGlobal(QPoint(0, 0)));
}

QAccessible::State CAccessibleHexCell::state() const {
  QAccessible::State s;
  s.readOnly = true;
  if (m_pList.isNull() || m_pList->CellRect(m_nRow, m_nColumn).isNull()) {
    s.invisible = true;
    s.offscreen = true;
  }
  return s;
}

void* CAccessibleHexCell::interface_cast(QAccessible::InterfaceType type) {
  return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                 : nullptr;
}
