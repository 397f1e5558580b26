// CAccessibleHexList: a receive list (CHexListView) as a screen reader
// meets it: a table of one row per list row, with a "Hex" and an "ASCII"
// cell each (and a "Time" cell while the list shows its Time column), so
// what the printer answered can be read cell by cell. Cells are made when
// asked for (a list may hold millions of rows) and kept in a bounded cache;
// a cell out of view reports itself off screen.
//
// Threading: window thread only.
#pragma once

#include <QAccessibleWidget>
#include <cstdint>
#include <map>

class CHexListView;

class CAccessibleHexList : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit CAccessibleHexList(CHexListView* list);
  ~CAccessibleHexList() override;

  CHexListView* List() const;
  void* interface_cast(QAccessible::InterfaceType type) override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;

  // QAccessibleTableInterface: read only, nothing selectable.
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override;
  int selectedCellCount() const override { return 0; }
  QList<QAccessibleInterface*> selectedCells() const override { return {}; }
  QString columnDescription(int column) const override;
  int columnCount() const override;
  QString rowDescription(int row) const override;
  int rowCount() const override;
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return 0; }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override { return {}; }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int) const override { return false; }
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override {}

 private:
  static constexpr int kMaxColumns = 3;  // the cache's keys: row * 3 + column
  static constexpr size_t kMaxCachedCells = 4096;
  void DropCells() const;

  mutable std::map<std::uint64_t, QAccessible::Id> m_cells;
};
