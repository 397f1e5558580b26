// The virtual printer's three TCP listening sockets (main, real-time, USM),
// all on 127.0.0.1. While the printer refuses connections (a fault), each
// port stays bound but does not listen, so attempts are answered with a
// reset and no other program can take the port meanwhile.
//
// Threading: owned by CPrinterSim and used only under its lock.
#pragma once

#include <poll.h>

#include <string>
#include <vector>

#include "SimConnection.h"

class CSimListeners {
 public:
  CSimListeners() = default;
  ~CSimListeners() { Close(); }
  CSimListeners(const CSimListeners&) = delete;
  CSimListeners& operator=(const CSimListeners&) = delete;

  // Binds the main, real-time and USM ports (0 = a free one), listening
  // unless `refuse`. False with a reason; what was bound stays until Close.
  bool Open(int mainPort, int rtPort, int usmPort, bool refuse, std::string& error);
  void Close();
  bool Empty() const { return m_listeners.empty(); }
  // The bound port of a face, or -1 when none is open.
  int Port(SimFace face) const;

  // Refuses or listens again as `refuse` says; rebinds a port lost while
  // switching.
  void Update(bool refuse);
  // Adds the listening sockets to `fds`; `index` receives, for each, the
  // listener's number to hand to Accept.
  void AddToPoll(std::vector<pollfd>& fds, std::vector<int>& index) const;
  // Accepts one connection on listener `number`: its fd (or -1) and face.
  int Accept(int number, SimFace& face) const;

 private:
  struct LISTENER {
    int fd = -1;
    int nPort = 0;
    SimFace nKind = SimFace::Main;
    bool bListening = false;
  };
  std::vector<LISTENER> m_listeners;
};
