// COutputWinDlg: the output window's top-level widget, "Communication
// properties": one read-only multi-line text with both scroll bars, in
// Lucida Console 10 point (the platform's fixed font when that is missing),
// 700 x 500 pixels at (50, 50), hidden until shown.
//
// Text limit: 0x80000 characters. An append that finds more than the limit
// less 2048 characters first deletes the first 8192; what still does not fit
// under the limit is cut off the end of the appended text.
//
// Closing (the close button or Escape) hides the window; it is destroyed only
// by its owner (COutputWindow).
//
// Threading: a widget; its own (the GUI) thread only. Other threads go
// through COutputWindow.
#pragma once

#include <QWidget>

class QPlainTextEdit;

class COutputWinDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kLimit = 0x80000;
  static constexpr int kTrimAbove = kLimit - 2048;
  static constexpr int kTrimCount = 8192;

  explicit COutputWinDlg(QWidget* parent = nullptr);

  void AppendText(const QString& text);
  void ClearText();
  // 0 hides; otherwise brings the window to the front, shown normally, with
  // no selection and the caret scrolled into view.
  void ShowWindow(int show);
  int TextLength() const;
  QString Text() const;
  QPlainTextEdit* Edit() const { return m_pEdit; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QPlainTextEdit* m_pEdit;
};
