#include "panels/PanelBase.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSignalBlocker>

#include "panels/ButtonCommand.h"
#include "panels/DropDownCombo.h"

QAbstractButton* CPanelBase::Button(int id, QAbstractButton* b, const QString& name) {
  m_controls.Add(id, b, name);
  ConnectCommand(b, this, [this, id] { Command(id); });
  return b;
}

QComboBox* CPanelBase::Combo(int id, QComboBox* c, const QStringList& items, const QString& name) {
  c->addItems(items);
  c->setCurrentIndex(-1);
  m_controls.Add(id, c, name);
  // Any new choice is a command (the pointer, a key, a screen reader);
  // data exchange writes with the signals blocked.
  QObject::connect(c, &QComboBox::currentIndexChanged, this, [this, id] { Command(id); });
  if (auto* dropDown = dynamic_cast<CDropDownCombo*>(c)) {
    dropDown->SetOnDropDown([this, id] {
      if (m_onDropDown) {
        m_onDropDown(id);
      }
    });
  }
  return c;
}

void CPanelBase::SetListItems(int id, const std::vector<std::string>& items) {
  auto* combo = m_controls.Get<QComboBox>(id);
  if (combo == nullptr) {
    return;
  }
  QSignalBlocker quiet(combo);
  combo->clear();
  for (const std::string& item : items) {
    combo->addItem(Qs(item));
  }
  combo->setCurrentIndex(-1);
}

std::vector<std::string> CPanelBase::GetListItems(int id) {
  std::vector<std::string> items;
  if (auto* combo = m_controls.Get<QComboBox>(id)) {
    for (int i = 0; i < combo->count(); ++i) {
      items.push_back(combo->itemText(i).toLocal8Bit().toStdString());
    }
  }
  return items;
}

int CPanelBase::GetListSelection(int id) {
  auto* combo = m_controls.Get<QComboBox>(id);
  return combo ? combo->currentIndex() : -1;
}
