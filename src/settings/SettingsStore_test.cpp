#include "settings/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/WindowPlacementStore.h"
#include "testsupport/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

const std::string kRoot = kSettingsRootKey;

// Every persisted field, in a comparable form.
std::vector<long long> Persisted(const CDialogFields& f) {
  return {f.main.m_nStringFormat,     f.main.m_bShowUsm,         f.main.m_bCreateLog,
          f.main.m_bPacketMode,       f.main.m_nInterface,       f.serial.m_nPortIndex,
          f.serial.m_nBaudIndex,      f.serial.m_nParityIndex,   f.serial.m_nFlowIndex,
          f.serial.m_nDataBitsIndex,  f.serial.m_nStopBitsIndex, f.usb.m_nOutEndpoint,
          f.usb.m_bMonitor,           f.ethernet.m_dwIpAddress,  f.ethernet.m_nMainPort,
          f.ethernet.m_nRealTimePort, f.ethernet.m_nUsmPort,     f.ethernet.m_bAutoReconnect,
          f.main.m_bJsonLog,          f.main.m_bShowTime,        f.main.m_nRxBlockGapMs};
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = MakeTestFolder("settings");
    ASSERT_FALSE(m_dir.empty());
    m_paths.m_strUserFile = m_dir + "/user/sendrix/sendrix.reg";
    m_paths.m_systemFiles = {m_dir + "/etc/sendrix.reg", m_dir + "/bin/sendrix.reg"};
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string MakeFile(const std::string& name) {
    const std::string path = m_dir + "/data/" + name;
    WriteFileBytes(path, "data");
    return path;
  }
  // Loads through a fresh store, as a new run would.
  int Load(CDialogFields& f, CHistoryLists& h) {
    return CSettingsStore(m_paths).LoadSettings(f, h);
  }

  std::string m_dir;
  CSettingsPaths m_paths;
};

TEST_F(SettingsStoreTest, DefaultPathsFollowXdgTheExecutableAndTheBuildTree) {
  const char* oldHome = std::getenv("XDG_CONFIG_HOME");
  const char* oldDirs = std::getenv("XDG_CONFIG_DIRS");
  const std::string savedHome = oldHome ? oldHome : "", savedDirs = oldDirs ? oldDirs : "";
  setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
  setenv("XDG_CONFIG_DIRS", "/etc/a:relative:/etc/b", 1);
  const CSettingsPaths paths = CSettingsPaths::Default();
  oldHome ? setenv("XDG_CONFIG_HOME", savedHome.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
  oldDirs ? setenv("XDG_CONFIG_DIRS", savedDirs.c_str(), 1) : unsetenv("XDG_CONFIG_DIRS");

  EXPECT_EQ(paths.m_strUserFile, m_dir + "/sendrix/sendrix.reg");
  const std::string exeDir = fs::read_symlink("/proc/self/exe").parent_path().string();
  EXPECT_EQ(paths.m_systemFiles,
            (Strings{"/etc/a/sendrix/sendrix.reg", "/etc/b/sendrix/sendrix.reg",
                     exeDir + "/../share/sendrix/sendrix.reg", exeDir + "/sendrix.reg"}));

  // The build tree's layer names the text library that is built.
  m_paths.m_systemFiles = {SENDRIX_BUILD_SYSTEM_REG};
  CDialogFields f;
  CHistoryLists h;
  CSettingsStore store(m_paths);
  store.LoadSettings(f, h);
  EXPECT_EQ(store.ThesaurusDllName(), SENDRIX_TEXTS_EN_NAME);
}

// The first system file is a Windows export (UTF-16, CR LF, the 32-bit view's
// key); a value missing from every layer keeps its default.
TEST_F(SettingsStoreTest, UserFileOverSystemLayersFirstSystemFileWins) {
  const std::string wow = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\KORVEL\\SENDRIX";
  const std::string windows = "Windows Registry Editor Version 5.00\r\n\r\n" + wow +
                              "]\r\n\"Thesaurus DLL Name\"=\"ThesEn.dll\"\r\n\r\n" + wow +
                              "\\Communication Parameters]\r\n\"Baud Rate\"=dword:00000002\r\n"
                              "\"Interface Type\"=dword:00000002\r\n"
                              "\"Ethernet IP Address\"=dword:c0a80102\r\n"
                              "\"Ethernet Port\"=dword:0000238c\r\n";
  WriteFileBytes(m_paths.m_systemFiles[0], Utf16Le(windows));
  const std::string head = "Windows Registry Editor Version 5.00\n\n[" + kRoot;
  WriteFileBytes(m_paths.m_systemFiles[1],
                 head + "\\Communication Parameters]\n\"Baud Rate\"=dword:3\n" +
                     "\"Parity\"=dword:1\n\"Stop Bits\"=dword:2\n");
  WriteFileBytes(m_paths.m_strUserFile, head + "\\Communication Parameters]\n\"Parity\"=dword:4\n");
  CDialogFields f;
  CHistoryLists h;
  CSettingsStore store(m_paths);
  store.LoadSettings(f, h);
  EXPECT_EQ(store.ThesaurusDllName(), "ThesEn.dll");
  EXPECT_EQ(f.serial.m_nBaudIndex, 2);
  EXPECT_EQ(f.serial.m_nParityIndex, 4);
  EXPECT_EQ(f.serial.m_nStopBitsIndex, 2);
  EXPECT_EQ(f.main.m_nInterface, 2);
  EXPECT_EQ(f.ethernet.m_dwIpAddress, 0xC0A80102u);
  EXPECT_EQ(f.ethernet.m_nMainPort, 9100);
  EXPECT_EQ(f.ethernet.m_nUsmPort, 9110);  // missing: default
}

TEST_F(SettingsStoreTest, SavedValuesComeBackAndForeignValuesAreKept) {
  WriteFileBytes(m_paths.m_strUserFile, "[" + kRoot +
                                            "]\r\n\"Thesaurus DLL Name\"=\"/opt/t.so\"\r\n" +
                                            "\"Added Later\"=dword:00000007\r\n[" + kRoot +
                                            "\\Unrelated]\r\n\"X\"=dword:1\r\n");
  CDialogFields f;
  CSettingsStore::ApplyDefaults(f);
  f.main.m_nStringFormat = 0;
  f.main.m_bShowUsm = f.main.m_bCreateLog = f.main.m_bPacketMode = f.main.m_bJsonLog = 1;
  f.main.m_bShowTime = 1;
  f.main.m_nRxBlockGapMs = 150;
  f.main.m_nInterface = 2;
  f.serial = CSerialFields{4, 4, 2, 2, 1, 3};
  f.usb = CUsbFields{0, "", 1, 0};
  f.ethernet = CEthernetFields{0xC0A80102u, "", 0, 0, 9200, 1, 65535};
  ASSERT_EQ(CSettingsStore(m_paths).SaveSettings(f, CHistoryLists()), 1);

  const std::string text = ReadFileBytes(m_paths.m_strUserFile);
  EXPECT_NE(text.find("\"Ethernet IP Address\"=dword:c0a80102\n"), std::string::npos);
  EXPECT_NE(text.find("\"Thesaurus DLL Name\"=\"/opt/t.so\""), std::string::npos);
  EXPECT_NE(text.find("\"Added Later\"=dword:00000007"), std::string::npos);
  EXPECT_EQ(text.find("Unrelated"), std::string::npos);

  CDialogFields back;
  CHistoryLists h;
  CSettingsStore store(m_paths);
  store.LoadSettings(back, h);
  EXPECT_EQ(Persisted(back), Persisted(f));
  EXPECT_EQ(store.ThesaurusDllName(), "/opt/t.so");
}

TEST_F(SettingsStoreTest, ShrunkHistoriesLeaveNoStaleEntriesAndDeadFilesDropOut) {
  CDialogFields f;
  CSettingsStore::ApplyDefaults(f);  // Hex mode
  CHistoryLists h;
  for (int i = 0; i < 12; ++i) {
    h.m_files.push_back(MakeFile("f" + std::to_string(i)));
    h.m_strings.push_back(std::to_string(10 + i) + " ");
  }
  ASSERT_EQ(CSettingsStore(m_paths).SaveSettings(f, h), 1);

  fs::remove(h.m_files[3]);
  CHistoryLists loaded;
  Load(f, loaded);
  EXPECT_EQ(loaded.m_nFileCount, 12);
  ASSERT_EQ(loaded.m_files.size(), 11u);  // the deleted file is skipped
  EXPECT_EQ(loaded.m_files[3], h.m_files[4]);
  EXPECT_EQ(loaded.m_strings.front(), "21 ");  // oldest first after loading
  EXPECT_EQ(loaded.m_strings.back(), "10 ");

  CHistoryLists shrunk;
  shrunk.m_nFileCount = loaded.m_nFileCount;
  shrunk.m_nStringCount = loaded.m_nStringCount;
  shrunk.m_files.assign(loaded.m_files.begin(), loaded.m_files.begin() + 5);
  shrunk.m_strings = {"AA ", "BB ", "CC ", "DD ", "EE "};  // most recent first
  ASSERT_EQ(CSettingsStore(m_paths).SaveSettings(f, shrunk), 1);
  const std::string text = ReadFileBytes(m_paths.m_strUserFile);
  EXPECT_NE(text.find("\"Nb Files History\"=dword:00000005"), std::string::npos);
  EXPECT_NE(text.find("\"Nb String History\"=dword:00000005"), std::string::npos);
  for (int i = 5; i < 12; ++i) {
    EXPECT_EQ(text.find("\"Hist File #" + std::to_string(i) + "\""), std::string::npos) << i;
    EXPECT_EQ(text.find("\"Hist String #" + std::to_string(i) + "\""), std::string::npos) << i;
  }
  EXPECT_NE(text.find("\"Hist String #0\"=\"AA \""), std::string::npos);

  // A count above the entries present loads those there are.
  WriteFileBytes(m_paths.m_strUserFile,
                 text + "[" + kSettingsFilesKey + "]\n\"Nb Files History\"=dword:40\n");
  CHistoryLists again;
  Load(f, again);
  EXPECT_EQ(again.m_nFileCount, 64);
  EXPECT_EQ(again.m_files, shrunk.m_files);
  EXPECT_EQ(again.m_strings, (Strings{"EE ", "DD ", "CC ", "BB ", "AA "}));
}

TEST_F(SettingsStoreTest, DataStringsAreStoredAsHexTextAndConvertedPerMode) {
  CDialogFields f;
  CSettingsStore::ApplyDefaults(f);
  f.main.m_nStringFormat = 0;  // ASCII
  CHistoryLists h;
  h.m_strings = {"\\x1Bt\\r", std::string(86, 'z'), "", "A"};
  ASSERT_EQ(CSettingsStore(m_paths).SaveSettings(f, h), 1);
  const std::string text = ReadFileBytes(m_paths.m_strUserFile);
  std::string zHex;  // 86 bytes: 258 characters of hex text, kept
  for (int i = 0; i < 86; ++i)
    zHex += "7A ";
  EXPECT_NE(text.find("\"Nb String History\"=dword:00000003\n\"Hist String #0\"=\"1B 74 0D \"\n"
                      "\"Hist String #1\"=\"" +
                      zHex + "\"\n\"Hist String #2\"=\"41 \"\n"),
            std::string::npos);

  CHistoryLists ascii;
  Load(f, ascii);
  EXPECT_EQ(f.main.m_nStringFormat, 0);
  EXPECT_EQ(ascii.m_strings, (Strings{"A", std::string(86, 'z'), "\\x1Bt\\r"}));

  // The same entries in Hex mode, also from hex text in another spelling.
  std::string hexMode = text;
  hexMode.replace(hexMode.find("\"String Mode\"=dword:00000000"), 28,
                  "\"String Mode\"=dword:00000001");
  hexMode.replace(hexMode.find("\"1B 74 0D \""), 11, "\"1b740d\"");
  WriteFileBytes(m_paths.m_strUserFile, hexMode);
  CHistoryLists hex;
  Load(f, hex);
  EXPECT_EQ(hex.m_strings, (Strings{"41 ", zHex, "1B 74 0D "}));
}

TEST_F(SettingsStoreTest, SaveInterruptedBeforeRenameKeepsThePreviousFile) {
  CDialogFields f;
  CSettingsStore::ApplyDefaults(f);
  ASSERT_EQ(CSettingsStore(m_paths).SaveSettings(f, CHistoryLists()), 1);
  const std::string before = ReadFileBytes(m_paths.m_strUserFile);
  f.main.m_nInterface = 2;

  // A failure between the complete temporary file and the rename.
  CSettingsStore failing(m_paths);
  std::string tempSeen;
  failing.SetBeforeRenameHook([&](const std::string& temp) {
    tempSeen = temp;
    return false;
  });
  EXPECT_EQ(failing.SaveSettings(f, CHistoryLists()), 0);
  EXPECT_EQ(ReadFileBytes(m_paths.m_strUserFile), before);
  EXPECT_FALSE(tempSeen.empty());
  EXPECT_FALSE(fs::exists(tempSeen));

  // The process killed at that point: the file is still the previous one.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CSettingsStore dying(m_paths);
    dying.SetBeforeRenameHook([](const std::string&) -> bool { _exit(0); });
    dying.SaveSettings(f, CHistoryLists());
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFileBytes(m_paths.m_strUserFile), before);
  CDialogFields back;
  CHistoryLists h;
  Load(back, h);
  EXPECT_EQ(back.main.m_nInterface, 0);

  // Its temporary file goes with the next save; that of a running process
  // (pid 1, which may be saving) stays.
  const std::string stale = m_paths.m_strUserFile + ".tmp-" + std::to_string(child);
  const std::string running = m_paths.m_strUserFile + ".tmp-1";
  EXPECT_TRUE(fs::exists(stale));
  WriteFileBytes(running, "");
  ASSERT_EQ(CSettingsStore(m_paths).SaveSettings(f, CHistoryLists()), 1);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(running));
}

TEST_F(SettingsStoreTest, BrokenOrHostileFilesGiveDefaults) {
  // String mode Hex, no USM, no log, no packet, serial, COM1, 115200, parity
  // 0, flow 1, data bits 3, stop bits 0, Norm/RT, monitor, 0.0.0.0,
  // 9100/9105/9110, reconnect, no JSON log, no Time column, a 20 ms gap.
  const std::vector<long long> defaults = {1, 0, 0, 0,    0,    0,    0, 0, 1, 3, 0,
                                           0, 1, 0, 9100, 9105, 9110, 1, 0, 0, 20};
  const std::string key = "[" + std::string(kSettingsCommKey) + "]\n";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"first run: no file", ""},
      {"truncated line", key + "\"Interface Type\"=dword:000"},
      {"out of range", key + "\"Interface Type\"=dword:00000007\n\"Ethernet Port\"=dword:10000\n" +
                           "\"Data Bits\"=dword:ffffffff\n"},
      {"text for a number", key + "\"Baud Rate\"=\"2\"\n"},
      {"nine digits", key + "\"Flow Control\"=dword:000000000\n"},
      {"unterminated", key + "\"Parity\"=dword:1\"\n\"Stop Bits\n"},
      {"huge counts, no entries",
       "[" + std::string(kSettingsFilesKey) + "]\n\"Nb Files History\"=dword:ffffffff\n[" +
           kSettingsStringsKey + "]\n\"Nb String History\"=dword:7fffffff\n"},
      {"bad history entries", "[" + std::string(kSettingsStringsKey) +
                                  "]\n\"Nb String History\"=dword:3\n\"Hist String #0\"=\"GG\"\n" +
                                  "\"Hist String #1\"=\"" + std::string(768, '4') +
                                  "\"\n\"Hist String #2\"=\"414\"\n"},
      {"over 1 MiB", key + std::string(2 << 20, '\n') + "\"Interface Type\"=dword:2\n"},
  };
  for (const auto& [what, bytes] : cases) {
    if (!bytes.empty())
      WriteFileBytes(m_paths.m_strUserFile, bytes);
    CDialogFields f;
    CHistoryLists h;
    h.m_files = {"left over"};
    CSettingsStore store(m_paths);
    EXPECT_EQ(store.LoadSettings(f, h), 1) << what;
    EXPECT_EQ(Persisted(f), defaults) << what;
    EXPECT_EQ(store.ThesaurusDllName(), "") << what;
    EXPECT_TRUE(h.m_files.empty() && h.m_strings.empty()) << what;
  }
  // A folder where the file should be: said, and kept aside by the save.
  fs::remove(m_paths.m_strUserFile);
  fs::create_directories(m_paths.m_strUserFile + "/inside");
  CDialogFields f;
  CHistoryLists h;
  CSettingsStore store(m_paths);
  EXPECT_EQ(store.LoadSettings(f, h), 1);
  EXPECT_EQ(Persisted(f), defaults);
  EXPECT_NE(
      store.LoadProblem().find(m_paths.m_strUserFile + " cannot be read: it is not a regular"),
      std::string::npos);
  EXPECT_EQ(store.SaveSettings(f, h), 1);
  EXPECT_TRUE(fs::exists(m_paths.m_strUserFile + ".unreadable/inside"));
}

// Runs that share the file each load it, then save in turn: every run's
// strings stay, most recent first; a setting keeps the value of the run
// that changed it; an entry one run removed stays removed.
TEST_F(SettingsStoreTest, SavesOfRunsSharingTheFileMerge) {
  CDialogFields f;
  CSettingsStore::ApplyDefaults(f);
  CHistoryLists start;
  start.m_strings = {"AA ", "BB ", "CC "};
  ASSERT_EQ(CSettingsStore(m_paths).SaveSettings(f, start), 1);

  CSettingsStore first(m_paths), second(m_paths), third(m_paths);
  CDialogFields f1, f2, f3;
  CHistoryLists h1, h2, h3;
  first.LoadSettings(f1, h1);
  second.LoadSettings(f2, h2);
  third.LoadSettings(f3, h3);
  f1.serial.m_nBaudIndex = 4;
  h1.m_strings = {"11 ", "AA ", "BB ", "CC "};
  f2.ethernet.m_nMainPort = 9200;
  h2.m_strings = {"CC ", "22 ", "AA ", "BB "};  // CC chosen again
  h3.m_strings = {"33 ", "AA ", "CC "};         // BB removed in the manager
  ASSERT_EQ(first.SaveSettings(f1, h1), 1);
  ASSERT_EQ(second.SaveSettings(f2, h2), 1);
  ASSERT_EQ(third.SaveSettings(f3, h3), 1);

  CDialogFields back;
  CHistoryLists h;
  Load(back, h);
  EXPECT_EQ(back.serial.m_nBaudIndex, 4);
  EXPECT_EQ(back.ethernet.m_nMainPort, 9200);
  EXPECT_EQ(h.m_strings, (Strings{"AA ", "11 ", "22 ", "CC ", "33 "}));  // oldest first
}

// (What the program says and keeps for each kind of unreadable file, and
// read-only files, are checked end to end: StoredData_test.sh.)
TEST_F(SettingsStoreTest, AnUnreadableFileIsKeptUnderAFreeName) {
  WriteFileBytes(m_paths.m_strUserFile, "\x89PNG\r\n");
  WriteFileBytes(m_paths.m_strUserFile + ".unreadable", "an older one");
  CDialogFields f;
  CHistoryLists h;
  CSettingsStore store(m_paths);
  store.LoadSettings(f, h);
  EXPECT_NE(store.LoadProblem().find("is not a registry export"), std::string::npos);
  EXPECT_NE(store.LoadProblem().find("kept as " + m_paths.m_strUserFile + ".unreadable-2"),
            std::string::npos);
  ASSERT_EQ(store.SaveSettings(f, h), 1);
  EXPECT_EQ(ReadFileBytes(m_paths.m_strUserFile + ".unreadable-2"), "\x89PNG\r\n");
  EXPECT_EQ(ReadFileBytes(m_paths.m_strUserFile + ".unreadable"), "an older one");
}

TEST_F(SettingsStoreTest, WindowPlacementKeepsPositionAndShowState) {
  CWindowPlacementStore store(m_dir + "/user/sendrix/sendrix-window.ini");
  CWindowPlacement p;
  EXPECT_EQ(store.Load(&p), 0);
  ASSERT_EQ(store.Save(CWindowPlacement{-20, 300, CWindowPlacement::kShowMaximized}), 1);
  EXPECT_EQ(ReadFileBytes(store.Path()), "[WindowState-Summary]\nWindowPlacement=-20 300 3\n");
  ASSERT_EQ(store.Load(&p), 1);
  EXPECT_EQ(p.m_nX, -20);
  EXPECT_EQ(p.m_nY, 300);
  EXPECT_EQ(p.m_nShowCmd, 3);
  for (const char* bad :
       {"[WindowState-Summary]\nWindowPlacement=1 2 9\n",
        "[WindowState-Summary]\nWindowPlacement=1 2\n", "[Other]\nWindowPlacement=1 2 1\n"}) {
    WriteFileBytes(store.Path(), bad);
    CWindowPlacement kept{7, 8, 1};
    EXPECT_EQ(store.Load(&kept), 0) << bad;
    EXPECT_EQ(kept.m_nX, 7);
  }
}

}  // namespace
