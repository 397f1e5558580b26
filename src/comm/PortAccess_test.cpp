// What keeps a port from opening, in words that name the fix: trees of our
// own stand for /proc and /sys; the group cases need root to chown.
#include "comm/PortAccess.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "testsupport/EngineTestSupport.h"

namespace {

using PortAccessTest = CEngineTest;  // for its temporary folder

void MakeDirs(const std::string& path) {
  for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
    mkdir(path.substr(0, at).c_str(), 0755);
  mkdir(path.c_str(), 0755);
}

TEST_F(PortAccessTest, UsblpNodeIsFoundOnlyForItsOwnInterface) {
  const std::string sys = m_strHome + "/sys";
  MakeDirs(sys + "/bus/usb/devices/1-2.3:1.0/usbmisc/lp2");
  MakeDirs(sys + "/bus/usb/devices/1-4:1.1/usb/lp0");  // older kernels' class name
  EXPECT_EQ(CPortAccess::UsblpNode("1-2.3", 1, 0, sys), "/dev/usb/lp2");
  EXPECT_EQ(CPortAccess::UsblpNode("1-4", 1, 1, sys), "/dev/usb/lp0");
  EXPECT_EQ(CPortAccess::UsblpNode("1-2.3", 1, 1, sys), "");
  EXPECT_EQ(CPortAccess::UsblpNode("1-2", 1, 0, sys), "") << "not a prefix match";
}

// Without a lock on the node, every process with it open is named; a lock
// names only its holder.
TEST_F(PortAccessTest, HoldersComeFromLocksElseFromOpenDescriptors) {
  int master = -1, slave = -1;
  char name[64] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  const std::string proc = m_strHome + "/proc";
  for (const char* pid : {"4321", "77"}) {
    MakeDirs(proc + "/" + pid + "/fd");
    std::ofstream(proc + "/" + pid + "/comm") << (pid[0] == '4' ? "picocom" : "minicom") << "\n";
  }
  ASSERT_EQ(symlink(name, (proc + "/4321/fd/3").c_str()), 0);
  ASSERT_EQ(symlink("/dev/null", (proc + "/77/fd/0").c_str()), 0);
  MakeDirs(proc + "/self/fd");  // not a process number
  ASSERT_EQ(symlink(name, (proc + "/self/fd/4").c_str()), 0);
  EXPECT_EQ(CPortAccess::Holders(name, proc), "picocom (process 4321)");

  struct stat st;
  ASSERT_EQ(stat(name, &st), 0);
  char lock[128];
  std::snprintf(lock, sizeof lock, "1: FLOCK  ADVISORY  WRITE 77 %02x:%02x:%llu 0 EOF\n",
                major(st.st_dev), minor(st.st_dev), static_cast<unsigned long long>(st.st_ino));
  std::ofstream(proc + "/locks") << "2: POSIX  ADVISORY  WRITE 4321 00:01:5 0 EOF\n" << lock;
  EXPECT_EQ(CPortAccess::Holders(name, proc), "minicom (process 77)");
  EXPECT_EQ(CPortAccess::Holders(m_strHome + "/none", proc), "");
  close(master);
  close(slave);
}

TEST_F(PortAccessTest, PermissionFixNamesTheGroupOrSaysNoGroupCanHelp) {
  const group* dialout = getgrnam("dialout");
  if (geteuid() != 0 || dialout == nullptr)
    GTEST_SKIP() << "needs root and the group dialout to give a file away";
  const std::string node = m_strHome + "/ttyX";
  std::ofstream(node) << "";
  ASSERT_EQ(chown(node.c_str(), 0, dialout->gr_gid), 0);
  ASSERT_EQ(chmod(node.c_str(), 0660), 0);
  EXPECT_EQ(CPortAccess::PermissionFix(node),
            "add yourself to the group dialout: sudo usermod -aG dialout $USER, then log in again");
  ASSERT_EQ(chmod(node.c_str(), 0640), 0);  // the group may not write
  EXPECT_EQ(CPortAccess::PermissionFix(node),
            "only root may open it (group dialout, mode 0640): an administrator must give a "
            "group access (udev rule)");
  ASSERT_EQ(chown(node.c_str(), 0, 0), 0);
  ASSERT_EQ(chmod(node.c_str(), 0660), 0);
  EXPECT_EQ(CPortAccess::PermissionFix(node),
            "only root may open it (group root, mode 0660): an administrator must give a group "
            "access (udev rule)");
  EXPECT_EQ(CPortAccess::PermissionFix(m_strHome + "/none"), "");
}

}  // namespace
