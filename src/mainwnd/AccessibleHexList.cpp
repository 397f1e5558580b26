#include "mainwnd/AccessibleHexList.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <algorithm>
#include <climits>

#include "mainwnd/AccessibleHexCell.h"
#include "mainwnd/HexListView.h"

CAccessibleHexList::CAccessibleHexList(CHexListView* list)
    : QAccessibleWidget(list, QAccessible::Table) {}

CAccessibleHexList::~CAccessibleHexList() {
  DropCells();
}

CHexListView* CAccessibleHexList::List() const {
  return static_cast<CHexListView*>(widget());
}

void CAccessibleHexList::DropCells() const {
  for (const auto& [key, id] : m_cells) {
    QAccessible::deleteAccessibleInterface(id);
  }
  m_cells.clear();
}

void* CAccessibleHexList::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TableInterface) {
    return static_cast<QAccessibleTableInterface*>(this);
  }
  return QAccessibleWidget::interface_cast(type);
}

int CAccessibleHexList::columnCount() const {
  return List()->HasRowLabel() ? kMaxColumns : kMaxColumns - 1;
}

int CAccessibleHexList::rowCount() const {
  // Children are counted in an int: up to three cells a row.
  return static_cast<int>(std::min<std::uint64_t>(List()->RowCount(), INT_MAX / kMaxColumns));
}

int CAccessibleHexList::childCount() const {
  return rowCount() * columnCount();
}

QAccessibleInterface* CAccessibleHexList::child(int index) const {
  const int columns = columnCount();
  return index < 0 ? nullptr : cellAt(index / columns, index % columns);
}

int CAccessibleHexList::indexOfChild(const QAccessibleInterface* child) const {
  const auto* cell =
      child != nullptr ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
  if (cell == nullptr || cell->table() != this) {
    return -1;
  }
  return cell->rowIndex() * columnCount() + cell->columnIndex();
}

QAccessibleInterface* CAccessibleHexList::childAt(int x, int y) const {
  CHexListView* list = List();
  const QPoint at = list->viewport()->mapFromGlobal(QPoint(x, y));
  const std::uint64_t first = list->FirstVisibleRow();
  for (int i = 0; i <= list->VisibleRows(); ++i) {
    for (int c = 0; c < columnCount(); ++c) {
      if (list->CellRect(first + static_cast<std::uint64_t>(i), c).contains(at)) {
        return cellAt(static_cast<int>(first) + i, c);
      }
    }
  }
  return QAccessibleWidget::childAt(x, y);
}

QAccessibleInterface* CAccessibleHexList::cellAt(int row, int column) const {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
    return nullptr;
  }
  const std::uint64_t key = static_cast<std::uint64_t>(row) * kMaxColumns + column;
  auto it = m_cells.find(key);
  if (it != m_cells.end()) {
    return QAccessible::accessibleInterface(it->second);
  }
  if (m_cells.size() >= kMaxCachedCells) {
    DropCells();
  }
  auto* cell = new CAccessibleHexCell(List(), static_cast<std::uint64_t>(row), column);
  m_cells[key] = QAccessible::registerAccessibleInterface(cell);
  return cell;
}

QString CAccessibleHexList::columnDescription(int column) const {
  auto* model = qobject_cast<QStandardItemModel*>(List()->Header()->model());
  return model != nullptr ? model->headerData(column, Qt::Horizontal).toString() : QString();
}

QString CAccessibleHexList::rowDescription(int row) const {
  return QString::number(row + 1);
}
