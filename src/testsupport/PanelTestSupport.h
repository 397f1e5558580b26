// Test fakes for the panels' and the device setup dialog's logic: a dialog
// that records control states and list entries, with hooks that record
// what the logic asks of the window. Tests only.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "devsetup/ISetupEthDevView.h"
#include "windowlogic/IListControls.h"
#include "windowlogic/PanelHooks.h"

class CFakePanelView : public ISetupEthDevView, public IListControls {
 public:
  int EnableDlgItem(int id, int enable) override {
    int was = IsDlgItemEnabled(id);
    enabled[id] = enable;
    return was;
  }
  int IsDlgItemEnabled(int id) override {
    auto it = enabled.find(id);
    return it == enabled.end() ? 1 : it->second;
  }
  void ShowDlgItem(int id, int show) override { visible[id] = show; }
  int IsDlgItemVisible(int id) override { return visible.count(id) ? visible[id] : 1; }
  void SetDlgItemText(int id, const std::string& text) override { texts[id] = text; }
  std::string GetDlgItemText(int id) override { return texts[id]; }
  int GetFocusId() override { return focus; }
  void SetFocusId(int id) override { focus = id; }
  int UpdateData(int save) override {
    exchanges.push_back(save);
    return exchangeResult;
  }
  void SetListItems(int id, const std::vector<std::string>& items) override { lists[id] = items; }
  std::vector<std::string> GetListItems(int id) override { return lists[id]; }
  int GetListSelection(int id) override { return selections.count(id) ? selections[id] : -1; }

  void SetRows(const std::vector<CEthDevRecord>& r) override {
    rows = r;
    selection = -1;
  }
  int GetSelectionMark() override { return selection; }
  void SetWaitCursor(int on) override { waitCursor = on; }
  void SetTitle(const std::string& t) override { title = t; }
  void SetColumnHeader(int column, const std::string& text) override { headers[column] = text; }
  void EndDialog(int result) override { ended = result; }

  std::map<int, int> enabled;
  std::map<int, int> visible;
  std::map<int, std::string> texts;
  std::map<int, std::vector<std::string>> lists;
  std::map<int, int> selections;
  std::vector<int> exchanges;
  int exchangeResult = 1;
  int focus = 0;
  std::vector<CEthDevRecord> rows;
  int selection = -1;
  int waitCursor = 0;
  std::string title = "Setup Devices";
  std::map<int, std::string> headers;
  int ended = 0;
};

// Hooks that record the window's side.
struct CRecordingPanelHooks {
  CRecordingPanelHooks() {
    hooks.selectedInterface = [this] { return selected; };
    hooks.runningOperation = [this] { return running; };
    hooks.openPort = [this](int update) {
      opens.push_back(update);
      return 1;
    };
    hooks.setLed = [this](int dialog, int id, int state) { leds[{dialog, id}] = state; };
    hooks.log = [this](const std::string& line) { logLines.push_back(line); };
    hooks.disableActionControls = [this] { ++disables; };
    hooks.setMonitor = [this](int monitor) { monitors.push_back(monitor); };
    hooks.showPortProperties = [this] { ++properties; };
    hooks.openDeviceSetup = [this] { ++setups; };
  }
  int Led(int dialog, int id) const {
    auto it = leds.find({dialog, id});
    return it == leds.end() ? -1 : it->second;
  }

  CPanelHooks hooks;
  int selected = 0;
  int running = 0;
  std::vector<int> opens;
  std::map<std::pair<int, int>, int> leds;
  std::vector<std::string> logLines;
  int disables = 0;
  std::vector<int> monitors;
  int properties = 0;
  int setups = 0;
};
