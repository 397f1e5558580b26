// COperations: the window's three operations (file transfer, string
// transfer, firmware download): the start checks, the start, the abort (a
// second click on the running operation's Start button), the window's state
// at the job's end, and the job's outcome as a batch exit status. It shows
// the progress, rate and CRC the workers report.
//
// The operations reach the workers through the session (CSession: the
// engine, the transfer file, the job and abort events, the firmware
// download); the data exchange and the port open are the window's (Services).
//
// Threading: the window's thread only; the Flash thread re-opens the port
// through the function given to CreateFlash.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "batch/BatchWatch.h"
#include "batch/HeadlessProgress.h"
#include "batch/HeadlessRows.h"
#include "platform/MessageTarget.h"
#include "texts/TextLibrary.h"
#include "windowlogic/ControlGroups.h"
#include "windowlogic/DialogHistories.h"
#include "windowlogic/IDialogView.h"
#include "windowlogic/IReceiveDisplay.h"

class CFlashDownload;
class CSession;
class ITransferEvents;

// RunningOperation.
enum : int {
  OP_IDLE = 0,
  OP_FIRMWARE_DOWNLOAD = 1,
  OP_FILE_TRANSFER = 2,
  OP_STRING_TRANSFER = 3,
};

class COperations {
 public:
  // What the operations ask of the window: its data exchange (1 controls to
  // fields; 0 when a value was refused) and the port open (1 ready).
  struct Services {
    std::function<int(int save)> updateAll;
    std::function<int()> openPort;
  };

  // All six outlive this object.
  COperations(CSession& session, CDialogFields& fields, CControlGroups& groups,
              CDialogHistories& histories, CTextLibrary& texts, CBatchWatch& batchWatch);
  // Ends the session's firmware download (its Flash thread) when it made one.
  ~COperations();
  COperations(const COperations&) = delete;
  COperations& operator=(const COperations&) = delete;

  void Attach(IMainView* view, IMessageTarget* target, IReceiveDisplay* display, Services services);
  // The session's firmware download, once the window is up, reporting to
  // `events`; `reopen` is its port re-open.
  void CreateFlash(ITransferEvents* events, std::function<int(int)> reopen);
  void SetBatchMode(int mode) { m_nBatchMode = mode; }
  void SetProgressEcho(CHeadlessProgress* echo) { m_pProgressEcho = echo; }
  void SetRowEcho(CHeadlessRows* rows) { m_pRowEcho = rows; }

  int Running() const { return m_nRunningOperation; }
  // The Start buttons: start the operation, or abort it when it runs.
  void OnStartTransmit();
  void OnStartString();
  void OnStartFirmware();
  // Aborts the running operation as its Abort button does; 0 when none runs.
  int Abort();
  // The job ended (OnDone): the window is restored, the failure
  // shown. Returns the operation that ended (OP_IDLE: none ran).
  int OnJobDone();
  // The exit status the outcome of the job `ended` gives a batch action.
  int OutcomeExitStatus(int ended) const;

  // What the workers report.
  void ShowProgress(int percent, int repeat);
  void ShowRate(double kbytesPerSecond);  // below 0: none
  void ShowFlashCrc(unsigned crc);
  // A communication or system error was reported (during a job it fails it).
  void NoteCommError() { m_bCommErrorDuringJob |= m_nRunningOperation != OP_IDLE; }

  // The caption a Start button shows: caption n, or the template's "Start"
  // (n 2..4) and "Abort" (n 5) when the library has no caption function.
  std::string ButtonCaption(int n);

 private:
  void BeginJob(int operation, bool dataOwnedByProtocol);
  void StartJsonLog();
  // Whether the file job that just ended wrote everything; the one place
  // where the outcome of a job is read.
  int ReadFileJobOutcome() const;
  void ShowFileTransferFailed();
  void ClearFlashSteps();
  int CheckFirmwareFile(const std::string& name);

  CSession& m_session;
  CDialogFields& m_fields;
  CControlGroups& m_groups;
  CDialogHistories& m_histories;
  CTextLibrary& m_texts;
  CBatchWatch& m_batchWatch;
  IMainView* m_pView = nullptr;
  IMessageTarget* m_pTarget = nullptr;
  IReceiveDisplay* m_pDisplay = nullptr;
  Services m_services;
  CFlashDownload* m_pFlash = nullptr;  // the session's (CreateFlash)
  int m_nRunningOperation = OP_IDLE;
  int m_nBatchMode = 0;
  int m_bCommErrorDuringJob = 0;
  CHeadlessProgress* m_pProgressEcho = nullptr;
  CHeadlessRows* m_pRowEcho = nullptr;
};
