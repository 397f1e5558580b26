#include "mainwnd/QtNotifier.h"

#include <QMessageBox>
#include <cstdio>

namespace {

QMessageBox::Icon IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONWARNING:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return (type & MB_TYPEMASK) == MB_OKCANCEL ? QMessageBox::Question : QMessageBox::Warning;
  }
}

}  // namespace

int CQtNotifier::Show(const QString& text, UINT type) {
  const bool okCancel = (type & MB_TYPEMASK) == MB_OKCANCEL;
  QMessageBox box(IconOf(type), QStringLiteral("Sendrix"), text,
                  okCancel ? (QMessageBox::Ok | QMessageBox::Cancel) : QMessageBox::Ok,
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
