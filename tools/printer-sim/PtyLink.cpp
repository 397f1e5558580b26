#include "PtyLink.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string ErrnoText(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

bool ReadLink(const std::string& path, std::string& target) {
  char buffer[4096];
  const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
  if (n < 0) {
    return false;
  }
  target.assign(buffer, static_cast<size_t>(n));
  return true;
}

}  // namespace

bool CPtyLink::Open(const std::string& link, std::string& error) {
  Close();
  char name[256] = {};
  if (openpty(&m_nMaster, &m_nSlave, name, nullptr, nullptr) != 0) {
    error = ErrnoText("openpty");
    m_nMaster = m_nSlave = -1;
    return false;
  }
  m_strSlave = name;
  termios raw{};
  if (tcgetattr(m_nSlave, &raw) == 0) {
    cfmakeraw(&raw);
    tcsetattr(m_nSlave, TCSANOW, &raw);
  }
  fcntl(m_nMaster, F_SETFL, fcntl(m_nMaster, F_GETFL) | O_NONBLOCK);
  fcntl(m_nMaster, F_SETFD, FD_CLOEXEC);
  fcntl(m_nSlave, F_SETFD, FD_CLOEXEC);

  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = link + " exists and is not a symbolic link";
      Close();
      return false;
    }
    unlink(link.c_str());
  }
  if (symlink(m_strSlave.c_str(), link.c_str()) != 0) {
    error = ErrnoText(("symlink " + link).c_str());
    Close();
    return false;
  }
  m_strLink = link;
  return true;
}

void CPtyLink::Close() {
  std::string target;
  if (!m_strLink.empty() && ReadLink(m_strLink, target) && target == m_strSlave) {
    unlink(m_strLink.c_str());
  }
  m_strLink.clear();
  if (m_nMaster >= 0) {
    close(m_nMaster);
  }
  if (m_nSlave >= 0) {
    close(m_nSlave);
  }
  m_nMaster = m_nSlave = -1;
  m_strSlave.clear();
}
