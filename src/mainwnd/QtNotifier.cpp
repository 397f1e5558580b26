#include "mainwnd/QtNotifier.h"

#include <QMessageBox>
#include <cstdio>

int CQtNotifier::Show(const QString& text, UINT type) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Sendrix"), text,
                  type == MB_OKCANCEL ? (QMessageBox::Ok | QMessageBox::Cancel) : QMessageBox::Ok,
                  m_pParent.data());
  return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
}

int CQtNotifier::MessageBox(const char* text, UINT type) {
  QString qtext = QString::fromLocal8Bit(text != nullptr ? text : "");
  int answer = IDCANCEL;
  if (!m_invoker.Call([&] { answer = Show(qtext, type); })) {
    std::fprintf(stderr, "%s\n", text != nullptr ? text : "");
    return IDCANCEL;
  }
  return answer;
}
