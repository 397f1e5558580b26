// The in-memory view of a headless run must decide as the window's widgets
// do: the same fields, written to the controls and read back, come back
// the same from both (values the widgets cannot hold included), the same
// edits are refused with the same boxes, and the panels' rules agree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mainwnd/MainWindow.h"
#include "panels/PanelBase.h"
#include "platform/ControlIds.h"
#include "testsupport/RecordingNotifier.h"
#include "windowlogic/MemoryMainView.h"

namespace {

// What a view gives back: the fields after a write and a read of every
// dialog, the answers of the reads, and the boxes shown.
struct Outcome {
  std::string fields;
  std::string answers;
  std::vector<std::string> boxes;
};

std::string Describe(const CDialogFields& f) {
  const CMainFields& m = f.main;
  std::string s = m.m_strFileName + "|" + m.m_strDataString + "|" + m.m_strRepeatNumber + "|";
  for (int v : {m.m_nStringFormat,
                m.m_bRepeat,
                static_cast<int>(m.m_nDelay),
                m.m_nRepeatCount,
                m.m_nInterface,
                m.m_bPacketMode,
                m.m_bShowUsm,
                m.m_bCreateLog,
                m.m_bJsonLog,
                f.serial.m_nPortIndex,
                f.serial.m_nBaudIndex,
                f.serial.m_nParityIndex,
                f.serial.m_nDataBitsIndex,
                f.serial.m_nStopBitsIndex,
                f.serial.m_nFlowIndex,
                f.usb.m_nOutEndpoint,
                f.usb.m_bMonitor,
                f.ethernet.m_nOutputPort,
                f.ethernet.m_bAutoReconnect,
                f.ethernet.m_nMainPort,
                f.ethernet.m_nRealTimePort,
                f.ethernet.m_nUsmPort,
                static_cast<int>(f.ethernet.m_dwIpAddress)})
    s += std::to_string(v) + ",";
  return s + f.usb.m_strDevice + "|" + f.ethernet.m_strMac;
}

// Writes `in` to the controls, lets `edit` change them as the logic or an
// operator would, and reads them back.
template <typename View, typename Edit>
Outcome RoundTrip(const CDialogFields& in, Edit edit) {
  CRecordingNotifier notifier;
  SetNotifier(&notifier);
  CDialogFields fields = in;
  Outcome out;
  {
    View view(fields);
    dynamic_cast<IListControls&>(view.Panel(1))
        .SetListItems(kIdcUsbDevice, {"Receipt Printer A", "USB Printer #2"});
    for (int n = 0; n < 3; ++n)
      view.Panel(n).UpdateData(0);
    view.UpdateData(0);
    edit(static_cast<IMainView&>(view));
    out.answers += std::to_string(view.UpdateData(1));
    for (int n = 0; n < 3; ++n)
      out.answers += std::to_string(view.Panel(n).UpdateData(1));
    out.answers += "|" + view.Panel(2).GetDlgItemText(kIdcEthIp);
  }
  SetNotifier(nullptr);
  out.fields = Describe(fields);
  out.boxes = notifier.Texts();
  return out;
}

class CMemoryView : public CMemoryMainView {
 public:
  explicit CMemoryView(CDialogFields& fields) : CMemoryMainView(fields, nullptr) {}
};

template <typename Edit>
void ExpectSame(const CDialogFields& in, Edit edit, const char* what) {
  const Outcome window = RoundTrip<CMainWindow>(in, edit);
  const Outcome memory = RoundTrip<CMemoryView>(in, edit);
  EXPECT_EQ(memory.fields, window.fields) << what;
  EXPECT_EQ(memory.answers, window.answers) << what;
  EXPECT_EQ(memory.boxes, window.boxes) << what;
}

TEST(MemoryViewParityTest, ExchangesAndRefusesAsTheWindowDoes) {
  CDialogFields plain;
  plain.main.m_strFileName = "/tmp/r\xe9sum\xe9.prn";  // not UTF-8: kept as bytes
  plain.main.m_strDataString = "1B 40 \\x";
  plain.main.m_nStringFormat = 1;
  plain.main.m_nInterface = 2;
  plain.main.m_nDelay = 300000;
  plain.main.m_nRepeatCount = -1;
  plain.main.m_bCreateLog = 1;
  plain.serial = {3, 4, 0, 3, 0, 4};
  plain.usb.m_strDevice = "usb printer";  // the first entry it begins, case ignored
  plain.usb.m_nOutEndpoint = 1;
  plain.ethernet.m_dwIpAddress = 0x7F000001;
  plain.ethernet.m_strMac = std::string(60, 'm');
  plain.ethernet.m_nOutputPort = 0;
  plain.ethernet.m_nMainPort = 9100;
  ExpectSame(
      plain, [](IMainView&) {}, "plain values");

  CDialogFields odd = plain;  // values no widget can hold
  odd.main.m_nStringFormat = 7;
  odd.main.m_nInterface = -1;
  odd.main.m_bRepeat = 5;
  odd.serial = {12, 11, -3, 4, 3, 5};
  odd.usb.m_strDevice = "none such";
  odd.usb.m_nOutEndpoint = 2;
  ExpectSame(
      odd, [](IMainView&) {}, "out of range");

  ExpectSame(
      plain, [](IMainView& v) { v.SetDlgItemText(kIdcDelay, "300001"); }, "delay too long");
  ExpectSame(
      plain, [](IMainView& v) { v.SetDlgItemText(kIdcRepeatCount, " 12x"); },
      "repeat not a number");
  ExpectSame(
      plain, [](IMainView& v) { v.Panel(2).SetDlgItemText(kIdcEthIp, "10.0.0.256"); },
      "address refused");
  ExpectSame(
      plain, [](IMainView& v) { v.Panel(2).SetDlgItemText(kIdcEthIp, "10..7"); },
      "address with an empty field");
  ExpectSame(
      plain,
      [](IMainView& v) {
        v.SetDlgItemText(kIdcDataString, " typed ");
        v.SetDlgItemText(kIdcDelay, " 250 ");
        v.EnablePanels(2);  // reloads the address from its field
      },
      "edits kept");
}

}  // namespace
