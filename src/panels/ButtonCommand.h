// ConnectCommand: one command for every way a button changes. A push
// button gives it when clicked; a check box or radio button when its
// checked state changes, whatever changed it (the pointer, a key, a screen
// reader's toggle action, a call), and also when a click leaves the state as
// it was (a click on the radio already chosen). A radio gives it only when
// it becomes checked, not when a sibling's check clears it.
//
// The window's own writes of the fields into the controls block the
// buttons' signals, so they give no command.
//
// Threading: window thread only.
#pragma once

#include <functional>

class QAbstractButton;
class QObject;

void ConnectCommand(QAbstractButton* button, QObject* context, std::function<void()> onCommand);
