// The user's settings file as a file, apart from what it holds: whether it
// can be taken as settings at all, moving one that cannot out of the way
// without losing it, the lock that puts the saves of runs sharing the
// folder one after the other, and the check that leaves a read-only file or
// folder alone.
//
// Threading: no shared state. The lock is between processes (flock on the
// folder), so two objects of one process also exclude each other.
#pragma once

#include <sys/types.h>

#include <string>

#include "settings/RegText.h"

// A settings file as read. m_strProblem is empty when the file is missing
// (a first run) or could be taken as settings; otherwise it says why not, in
// words for the operator, and m_bUnreadable is set. A file over the read
// limit is read in part (its first maxBytes) and still counts as unreadable:
// a save would lose the rest.
struct CSettingsFileRead {
  bool m_bExists = false;
  bool m_bUnreadable = false;
  std::string m_strProblem;
  CRegData m_data;     // the values of the part read
  mode_t m_nMode = 0;  // permission bits of the file, when it exists
};

// Reads and parses `path` (at most maxBytes). Unreadable: the open or read
// fails (the system's reason), not a regular file, empty, larger than
// maxBytes, or neither an export header nor a single value in it (random
// bytes, some other kind of file). A file without the header that holds
// values is taken, as a hand-made file would be.
CSettingsFileRead ReadSettingsFile(const std::string& path, std::size_t maxBytes);

// The name an unreadable file is kept under: "<path>.unreadable", or with
// "-2", "-3", ... appended when that name is taken.
std::string UnreadableCopyName(const std::string& path);

// Renames `path` to UnreadableCopyName(path) without ever replacing a file
// of that name. 1 with *movedTo set, 0 when it could not (errno set).
int MoveUnreadableAside(const std::string& path, std::string* movedTo);

// Why `path` must not be replaced: its folder or the file itself is
// read-only, by the permission bits (which count for root too: a file or a
// folder made read-only on purpose stays so) or for this user. "" when it
// may be replaced (or created).
std::string ReadOnlyReason(const std::string& path);

// Holds an exclusive flock on `folder` from construction to destruction,
// waiting at most timeoutMs for it. Held() is false when the wait ran out or
// the folder cannot be opened.
class CSettingsLock {
 public:
  CSettingsLock(const std::string& folder, int timeoutMs);
  ~CSettingsLock();
  CSettingsLock(const CSettingsLock&) = delete;
  CSettingsLock& operator=(const CSettingsLock&) = delete;
  bool Held() const { return m_bHeld; }

 private:
  int m_fd = -1;
  bool m_bHeld = false;
};
