#include "panels/ControlMap.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>

namespace {

QString CaptionOf(const QWidget* w) {
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
    return b->text();
  }
  if (auto* g = qobject_cast<const QGroupBox*>(w)) {
    return g->title();
  }
  if (auto* l = qobject_cast<const QLabel*>(w)) {
    return l->text();
  }
  return QString();
}

// Captions carry '&' mnemonics; accessible names do not.
QString Plain(QString text) {
  return text.remove(QLatin1Char('&'));
}

}  // namespace

void CControlMap::Register(int id, QWidget* w, const QString& accessibleName) {
  w->setProperty("ctrlId", id);
  w->setObjectName(QStringLiteral("ctrl%1").arg(id));
  w->setAccessibleName(accessibleName.isEmpty() ? Plain(CaptionOf(w)) : accessibleName);
  // A caption change renames the control unless it was named by a label.
  w->setProperty("ctrlNamedByCaption", accessibleName.isEmpty());
  m_controls[id] = w;
}

QWidget* CControlMap::Find(int id) const {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : it->second;
}

int CControlMap::Enable(int id, int enable) {
  QWidget* w = Find(id);
  if (w == nullptr) {
    return 0;
  }
  int was = w->isEnabled() ? 1 : 0;
  QWidget* focus = m_pOwner->window()->focusWidget();
  if (enable == 0 && was != 0 && focus != nullptr && (focus == w || w->isAncestorOf(focus))) {
    m_pOwner->setFocus(Qt::OtherFocusReason);
    m_nParkedFocus = id;
  }
  w->setEnabled(enable != 0);
  if (enable != 0 && m_nParkedFocus == id) {
    m_nParkedFocus = 0;
    if (m_pOwner->window()->focusWidget() == m_pOwner) {
      w->setFocus(Qt::OtherFocusReason);
    }
  }
  return was;
}

int CControlMap::IsEnabled(int id) const {
  QWidget* w = Find(id);
  return w != nullptr && w->isEnabled() ? 1 : 0;
}

void CControlMap::Show(int id, int show) {
  if (QWidget* w = Find(id)) {
    w->setVisible(show != 0);
  }
}

// The control's own visibility flag, as the dialog set it; whether its
// window is on screen does not matter.
int CControlMap::IsVisible(int id) const {
  QWidget* w = Find(id);
  return w != nullptr && !w->isHidden() ? 1 : 0;
}

void CControlMap::SetText(int id, const std::string& text) {
  QWidget* w = Find(id);
  if (w == nullptr) {
    return;
  }
  QString t = Qs(text);
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(t);
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    g->setTitle(t);
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(t);
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(t);
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    if (c->isEditable()) {
      c->setEditText(t);
    } else {
      c->setCurrentIndex(c->findText(t, Qt::MatchFixedString));
    }
  } else {
    return;
  }
  if (w->property("ctrlNamedByCaption").toBool()) {
    w->setAccessibleName(Plain(t));
  }
}

std::string CControlMap::GetText(int id) const {
  QWidget* w = Find(id);
  QString t;
  if (w == nullptr) {
    return std::string();
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    t = e->text();
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    t = c->currentText();
  } else {
    t = CaptionOf(w);
  }
  return t.toLocal8Bit().toStdString();
}

int CControlMap::IdOf(const QWidget* w) const {
  for (; w != nullptr && w != m_pOwner; w = w->parentWidget()) {
    QVariant v = w->property("ctrlId");
    if (v.isValid() && Find(v.toInt()) == w) {
      return v.toInt();
    }
  }
  return 0;
}

int CControlMap::FocusId() const {
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && focus == m_pOwner && m_nParkedFocus != 0) {
    return m_nParkedFocus;
  }
  return IdOf(focus);
}

void CControlMap::SetFocus(int id) {
  if (QWidget* w = Find(id)) {
    m_nParkedFocus = 0;
    w->setFocus(Qt::OtherFocusReason);
  }
}

QWidget* CControlMap::Framed(QGridLayout* grid, QGroupBox* box, int row, int col, int rowSpan,
                             int colSpan) {
  auto* content = new QWidget(grid->parentWidget());
  grid->addWidget(box, row, col, rowSpan, colSpan);
  grid->addWidget(content, row, col, rowSpan, colSpan);
  // Inside the frame's border, below its title.
  int top = box->fontMetrics().height() + 2;
  content->setContentsMargins(kFrameInset, top, kFrameInset, 4);
  return content;
}
