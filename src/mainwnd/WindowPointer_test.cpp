// The window under a real pointer and real keys (XTest on an X server of
// its own, see XvfbRun.sh): every showing, enabled control of the main
// window and of each interface panel, taken from their control maps, is
// clicked at its centre; mnemonics, Enter on buttons and the focus mark of
// every Tab stop are tried with real key presses. The window's hooks
// record what reached the logic.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "engine/TransferEngine.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/QtReceiveDisplay.h"
#include "mainwnd/RealInput.h"
#include "panels/PanelBase.h"
#include "platform/ControlIds.h"

namespace {

constexpr int kWaitMs = 2000;
using Command = std::pair<int, int>;  // dialog (-1 main window, 0..2 panel), ID

class WindowPointerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_input.IsOpen()) << "no X display: run under XvfbRun.sh";
    // A fresh installation's serial settings and a printer on loopback.
    m_fields.serial = {0, 0, 0, 3, 0, 1};
    m_fields.ethernet.m_dwIpAddress = 0x7F000001;
    m_pWindow = std::make_unique<CMainWindow>(m_fields);
    CMainWindowHooks hooks;
    hooks.onCommand = [this](int id) { m_commands.insert({-1, id}); };
    hooks.onPanelCommand = [this](int panel, int id) { m_commands.insert({panel, id}); };
    hooks.onKey = [](int, int) { return 0; };
    m_pWindow->SetHooks(hooks);
    m_pWindow->BuildSystemMenu("&About Sendrix...", "Manage Commandes history",
                               "Manage Files history");
    m_pDisplay = std::make_unique<CQtReceiveDisplay>(*m_pWindow, m_engine);
    // What the logic lists for a printer on USB (an empty list opens nothing).
    static_cast<CPanelBase&>(m_pWindow->Panel(1))
        .SetListItems(kIdcUsbDevice, {"TP-80 (1)", "TP-80 (2)"});
    for (int n = 0; n < 3; ++n) {
      m_pWindow->Panel(n).UpdateData(0);
    }
    m_pWindow->move(0, 0);
    m_pWindow->show();
    m_pWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pWindow.get()));
  }
  void TearDown() override {
    m_pDisplay.reset();
    m_pWindow.reset();
  }
  // The panel the logic would show for interface n, its controls enabled.
  CControlMap& ShowPanel(int n) {
    m_pWindow->ShowPanel(n);
    m_pWindow->EnablePanels(n);
    QTest::qWait(50);
    return static_cast<CPanelBase&>(m_pWindow->Panel(n)).Controls();
  }
  // The window's own map (dialog -1) or a panel's.
  CControlMap& Map(int dialog) {
    return dialog < 0 ? m_pWindow->Controls()
                      : static_cast<CPanelBase&>(m_pWindow->Panel(dialog)).Controls();
  }
  static bool Operable(QWidget* w) {
    return w->isVisible() && w->isEnabled() &&
           (qobject_cast<QAbstractButton*>(w) != nullptr ||
            qobject_cast<QComboBox*>(w) != nullptr || (w->focusPolicy() & Qt::ClickFocus) != 0);
  }
  static bool Holds(QWidget* w, QWidget* inner) {
    return inner != nullptr && (inner == w || w->isAncestorOf(inner));
  }
  // Closes whatever popup (a list, a menu) the last action opened.
  void ClosePopup() {
    if (QApplication::activePopupWidget() != nullptr) {
      m_input.Key("Escape");
      EXPECT_TRUE(
          QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }, kWaitMs));
    }
  }
  // Clicks every operable control of one map; returns what failed.
  std::vector<std::string> ClickEach(int dialog) {
    std::vector<std::string> failures;
    for (const auto& [id, w] : Map(dialog).All()) {
      if (!Operable(w)) {
        // What only shows (a value, the printer's status) is not hidden.
        QWidget* under = QApplication::widgetAt(w->mapToGlobal(w->rect().center()));
        if (w->isVisible() && !w->rect().isEmpty() && !Holds(w, under)) {
          failures.push_back(std::to_string(dialog) + ":" + std::to_string(id) + " is hidden by " +
                             (under ? under->metaObject()->className() : std::string("nothing")));
        }
        continue;
      }
      m_pWindow->setFocus(Qt::OtherFocusReason);
      m_commands.clear();
      QWidget* under = QApplication::widgetAt(w->mapToGlobal(w->rect().center()));
      m_input.ClickCentre(w);
      auto* combo = qobject_cast<QComboBox*>(w);
      const bool acted = QTest::qWaitFor(
          [&] {
            if (combo != nullptr && !combo->isEditable()) {
              return combo->view()->isVisible();
            }
            return Holds(w, QApplication::focusWidget()) || m_commands.count({dialog, id}) > 0;
          },
          kWaitMs);
      if (combo != nullptr && acted && !combo->isEditable()) {
        KeepPicture(dialog);
      }
      if (!Holds(w, under)) {
        failures.push_back(std::to_string(dialog) + ":" + std::to_string(id) + " lies under " +
                           (under ? under->metaObject()->className() : std::string("nothing")));
      } else if (!acted) {
        failures.push_back(std::to_string(dialog) + ":" + std::to_string(id) + " did not act");
      }
      ClosePopup();
    }
    return failures;
  }

  // SENDRIX_SHOT_DIR=folder keeps a picture of the screen with the first
  // list a click opened in each panel (panel-<n>-list.png).
  void KeepPicture(int dialog) {
    const QByteArray folder = qgetenv("SENDRIX_SHOT_DIR");
    if (folder.isEmpty() || dialog < 0 || !m_shots.insert(dialog).second) {
      return;
    }
    QTest::qWait(300);  // the list's opening animation
    QApplication::primaryScreen()->grabWindow(0).save(
        QString::fromLocal8Bit(folder) + QStringLiteral("/panel-%1-list.png").arg(dialog));
  }

  CRealInput m_input;
  std::set<int> m_shots;
  CDialogFields m_fields;
  CTransferObjects m_io;  // what the receive display's engine works on
  CTransferEngine m_engine{m_io};
  std::unique_ptr<CMainWindow> m_pWindow;
  std::unique_ptr<CQtReceiveDisplay> m_pDisplay;
  std::set<Command> m_commands;
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) {
    all += l + "\n";
  }
  return all;
}

// The control under the pointer is the one clicked, and it takes the focus
// or acts (a list opens, the logic gets the command), in the main window
// and in each panel as the logic shows it.
TEST_F(WindowPointerTest, EveryShowingControlAnswersAClickAtItsCentre) {
  size_t clicked = 0;
  for (int panel = 0; panel < 3; ++panel) {
    ShowPanel(panel);
    for (const auto& [id, w] : Map(panel).All()) {
      clicked += Operable(w) ? 1 : 0;
    }
    const std::vector<std::string> failures = ClickEach(panel);
    EXPECT_TRUE(failures.empty()) << "panel " << panel << ":\n" << Joined(failures);
  }
  const std::vector<std::string> failures = ClickEach(-1);
  EXPECT_TRUE(failures.empty()) << Joined(failures);
  EXPECT_GE(clicked, 18u);  // every panel control the operator can use
}

// Mnemonics are unique among the showing controls, and each moves the
// focus into its control; an Alt+letter that is none types nothing.
TEST_F(WindowPointerTest, MnemonicsAreUniqueAndReachTheirControls) {
  for (int panel = 0; panel < 3; ++panel) {
    ShowPanel(panel);
    std::map<QChar, int> seen;
    for (int dialog : {-1, panel}) {
      for (const auto& [id, w] : Map(dialog).All()) {
        const std::string caption = Map(dialog).GetText(id);
        const size_t amp = caption.find('&');
        if (!w->isVisible() || amp == std::string::npos || amp + 1 >= caption.size()) {
          continue;
        }
        const QChar letter = QChar(caption[amp + 1]).toLower();
        EXPECT_EQ(seen.count(letter), 0u) << caption << " shares its letter with " << seen[letter];
        seen[letter] = id;
        m_pWindow->setFocus(Qt::OtherFocusReason);
        m_commands.clear();
        m_input.Key(QString(letter).toLatin1().constData(), {"Alt_L"});
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return Holds(w, QApplication::focusWidget()) || !m_commands.empty(); }, kWaitMs))
            << "Alt+" << QString(letter).toStdString() << " for " << caption;
      }
    }
  }
  auto* file = m_pWindow->Controls().Get<QLineEdit>(kIdcFileName);
  file->setText(QStringLiteral("receipt.prn"));
  m_input.ClickCentre(file);
  ASSERT_TRUE(QTest::qWaitFor([&] { return file->hasFocus(); }, kWaitMs));
  m_input.Key("q", {"Alt_L"});
  m_input.Key("End");
  QTest::qWait(200);
  EXPECT_EQ(file->text(), QStringLiteral("receipt.prn"));
}

// Enter on a focused button presses it: every push button of the window
// and its panels, and the window menu's button opens its menu.
TEST_F(WindowPointerTest, EnterOnAFocusedButtonPressesIt) {
  for (int panel = 0; panel < 3; ++panel) {
    ShowPanel(panel);
    for (int dialog : {-1, panel}) {
      for (const auto& [id, w] : Map(dialog).All()) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (button == nullptr || button->isCheckable() || !Operable(w)) {
          continue;
        }
        w->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->hasFocus(); }, kWaitMs)) << id;
        m_commands.clear();
        m_input.Key("Return");
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
              return m_commands.count({dialog, id}) > 0;
            },
            kWaitMs))
            << "Enter on " << dialog << ":" << id;
        ClosePopup();
      }
    }
  }
  // The menu runs its own loop: look for it, and close it, from a timer.
  bool menuOpened = false;
  QTimer::singleShot(500, [&] {
    menuOpened = qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr;
    m_input.Key("Escape");
  });
  m_pWindow->MenuButton()->setFocus(Qt::TabFocusReason);
  m_input.Key("Return");
  EXPECT_TRUE(QTest::qWaitFor([&] { return menuOpened; }, kWaitMs));
}

// Every Tab stop looks different with the focus than without it: Tab from
// the stop before it (a real key) and compare the pictures.
TEST_F(WindowPointerTest, EveryTabStopShowsAFocusMark) {
  ShowPanel(2);
  std::vector<QWidget*> stops;
  for (QWidget* w = m_pWindow->nextInFocusChain(); w != m_pWindow.get() && stops.size() < 200;
       w = w->nextInFocusChain()) {
    if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) != 0) {
      stops.push_back(w);
    }
  }
  ASSERT_GT(stops.size(), 10u);
  for (size_t i = 1; i < stops.size(); ++i) {
    QWidget* w = stops[i];
    stops[i - 1]->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    const QImage before = w->grab().toImage();
    m_input.Key("Tab");
    if (!QTest::qWaitFor([&] { return w->hasFocus(); }, kWaitMs)) {
      continue;  // Tab went elsewhere (a stop inside a compound control)
    }
    QTest::qWait(20);
    EXPECT_NE(w->grab().toImage(), before)
        << w->metaObject()->className() << " " << w->objectName().toStdString();
  }
}

}  // namespace
