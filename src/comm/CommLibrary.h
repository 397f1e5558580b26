// The communications library's process-wide state, as a DLL would have it:
// the current backend (made by Comm_OpenSetup for its type), the owner window
// for errors, the three channels' OVERLAPPED records and handles. The Comm_*
// functions of Cablox.h forward to the one instance.
//
// Records and handles: the three records (manual-reset events) and the three
// handle tokens live for the whole process, so a reader or writer never holds
// a dangling pointer, whatever happens to the set-up. A handle is non-null
// only while the current connection has that channel.
//
// Thread safety: every member may be called from any thread. A call takes a
// counted reference to the backend, so Comm_CloseCleanuo never destroys a
// backend under a running call.
#pragma once

#include <memory>
#include <mutex>

#include "comm/Cablox.h"
#include "comm/CommBackend.h"
#include "comm/CommErrorReporter.h"
#include "platform/Event.h"

class CCommLibrary {
 public:
  static CCommLibrary& Instance();

  int OpenSetup(IMessageTarget* owner, int type);
  int IsOpened();
  void CloseCleanup();
  int BreakDown();
  void SetConnect(int available);
  int GetConnect();
  int Type();

  // The backend of the current set-up, or null.
  std::shared_ptr<ICommBackend> Backend();
  void* Handle(int channel);
  // COMM_CHANNEL_* of a handle, or -1.
  int ChannelOf(void* handle);
  OVERLAPPED* Record(int channel) { return &m_records[channel]; }
  ICommErrorSink& Errors() { return m_errors; }

 private:
  CCommLibrary();

  std::mutex m_lock;
  std::shared_ptr<ICommBackend> m_backend;
  int m_nType = -1;
  int m_nConnect = 0;
  CCommErrorReporter m_errors;
  CEvent m_events[COMM_CHANNEL_COUNT] = {{true, false}, {true, false}, {true, false}};
  OVERLAPPED m_records[COMM_CHANNEL_COUNT];
  char m_handleTokens[COMM_CHANNEL_COUNT] = {};
};
