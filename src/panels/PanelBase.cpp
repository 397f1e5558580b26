#include "panels/PanelBase.h"

#include <QAbstractButton>
#include <QComboBox>

QAbstractButton* CPanelBase::Button(int id, QAbstractButton* b, const QString& name) {
  m_controls.Add(id, b, name);
  QObject::connect(b, &QAbstractButton::clicked, this, [this, id] { Command(id); });
  return b;
}

QComboBox* CPanelBase::Combo(int id, QComboBox* c, const QStringList& items, const QString& name) {
  c->addItems(items);
  c->setCurrentIndex(-1);
  m_controls.Add(id, c, name);
  // Only the user's choice is a command, not a change made by data exchange.
  QObject::connect(c, &QComboBox::activated, this, [this, id] { Command(id); });
  return c;
}
