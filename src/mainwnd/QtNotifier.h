// Message boxes as QMessageBox, owned by the window.
//
// On the window thread the box is shown at once (modal, its own event loop).
// From another thread the call is carried to the window thread and waits for
// the user's answer; once the notifier is closed (the window is going away)
// such a call returns IDCANCEL at once and the text goes to stderr instead,
// so a worker never waits on a window that no longer exists.
//
// Threading: construct, SetParent, Close and destroy on the window thread;
// MessageBox from any thread while the notifier is installed.
#pragma once

#include <QPointer>
#include <QWidget>

#include "mainwnd/GuiInvoker.h"
#include "platform/Notifier.h"

class CQtNotifier : public INotifier {
 public:
  CQtNotifier() = default;
  void SetParent(QWidget* parent) { m_pParent = parent; }
  int MessageBox(const char* text, UINT type) override;
  void Close() { m_invoker.Close(); }

 private:
  int Show(const QString& text, UINT type);

  QPointer<QWidget> m_pParent;
  CGuiInvoker m_invoker;
};
