// CRealInput (tests only): the real pointer and keyboard of the X server
// the test runs on, driven through XTest as a person's hands would drive
// them: the events go through the server to whichever window is under the
// pointer or holds the focus, never straight to a chosen widget.
//
// Threading: the test's thread. Each call flushes its events and returns
// without waiting for Qt to take them (the caller waits for the effect).
#pragma once

#include <QPoint>
#include <initializer_list>

class QWidget;
typedef struct _XDisplay Display;

class CRealInput {
 public:
  CRealInput();  // the display named by $DISPLAY
  ~CRealInput();
  CRealInput(const CRealInput&) = delete;
  CRealInput& operator=(const CRealInput&) = delete;

  bool IsOpen() const { return m_pDisplay != nullptr; }
  // A left click at the centre of w's on-screen rectangle; returns that
  // point in Qt's (device-independent) screen coordinates.
  QPoint ClickCentre(const QWidget* w);
  // A left click at `global` (Qt's screen coordinates; `on` gives the
  // screen's pixel ratio), e.g. at a menu entry or a list row.
  void ClickAt(QPoint global, const QWidget* on);
  // Presses and releases the keys named by X keysym names ("Return",
  // "p"), holding the modifiers ("Alt_L") around them.
  void Key(const char* key, std::initializer_list<const char*> modifiers = {});

 private:
  void KeyEvent(const char* name, bool down);

  Display* m_pDisplay;
};
