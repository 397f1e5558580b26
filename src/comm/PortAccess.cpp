#include "comm/PortAccess.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

constexpr std::size_t kNameBufferSize = 16384;  // getgrgid_r/getpwuid_r scratch
constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr)
    return names;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.')
      names.emplace_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

bool IsNumber(const std::string& text) {
  if (text.empty())
    return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c)))
      return false;
  }
  return true;
}

struct GroupInfo {
  std::string name;
  std::vector<std::string> members;
};

GroupInfo LookUpGroup(gid_t gid) {
  GroupInfo info{std::to_string(gid), {}};
  std::vector<char> buffer(kNameBufferSize);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
    return info;
  info.name = found->gr_name;
  for (char** member = found->gr_mem; member != nullptr && *member != nullptr; ++member)
    info.members.emplace_back(*member);
  return info;
}

std::string UserName(uid_t uid) {
  std::vector<char> buffer(kNameBufferSize);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
    return std::to_string(uid);
  return found->pw_name;
}

// This process carries the group already (it was refused for another reason).
bool SessionHasGroup(gid_t gid) {
  if (getegid() == gid)
    return true;
  int count = getgroups(0, nullptr);
  std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
  count = getgroups(static_cast<int>(groups.size()), groups.data());
  for (int i = 0; i < count; ++i) {
    if (groups[static_cast<std::size_t>(i)] == gid)
      return true;
  }
  return false;
}

bool Listed(const std::vector<std::string>& members, const std::string& user) {
  for (const std::string& member : members) {
    if (member == user)
      return true;
  }
  return false;
}

std::string ProcessName(const std::string& procDir) {
  std::ifstream in(procDir + "/comm");
  std::string name;
  std::getline(in, name);
  return name.empty() ? "a program" : name;
}

bool HoldsDevice(const std::string& procDir, dev_t device) {
  for (const std::string& fd : Entries(procDir + "/fd")) {
    struct stat st;
    if (stat((procDir + "/fd/" + fd).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
        st.st_rdev == device)
      return true;
  }
  return false;
}

// The processes whose flock or POSIX lock /proc/locks shows on the node:
// "1: FLOCK  ADVISORY  WRITE 4321 00:19:3 0 EOF", the device as hex
// major:minor and the inode in decimal.
std::vector<std::string> LockHolders(const std::string& procRoot, const struct stat& node) {
  std::vector<std::string> pids;
  std::ifstream in(procRoot + "/locks");
  std::string line;
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(node.st_dev), minor(node.st_dev),
                static_cast<unsigned long long>(node.st_ino));
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string number, kind, advisory, access, pid, device;
    if (fields >> number >> kind >> advisory >> access >> pid >> device && device == wanted &&
        IsNumber(pid))
      pids.push_back(pid);
  }
  return pids;
}

// The processes with a descriptor open on the device.
std::vector<std::string> OpenHolders(const std::string& procRoot, dev_t device) {
  std::vector<std::string> pids;
  const std::string self = std::to_string(getpid());
  for (const std::string& pid : Entries(procRoot)) {
    if (IsNumber(pid) && pid != self && HoldsDevice(procRoot + "/" + pid, device))
      pids.push_back(pid);
  }
  return pids;
}

}  // namespace

std::string CPortAccess::PermissionFix(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0)
    return {};
  const GroupInfo group = LookUpGroup(st.st_gid);
  if (st.st_gid != 0 && (st.st_mode & kGroupReadWrite) == kGroupReadWrite) {
    const std::string fix = "sudo usermod -aG " + group.name + " $USER, then log in again";
    if (SessionHasGroup(st.st_gid))
      return "the group " + group.name + " may open it, but something else refused it";
    if (Listed(group.members, UserName(getuid())))
      return "you are in the group " + group.name +
             " since this session started: log out and in again";
    return "add yourself to the group " + group.name + ": " + fix;
  }
  char mode[16];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return "only " + UserName(st.st_uid) + " may open it (group " + group.name + ", mode " + mode +
         "): an administrator must give a group access (udev rule)";
}

std::string CPortAccess::Holders(const std::string& path, const std::string& procRoot) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
    return {};
  // A lock names the one that keeps us out; without one (an exclusive
  // open, TIOCEXCL) every process with the device open is a suspect.
  std::vector<std::string> pids = LockHolders(procRoot, st);
  if (pids.empty())
    pids = OpenHolders(procRoot, st.st_rdev);
  std::string holders;
  for (const std::string& pid : pids) {
    if (!holders.empty())
      holders += ", ";
    holders += ProcessName(procRoot + "/" + pid) + " (process " + pid + ")";
  }
  return holders;
}

std::string CPortAccess::UsblpNode(const std::string& portPath, int config, int iface,
                                   const std::string& sysRoot) {
  const std::string interfaceDir = sysRoot + "/bus/usb/devices/" + portPath + ":" +
                                   std::to_string(config) + "." + std::to_string(iface);
  // usblp registers its node in the usbmisc class ("usb" on older kernels).
  for (const char* classDir : {"/usbmisc", "/usb"}) {
    for (const std::string& name : Entries(interfaceDir + classDir)) {
      if (name.rfind("lp", 0) == 0)
        return "/dev/usb/" + name;
    }
  }
  return {};
}
