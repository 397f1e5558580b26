#include "panels/ButtonCommand.h"

#include <QAbstractButton>
#include <QRadioButton>
#include <memory>

void ConnectCommand(QAbstractButton* button, QObject* context, std::function<void()> onCommand) {
  if (!button->isCheckable()) {
    QObject::connect(button, &QAbstractButton::clicked, context, [onCommand] { onCommand(); });
    return;
  }
  // A click runs pressed, toggled (when the state changes), clicked: the
  // toggle gives the command, and the click only when no toggle came since
  // the press.
  auto toggledSincePress = std::make_shared<bool>(false);
  const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
  QObject::connect(button, &QAbstractButton::pressed, context,
                   [toggledSincePress] { *toggledSincePress = false; });
  QObject::connect(button, &QAbstractButton::toggled, context,
                   [toggledSincePress, radio, onCommand](bool checked) {
                     *toggledSincePress = true;
                     if (checked || !radio) {
                       onCommand();
                     }
                   });
  QObject::connect(button, &QAbstractButton::clicked, context, [toggledSincePress, onCommand] {
    if (!*toggledSincePress) {
      onCommand();
    }
    *toggledSincePress = false;
  });
}
