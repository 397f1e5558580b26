// libsendrix-control-places.so: preloaded into `sendrix` by the tests on a
// real X server (LD_PRELOAD), it tells a script where each control is on the
// screen, so that the script clicks it with the real pointer (xdotool), and
// what the message boxes say. Test support only: the product knows nothing
// of it.
//
// Every 100 ms, when something changed, the file named by
// $SENDRIX_CONTROL_PLACES is replaced (write, then rename) by one line per
// visible control of every visible top-level window:
//   <title> TAB <key> TAB <x> TAB <y> TAB <enabled> TAB <checked> TAB <text> TAB <focus>
// x, y: the control's centre in screen coordinates; text: an edit's or a
// button's text; focus: 1 for the focus widget. key: "id:<control ID>" for the program's controls,
// "button:<text>" for a button without one (a message box's OK),
// "row:<control ID>:<n>" for row n of a tree list (its text the columns
// joined by "|"), and for each message box a line keyed "box:<icon>:<text>"
// (icon: none, information, warning, critical or question; line breaks of
// the text as " | ").
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <memory>

namespace {

constexpr int kPeriodMs = 100;

QString IconName(QMessageBox::Icon icon) {
  switch (icon) {
    case QMessageBox::Information:
      return QStringLiteral("information");
    case QMessageBox::Warning:
      return QStringLiteral("warning");
    case QMessageBox::Critical:
      return QStringLiteral("critical");
    case QMessageBox::Question:
      return QStringLiteral("question");
    default:
      return QStringLiteral("none");
  }
}

QString Line(const QString& title, const QString& key, const QWidget* w, QPoint centre,
             const QString& text) {
  const auto* button = qobject_cast<const QAbstractButton*>(w);
  return title + '\t' + key + '\t' + QString::number(centre.x()) + '\t' +
         QString::number(centre.y()) + '\t' + (w->isEnabled() ? '1' : '0') + '\t' +
         (button != nullptr && button->isChecked() ? '1' : '0') + '\t' + text + '\t' +
         (QApplication::focusWidget() == w ? '1' : '0') + '\n';
}

QString Line(const QString& title, const QString& key, const QWidget* w) {
  QString text;
  if (const auto* edit = qobject_cast<const QLineEdit*>(w))
    text = edit->text();
  else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
    text = button->text().remove('&');
  return Line(title, key, w, w->mapToGlobal(w->rect().center()), text);
}

QString Rows(const QString& title, int id, const QTreeWidget* list) {
  QString text;
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    const QRect rect = list->visualItemRect(item);
    QStringList columns;
    for (int c = 0; c < item->columnCount(); ++c)
      columns << item->text(c);
    text += Line(title, "row:" + QString::number(id) + ':' + QString::number(row), list,
                 list->viewport()->mapToGlobal(rect.center()), columns.join('|'));
  }
  return text;
}

QString Places() {
  QString text;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible())
      continue;
    const QString title = top->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(top)) {
      QString said = box->text();
      said.replace('\n', QStringLiteral(" | "));
      text += Line(title, "box:" + IconName(box->icon()) + ':' + said, box);
    }
    for (QWidget* w : top->findChildren<QWidget*>()) {
      if (!w->isVisible())
        continue;
      const QVariant id = w->property("ctrlId");
      if (id.isValid()) {
        text += Line(title, "id:" + QString::number(id.toInt()), w);
        if (auto* list = qobject_cast<QTreeWidget*>(w))
          text += Rows(title, id.toInt(), list);
      } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        text += Line(title, "button:" + button->text().remove('&'), w);
      }
    }
  }
  return text;
}

void StartWriting() {
  const QString path = qEnvironmentVariable("SENDRIX_CONTROL_PLACES");
  if (path.isEmpty())
    return;
  auto* timer = new QTimer(qApp);
  auto last = std::make_shared<QString>();
  QObject::connect(timer, &QTimer::timeout, [path, last] {
    const QString now = Places();
    if (now == *last)
      return;
    *last = now;
    QFile file(path + ".new");
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      file.write(now.toUtf8());
      file.close();
      QFile::remove(path);
      file.rename(path);
    }
  });
  timer->start(kPeriodMs);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartWriting)
