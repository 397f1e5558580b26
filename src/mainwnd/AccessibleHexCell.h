// CAccessibleHexCell: one cell of a receive list's accessible table
// (CAccessibleHexList): the hex text or the ASCII text of one row.
//
// Threading: window thread only.
#pragma once

#include <QAccessible>
#include <QPointer>
#include <cstdint>

class CAccessibleHexList;
class CHexListView;

class CAccessibleHexCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  CAccessibleHexCell(CHexListView* list, std::uint64_t row, int column);

  bool isValid() const override { return !m_pList.isNull(); }
  QObject* object() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override;
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override;
  QAccessible::Role role() const override { return QAccessible::Cell; }
  QAccessible::State state() const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  // QAccessibleTableCellInterface
  bool isSelected() const override { return false; }
  QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return m_nColumn; }
  int rowIndex() const override { return static_cast<int>(m_nRow); }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

 private:
  QPointer<CHexListView> m_pList;
  std::uint64_t m_nRow;
  int m_nColumn;
};
