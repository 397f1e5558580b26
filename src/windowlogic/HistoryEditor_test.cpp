// The history manager without Qt: the file dialog's starting point and
// remembered filter, the rows' rules, what closing and saving hand back.
#include "windowlogic/HistoryEditor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Notifier.h"
#include "testsupport/RecordingNotifier.h"
#include "testsupport/ScriptedFileDialog.h"

namespace {

std::vector<std::string> Names(const CHistoryEditor& editor) {
  std::vector<std::string> names;
  for (const CFileListRow& row : editor.Rows())
    names.push_back(row.name);
  return names;
}

TEST(HistoryFileBrowserTest, StartsAtTheEntryAndRemembersThePickedFilter) {
  const std::pair<const char*, const char*> names[] = {{"", "*.*"},
                                                       {"/fw/main.bin", "/fw/*.bin"},
                                                       {"/fw/main.v2.bin", "/fw/*.v2.bin"},
                                                       {"/a.b/readme", "/a.b/*.*"},
                                                       {"New", "*.*"}};
  for (const auto& [name, initial] : names)
    EXPECT_EQ(CHistoryFileBrowser::InitialName(name), initial) << name;

  CScriptedFileDialog dialogs;
  CHistoryFileBrowser browser;
  std::string chosen;
  dialogs.answers = {{"/fw/new.bin", 5}, {"", 1}};
  EXPECT_EQ(browser.BrowseHistoryFile(dialogs, "/fw/main.bin", chosen), 1);
  EXPECT_EQ(chosen, "/fw/new.bin");
  EXPECT_EQ(browser.BrowseHistoryFile(dialogs, "/x/logo.gfx", chosen), 0);  // cancelled
  EXPECT_EQ(browser.BrowseHistoryFile(dialogs, "/y/a.BIN", chosen), 0);
  ASSERT_EQ(dialogs.calls.size(), 3u);
  EXPECT_EQ(dialogs.calls[0].initial, "/fw/*.bin");
  EXPECT_EQ(dialogs.calls[0].filterIndex, 3);
  EXPECT_EQ(dialogs.calls[1].initial, "/x/*.tst");  // the picked filter's extension
  EXPECT_EQ(dialogs.calls[1].filterIndex, 5);
  EXPECT_EQ(dialogs.calls[2].filterIndex, 5);  // a cancel does not change it

  CScriptedFileDialog fresh;
  CHistoryFileBrowser other;
  EXPECT_EQ(other.BrowseHistoryFile(fresh, "/z/b.BIN", chosen), 0);
  EXPECT_EQ(fresh.calls[0].filterIndex, 0);  // extensions compare with case
}

TEST(HistoryEditorTest, FileRowsNewestFirstAtMostTwentyAndCloseGivesOldestFirst) {
  CHistoryFileLists lists;
  for (int i = 0; i < 22; ++i)
    lists.files.push_back("/f/" + std::to_string(i) + ".prn");
  // Newest, the same file as /f/3.prn; then chosen again while on top.
  lists.files.insert(lists.files.end(), 2, "/F/3.PRN");
  CScriptedFileDialog dialogs;
  CHistoryFileBrowser browser;
  CHistoryEditor editor(CHistoryEditor::kFileMode, lists, dialogs, browser);
  editor.OnInitDialog();
  EXPECT_EQ(editor.Title(), "Manage files history - current setting");
  EXPECT_EQ(editor.Columns().size(), 3u);
  ASSERT_EQ(editor.Rows().size(), 20u);
  EXPECT_EQ(editor.Rows()[0].name, "/F/3.PRN");
  EXPECT_EQ(editor.Rows()[1].name, "/f/21.prn");
  EXPECT_EQ(editor.Rows()[19].name, "/f/2.prn");
  EXPECT_TRUE(editor.Rows()[0].size.empty());  // no such file: no size, no date

  editor.SetSelection(1);
  editor.OnDelete();
  EXPECT_EQ(editor.Selection(), 1);
  EXPECT_EQ(editor.Rows()[1].name, "/f/20.prn");
  editor.OnClose();
  ASSERT_EQ(lists.files.size(), 19u);
  EXPECT_EQ(lists.files.front(), "/f/2.prn");
  EXPECT_EQ(lists.files.back(), "/F/3.PRN");
}

TEST(HistoryEditorTest, StringRowsEditAndSaveWhatIsShown) {
  CRecordingNotifier notifier;
  SetNotifier(&notifier);
  CHistoryFileLists lists{{"/a.prn"}, {"newest", "older", "oldest"}};
  CScriptedFileDialog dialogs;
  CHistoryFileBrowser browser;
  CHistoryEditor editor(CHistoryEditor::kStringMode, lists, dialogs, browser);
  editor.OnInitDialog();
  EXPECT_EQ(Names(editor), (std::vector<std::string>{"newest", "older", "oldest"}));
  editor.SetSelection(0);
  EXPECT_EQ(editor.EditSelected(), 0);
  editor.OnEndLabelEdit(0, "edited");
  EXPECT_TRUE(dialogs.calls.empty());  // strings are edited in place only

  dialogs.answers = {{"/nonexistent/dir/h", -1}};
  editor.OnSaveAs();
  EXPECT_EQ(dialogs.calls.back().title, "Save Ini files");
  EXPECT_EQ(notifier.Texts(),
            (std::vector<std::string>{"Cannot write the history file /nonexistent/dir/h.ini"}));
  EXPECT_EQ(editor.Title(), "Manage commands history - current setting");
  EXPECT_EQ(editor.ListsShown().strings, (std::vector<std::string>{"edited", "older", "oldest"}));
  EXPECT_EQ(lists.strings[0], "newest");  // the list changes on close only

  editor.OnClose();
  EXPECT_EQ(lists.strings, (std::vector<std::string>{"oldest", "older", "edited"}));
  SetNotifier(nullptr);
}

}  // namespace
