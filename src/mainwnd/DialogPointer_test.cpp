// The dialogs under a real pointer and real keys (XTest on an X server of
// its own, see XvfbRun.sh), over the real window logic and the virtual
// printer on loopback (TCP for the window, UDP for device setup). Each
// dialog is opened as an operator opens it, by a click on its button or
// menu entry; every showing, enabled control in it is clicked at its
// centre and must take the focus or act; the keys that close it (or must
// not) are pressed for real; and its accessibility tree names every control
// and keeps it inside its group.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PrinterSim.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/OutputWinDlg.h"
#include "mainwnd/QtWindowRunner.h"
#include "mainwnd/RealInput.h"
#include "panels/PanelBase.h"
#include "panels/SetupEthDevDlg.h"
#include "platform/ControlIds.h"
#include "session/Session.h"
#include "testsupport/EngineTestSupport.h"
#include "windowlogic/SendrixDlg.h"

namespace {

constexpr int kWaitMs = 3000;
constexpr int kDialogMs = 60000;  // a whole dialog's round, searches included
constexpr int kSetupButton = kIdcEthSetup;
constexpr int kUsbRadio = kIdcUsbRadio;
constexpr int kInfoButton = kIdcUsbInfo;

bool Holds(const QWidget* w, const QWidget* inner) {
  return inner != nullptr && (inner == w || w->isAncestorOf(inner));
}

bool Operable(const QWidget* w) {
  return w->isVisible() && w->isEnabled() &&
         (qobject_cast<const QAbstractButton*>(w) != nullptr ||
          (w->focusPolicy() & Qt::ClickFocus) != 0);
}

// The controls an operator can click in `top`: each outermost operable
// widget (a list's viewport and header belong to the list).
std::vector<QWidget*> ControlsOf(QWidget* top) {
  std::vector<QWidget*> all;
  for (QWidget* w : top->findChildren<QWidget*>()) {
    if (!Operable(w)) {
      continue;
    }
    bool inner = false;
    for (QWidget* p = w->parentWidget(); p != nullptr && p != top; p = p->parentWidget()) {
      inner = inner || Operable(p);
    }
    if (!inner) {
      all.push_back(w);
    }
  }
  return all;
}

// True once `top`, shown, has the keyboard. The server has no window
// manager, so this gives a newly shown window the keyboard as one would.
bool Focused(QWidget* top) {
  if (!top->isVisible()) {
    return false;
  }
  if (!top->isActiveWindow()) {
    top->activateWindow();
  }
  return top->isActiveWindow();
}

std::string Name(const QWidget* w) {
  const QString text = w->accessibleName().isEmpty() ? w->objectName() : w->accessibleName();
  return std::string(w->metaObject()->className()) + " '" + text.toStdString() + "'";
}

class DialogPointerTest : public CEngineTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_input.IsOpen()) << "no X display: run under XvfbRun.sh";
    CEngineTest::SetUp();
    setenv("XDG_CONFIG_HOME", (m_strHome + "/config").c_str(), 1);
    std::filesystem::create_directories(m_strHome + "/config/sendrix");
    m_bConnected = true;  // the fixture's tear-down ends the library set-up
    SIM_OPTIONS o;
    o.nMainPort = o.nRtPort = o.nUsmPort = o.nUdpPort = 0;
    m_pSim = std::make_unique<CPrinterSim>(o);
    std::string error;
    ASSERT_TRUE(m_pSim->Start(error)) << error;
    setenv("SENDRIX_DISCOVERY_ADDR", "127.0.0.1", 1);
    setenv("SENDRIX_DISCOVERY_PORT", std::to_string(m_pSim->GetUdpPort()).c_str(), 1);
    CDialogFields& f = m_dlg.Fields();
    f.main.m_nInterface = 2;
    f.ethernet.m_dwIpAddress = 0x7F000001;
    f.ethernet.m_nMainPort = m_pSim->GetMainPort();
    f.ethernet.m_nRealTimePort = m_pSim->GetRtPort();
    f.ethernet.m_nUsmPort = m_pSim->GetUsmPort();
  }
  void TearDown() override {
    CEngineTest::TearDown();
    if (m_pSim) {
      m_pSim->Stop();
    }
    unsetenv("SENDRIX_DISCOVERY_ADDR");
    unsetenv("SENDRIX_DISCOVERY_PORT");
  }

  // Runs the window over the logic and `session` in it, then closes it.
  void Run(const std::function<void(CMainWindow&)>& session) {
    bool ran = false;
    m_runner.SetOnShown([&](CMainWindow& window, CSendrixDlg&) {
      ran = true;
      window.move(0, 0);
      window.activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
      session(window);
      window.close();
    });
    m_runner.RunModal(m_dlg);
    ASSERT_TRUE(ran);
  }

  // Does `open` (real input) and runs `inside` with the modal window it
  // opened, from the loop that runs that window; `inside` closes it the way
  // it tests. False when nothing opened or it stayed open (then it is ended
  // here, so that the test goes on).
  bool WhileOpen(const std::function<void()>& open, const std::function<void(QWidget*)>& inside) {
    QWidget* outer = QApplication::activeModalWidget();
    QWidget* opened = nullptr;
    bool finished = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* top = QApplication::activeModalWidget();
      if (opened != nullptr || top == nullptr || top == outer || !Focused(top)) {
        return;
      }
      opened = top;
      poll.stop();
      inside(top);
      if (top->isVisible()) {
        ADD_FAILURE() << Name(top) << " stayed open";
        static_cast<QDialog*>(top)->done(0);
      }
      finished = true;
    });
    poll.start(20);
    open();
    const bool ended = QTest::qWaitFor([&] { return finished; }, kDialogMs);
    poll.stop();
    return ended;
  }

  // Clicks the window menu's entry `text` with the pointer.
  void ChooseFromMenu(CMainWindow& window, const QString& text) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) {
        return;
      }
      poll.stop();
      for (QAction* a : menu->actions()) {
        if (a->text() == text) {
          m_input.ClickAt(menu->mapToGlobal(menu->actionGeometry(a).center()), menu);
          return;
        }
      }
      ADD_FAILURE() << "no menu entry " << text.toStdString();
      m_input.Key("Escape");
    });
    poll.start(20);
    m_input.ClickCentre(window.MenuButton());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !poll.isActive(); }, kWaitMs))
        << "the window menu did not open";
  }

  // Clicks each control of `top` but those in `later` at its centre: the
  // control under the pointer must be the one clicked, and it must take the
  // focus, run its button's handler or open a window (closed again here by
  // a real Escape). Returns what failed.
  std::vector<std::string> ClickEach(QWidget* top, const std::vector<QWidget*>& later = {}) {
    std::vector<std::string> failures;
    for (QWidget* w : ControlsOf(top)) {
      if (std::find(later.begin(), later.end(), w) != later.end()) {
        continue;
      }
      if (!QTest::qWaitFor([&] { return Focused(top); }, kWaitMs)) {
        failures.push_back(Name(top) + " lost the keyboard before " + Name(w));
      }
      top->setFocus(Qt::OtherFocusReason);
      QWidget* under = QApplication::widgetAt(w->mapToGlobal(w->rect().center()));
      bool clicked = false;
      bool nested = false;
      QMetaObject::Connection watch;
      if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        watch = QObject::connect(button, &QAbstractButton::clicked, [&] { clicked = true; });
      }
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!nested && modal != nullptr && modal != top && Focused(modal)) {
          nested = true;
          m_input.Key("Escape");
        }
      });
      poll.start(20);
      m_input.ClickCentre(w);
      const bool acted = QTest::qWaitFor(
          [&] { return clicked || nested || Holds(w, QApplication::focusWidget()); }, kWaitMs);
      const bool back = QTest::qWaitFor(
          [&] {
            QWidget* modal = QApplication::activeModalWidget();
            return modal == nullptr || modal == top;
          },
          kWaitMs);
      poll.stop();
      QObject::disconnect(watch);
      if (!Holds(w, under)) {
        failures.push_back(Name(w) + " lies under " +
                           (under ? Name(under) : std::string("nothing")));
      } else if (!acted) {
        failures.push_back(Name(w) + " did not act");
      } else if (!back) {
        failures.push_back(Name(w) + " left a window open that Escape did not close");
      }
    }
    return failures;
  }

  // Every control has a name of its own (not its value), and one framed by
  // a group is inside that group in the accessibility tree.
  static void ExpectNamedAndGrouped(QWidget* top) {
    for (QWidget* w : ControlsOf(top)) {
      QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
      ASSERT_NE(face, nullptr) << Name(w);
      const QString name = face->text(QAccessible::Name);
      EXPECT_FALSE(name.trimmed().isEmpty()) << Name(w) << " has no name";
      if (auto* edit = qobject_cast<QLineEdit*>(w); edit != nullptr && !edit->text().isEmpty()) {
        EXPECT_NE(name, edit->text()) << Name(w) << " is named by its value";
      }
      for (QWidget* p = w->parentWidget(); p != nullptr && p != top; p = p->parentWidget()) {
        if (qobject_cast<QGroupBox*>(p) == nullptr) {
          continue;
        }
        QAccessibleInterface* group = QAccessible::queryAccessibleInterface(p);
        bool inside = false;
        for (QAccessibleInterface* a = face->parent(); a != nullptr && !inside; a = a->parent()) {
          inside = a == group;
        }
        EXPECT_TRUE(inside) << Name(w) << " is not inside its group " << Name(p);
      }
    }
  }

  static std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) {
      all += l + "\n";
    }
    return all;
  }

  CRealInput m_input;
  std::unique_ptr<CPrinterSim> m_pSim;
  CQtWindowRunner m_runner{false};  // outlives the logic: the workers post to it
  CSession m_session;
  CSendrixDlg m_dlg{m_session};
};

// Setup, clicked in the Ethernet panel, opens the device setup dialog.
// Search and the listed printer answer the pointer; then every control does
// (Update and Reboot reach the printer); Escape and Enter never close the
// dialog (Enter on Search searches again); OK closes it.
TEST_F(DialogPointerTest, DeviceSetupAnswersThePointerAndOnlyOkClosesIt) {
  Run([&](CMainWindow& window) {
    QWidget* setupButton = static_cast<CPanelBase&>(window.Panel(2)).Controls().Find(kSetupButton);
    ASSERT_TRUE(setupButton != nullptr && setupButton->isVisible() && setupButton->isEnabled());
    const bool opened = WhileOpen(
        [&] { m_input.ClickCentre(setupButton); },
        [&](QWidget* top) {
          auto* dialog = dynamic_cast<CSetupEthDevDlg*>(top);
          ASSERT_NE(dialog, nullptr) << Name(top);
          CControlMap& c = dialog->Controls();
          m_input.ClickCentre(c.Find(kIdcDevSearch));
          ASSERT_TRUE(
              QTest::qWaitFor([&] { return dialog->List()->topLevelItemCount() == 1; }, kWaitMs))
              << "Search found nothing";
          QTreeWidgetItem* row = dialog->List()->topLevelItem(0);
          const QRect rect = dialog->List()->visualItemRect(row);
          m_input.ClickAt(dialog->List()->viewport()->mapToGlobal(rect.center()), dialog);
          EXPECT_TRUE(QTest::qWaitFor([&] { return c.Find(kIdcDevNewIp)->isEnabled(); }, kWaitMs))
              << "the printer's row did not select it";
          EXPECT_EQ(c.Get<QLineEdit>(kIdcDevNewName)->text().toStdString(), "SIMPRN");
          ExpectNamedAndGrouped(dialog);
          for (auto [edit, label] : {std::pair{kIdcDevNewIp, kIdcDevIpLabel},
                                     std::pair{kIdcDevNewName, kIdcDevNameLabel}}) {
            EXPECT_TRUE(c.Find(edit)->accessibleName().contains(c.Get<QLabel>(label)->text(),
                                                                Qt::CaseInsensitive))
                << edit << " is not named by its label";
          }
          const int runs = dialog->BlockingRuns();
          // Search clears the selection: it was clicked above, OK ends the dialog.
          const std::vector<std::string> failures =
              ClickEach(dialog, {c.Find(kIdcDevSearch), c.Find(kIdcDevOk)});
          EXPECT_TRUE(failures.empty()) << Joined(failures);
          // Reboot reached the printer (Update with nothing changed sends nothing).
          EXPECT_GE(dialog->BlockingRuns(), runs + 1);

          for (const char* key : {"Escape", "Return"}) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return Focused(dialog); }, kWaitMs));
            c.Find(kIdcDevSearch)->setFocus(Qt::TabFocusReason);
            const int before = dialog->BlockingRuns();
            m_input.Key(key);
            QTest::qWait(300);
            EXPECT_TRUE(dialog->isVisible()) << key << " closed the dialog";
            EXPECT_EQ(dialog->BlockingRuns() > before, std::string(key) == "Return") << key;
          }
          m_input.ClickCentre(c.Find(kIdcDevOk));
          EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, kWaitMs)) << "OK";
        });
    EXPECT_TRUE(opened) << "Setup opened no dialog";
  });
}

// Both history managers, opened from the window menu: every control
// answers the pointer (Add and Delete change the list, Save as and Load
// open the file dialog), Enter on a focused button presses it, and Escape
// or Close closes the manager.
TEST_F(DialogPointerTest, HistoryManagersAnswerThePointerAndCloseByEscapeOrClose) {
  Run([&](CMainWindow& window) {
    for (const char* entry : {"Manage Commandes history", "Manage Files history"}) {
      const bool byEscape = std::string(entry).find("Commandes") != std::string::npos;
      const bool opened =
          WhileOpen([&] { ChooseFromMenu(window, entry); },
                    [&](QWidget* top) {
                      auto* list = top->findChild<QTreeWidget*>("historyList");
                      ASSERT_NE(list, nullptr) << Name(top);
                      ExpectNamedAndGrouped(top);
                      auto* closeButton = top->findChild<QWidget*>("closeButton");
                      const int rows = list->topLevelItemCount();
                      m_input.ClickCentre(top->findChild<QWidget*>("addButton"));
                      EXPECT_TRUE(QTest::qWaitFor(
                          [&] { return list->topLevelItemCount() == rows + 1; }, kWaitMs))
                          << entry << ": Add";
                      const std::vector<std::string> failures = ClickEach(top, {closeButton});
                      EXPECT_TRUE(failures.empty()) << entry << ":\n" << Joined(failures);

                      auto* add = top->findChild<QWidget*>("addButton");
                      ASSERT_TRUE(QTest::qWaitFor([&] { return Focused(top); }, kWaitMs));
                      add->setFocus(Qt::TabFocusReason);
                      const int before = list->topLevelItemCount();
                      m_input.Key("Return");
                      EXPECT_TRUE(QTest::qWaitFor(
                          [&] { return list->topLevelItemCount() == before + 1; }, kWaitMs))
                          << entry << ": Enter on Add";
                      if (byEscape) {
                        m_input.Key("Escape");
                      } else {
                        m_input.ClickCentre(closeButton);
                      }
                      EXPECT_TRUE(QTest::qWaitFor([&] { return !top->isVisible(); }, kWaitMs))
                          << entry << (byEscape ? ": Escape" : ": Close");
                    });
      EXPECT_TRUE(opened) << entry << " opened no dialog";
    }
  });
}

// The About box from the window menu: its OK answers the pointer, and Enter
// and Escape each close it too.
TEST_F(DialogPointerTest, AboutBoxClosesByOkEnterAndEscape) {
  Run([&](CMainWindow& window) {
    for (const char* way : {"OK", "Return", "Escape"}) {
      const bool opened = WhileOpen(
          [&] { ChooseFromMenu(window, "&About Sendrix..."); },
          [&](QWidget* top) {
            ExpectNamedAndGrouped(top);
            const std::vector<QWidget*> controls = ControlsOf(top);
            ASSERT_EQ(controls.size(), 1u);
            if (std::string(way) == "OK") {
              QWidget* under =
                  QApplication::widgetAt(controls[0]->mapToGlobal(controls[0]->rect().center()));
              EXPECT_TRUE(Holds(controls[0], under)) << "OK lies under something";
              m_input.ClickCentre(controls[0]);
            } else {
              m_input.Key(way);
            }
            EXPECT_TRUE(QTest::qWaitFor([&] { return !top->isVisible(); }, kWaitMs)) << way;
          });
      EXPECT_TRUE(opened) << "the About entry opened no box";
    }
  });
}

// Info, clicked in the USB panel after the USB radio, shows the output
// window: its text takes the focus from the pointer, and Escape hides it.
TEST_F(DialogPointerTest, OutputWindowTakesThePointerAndEscapeHidesIt) {
  Run([&](CMainWindow& window) {
    m_input.ClickCentre(window.Controls().Find(kUsbRadio));
    auto& usb = static_cast<CPanelBase&>(window.Panel(1)).Controls();
    QWidget* info = usb.Find(kInfoButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return info->isVisible() && info->isEnabled(); }, kWaitMs))
        << "Info is not offered";
    m_input.ClickCentre(info);
    COutputWinDlg* output = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* o = qobject_cast<COutputWinDlg*>(w); o != nullptr && o->isVisible()) {
              output = o;
            }
          }
          return output != nullptr && Focused(output);
        },
        kWaitMs))
        << "Info showed no output window";
    ExpectNamedAndGrouped(output);
    const std::vector<std::string> failures = ClickEach(output);
    EXPECT_TRUE(failures.empty()) << Joined(failures);
    EXPECT_TRUE(output->Edit()->hasFocus());
    m_input.Key("Escape");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !output->isVisible(); }, kWaitMs));
  });
}

}  // namespace
