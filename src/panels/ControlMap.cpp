#include "panels/ControlMap.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVariant>
#include <algorithm>

#include "panels/FrameBox.h"

namespace {

constexpr char16_t kEscapedByte = 0xDC00;  // + the byte, 0x80..0xFF

bool IsEscapedByte(QChar c) {
  return c.unicode() >= kEscapedByte + 0x80 && c.unicode() <= kEscapedByte + 0xFF;
}

// Length of the well-formed UTF-8 sequence at s[i], or 0.
std::size_t Utf8SequenceAt(const std::string& s, std::size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  const std::size_t n = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (n == 0 || i + n > s.size())
    return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
      return 0;
  }
  // The decoder's own check catches overlong forms and encoded surrogates.
  const QString decoded = QString::fromUtf8(s.data() + i, static_cast<qsizetype>(n));
  return decoded.contains(QChar::ReplacementCharacter) ? 0 : n;
}

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

// The letter a caption's '&' marks, lower case; null when none.
QChar MnemonicOf(const QString& caption) {
  const int at = caption.indexOf(QLatin1Char('&'));
  return at >= 0 && at + 1 < caption.size() ? caption.at(at + 1).toLower() : QChar();
}

bool HoldsFocusStop(const QWidget* w) {
  for (const QWidget* child : w->findChildren<QWidget*>()) {
    if ((child->focusPolicy() & Qt::TabFocus) != 0) {
      return true;
    }
  }
  return false;
}

bool SetCaption(QWidget* w, const QString& text) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(text);
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    g->setTitle(text);
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(text);
  } else {
    return false;
  }
  return true;
}

}  // namespace

// Two captions of one dialog marking the same letter would make Alt+letter
// cycle between them: the later one marks its first letter still free.
QString CControlMap::UniqueMnemonic(const QWidget* w, const QString& caption) const {
  const QChar letter = MnemonicOf(caption);
  if (letter.isNull()) {
    return caption;
  }
  // A frame's mnemonic moves the focus into it: one holding only lamps and
  // labels gets none, as its key would do nothing.
  auto* frame = qobject_cast<const QGroupBox*>(w);
  if (frame != nullptr && !frame->children().isEmpty() && !HoldsFocusStop(frame)) {
    return Plain(caption);
  }
  QString used;
  for (const auto& [id, other] : m_controls) {
    const QChar taken = other != w ? MnemonicOf(CaptionOf(other)) : QChar();
    if (!taken.isNull()) {
      used.append(taken);
    }
  }
  if (!used.contains(letter)) {
    return caption;
  }
  QString plain = Plain(caption);
  for (int i = 0; i < plain.size(); ++i) {
    if (plain.at(i).isLetter() && !used.contains(plain.at(i).toLower())) {
      return plain.insert(i, QLatin1Char('&'));
    }
  }
  return caption;
}

void CControlMap::Register(int id, QWidget* w, const QString& accessibleName) {
  const QString caption = CaptionOf(w);
  if (!MnemonicOf(caption).isNull()) {
    SetCaption(w, UniqueMnemonic(w, caption));
  }
  w->setProperty("ctrlId", id);
  w->setObjectName(QStringLiteral("ctrl%1").arg(id));
  // A widget's accessible interface is made once, often while the widget is
  // built (a change event asks for it); drop it, so the next one is made
  // knowing the control it now is.
  if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(w)) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
  }
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
  if (auto* frame = qobject_cast<CFrameBox*>(w)) {
    int wasFrame = frame->IsFrameEnabled() ? 1 : 0;
    frame->SetFrameEnabled(enable != 0);
    return wasFrame;
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
  if (auto* frame = qobject_cast<CFrameBox*>(w)) {
    return frame->IsFrameEnabled() && frame->isEnabled() ? 1 : 0;
  }
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
  const QSignalBlocker quiet(w);  // the window's own write gives no command
  auto* e = qobject_cast<QLineEdit*>(w);
  auto* c = qobject_cast<QComboBox*>(w);
  if (e != nullptr) {
    e->setText(t);
  } else if (c != nullptr && c->isEditable()) {
    c->setEditText(t);
  } else if (c != nullptr) {
    c->setCurrentIndex(c->findText(t, Qt::MatchFixedString));
  } else if (!SetCaption(w, UniqueMnemonic(w, t))) {
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
  return BytesOf(t);
}

QString Qs(const std::string& s) {
  const QString local = QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
  if (local.toLocal8Bit().toStdString() == s)
    return local;
  QString text;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8SequenceAt(s, i);
    if (n == 0) {
      text += QChar(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(s[i])));
      ++i;
    } else {
      text += QString::fromUtf8(s.data() + i, static_cast<qsizetype>(n));
      i += n;
    }
  }
  return text;
}

std::string BytesOf(const QString& text) {
  if (std::none_of(text.begin(), text.end(), IsEscapedByte))
    return text.toLocal8Bit().toStdString();
  std::string bytes;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !IsEscapedByte(text[i]))
      continue;
    bytes += text.mid(start, i - start).toUtf8().toStdString();
    if (i < text.size())
      bytes += static_cast<char>(text[i].unicode() - kEscapedByte);
    start = i + 1;
  }
  return bytes;
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

QWidget* CControlMap::Framed(QGridLayout* grid, CFrameBox* box, int row, int col, int rowSpan,
                             int colSpan) {
  grid->addWidget(box, row, col, rowSpan, colSpan);
  return box;
}

// The style keeps the title's room above the contents; the inset keeps them
// off the border.
void CControlMap::InsetInFrame(QLayout* inside) {
  inside->setContentsMargins(kFrameInset, 2, kFrameInset, 4);
}
