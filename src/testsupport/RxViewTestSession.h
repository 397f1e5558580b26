// Test support of the receive display and output window tests: a temporary
// program home, and a loopback TCP connection to an in-process virtual
// printer with the data reader (and USM reader) running, as the window's
// port opening leaves them. Everything is taken down by the destructor.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "PrinterSim.h"
#include "platform/MessageQueue.h"
#include "platform/Win32Types.h"
#include "session/Session.h"
#include "testsupport/RecordingNotifier.h"

class CRxViewTestSession {
 public:
  // A fresh $SENDRIX_HOME (with its Output folder) under $SENDRIX_TEST_TMP.
  CRxViewTestSession();
  ~CRxViewTestSession();
  CRxViewTestSession(const CRxViewTestSession&) = delete;
  CRxViewTestSession& operator=(const CRxViewTestSession&) = delete;

  // Starts the printer (streaming streamFile to the first connection when
  // not empty), connects to it, with its USM channel when withUsm, and
  // starts the readers. The received-data file must be open already. False
  // on failure.
  bool Connect(const std::string& streamFile = "", bool withUsm = false);
  // Queues bytes on the printer's data connection, or its USM channel.
  void Send(const std::vector<BYTE>& bytes) { m_pSim->Send(bytes); }
  void SendUsm(const std::vector<BYTE>& bytes) { m_pSim->SendUsm(bytes); }
  void StopReaders() { m_session.Engine().StopReaders(); }
  // The session the readers and the display work on.
  CSession& Session() { return m_session; }
  CTransferEngine& Engine() { return m_session.Engine(); }
  const std::string& Home() const { return m_strHome; }

  static std::vector<BYTE> Pattern(size_t size, unsigned seed);
  static std::vector<BYTE> ReadWhole(const std::string& path);
  static bool WriteWhole(const std::string& path, const std::vector<BYTE>& bytes);

 private:
  CSession m_session;
  std::string m_strHome;
  std::unique_ptr<CPrinterSim> m_pSim;
  CMessageQueue m_window;
  CRecordingNotifier m_notifier;
  bool m_bOpen = false;
};
