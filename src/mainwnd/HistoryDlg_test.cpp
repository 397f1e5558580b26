// The history manager dialog driven as an operator would: clicks, keys, the
// file dialog answered from a script, message boxes recorded.
#include "mainwnd/HistoryDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "platform/Notifier.h"
#include "testsupport/RecordingNotifier.h"
#include "testsupport/ScriptedFileDialog.h"

class HistoryDlgTest : public QObject {
  Q_OBJECT

 private:
  static QTreeWidget* List(CHistoryDlg& dlg) { return dlg.findChild<QTreeWidget*>("historyList"); }
  static void Click(CHistoryDlg& dlg, const char* button) {
    QTest::mouseClick(dlg.findChild<QPushButton*>(button), Qt::LeftButton);
  }
  static QStringList Texts(CHistoryDlg& dlg) {
    QStringList texts;
    for (int r = 0; r < List(dlg)->topLevelItemCount(); ++r)
      texts << List(dlg)->topLevelItem(r)->text(0);
    return texts;
  }

  CRecordingNotifier m_notifier;
  CScriptedFileDialog m_dialogs;
  CHistoryFileBrowser m_browser;
  QTemporaryDir m_dir{QString::fromLocal8Bit(qgetenv("SENDRIX_TEST_TMP").isEmpty()
                                                 ? QByteArray("/tmp")
                                                 : qgetenv("SENDRIX_TEST_TMP")) +
                      "/history-dlg-XXXXXX"};

 private slots:
  void init() {
    SetNotifier(&m_notifier);
    m_notifier.Clear();
    m_dialogs = CScriptedFileDialog();
    m_browser = CHistoryFileBrowser();
  }
  void cleanup() { SetNotifier(nullptr); }

  void deletingTheLastRowSelectsTheNewLastAndEscapeCloses() {
    CHistoryFileLists lists{{}, {"one", "two", "three"}};
    CHistoryDlg dlg(CHistoryEditor::kStringMode, lists, m_dialogs, m_browser);
    dlg.show();
    QCOMPARE(List(dlg)->columnCount(), 1);
    QVERIFY(!List(dlg)->headerItem()->text(0).isEmpty());
    List(dlg)->setCurrentItem(List(dlg)->topLevelItem(2));
    Click(dlg, "deleteButton");
    QCOMPARE(Texts(dlg), QStringList({"one", "two"}));
    QCOMPARE(List(dlg)->selectedItems(), QList<QTreeWidgetItem*>{List(dlg)->topLevelItem(1)});
    Click(dlg, "deleteButton");
    Click(dlg, "deleteButton");
    QCOMPARE(List(dlg)->topLevelItemCount(), 0);
    Click(dlg, "deleteButton");  // nothing selected, nothing to delete
    auto* add = dlg.findChild<QPushButton*>("addButton");
    add->setFocus();
    QTest::keyClick(add, Qt::Key_Return);  // Enter runs the focused button only
    QCOMPARE(Texts(dlg), QStringList({"New"}));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
    // The row "Add" made and nobody filled in is no entry.
    QCOMPARE(lists.strings, std::vector<std::string>());
  }

  // In hex mode an edit must be hex; a refused one is undone and explained.
  void anInvalidEditIsRefusedWhereItIsTyped() {
    CHistoryFileLists lists{{}, {"1B 40 "}};
    CHistoryDlg dlg(CHistoryEditor::kStringMode, lists, m_dialogs, m_browser, nullptr, 1);
    dlg.show();
    List(dlg)->setCurrentItem(List(dlg)->topLevelItem(0));
    QTest::keyClick(List(dlg), Qt::Key_F2);
    auto* edit = List(dlg)->viewport()->findChild<QLineEdit*>();
    QVERIFY(edit != nullptr);
    edit->setText("1B 40 zz");
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_notifier.Texts().size(), size_t{1}, 2000);
    QVERIFY(m_notifier.Texts()[0].find("1B 40 zz") != std::string::npos);
    QCOMPARE(Texts(dlg), QStringList({"1B 40 "}));
    dlg.close();
    QCOMPARE(lists.strings, std::vector<std::string>({"1B 40 "}));
  }

  void addThenF2BrowsesAndFillsTheRow() {
    const std::string picked = (m_dir.path() + "/receipt.prn").toStdString();
    std::ofstream(picked) << "0123456789";
    CHistoryFileLists lists;
    CHistoryDlg dlg(CHistoryEditor::kFileMode, lists, m_dialogs, m_browser);
    dlg.show();
    QCOMPARE(List(dlg)->columnCount(), 3);
    Click(dlg, "addButton");
    m_dialogs.answers = {{picked, -1}};
    QTest::keyClick(List(dlg), Qt::Key_F2);
    QCOMPARE(m_dialogs.calls.size(), size_t{1});
    QTreeWidgetItem* row = List(dlg)->topLevelItem(0);
    QCOMPARE(row->text(0).toStdString(), picked);
    QCOMPARE(row->text(1), QString("10"));
    QVERIFY(!row->text(2).isEmpty());
    // The label is open for editing, holding the picked path; Enter ends it.
    auto* edit = List(dlg)->viewport()->findChild<QLineEdit*>();
    QVERIFY(edit != nullptr && edit->isVisible());
    QCOMPARE(edit->text().toStdString(), picked);
    edit->setText(edit->text() + ".old");  // no such file: refused
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_notifier.Texts().size(), size_t{1}, 2000);
    QCOMPARE(row->text(0).toStdString(), picked);
    QCOMPARE(row->text(1), QString("10"));
    dlg.close();
    QCOMPARE(lists.files, std::vector<std::string>({picked}));
  }

  // Saved, then a file without string history refused with nothing changed,
  // then the saved file loaded back into the list (the file format itself is
  // tested in history/HistoryFile).
  void savedStringsComeBackAndAWrongFileIsRefused() {
    const std::vector<std::string> strings = {"A\\x41\\n", " hello ", "41 42 0D 0A ", "\"q\""};
    CHistoryFileLists lists{{"/srv/fw/main.bin"}, strings};
    const std::string base = (m_dir.path() + "/hist").toStdString();
    const std::string wrong = (m_dir.path() + "/files-only.ini").toStdString();
    std::ofstream(wrong, std::ios::binary)
        << "[Files History]\r\nCount=1\r\nHist File #0=/x.prn\r\n";
    CHistoryDlg dlg(CHistoryEditor::kStringMode, lists, m_dialogs, m_browser);
    m_dialogs.answers = {{base, -1}, {wrong, -1}, {base + ".ini", -1}};
    Click(dlg, "saveAsButton");
    const QString title = QString::fromStdString("Manage commands history - " + base + ".ini");
    QCOMPARE(dlg.windowTitle(), title);
    Click(dlg, "addButton");  // a row the refused file must not take away
    const QStringList before = Texts(dlg);
    Click(dlg, "loadButton");
    QCOMPARE(m_notifier.Texts(), std::vector<std::string>({"Wrong ini file"}));
    QCOMPARE(Texts(dlg), before);
    QCOMPARE(dlg.windowTitle(), title);
    Click(dlg, "loadButton");
    QStringList expected;
    for (const std::string& s : strings)
      expected << QString::fromStdString(s);
    QCOMPARE(Texts(dlg), expected);
    dlg.close();
    QCOMPARE(lists.files, std::vector<std::string>({"/srv/fw/main.bin"}));  // not /x.prn
  }
};

QTEST_MAIN(HistoryDlgTest)
#include "HistoryDlg_test.moc"
