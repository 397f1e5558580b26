#include "settings/SettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "history/StringHistory.h"
#include "log/LogRotation.h"
#include "platform/FileIo.h"
#include "settings/RegText.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsMerge.h"

namespace {

constexpr DWORD kMaxPort = 65535;
constexpr DWORD kAnyValue = 0xFFFFFFFFu;
constexpr DWORD kMaxBlockGapMs = 60000;

// Calls visit(key, name, default, max, field) for every persisted number, in
// load order: the root key's numbers, then the communication parameters. A
// value outside 0 .. max takes the default, so an edited or foreign file can
// never select a list entry that does not exist; list sizes are those of the
// panels' lists. Fields is CDialogFields, const for saving.
template <class Fields, class Visit>
void ForEachNumber(Fields& f, Visit&& visit) {
  const char* root = kSettingsRootKey;
  const char* comm = kSettingsCommKey;
  visit(root, "String Mode", 1, 1, f.main.m_nStringFormat);
  visit(root, "Show USM Window", 0, 1, f.main.m_bShowUsm);
  visit(root, "Create Log File", 0, 1, f.main.m_bCreateLog);
  visit(root, "JSON Log File", 0, 1, f.main.m_bJsonLog);
  visit(root, "Show Receive Time", 0, 1, f.main.m_bShowTime);
  visit(root, "Receive Block Gap Ms", 20, kMaxBlockGapMs, f.main.m_nRxBlockGapMs);
  visit(comm, "Lottery Packet Mode", 0, 1, f.main.m_bPacketMode);
  visit(comm, "Interface Type", 0, 2, f.main.m_nInterface);
  visit(comm, "Serial Port Id", 0, 255, f.serial.m_nPortIndex);
  visit(comm, "Baud Rate", 0, 10, f.serial.m_nBaudIndex);
  visit(comm, "Parity", 0, 4, f.serial.m_nParityIndex);
  visit(comm, "Flow Control", 1, 4, f.serial.m_nFlowIndex);
  visit(comm, "Data Bits", 3, 3, f.serial.m_nDataBitsIndex);
  visit(comm, "Stop Bits", 0, 2, f.serial.m_nStopBitsIndex);
  visit(comm, "USB Out Endpoint", 0, 1, f.usb.m_nOutEndpoint);
  visit(comm, "Check Status Mode", 1, 1, f.usb.m_bMonitor);
  visit(comm, "Ethernet IP Address", 0, kAnyValue, f.ethernet.m_dwIpAddress);
  visit(comm, "Ethernet Port", 9100, kMaxPort, f.ethernet.m_nMainPort);
  visit(comm, "Real Time Ethernet Port", 9105, kMaxPort, f.ethernet.m_nRealTimePort);
  visit(comm, "USM Ethernet Port", 9110, kMaxPort, f.ethernet.m_nUsmPort);
  visit(comm, "Reconnect Mode", 1, 1, f.ethernet.m_bAutoReconnect);
}

template <class T>
void StoreNumber(T& field, DWORD value) {
  field = static_cast<T>(value);
}

constexpr char kThesaurusName[] = "Thesaurus DLL Name";
constexpr char kLogFilesKeptName[] = "Log Files Kept";
constexpr char kFileCountName[] = "Nb Files History";
constexpr char kFileEntryPrefix[] = "Hist File #";
constexpr char kStringCountName[] = "Nb String History";
constexpr char kStringEntryPrefix[] = "Hist String #";
constexpr DWORD kMaxHistoryCount = kMaxRegValues;

const std::vector<std::string>& KeyOrder() {
  static const std::vector<std::string> order = {kSettingsRootKey, kSettingsFilesKey,
                                                 kSettingsStringsKey, kSettingsCommKey};
  return order;
}

// How long a save waits for another run's save to the same folder.
constexpr int kSaveLockWaitMs = 10000;
constexpr mode_t kNewFileMode = 0600;

CRegData ReadLayer(const std::string& path) {
  std::string bytes;
  if (path.empty() || !ReadFileBytes(path, kMaxSettingsFileBytes, &bytes))
    return CRegData();
  return ParseRegText(bytes.data(), bytes.size());
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
}

// The numbered entries as the file holds them, entry 0 first; missing ones
// are skipped.
std::vector<std::string> StoredEntries(const CRegData& data, const char* key, const char* countName,
                                       const char* prefix) {
  DWORD count = 0;
  data.GetDword(key, countName, &count);
  std::vector<std::string> entries;
  for (DWORD i = 0; i < std::min<DWORD>(count, kMaxRegValues); ++i) {
    std::string text;
    if (data.GetString(key, prefix + std::to_string(i), &text))
      entries.push_back(text);
  }
  return entries;
}

// The file history most recent first (it is stored oldest first).
std::vector<std::string> StoredFiles(const CRegData& data) {
  std::vector<std::string> files =
      StoredEntries(data, kSettingsFilesKey, kFileCountName, kFileEntryPrefix);
  std::reverse(files.begin(), files.end());
  return files;
}

std::vector<std::string> StoredStrings(const CRegData& data) {
  return StoredEntries(data, kSettingsStringsKey, kStringCountName, kStringEntryPrefix);
}

// The first layer holding the value wins (the user's file comes first).
const CRegValue* FindIn(const std::vector<CRegData>& layers, const std::string& key,
                        const std::string& name) {
  for (const CRegData& layer : layers) {
    if (const CRegValue* v = layer.Find(key, name))
      return v;
  }
  return nullptr;
}

bool ReadText(const CRegData& data, const std::string& key, const std::string& name,
              std::string* out, std::size_t maxLength = kMaxSettingsText) {
  return data.GetString(key, name, out) && !out->empty() && out->size() <= maxLength;
}

std::string EntryName(const char* prefix, int index) {
  return prefix + std::to_string(index);
}

// Opened for reading and at once closed again; only a regular file counts,
// and the open never waits (a FIFO named in the history must not stall the
// start-up).
bool CanOpenForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular;
}

int ReadCount(const CRegData& data, const char* key, const char* name) {
  DWORD count = 0;
  if (!data.GetDword(key, name, &count))
    return 0;
  return static_cast<int>(std::min(count, kMaxHistoryCount));
}

void LoadFileHistory(const CRegData& user, CHistoryLists& h) {
  h.m_nFileCount = ReadCount(user, kSettingsFilesKey, kFileCountName);
  for (int i = 0; i < h.m_nFileCount; ++i) {
    std::string path;
    if (ReadText(user, kSettingsFilesKey, EntryName(kFileEntryPrefix, i), &path) &&
        CanOpenForReading(path))
      h.m_files.push_back(path);
  }
}

void LoadStringHistory(const CRegData& user, int stringMode, CHistoryLists& h) {
  h.m_nStringCount = ReadCount(user, kSettingsStringsKey, kStringCountName);
  for (int i = 0; i < h.m_nStringCount; ++i) {
    std::string hex;
    if (!ReadText(user, kSettingsStringsKey, EntryName(kStringEntryPrefix, i), &hex,
                  kMaxStoredStringText) ||
        !CanConvertHexToEscaped(hex))
      continue;
    std::string entry = HexToEscapedText(hex);
    if (entry.empty())
      continue;
    if (stringMode == 1) {
      if (!CanConvertEscapedToHex(entry))
        continue;
      entry = EscapedToHexText(entry);
    }
    h.m_strings.insert(h.m_strings.begin(), entry);
  }
}

bool Storable(const std::string& text, std::size_t maxLength) {
  return !text.empty() && text.size() <= maxLength &&
         text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::vector<std::string> Usable(std::vector<std::string> entries,
                                std::size_t maxLength = kMaxSettingsText) {
  std::erase_if(entries, [maxLength](const std::string& e) { return !Storable(e, maxLength); });
  return entries;
}

// The hex text stored for a history string, or "" when it cannot be stored.
std::string StoredHexText(const std::string& entry, int stringMode) {
  if (stringMode == 0)
    return CanConvertEscapedToHex(entry) ? EscapedToHexText(entry) : "";
  return CanConvertHexToEscaped(entry) ? entry : "";
}

void WriteHistory(CRegData& out, const char* key, const char* countName, const char* prefix,
                  const std::vector<std::string>& entries, std::size_t maxLength) {
  std::vector<std::string> kept;
  for (const std::string& entry : entries) {
    if (Storable(entry, maxLength))
      kept.push_back(entry);
  }
  out.SetDword(key, countName, static_cast<DWORD>(kept.size()));
  for (std::size_t i = 0; i < kept.size(); ++i)
    out.SetString(key, EntryName(prefix, static_cast<int>(i)), kept[i]);
}

// Values of our keys that the program does not write itself (for example
// "Thesaurus DLL Name", or values a later version adds) stay as they were.
void KeepOtherValues(CRegData previous, CRegData& out) {
  for (const std::string& key : KeyOrder()) {
    previous.DeleteNumbered(key, kFileEntryPrefix);
    previous.DeleteNumbered(key, kStringEntryPrefix);
    for (const CRegValue* v : previous.Values(key)) {
      if (out.Find(key, v->m_strName) != nullptr)
        continue;
      if (v->m_nKind == CRegValue::kDword)
        out.SetDword(key, v->m_strName, v->m_dwValue);
      else
        out.SetString(key, v->m_strName, v->m_strText);
    }
  }
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0')
    return home;
  const passwd* pw = getpwuid(getuid());
  return (pw != nullptr && pw->pw_dir != nullptr) ? pw->pw_dir : "/tmp";
}

std::string ExecutableFolder() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (n <= 0)
    return "";
  std::string exe(path, static_cast<std::size_t>(n));
  const std::size_t slash = exe.find_last_of('/');
  return slash == std::string::npos ? "" : exe.substr(0, slash);
}

}  // namespace

std::string CSettingsPaths::UserFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // Relative paths are to be ignored, as the base-directory rules say.
  if (config != nullptr && config[0] == '/')
    return std::string(config) + "/sendrix";
  return HomeFolder() + "/.config/sendrix";
}

CSettingsPaths CSettingsPaths::Default() {
  CSettingsPaths paths;
  paths.m_strUserFile = UserFolder() + "/" + kSettingsFileName;
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string list = (dirs != nullptr && *dirs != '\0') ? dirs : "/etc/xdg";
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos)
      end = list.size();
    const std::string dir = list.substr(start, end - start);
    if (!dir.empty() && dir[0] == '/')
      paths.m_systemFiles.push_back(dir + "/sendrix/" + kSettingsFileName);
    start = end + 1;
  }
  const std::string exeFolder = ExecutableFolder();
  if (!exeFolder.empty()) {
    paths.m_systemFiles.push_back(exeFolder + "/../share/sendrix/" + kSettingsFileName);
    paths.m_systemFiles.push_back(exeFolder + "/" + kSettingsFileName);
  }
  return paths;
}

CSettingsStore::CSettingsStore(CSettingsPaths paths) : m_paths(std::move(paths)) {}

void CSettingsStore::ApplyDefaults(CDialogFields& f) {
  ForEachNumber(
      f, [](const char*, const char*, DWORD def, DWORD, auto& field) { StoreNumber(field, def); });
}

int CSettingsStore::LoadSettings(CDialogFields& f, CHistoryLists& h) {
  CSettingsFileRead user = ReadSettingsFile(m_paths.m_strUserFile, kMaxSettingsFileBytes);
  m_strLoadProblem.clear();
  m_bUserFileUnreadable = user.m_bUnreadable;
  if (user.m_bUnreadable) {
    m_strLoadProblem = "The settings file " + m_paths.m_strUserFile +
                       " cannot be read: " + user.m_strProblem +
                       ". This run uses the default settings for what could not be read; "
                       "when it saves its settings, the file is kept as " +
                       UnreadableCopyName(m_paths.m_strUserFile) + " and a new one is written.";
  }
  std::vector<CRegData> layers;
  layers.push_back(std::move(user.m_data));
  for (const std::string& path : m_paths.m_systemFiles)
    layers.push_back(ReadLayer(path));

  ForEachNumber(f, [&layers](const char* key, const char* name, DWORD def, DWORD max, auto& field) {
    const CRegValue* v = FindIn(layers, key, name);
    const bool valid = v != nullptr && v->m_nKind == CRegValue::kDword && v->m_dwValue <= max;
    StoreNumber(field, valid ? v->m_dwValue : def);
  });
  m_strThesaurusDllName.clear();
  const CRegValue* dll = FindIn(layers, kSettingsRootKey, kThesaurusName);
  if (dll != nullptr && dll->m_nKind == CRegValue::kString &&
      dll->m_strText.size() <= kMaxSettingsText)
    m_strThesaurusDllName = dll->m_strText;

  m_nLogFilesKept = kDefaultDataLogsKept;
  const CRegValue* kept = FindIn(layers, kSettingsRootKey, kLogFilesKeptName);
  if (kept != nullptr && kept->m_nKind == CRegValue::kDword)
    m_nLogFilesKept = kept->m_dwValue;

  // The histories are the user's own: only the user's file holds them.
  h = CHistoryLists();
  LoadFileHistory(layers.front(), h);
  LoadStringHistory(layers.front(), f.main.m_nStringFormat, h);

  // What this run started from, for the merge of its save.
  m_base = CRegData();
  ForEachNumber(f, [this](const char* key, const char* name, DWORD, DWORD, const auto& field) {
    m_base.SetDword(key, name, static_cast<DWORD>(field));
  });
  m_baseFiles = StoredFiles(layers.front());
  m_baseStrings = StoredStrings(layers.front());
  m_bLoaded = true;
  return 1;
}

int CSettingsStore::SaveSettings(const CDialogFields& f, const CHistoryLists& h) {
  m_strSaveProblem.clear();
  m_strKeptAs.clear();
  const std::string& path = m_paths.m_strUserFile;
  std::error_code ignored;  // a folder that cannot be made fails the lock below
  std::filesystem::create_directories(FolderOf(path), ignored);
  const std::string readOnly = ReadOnlyReason(path);
  if (!readOnly.empty())
    return FailSave(readOnly);
  // Read, merge and write under one lock: runs sharing the folder save one
  // after the other, each on top of what the one before it wrote.
  CSettingsLock lock(FolderOf(path), kSaveLockWaitMs);
  if (!lock.Held())
    return FailSave("another Sendrix kept the settings folder locked");
  const CSettingsFileRead disk = ReadSettingsFile(path, kMaxSettingsFileBytes);
  if (disk.m_bUnreadable && !MoveUnreadableAside(path, &m_strKeptAs))
    return FailSave(std::string("the unreadable file could not be kept aside: ") +
                    std::strerror(errno));
  const std::string text = FormatRegText(MergedValues(f, h, disk.m_data), KeyOrder());
  const mode_t mode = disk.m_bExists && !disk.m_bUnreadable ? disk.m_nMode : kNewFileMode;
  if (!WriteFileAtomically(path, text, m_beforeRename, mode))
    return FailSave(std::strerror(errno));
  return 1;
}

int CSettingsStore::FailSave(const std::string& why) {
  m_strSaveProblem =
      "The settings could not be saved to " + m_paths.m_strUserFile + ": " + why + ".";
  return 0;
}

// Each key's values are written in the order set, the keys in KeyOrder().
// A store that loaded nothing takes the file as its start: its own values
// and lists then win whole, as a plain overwrite would.
CRegData CSettingsStore::MergedValues(const CDialogFields& f, const CHistoryLists& h,
                                      const CRegData& disk) const {
  const CRegData& base = m_bLoaded ? m_base : disk;
  CRegData out;
  ForEachNumber(f, [&](const char* key, const char* name, DWORD, DWORD max, const auto& field) {
    DWORD theirs = 0;
    DWORD from = 0;
    const bool hasTheirs = disk.GetDword(key, name, &theirs) && theirs <= max;
    const bool hasBase = base.GetDword(key, name, &from);
    const DWORD ours = static_cast<DWORD>(field);
    const bool changedHere = !hasBase || from != ours;
    out.SetDword(key, name, changedHere || !hasTheirs ? ours : theirs);
  });

  std::vector<std::string> files =
      Usable(std::vector<std::string>(h.m_files.rbegin(), h.m_files.rend()));
  files = MergeHistory(m_bLoaded ? m_baseFiles : StoredFiles(disk), files,
                       Usable(StoredFiles(disk)), static_cast<std::size_t>(kMaxHistoryItems));
  std::reverse(files.begin(), files.end());
  WriteHistory(out, kSettingsFilesKey, kFileCountName, kFileEntryPrefix, files, kMaxSettingsText);

  std::vector<std::string> strings;
  for (const std::string& entry : h.m_strings)
    strings.push_back(StoredHexText(entry, f.main.m_nStringFormat));
  strings = Usable(std::move(strings), kMaxStoredStringText);
  std::vector<std::string> theirStrings = Usable(StoredStrings(disk), kMaxStoredStringText);
  std::erase_if(theirStrings, [](const std::string& e) { return !CanConvertHexToEscaped(e); });
  strings = MergeHistory(m_bLoaded ? m_baseStrings : StoredStrings(disk), strings, theirStrings,
                         static_cast<std::size_t>(kMaxHistoryItems));
  WriteHistory(out, kSettingsStringsKey, kStringCountName, kStringEntryPrefix, strings,
               kMaxStoredStringText);
  KeepOtherValues(disk, out);
  return out;
}
