#include "comm/SerialPortList.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace {

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

// A ttyS entry exists for every possible 8250 port; only those whose UART
// type is known are real.
bool UartPresent(const std::string& sysClassTty, const std::string& name) {
  std::ifstream type(sysClassTty + "/" + name + "/type");
  int value = 0;
  return type && (type >> value) && value != 0;
}

int KindRank(const std::string& name) {
  if (StartsWith(name, "ttyS"))
    return 0;
  if (StartsWith(name, "ttyUSB"))
    return 1;
  if (StartsWith(name, "ttyACM"))
    return 2;
  if (StartsWith(name, "rfcomm"))
    return 3;
  return -1;
}

struct Found {
  std::string path;
  int rank;
};

void ScanSysfs(const std::string& sysClassTty, std::vector<Found>& found) {
  DIR* dir = opendir(sysClassTty.c_str());
  if (dir == nullptr)
    return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    int rank = KindRank(name);
    if (rank < 0 || CSerialPortList::TrailingNumber(name) < 0)
      continue;
    if (rank == 0 && !UartPresent(sysClassTty, name))
      continue;
    found.push_back({"/dev/" + name, rank});
  }
  closedir(dir);
  // readdir order is arbitrary: make the discovery order stable.
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    if (a.rank != b.rank)
      return a.rank < b.rank;
    return CSerialPortList::TrailingNumber(a.path) < CSerialPortList::TrailingNumber(b.path);
  });
}

void AddExtra(const char* extra, std::vector<Found>& found) {
  if (extra == nullptr)
    return;
  std::string list = extra;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos)
      end = list.size();
    std::string path = list.substr(start, end - start);
    struct stat st;
    if (!path.empty() && stat(path.c_str(), &st) == 0)
      found.push_back({path, 4});
    start = end + 1;
  }
}

}  // namespace

long CSerialPortList::TrailingNumber(const std::string& name) {
  size_t end = name.size();
  size_t start = end;
  while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9')
    --start;
  if (start == end || end - start > 9)
    return -1;
  return std::strtol(name.c_str() + start, nullptr, 10);
}

std::vector<std::string> CSerialPortList::Enumerate() {
  return Enumerate("/sys/class/tty", std::getenv("SENDRIX_EXTRA_SERIAL_PORTS"));
}

std::vector<std::string> CSerialPortList::Enumerate(const std::string& sysClassTty,
                                                    const char* extra) {
  std::vector<Found> found;
  ScanSysfs(sysClassTty, found);
  AddExtra(extra, found);
  std::vector<Found> unique;
  for (const Found& f : found) {
    if (f.path.size() > kMaxName)
      continue;
    bool seen =
        std::any_of(unique.begin(), unique.end(), [&](const Found& u) { return u.path == f.path; });
    if (!seen)
      unique.push_back(f);
  }
  std::stable_sort(unique.begin(), unique.end(), [](const Found& a, const Found& b) {
    long na = TrailingNumber(a.path), nb = TrailingNumber(b.path);
    if (na < 0)
      na = 0x7FFFFFFF;
    if (nb < 0)
      nb = 0x7FFFFFFF;
    return na < nb;
  });
  std::vector<std::string> ports;
  for (const Found& f : unique) {
    if (ports.size() == kMaxPorts)
      break;
    ports.push_back(f.path);
  }
  return ports;
}
