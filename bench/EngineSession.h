// The Sendrix side of the benchmarks: the transfer engine, the readers and
// the firmware download driven as the window drives them, with a recording
// window in its place.
#pragma once

#include <string>

#include "platform/MessageQueue.h"
#include "session/Session.h"
#include "testsupport/RecordingEvents.h"

class CByteSink;

class CEngineSession {
 public:
  CEngineSession();
  ~CEngineSession();
  CEngineSession(const CEngineSession&) = delete;
  CEngineSession& operator=(const CEngineSession&) = delete;

  // The main channel to `port`, and the USM channel to usmPort when nonzero.
  bool ConnectTcp(int port, int usmPort = 0);
  bool ConnectPty(const std::string& slavePath);
  // Opens the received-data file at outPath and starts the readers.
  bool StartReceiving(const std::string& outPath);
  // The two halves of StartReceiving, for a display started in between (as
  // the window's start-up opens the file, starts the display, then the port).
  bool OpenReceivedData(const std::string& outPath);
  bool StartReaders();
  // Starts one file transfer; false if the file cannot be opened.
  bool StartFileTransfer(const std::string& path);
  bool WaitForDone(size_t count, double timeoutS);
  // Start to the end (OnDone) of one download, or -1 when it failed.
  double DownloadFirmware(const std::string& image);
  void Close();
  // The session the benchmarks drive (the receive display reads its feeds).
  CSession& Session() { return m_session; }

  // Seconds from the start of a transfer until a loopback sink holds the
  // whole file, or -1.
  static double SendOverTcp(const std::string& file);
  static double SendOverPty(const std::string& file);
  // `mib` MiB of hex dumps from four threads through the data log; true when
  // the file holds every byte in each thread's order.
  static bool LogLossless(const std::string& dir, int mib, double* mibPerS);

 private:
  // Starts the sink, connects with `connect` and times one file transfer.
  static double TimeFileTransfer(CByteSink& sink, bool (CEngineSession::*connect)(),
                                 const std::string& file);
  bool ConnectSinkTcp();
  bool ConnectSinkPty();

  CSession m_session;
  CMessageQueue m_window;  // the communications library's owner
  CRecordingEvents m_events;
  bool m_bOpen = false;
  CByteSink* m_pSink = nullptr;
};
