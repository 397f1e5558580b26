// CFrameBox: a titled group box that frames the controls inside it (they
// are its children) but whose own enabled state is only its title's look.
// The window's rules enable a frame and each of its controls one by one, so
// greying the frame must not disable what it holds; SetFrameEnabled greys
// the title and border and leaves the children alone.
//
// Threading: window thread only.
#pragma once

#include <QGroupBox>

class CFrameBox : public QGroupBox {
  Q_OBJECT

 public:
  explicit CFrameBox(const QString& title, QWidget* parent = nullptr) : QGroupBox(title, parent) {}

  void SetFrameEnabled(bool enabled);
  bool IsFrameEnabled() const { return m_bEnabled; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_bEnabled = true;
};
