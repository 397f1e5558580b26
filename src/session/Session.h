// CSession: one run of the program's work with a printer. It owns everything
// the window and the worker threads share while bytes move: the transfer
// engine with its threads, the receive rings and display feeds, the transfer
// and received-data files, the job and abort events, the data log
// (CTransferObjects), and the firmware download with its Flash thread.
//
// Ownership: `main` makes one session and hands it by reference to the run
// sequence, the window logic and the window; nobody else keeps a copy or
// outlives it. Inside, the shared objects are built first and the engine
// after them, so the engine (which ends its threads) is destroyed first; the
// firmware download, made last, is ended before the engine.
//
// Threading: construction, destruction, StartFlashDownload and
// EndFlashDownload on the window's thread. The accessors return the objects
// themselves, each with its own threading contract (TransferEngine.h,
// TransferObjects.h, FlashDownload.h); the session adds no lock.
//
// Lifetime: from construction to destruction the session's data log is the
// one the error boxes write to (report/ErrorBoxes.h); a session made and
// destroyed meanwhile hands them back. The destructor ends the Flash thread,
// then the engine's transmit and reader threads (each wait bounded), then
// hands the error boxes back to the log they had before and ends its own,
// closing the file.
#pragma once

#include <memory>

#include "engine/TransferEngine.h"
#include "engine/TransferObjects.h"
#include "firmware/FlashDownload.h"

class CSession {
 public:
  CSession();
  ~CSession();
  CSession(const CSession&) = delete;
  CSession& operator=(const CSession&) = delete;

  CTransferEngine& Engine() { return m_engine; }
  CTransferObjects& Objects() { return m_objects; }
  CMyFile& TransferFile() { return m_objects.transferFile; }
  CMyFile& RxDataFile() { return m_objects.rxDataFile; }
  CRingBuffer& RxDataBuffer() { return m_objects.rxDataBuffer; }
  CRxFeed& RxDataFeed() { return m_objects.rxDataFeed; }
  CRxFeed& RxUsmFeed() { return m_objects.rxUsmFeed; }
  CEvent& FileJob() { return m_objects.fileJob; }
  CEvent& StringJob() { return m_objects.stringJob; }
  HANDLE AbortEvent() { return m_objects.AbortEvent(); }
  CDataLogHolder& DataLog() { return m_objects.dataLog; }

  // Makes the firmware download (its Flash thread starts, waiting for
  // Start()) reporting to `events`, replacing one made before. Never null.
  CFlashDownload* StartFlashDownload(ITransferEvents* events, CFlashDownload::PortOpener openPort);
  // Stops and destroys the firmware download; nothing when none was made.
  void EndFlashDownload();

 private:
  CTransferObjects m_objects;
  CTransferEngine m_engine{m_objects};
  std::unique_ptr<CFlashDownload> m_pFlash;
  CDataLogHolder* m_pPreviousErrorLog;  // the boxes' log before this session's
};
