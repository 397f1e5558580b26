// The splash window: a caption-less popup (368 x 65 dialog units) showing the
// splash picture. Shown for a fixed time while the window is being built,
// only when the program has no command line.
// Threading: window thread only.
#pragma once

#include <QWidget>

class CSplashWnd : public QWidget {
 public:
  CSplashWnd();
  // Shows a splash, keeps it painted for ms milliseconds, then destroys it.
  static void ShowFor(int ms);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
