// Why a device node could not be had, in words that name the fix: the group
// to join when the permissions keep the user out, the process that holds a
// busy port, the usblp node that holds a USB printer. The backends put these
// texts in their comm-error records (text 2).
//
// Everything here reads the file system only (stat, /etc/group through
// getgrgid_r, /proc, /sys) and never blocks; a folder that cannot be read
// counts as empty. The roots are parameters so tests can hand in trees of
// their own. Thread safety: no state; callable from any thread.
#pragma once

#include <string>

class CPortAccess {
 public:
  // What the user must do to open `path`, which refused them (EACCES,
  // EPERM). When the device's group may read and write it:
  //   "add yourself to the group dialout: sudo usermod -aG dialout $USER,
  //    then log in again"
  // or, when /etc/group already lists the user but this session started
  // before, "log out and in again: ...". When no group can help (group
  // root, or no group access): who may open it and that an administrator
  // must give a group access with a udev rule. Empty when `path` cannot be
  // examined.
  static std::string PermissionFix(const std::string& path);

  // The processes /proc shows holding `path`, as "picocom (process 4321)",
  // several joined by ", ": those with a lock on it (/proc/locks), else
  // those with it open (their fd folders; this process left out). Empty
  // when none is visible (another user's descriptors are not, unless we
  // are root).
  static std::string Holders(const std::string& path, const std::string& procRoot = "/proc");

  // The usblp node (/dev/usb/lpN) the kernel made for interface `iface` of
  // configuration `config` of the USB device at `portPath` ("1-2.3"); empty
  // when usblp has none there.
  static std::string UsblpNode(const std::string& portPath, int config, int iface,
                               const std::string& sysRoot = "/sys");
};
