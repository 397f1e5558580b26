#include "mainwnd/HexListView.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

namespace {

constexpr int kTextMargin = 4;
// The header's sections: Hex and ASCII keep their numbers; Time, when
// shown, is moved before them.
constexpr int kTimeSection = 2;
// "HH:MM:SS.mmm" and a mark for a row where another block starts.
constexpr int kTimeChars = 14;

QFont ListFont() {
  QFont font("Lucida Console");
  if (!QFontDatabase::hasFamily("Lucida Console"))
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::Monospace);
  return font;
}

}  // namespace

CHexListView::CHexListView(const QString& hexTitle, const QString& asciiTitle, QWidget* parent)
    : QAbstractScrollArea(parent), m_headerModel(0, 3), m_pHeader(nullptr) {
  m_headerModel.setHorizontalHeaderLabels({hexTitle, asciiTitle, tr("Time")});
  m_pHeader = new QHeaderView(Qt::Horizontal, this);
  m_pHeader->setModel(&m_headerModel);
  m_pHeader->moveSection(kTimeSection, 0);
  m_pHeader->hideSection(kTimeSection);
  m_pHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_pHeader->setSectionResizeMode(QHeaderView::Fixed);  // PlaceHeader fits them
  m_pHeader->setStretchLastSection(false);
  m_pHeader->setAccessibleName(hexTitle + " / " + asciiTitle);
  connect(m_pHeader, &QHeaderView::sectionResized, this, [this] {
    UpdateScrollBars();
    viewport()->update();
  });
  setFont(ListFont());
  m_nRowHeight = fontMetrics().height() + 2;
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  verticalScrollBar()->setAccessibleName(hexTitle + " scroll bar");
  m_appendRepaint.setSingleShot(true);
  connect(&m_appendRepaint, &QTimer::timeout, this, [this] { RepaintAfterAppends(); });
  PlaceHeader();
  UpdateScrollBars();
}

template <typename Add>
void CHexListView::Grow(Add add) {
  if (!m_bGrown) {
    m_bGrown = true;
    m_bFollowedBefore = IsFollowing();
    m_nRowsBefore = m_rows.RowCount();
    m_nFirstBefore = FirstVisibleRow();
  }
  add();
  if (m_nHolds == 0)
    ShowGrowth();
}

void CHexListView::ShowGrowth() {
  if (!m_bGrown)
    return;
  m_bGrown = false;
  // Between repaints the scroll bar takes the new range without painting it.
  const bool paintNow = !m_appendRepaint.isActive() && AppendRepaintDue();
  if (!paintNow)
    verticalScrollBar()->setUpdatesEnabled(false);
  UpdateScrollBars();
  if (m_bFollowedBefore) {
    m_bFollowingGrowth = true;
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_bFollowingGrowth = false;
  }
  // Rows changed in view, unless they are all below it.
  m_bViewStale = m_bViewStale || m_bFollowedBefore ||
                 m_nRowsBefore <= m_nFirstBefore + static_cast<std::uint64_t>(VisibleRows());
  if (paintNow)
    RepaintAfterAppends();
  else if (!m_appendRepaint.isActive())
    m_appendRepaint.start(static_cast<int>(kAppendRepaintMs - m_lastAppendRepaint.elapsed()));
}

bool CHexListView::AppendRepaintDue() const {
  return !m_lastAppendRepaint.isValid() || m_lastAppendRepaint.elapsed() >= kAppendRepaintMs;
}

void CHexListView::RepaintAfterAppends() {
  m_lastAppendRepaint.start();
  verticalScrollBar()->setUpdatesEnabled(true);  // repaints it when it was off
  if (m_bViewStale)
    viewport()->update();
  m_bViewStale = false;
}

void CHexListView::HoldView() {
  ++m_nHolds;
}

void CHexListView::ReleaseView() {
  if (m_nHolds > 0 && --m_nHolds == 0)
    ShowGrowth();
}

void CHexListView::Append(const BYTE* bytes, size_t length) {
  if (length > 0)
    Grow([&] { m_rows.Append(bytes, length); });
}

bool CHexListView::AppendHeld(size_t length) {
  bool added = length == 0;
  if (!added)
    Grow([&] { added = m_rows.AppendHeld(length); });
  return added;
}

void CHexListView::BreakRow() {
  m_rows.BreakRow();
}

void CHexListView::Clear() {
  m_bGrown = false;
  m_rows.Clear();
  UpdateScrollBars();
  verticalScrollBar()->setValue(0);
  viewport()->update();
}

void CHexListView::SetStore(std::unique_ptr<IByteStore> store) {
  m_bGrown = false;
  m_rows.SetStore(std::move(store));
  UpdateScrollBars();
  verticalScrollBar()->setValue(0);
  viewport()->update();
}

void CHexListView::SetRowLabel(RowLabel label) {
  m_fnRowLabel = std::move(label);
  m_pHeader->setSectionHidden(kTimeSection, !m_fnRowLabel);
  PlaceHeader();
  UpdateScrollBars();
  updateGeometry();
  viewport()->update();
}

QString CHexListView::RowLabelText(std::uint64_t row) const {
  if (!m_fnRowLabel || row >= m_rows.RowCount())
    return QString();
  int count = 0;
  const std::uint64_t first = m_rows.RowOffset(row, &count);
  return m_fnRowLabel(first, count);
}

std::uint64_t CHexListView::FirstVisibleRow() const {
  return static_cast<std::uint64_t>(verticalScrollBar()->value());
}

int CHexListView::VisibleRows() const {
  return std::max(1, viewport()->height() / m_nRowHeight);
}

bool CHexListView::IsFollowing() const {
  return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void CHexListView::UpdateScrollBars() {
  const std::uint64_t rows = m_rows.RowCount();
  const int page = VisibleRows();
  const std::uint64_t maximum = rows > static_cast<std::uint64_t>(page) ? rows - page : 0;
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, static_cast<int>(std::min<std::uint64_t>(maximum, INT32_MAX)));
  v->setPageStep(page);
  v->setSingleStep(1);
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, m_pHeader->length() - viewport()->width()));
  h->setPageStep(viewport()->width());
  h->setSingleStep(20);
}

int CHexListView::ColumnWidth(int chars) const {
  return fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + 2 * kTextMargin;
}

int CHexListView::TimeColumnWidth() const {
  return m_fnRowLabel ? ColumnWidth(kTimeChars) : 0;
}

// The header spans the list: ASCII keeps room for 16 characters, Time (when
// shown) for its text, Hex takes the rest but never less than a whole row's
// text (the list then scrolls).
void CHexListView::PlaceHeader() {
  const int headerHeight = m_pHeader->sizeHint().height();
  setViewportMargins(0, headerHeight, 0, 0);
  const QRect area = viewport()->geometry();
  m_pHeader->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
  const int ascii = ColumnWidth(CHexRows::kRowBytes);
  const int time = TimeColumnWidth();
  m_pHeader->resizeSection(1, ascii);
  if (time > 0)
    m_pHeader->resizeSection(kTimeSection, time);
  m_pHeader->resizeSection(0,
                           std::max(ColumnWidth(CHexRows::kHexChars), area.width() - ascii - time));
}

QSize CHexListView::sizeHint() const {
  const int frame = 2 * frameWidth();
  return QSize(TimeColumnWidth() + ColumnWidth(CHexRows::kHexChars) +
                   ColumnWidth(CHexRows::kRowBytes) + frame +
                   verticalScrollBar()->sizeHint().width(),
               m_pHeader->sizeHint().height() + 6 * m_nRowHeight + frame);
}

void CHexListView::resizeEvent(QResizeEvent* event) {
  const bool follow = IsFollowing();
  QAbstractScrollArea::resizeEvent(event);
  PlaceHeader();
  UpdateScrollBars();
  if (follow)
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CHexListView::scrollContentsBy(int dx, int dy) {
  if (dx != 0)
    m_pHeader->setOffset(horizontalScrollBar()->value());
  (void)dy;
  if (!m_bFollowingGrowth)  // else the growth repaints, at its own pace
    viewport()->update();
}

bool CHexListView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange && m_pHeader != nullptr) {
    m_nRowHeight = fontMetrics().height() + 2;
    PlaceHeader();
    UpdateScrollBars();
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void CHexListView::keyPressEvent(QKeyEvent* event) {
  QScrollBar* v = verticalScrollBar();
  switch (event->key()) {
    case Qt::Key_Up:
      v->triggerAction(QAbstractSlider::SliderSingleStepSub);
      break;
    case Qt::Key_Down:
      v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      break;
    case Qt::Key_PageUp:
      v->triggerAction(QAbstractSlider::SliderPageStepSub);
      break;
    case Qt::Key_PageDown:
      v->triggerAction(QAbstractSlider::SliderPageStepAdd);
      break;
    case Qt::Key_Home:
      v->triggerAction(QAbstractSlider::SliderToMinimum);
      break;
    case Qt::Key_End:
      v->triggerAction(QAbstractSlider::SliderToMaximum);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

QRect CHexListView::CellRect(std::uint64_t row, int column) const {
  const std::uint64_t first = FirstVisibleRow();
  if (row < first || row >= first + static_cast<std::uint64_t>(VisibleRows()) ||
      row >= m_rows.RowCount() || column < 0 || column > (HasRowLabel() ? kTimeSection : 1)) {
    return QRect();
  }
  const int x = m_pHeader->sectionPosition(column) - horizontalScrollBar()->value();
  const int y = static_cast<int>(row - first) * m_nRowHeight;
  return QRect(x, y, m_pHeader->sectionSize(column), m_nRowHeight);
}

void CHexListView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void CHexListView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void CHexListView::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter painter(viewport());
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::Text));
  const int ascent = fontMetrics().ascent() + 1;
  const int shift = -horizontalScrollBar()->value();
  const int hexX = shift + m_pHeader->sectionPosition(0) + kTextMargin;
  const int asciiX = shift + m_pHeader->sectionPosition(1) + kTextMargin;
  const int timeX = shift + m_pHeader->sectionPosition(kTimeSection) + kTextMargin;
  const std::uint64_t first = FirstVisibleRow();
  const int rows = VisibleRows() + 1;
  BYTE bytes[CHexRows::kRowBytes];
  char hex[CHexRows::kHexChars + 1];
  char ascii[CHexRows::kRowBytes + 1];
  const std::uint64_t end = std::min(m_rows.RowCount(), first + static_cast<std::uint64_t>(rows));
  for (int i = 0; first + static_cast<std::uint64_t>(i) < end; ++i) {
    const int count = m_rows.RowBytes(first + static_cast<std::uint64_t>(i), bytes);
    if (count == 0)
      continue;
    CHexRows::FormatRow(bytes, count, hex, ascii);
    const int y = i * m_nRowHeight + ascent;
    painter.drawText(hexX, y, QString::fromLatin1(hex));
    painter.drawText(asciiX, y, QString::fromLatin1(ascii));
    if (m_fnRowLabel)
      painter.drawText(timeX, y, RowLabelText(first + static_cast<std::uint64_t>(i)));
  }
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.state |= QStyle::State_KeyboardFocusChange;  // a pointer focus shows it too
    focus.rect = viewport()->rect().adjusted(1, 1, -1, -1);
    focus.backgroundColor = palette().color(QPalette::Base);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}
