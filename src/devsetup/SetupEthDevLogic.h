// CSetupEthDevLogic: the deciding logic of the "Setup Devices" dialog,
// without Qt. Lists the print servers discovery finds (sorted by the text of
// their address), and gives the selected one a new address (CHIP, then REST
// and a 3000 ms wait for the restart), a new name (CHNO) or a restart
// (REST). Errors are the text library's device-setup texts
// (texts/ErrorTexts.h, shown by ShowErrorText), the duplicate address being
// a question with OK and Cancel.
//
// Blocking work (discovery, each frame and the restart wait) goes through
// the runBlocking hook: the dialog runs it off its thread and keeps
// repainting meanwhile, taking no input; the work touches only the library,
// never the view. Without the hook it runs inline.
//
// A new address that is no host address is refused, saying why, and a
// change of address is asked first, naming the old and the new one; Reboot
// says what it did.
//
// Malformed input never reaches the wire half read: a discovery record
// without its tabs or with a field over 29 characters is left out, and a MAC
// text that is not six hexadecimal pairs builds no frame (error 45; error 40
// for Reboot with an empty MAC text, as for Update without a selection).
//
// Threading: window thread only (the hooks' work excepted, see above).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "devsetup/EthDevFrames.h"
#include "devsetup/ISetupEthDevView.h"
#include "platform/ControlIds.h"
#include "texts/TextLibrary.h"

class CSetupEthDevLogic {
 public:
  enum : int {
    IDC_SEARCH = kIdcDevSearch,
    IDC_LIST = kIdcDevList,
    IDC_GROUP = kIdcDevGroup,
    IDC_IP_LABEL = kIdcDevIpLabel,
    IDC_NAME_LABEL = kIdcDevNameLabel,
    IDC_IP = kIdcDevNewIp,
    IDC_NAME = kIdcDevNewName,
    IDC_UPDATE = kIdcDevUpdate,
    IDC_REBOOT = kIdcDevReboot,
    IDC_OK = 1,
  };
  static constexpr int kMaxRecords = 255;
  static constexpr unsigned kRestartWaitMs = 3000;

  using Table = std::array<char[CEthDevFrames::kRecordSize], kMaxRecords>;
  struct Hooks {
    // Discovery into table; 1 with count set, 0 on failure.
    // Default: Comm_GetPortParams with a null prefix.
    std::function<int(int& count, Table& table)> discover;
    // One frame (its length follows from its command word); 1 sent.
    // Default: Comm_SetDeviceParams.
    std::function<int(const std::string& frame)> sendFrame;
    // Runs work to its end; see above. Default: inline.
    std::function<void(const std::function<void()>& work)> runBlocking;
    // Default: Sleep.
    std::function<void(unsigned ms)> sleepMs;
  };

  explicit CSetupEthDevLogic(ISetupEthDevView& view);
  void SetHooks(Hooks hooks);

  // The text library's file name; set by the opener before OnInitDialog.
  std::string m_strTextLibrary;
  // Bound fields.
  std::string m_strIpAddress;
  std::string m_strMacAddress;
  std::string m_strListedName;
  std::string m_strDeviceName;

  // Disables the selected-device controls, loads the text library (captions
  // and tips only) and puts the captions on. No search runs.
  int OnInitDialog();
  void SearchDevices(bool clearSelection);
  void OnClickDeviceList();
  void OnUpdateDevice();
  void OnRebootDevice();
  // OK: reads the controls, ends the dialog.
  void OnOK();
  // Enter: Search with the focus on kIdcDevSearch, Update with it on kIdcDevNewIp or
  // kIdcDevNewName, else nothing; Escape nothing. Both consumed (1); other keys 0.
  int PreTranslateKey(int key);
  // The control's tip ("" outside the table or without a tip function).
  std::string TipText(int id);

  const std::vector<CEthDevRecord>& Rows() const { return m_rows; }

  // Dotted text that a device can be given as its address: four numbers of
  // 0 to 255, and not 0.x.x.x, multicast, reserved or broadcast.
  // 1 with out filled; else 0 and what is wrong in *problem.
  static int ParseHostAddress(const std::string& text, BYTE out[4], std::string* problem);
  CTextLibrary& Texts() { return m_texts; }

 private:
  void ReadControls();
  void WriteControls();
  void EnableSelected(int enable);
  int Send(const std::string& frame);
  void Block(const std::function<void()>& work);
  // The address control's four fields, first first; 0 (said in a box, the
  // focus back on the control) when they are no host address.
  int ReadNewAddress(BYTE out[4]);

  ISetupEthDevView& m_view;
  Hooks m_hooks;
  CTextLibrary m_texts;
  std::vector<CEthDevRecord> m_rows;
  Table m_table{};
};
