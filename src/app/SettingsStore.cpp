#include "app/SettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "app/RegText.h"
#include "history/StringHistory.h"
#include "platform/FileIo.h"

namespace {

constexpr DWORD kMaxPort = 65535;
constexpr DWORD kAnyValue = 0xFFFFFFFFu;

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

CRegData ReadLayer(const std::string& path) {
  std::string bytes;
  if (path.empty() || !ReadFileBytes(path, kMaxSettingsFileBytes, &bytes))
    return CRegData();
  return ParseRegText(bytes.data(), bytes.size());
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
              std::string* out) {
  return data.GetString(key, name, out) && !out->empty() && out->size() <= kMaxSettingsText;
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
    if (!ReadText(user, kSettingsStringsKey, EntryName(kStringEntryPrefix, i), &hex) ||
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

bool Storable(const std::string& text) {
  return !text.empty() && text.size() <= kMaxSettingsText &&
         text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// The hex text stored for a history string, or "" when it cannot be stored.
std::string StoredHexText(const std::string& entry, int stringMode) {
  if (stringMode == 0)
    return CanConvertEscapedToHex(entry) ? EscapedToHexText(entry) : "";
  return CanConvertHexToEscaped(entry) ? entry : "";
}

void WriteHistory(CRegData& out, const char* key, const char* countName, const char* prefix,
                  const std::vector<std::string>& entries) {
  std::vector<std::string> kept;
  for (const std::string& entry : entries) {
    if (Storable(entry))
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
  std::vector<CRegData> layers;
  layers.push_back(ReadLayer(m_paths.m_strUserFile));
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

  // The histories are the user's own: only the user's file holds them.
  h = CHistoryLists();
  LoadFileHistory(layers.front(), h);
  LoadStringHistory(layers.front(), f.main.m_nStringFormat, h);
  return 1;
}

int CSettingsStore::SaveSettings(const CDialogFields& f, const CHistoryLists& h) {
  // Each key's values are written in the order set, the keys in KeyOrder().
  CRegData out;
  ForEachNumber(f, [&out](const char* key, const char* name, DWORD, DWORD, const auto& field) {
    out.SetDword(key, name, static_cast<DWORD>(field));
  });
  WriteHistory(out, kSettingsFilesKey, kFileCountName, kFileEntryPrefix, h.m_files);
  std::vector<std::string> strings;
  for (const std::string& entry : h.m_strings)
    strings.push_back(StoredHexText(entry, f.main.m_nStringFormat));
  WriteHistory(out, kSettingsStringsKey, kStringCountName, kStringEntryPrefix, strings);
  KeepOtherValues(ReadLayer(m_paths.m_strUserFile), out);
  return WriteFileAtomically(m_paths.m_strUserFile, FormatRegText(out, KeyOrder()), m_beforeRename);
}
