// A pseudo-terminal pair for the serial face of the virtual printer. The
// printer keeps the master side; a symbolic link names the slave side, which
// is what Sendrix opens as its serial port. The printer also keeps the slave
// open (in raw mode), so the master never sees a hang-up between Sendrix's
// opens and bytes pass unchanged whatever Sendrix configures.
// A pseudo-terminal has no modem lines to drive.
// Not thread-safe: Open and Close from the owner's thread.
#pragma once

#include <string>

class CPtyLink {
 public:
  CPtyLink() = default;
  ~CPtyLink() { Close(); }
  CPtyLink(const CPtyLink&) = delete;
  CPtyLink& operator=(const CPtyLink&) = delete;

  // Creates the pair (master non-blocking) and points `link` at the slave,
  // replacing an existing symbolic link but never another kind of file.
  // False with a reason in `error`.
  bool Open(const std::string& link, std::string& error);
  // Removes the link (if it still points at our slave) and closes both sides.
  void Close();

  int GetMasterFd() const { return m_nMaster; }
  const std::string& GetLinkPath() const { return m_strLink; }
  const std::string& GetSlavePath() const { return m_strSlave; }

 private:
  int m_nMaster = -1;
  int m_nSlave = -1;
  std::string m_strLink;
  std::string m_strSlave;
};
