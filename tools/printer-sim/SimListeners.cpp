#include "SimListeners.h"

#include <sys/socket.h>
#include <unistd.h>

#include "SimSocket.h"

namespace {

constexpr int kListenBacklog = 16;

}  // namespace

bool CSimListeners::Open(int mainPort, int rtPort, int usmPort, bool refuse, std::string& error) {
  const struct {
    int nPort;
    SimFace nKind;
  } ports[] = {{mainPort, SimFace::Main}, {rtPort, SimFace::Rt}, {usmPort, SimFace::Usm}};
  for (const auto& port : ports) {
    const bool listening = !refuse;
    const int fd = simsock::BindTcp(port.nPort, listening, error);
    if (fd < 0) {
      return false;
    }
    m_listeners.push_back(LISTENER{fd, simsock::LocalPort(fd), port.nKind, listening});
  }
  return true;
}

void CSimListeners::Close() {
  for (LISTENER& listener : m_listeners) {
    if (listener.fd >= 0) {
      close(listener.fd);
    }
  }
  m_listeners.clear();
}

int CSimListeners::Port(SimFace face) const {
  for (const LISTENER& listener : m_listeners) {
    if (listener.nKind == face) {
      return listener.nPort;
    }
  }
  return -1;
}

void CSimListeners::Update(bool refuse) {
  const bool wanted = !refuse;
  for (LISTENER& listener : m_listeners) {
    if (listener.fd < 0) {  // lost the port while switching: try again
      std::string error;
      listener.fd = simsock::BindTcp(listener.nPort, wanted, error);
      listener.bListening = listener.fd >= 0 && wanted;
      continue;
    }
    if (listener.bListening == wanted) {
      continue;
    }
    if (wanted) {
      listener.bListening = listen(listener.fd, kListenBacklog) == 0;
      continue;
    }
    // A bound socket that does not listen answers connection attempts with a
    // reset, so the port stays ours while it refuses. The listening socket
    // must go first: the port cannot be bound twice.
    close(listener.fd);
    std::string error;
    listener.fd = simsock::BindTcp(listener.nPort, false, error);
    listener.bListening = false;
  }
}

void CSimListeners::AddToPoll(std::vector<pollfd>& fds, std::vector<int>& index) const {
  for (size_t i = 0; i < m_listeners.size(); ++i) {
    if (m_listeners[i].bListening) {
      fds.push_back(pollfd{m_listeners[i].fd, POLLIN, 0});
      index.push_back(static_cast<int>(i));
    }
  }
}

int CSimListeners::Accept(int number, SimFace& face) const {
  const LISTENER& listener = m_listeners.at(static_cast<size_t>(number));
  face = listener.nKind;
  return simsock::Accept(listener.fd);
}
