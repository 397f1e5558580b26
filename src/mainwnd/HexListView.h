// CHexListView: one receive list (data or USM), a two-column hex dump
// ("Hex", "ASCII") of the bytes appended to it. The header spans the list:
// ASCII as wide as 16 characters, Hex the rest (at least a whole row).
//
// Scale: the view keeps only the rows' breaks (CHexRows) and paints the
// visible rows from the bytes' store, formatting a row's texts when it is
// painted. There is no item or widget per row; with a file-backed store
// (SetStore) memory stays the same at any length, appending a block costs
// time in proportion to the block, and a jump to any row costs one read. The
// vertical scroll bar counts rows. A row whose bytes the store cannot read
// back is left blank.
//
// Following: while the last row is in view (the scroll bar at its end), each
// append keeps it in view; once the user has scrolled away, appends keep the
// user's place (rows are only ever added at the end).
//
// Cost of a fast stream: appends between HoldView and ReleaseView (a poll
// that takes many blocks) only add rows; the scroll bars and the place
// follow once, at the release. The repaint that appends cause (the rows in
// view and the vertical scroll bar) comes at most every kAppendRepaintMs: a
// stream that floods the list repaints it 25 times a second, not after
// every poll, while the scroll bar's range and value, the place and the
// rows are up to date at once. The first repaint after a pause comes at
// once, and scrolling, resizing and focus repaint at once as before.
//
// Time column: off unless SetRowLabel gives a source. Then a "Time" column
// stands before Hex, its text for each row asked of the source when the row
// is painted (from the row's first byte offset and byte count), so the view
// stores nothing per row for it and the rows stay the same byte ranges.
//
// Focus: a focus frame is drawn inside the viewport while the list has the
// keyboard focus, as every other Tab stop shows one.
//
// Threading: a widget; the window's thread only.
#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QStandardItemModel>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "codec/HexRows.h"

class QHeaderView;

class CHexListView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  CHexListView(const QString& hexTitle, const QString& asciiTitle, QWidget* parent = nullptr);

  static constexpr int kAppendRepaintMs = 40;

  // Adds bytes to the last row and new rows after it.
  void Append(const BYTE* bytes, size_t length);
  // Adds bytes its store's file holds already (CHexRows::AppendHeld); false,
  // adding nothing, when it cannot.
  bool AppendHeld(size_t length);
  // Appends until the matching ReleaseView grow the rows only; the release
  // brings the scroll bars and the place up to date (calls may nest).
  void HoldView();
  void ReleaseView();
  // The next byte starts a new row (the line counter back to 0).
  void BreakRow();
  // Deletes every row.
  void Clear();
  // Reads the rows from `store` from now on, starting empty (CHexRows).
  void SetStore(std::unique_ptr<IByteStore> store);
  // The "Time" column's text of a row: (first byte's offset, byte count).
  using RowLabel = std::function<QString(std::uint64_t firstByte, int count)>;
  // Shows the column with `label` as its source; an empty one hides it.
  void SetRowLabel(RowLabel label);
  bool HasRowLabel() const { return static_cast<bool>(m_fnRowLabel); }
  // The column's text of `row`; empty without a source or past the end.
  QString RowLabelText(std::uint64_t row) const;

  const CHexRows& Rows() const { return m_rows; }
  std::uint64_t RowCount() const { return m_rows.RowCount(); }
  int LineCounter() const { return m_rows.LineCounter(); }
  // The first row in view and how many rows fit.
  std::uint64_t FirstVisibleRow() const;
  int VisibleRows() const;
  // True while appends keep the last row in view.
  bool IsFollowing() const;
  QHeaderView* Header() const { return m_pHeader; }
  // Where column 0 (hex), 1 (ASCII) or 2 (Time, when shown) of `row` is painted, in viewport
  // coordinates; a null rectangle when the row is out of view.
  QRect CellRect(std::uint64_t row, int column) const;
  // Room for a whole row's columns and a few rows.
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool viewportEvent(QEvent* event) override;

 private:
  // Runs add (which appends to m_rows), then follows or keeps the place,
  // unless the view is held (ShowGrowth does it at the release).
  template <typename Add>
  void Grow(Add add);
  void ShowGrowth();
  // Whether kAppendRepaintMs have passed since appends last repainted.
  bool AppendRepaintDue() const;
  // Repaints the scroll bar and, when rows in view changed, the rows.
  void RepaintAfterAppends();
  void UpdateScrollBars();
  void PlaceHeader();
  int ColumnWidth(int chars) const;
  int TimeColumnWidth() const;

  CHexRows m_rows;
  QStandardItemModel m_headerModel;
  QHeaderView* m_pHeader;
  int m_nRowHeight = 1;
  RowLabel m_fnRowLabel;
  // Growth not shown yet: whether the view followed and what it showed
  // before the first append of it.
  int m_nHolds = 0;
  bool m_bGrown = false;
  bool m_bFollowedBefore = false;
  std::uint64_t m_nRowsBefore = 0;
  std::uint64_t m_nFirstBefore = 0;
  bool m_bFollowingGrowth = false;  // ShowGrowth is moving the scroll bar
  bool m_bViewStale = false;        // rows in view changed since the last repaint
  QElapsedTimer m_lastAppendRepaint;
  QTimer m_appendRepaint;
};
