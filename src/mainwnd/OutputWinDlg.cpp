#include "mainwnd/OutputWinDlg.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

COutputWinDlg::COutputWinDlg(QWidget* parent)
    : QWidget(parent, Qt::Window), m_pEdit(new QPlainTextEdit(this)) {
  setWindowTitle("Communication properties");
  setAccessibleName("Communication properties");
  QFont font("Lucida Console", 10);
  if (!QFontDatabase::hasFamily("Lucida Console")) {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
  }
  m_pEdit->setFont(font);
  m_pEdit->setReadOnly(true);
  m_pEdit->setUndoRedoEnabled(false);
  m_pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_pEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_pEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_pEdit->setObjectName("propertiesText");
  m_pEdit->setAccessibleName("Port properties");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_pEdit);
  resize(700, 500);
  move(50, 50);
}

int COutputWinDlg::TextLength() const {
  return m_pEdit->document()->characterCount() - 1;  // less the closing separator
}

QString COutputWinDlg::Text() const {
  return m_pEdit->toPlainText();
}

void COutputWinDlg::AppendText(const QString& text) {
  QTextCursor cursor(m_pEdit->document());
  if (TextLength() > kTrimAbove) {
    cursor.setPosition(0);
    cursor.setPosition(kTrimCount, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
  QString piece = text;
  piece.remove(QLatin1Char('\r'));
  const int room = kLimit - TextLength();
  if (piece.size() > room)
    piece.truncate(room > 0 ? room : 0);
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(piece);
  m_pEdit->setTextCursor(cursor);
  m_pEdit->ensureCursorVisible();
}

void COutputWinDlg::ClearText() {
  m_pEdit->clear();
}

void COutputWinDlg::ShowWindow(int show) {
  if (show == 0) {
    hide();
    return;
  }
  showNormal();
  raise();
  activateWindow();
  QTextCursor cursor = m_pEdit->textCursor();
  cursor.clearSelection();
  m_pEdit->setTextCursor(cursor);
  m_pEdit->ensureCursorVisible();
}

void COutputWinDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
}

void COutputWinDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    hide();
    return;
  }
  QWidget::keyPressEvent(event);
}
