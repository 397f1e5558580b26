// The receive display as the window logic sees it (IReceiveDisplay), over
// CReceiveDisplay: its lists take the places of lists 1028 and 1045 in the
// window's "Receive Buffer" area and keep their IDs.
//
// CReceiveDisplay polls the readers' feeds on the window thread, so no
// display thread sends WM_RX_DATA or WM_RX_USM; OnRxMessage only answers.
//
// The printer's status line joins the window's controls as kIdcStatusLine,
// named "Printer status", its words the value a screen reader reads.
//
// Threading: window thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "windowlogic/IReceiveDisplay.h"

class CHeadlessRows;
class CMainWindow;
class CReceiveDisplay;

class CQtReceiveDisplay : public IReceiveDisplay {
 public:
  explicit CQtReceiveDisplay(CMainWindow& window);
  ~CQtReceiveDisplay() override;

  int Start() override;
  void Stop() override;
  LRESULT OnRxMessage(UINT, WPARAM, LPARAM) override { return 1; }
  void ResetDataLineCounter() override;
  void NoteStringSent(const BYTE* bytes, size_t count) override;
  void OnCommand(int id) override;
  void RefreshUsmView(int usmChannel, int showUsm) override;
  void SetBlockTimes(int showTime, int idleGapMs) override;
  // Headless runs: the lists' rows also go to `rows` (null: none).
  void SetRowEcho(CHeadlessRows* rows);
  // Every block shown also goes to `tap` (CReceiveDisplay::SetRxTap).
  void SetRxTap(std::function<void(UINT, const BYTE*, size_t)> tap);
  // Every decoded status also goes to `tap` (source, words).
  void SetStatusTap(std::function<void(const std::string&, const std::string&)> tap);

 private:
  CMainWindow& m_window;
  std::unique_ptr<CReceiveDisplay> m_pDisplay;
  int m_nUsmChannel = 0;
};
