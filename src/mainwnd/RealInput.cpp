#include "mainwnd/RealInput.h"

// Qt's headers first: Xlib defines Status and Bool as macros.
#include <QWidget>
#include <cmath>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

CRealInput::CRealInput() : m_pDisplay(XOpenDisplay(nullptr)) {}

CRealInput::~CRealInput() {
  if (m_pDisplay != nullptr) {
    XCloseDisplay(m_pDisplay);
  }
}

QPoint CRealInput::ClickCentre(const QWidget* w) {
  const QPoint centre = w->mapToGlobal(w->rect().center());
  ClickAt(centre, w);
  return centre;
}

void CRealInput::ClickAt(QPoint global, const QWidget* on) {
  const double ratio = on->devicePixelRatioF();  // X counts device pixels
  XTestFakeMotionEvent(m_pDisplay, -1, static_cast<int>(std::lround(global.x() * ratio)),
                       static_cast<int>(std::lround(global.y() * ratio)), CurrentTime);
  XTestFakeButtonEvent(m_pDisplay, 1, True, CurrentTime);
  XTestFakeButtonEvent(m_pDisplay, 1, False, CurrentTime);
  XFlush(m_pDisplay);
}

void CRealInput::KeyEvent(const char* name, bool down) {
  const KeyCode code = XKeysymToKeycode(m_pDisplay, XStringToKeysym(name));
  XTestFakeKeyEvent(m_pDisplay, code, down ? True : False, CurrentTime);
}

void CRealInput::Key(const char* key, std::initializer_list<const char*> modifiers) {
  for (const char* m : modifiers) {
    KeyEvent(m, true);
  }
  KeyEvent(key, true);
  KeyEvent(key, false);
  for (const char* m : modifiers) {
    KeyEvent(m, false);
  }
  XFlush(m_pDisplay);
}
