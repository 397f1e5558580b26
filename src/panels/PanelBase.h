// What the three interface panels share: a child widget of the main window
// that is one IDialogView, its controls registered by ID, and one callback
// for the commands its controls give (button clicks, radio and check box
// clicks, a new choice in a drop-down list) so the window's logic can act.
//
// Threading: window thread only.
#pragma once

#include <QWidget>
#include <functional>

#include "panels/ControlMap.h"
#include "panels/ControlMapDialog.h"
#include "panels/Led.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/IListControls.h"

class QAbstractButton;
class QComboBox;

class CPanelBase : public QWidget,
                   public CControlMapDialog<CPanelBase, IDialogView>,
                   public IListControls {
 public:
  using CommandHandler = std::function<void(int id)>;

  explicit CPanelBase(QWidget* parent) : QWidget(parent), m_controls(this) {}
  void SetCommandHandler(CommandHandler handler) { m_onCommand = std::move(handler); }
  // Called with a list's ID when the operator opens a drop-down list made
  // as a CDropDownCombo, before its entries show.
  void SetDropDownHandler(CommandHandler handler) { m_onDropDown = std::move(handler); }

  // IListControls: the entries of a drop-down list (no command is given).
  void SetListItems(int id, const std::vector<std::string>& items) override;
  std::vector<std::string> GetListItems(int id) override;
  int GetListSelection(int id) override;
  CControlMap& Controls() { return m_controls; }
  // The lamp on picture control id; null when there is none.
  CLed* Led(int id) const { return m_controls.Get<CLed>(id); }

 protected:
  // Registers a command-giving control and routes its signal to the handler.
  QAbstractButton* Button(int id, QAbstractButton* b, const QString& name = QString());
  QComboBox* Combo(int id, QComboBox* c, const QStringList& items, const QString& name);
  void Command(int id) {
    if (m_onCommand) {
      m_onCommand(id);
    }
  }

  CControlMap m_controls;

 private:
  CommandHandler m_onCommand;
  CommandHandler m_onDropDown;
};
