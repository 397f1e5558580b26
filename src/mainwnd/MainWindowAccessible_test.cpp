// The window as a screen reader meets it, through Qt's accessibility
// interfaces (what the AT-SPI bridge hands on): the tree, the names and
// values, the receive list's table, and the actions on radios and check
// boxes. Offscreen platform; the window's hooks record the commands.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <memory>
#include <set>

#include "engine/TransferEngine.h"
#include "mainwnd/HexListView.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtReceiveDisplay.h"
#include "panels/PanelBase.h"
#include "platform/ControlIds.h"

namespace {

class MainWindowAccessibleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pWindow = std::make_unique<CMainWindow>(m_fields);
    CMainWindowHooks hooks;
    hooks.onCommand = [this](int id) { m_commands.insert({-1, id}); };
    hooks.onPanelCommand = [this](int panel, int id) { m_commands.insert({panel, id}); };
    m_pWindow->SetHooks(hooks);
    m_pDisplay = std::make_unique<CQtReceiveDisplay>(*m_pWindow, m_engine);
    m_pWindow->ShowPanel(0);
    m_pWindow->EnablePanels(0);
    m_pWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pWindow.get()));
  }
  CControlMap& Map(int dialog) {
    return dialog < 0 ? m_pWindow->Controls()
                      : static_cast<CPanelBase&>(m_pWindow->Panel(dialog)).Controls();
  }
  static QAccessibleInterface* Of(QObject* o) { return QAccessible::queryAccessibleInterface(o); }

  CDialogFields m_fields;
  CTransferObjects m_io;  // what the receive display's engine works on
  CTransferEngine m_engine{m_io};
  std::unique_ptr<CMainWindow> m_pWindow;
  std::unique_ptr<CQtReceiveDisplay> m_pDisplay;
  std::set<std::pair<int, int>> m_commands;
};

// A control that lies inside a titled frame is a descendant of that
// frame's grouping in the tree, so the three Start buttons are told apart
// by their groups. Checked by place on screen, not by widget parents.
TEST_F(MainWindowAccessibleTest, EachControlSitsInsideItsTitledGroup) {
  int checked = 0;
  for (int dialog : {-1, 0, 1, 2}) {
    m_pWindow->ShowPanel(dialog < 0 ? 0 : dialog);
    for (const auto& [gid, g] : Map(dialog).All()) {
      auto* box = qobject_cast<QGroupBox*>(g);
      if (box == nullptr || !box->isVisible() || box->title().isEmpty()) {
        continue;
      }
      const QRect frame(box->mapTo(m_pWindow.get(), QPoint(0, 0)), box->size());
      for (const auto& [id, w] : Map(dialog).All()) {
        const QRect place(w->mapTo(m_pWindow.get(), QPoint(0, 0)), w->size());
        if (w == box || !w->isVisible() || qobject_cast<QGroupBox*>(w) || !frame.contains(place)) {
          continue;
        }
        bool inside = false;
        for (QAccessibleInterface* a = Of(w)->parent(); a != nullptr && !inside; a = a->parent()) {
          inside = a->object() == box;
        }
        EXPECT_TRUE(inside) << id << " is not inside " << box->title().toStdString();
        EXPECT_EQ(Of(box)->role(), QAccessible::Grouping);
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 40);
}

// Lists are named by their label and give their choice as the value; value
// labels (the printer's status line too) keep their caption as the name and
// give the value.
TEST_F(MainWindowAccessibleTest, ListsAndValueLabelsCarryNameAndValue) {
  CControlMap& serial = Map(0);
  serial.Get<QComboBox>(kIdcSerialBaud)->setCurrentIndex(0);
  QAccessibleInterface* baud = Of(serial.Find(kIdcSerialBaud));
  EXPECT_EQ(baud->text(QAccessible::Name), QStringLiteral("Baud Rate"));
  EXPECT_EQ(baud->text(QAccessible::Value), QStringLiteral("115200"));
  const struct {
    int id;
    const char* name;
    const char* value;
  } kValues[] = {{kIdcFirmwareCrc, "Read CRC", "1FB9"},
                 {kIdcRate, "kbytes/sec", "204.8"},
                 {kIdcProgressPercent, "Progress percent", "42 %"},
                 {kIdcRepeatNumber, "Repeat number", "3"},
                 {kIdcStatusLine, "Printer status", "status DLE EOT 4: paper near end"}};
  for (const auto& v : kValues) {
    m_pWindow->SetDlgItemText(v.id, v.value);
    QAccessibleInterface* a = Of(m_pWindow->Controls().Find(v.id));
    EXPECT_EQ(a->text(QAccessible::Name), QString::fromLatin1(v.name)) << v.id;
    EXPECT_EQ(a->text(QAccessible::Value), QString::fromLatin1(v.value)) << v.id;
    ASSERT_NE(a->textInterface(), nullptr) << v.id;
    EXPECT_EQ(a->textInterface()->text(0, a->textInterface()->characterCount()),
              QString::fromLatin1(v.value));
  }
}

// The receive list is a table: a row per 16 bytes, hex and ASCII cells.
TEST_F(MainWindowAccessibleTest, ReceiveListExposesItsRowsAsATable) {
  auto* list = qobject_cast<CHexListView*>(m_pWindow->Controls().Find(kIdcRxDataList));
  ASSERT_NE(list, nullptr);
  const BYTE bytes[] = "PRINTER READY 01\x1B@";
  list->Append(bytes, sizeof bytes - 1);
  QAccessibleInterface* a = Of(list);
  EXPECT_EQ(a->role(), QAccessible::Table);
  QAccessibleTableInterface* table = a->tableInterface();
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->rowCount(), 2);
  ASSERT_EQ(table->columnCount(), 2);
  EXPECT_EQ(table->columnDescription(1), QStringLiteral("ASCII"));
  EXPECT_EQ(table->cellAt(0, 1)->text(QAccessible::Name), QStringLiteral("PRINTER READY 01"));
  EXPECT_EQ(table->cellAt(1, 0)->text(QAccessible::Name), QStringLiteral("1B 40"));
  EXPECT_EQ(table->cellAt(1, 1)->text(QAccessible::Name), QStringLiteral(".@"));
  QAccessibleInterface* cell = a->child(3);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(a->indexOfChild(cell), 3);
  EXPECT_EQ(cell->parent(), a);
  EXPECT_FALSE(cell->state().offscreen);
  EXPECT_TRUE(a->rect().contains(cell->rect().center()));
}

// The toggle and press actions of every radio and check box give the
// command a click gives, with the control's state changed.
TEST_F(MainWindowAccessibleTest, ActionsOnRadiosAndCheckBoxesGiveTheCommand) {
  int tried = 0;
  for (int dialog : {-1, 0, 1, 2}) {
    if (dialog >= 0) {
      m_pWindow->ShowPanel(dialog);
      m_pWindow->EnablePanels(dialog);
    }
    for (const auto& [id, w] : Map(dialog).All()) {
      auto* button = qobject_cast<QAbstractButton*>(w);
      if (button == nullptr || !button->isCheckable() || !button->isVisible()) {
        continue;
      }
      QAccessibleActionInterface* actions = Of(w)->actionInterface();
      ASSERT_NE(actions, nullptr) << id;
      for (const QString& action : {QAccessibleActionInterface::toggleAction(),
                                    QAccessibleActionInterface::pressAction()}) {
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);  // so a radio can be cleared
        button->setChecked(false);
        button->setAutoExclusive(exclusive);
        m_commands.clear();
        actions->doAction(action);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m_commands.empty(); }, 1000));
        EXPECT_TRUE(button->isChecked());
        EXPECT_EQ(m_commands.count({dialog, id}), 1u)
            << action.toStdString() << " on " << dialog << ":" << id;
      }
      ++tried;
    }
  }
  EXPECT_GE(tried, 14);
}

}  // namespace
