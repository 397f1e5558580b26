// The receive display as the window logic sees it (IReceiveDisplay), over
// CReceiveDisplay: its lists take the places of lists kIdcRxDataList and kIdcRxUsmList in the
// window's "Receive Buffer" area and keep their IDs.
//
// CReceiveDisplay polls the readers' feeds on the window thread; the blocks
// it shows reach the logic through the tap (SetRxTap), a direct call.
//
// The printer's status line joins the window's controls as kIdcStatusLine,
// named "Printer status", its words the value a screen reader reads.
//
// Threading: window thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/RxFeed.h"
#include "windowlogic/IReceiveDisplay.h"

class CHeadlessRows;
class CMainWindow;
class CReceiveDisplay;
class CTransferEngine;

class CQtReceiveDisplay : public IReceiveDisplay {
 public:
  // `engine`: the session's (see CReceiveDisplay).
  CQtReceiveDisplay(CMainWindow& window, CTransferEngine& engine);
  ~CQtReceiveDisplay() override;

  int Start() override;
  void Stop() override;
  void ResetDataLineCounter() override;
  void NoteStringSent(const BYTE* bytes, size_t count) override;
  void OnCommand(int id) override;
  void RefreshUsmView(int usmChannel, int showUsm) override;
  void SetBlockTimes(int showTime, int idleGapMs) override;
  // Headless runs: the lists' rows also go to `rows` (null: none).
  void SetRowEcho(CHeadlessRows* rows);
  // Every block shown also goes to `tap` (CReceiveDisplay::SetRxTap).
  void SetRxTap(std::function<void(RxChannel, const BYTE*, size_t)> tap);
  // Every decoded status also goes to `tap` (source, words).
  void SetStatusTap(std::function<void(const std::string&, const std::string&)> tap);

 private:
  CMainWindow& m_window;
  std::unique_ptr<CReceiveDisplay> m_pDisplay;
  int m_nUsmChannel = 0;
};
