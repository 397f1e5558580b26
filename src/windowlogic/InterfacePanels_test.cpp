// The rules of the serial, USB and Ethernet panels, against a recording view.
#include <gtest/gtest.h>

#include "platform/ControlIds.h"
#include "testsupport/PanelTestSupport.h"
#include "texts/TextLibrary.h"
#include "texts/TooltipTable.h"
#include "windowlogic/EthernetPanel.h"
#include "windowlogic/PanelController.h"
#include "windowlogic/SerialPanel.h"
#include "windowlogic/UsbPanel.h"

namespace {

using Names = std::vector<std::string>;

// A panel with its fields, a recording view and recording hooks.
struct SerialRig {
  CSerialFields fields;
  CFakePanelView view;
  CRecordingPanelHooks host;
  CSerialPanel panel{fields, view, view, host.hooks};
};
struct UsbRig {
  CUsbFields fields;
  CFakePanelView view;
  CRecordingPanelHooks host;
  CUsbPanel panel{fields, view, view, host.hooks};
};
struct EthernetRig {
  CEthernetFields fields;
  CFakePanelView view;
  CRecordingPanelHooks host;
  CEthernetPanel panel{fields, view, host.hooks};
};

TEST(SerialPanel, PortListKeepsNumericOrderAndDropsRepeats) {
  const struct {
    Names table;
    Names listed;
  } kCases[] = {
      {{"COM10", "COM2", "COM1", "COM2"}, {"COM1", "COM2", "COM10"}},
      {{"COM3", "com3", "COM12"}, {"COM3", "COM12"}},
      // Device paths: equal numbers keep the library's order; a path
      // without a number goes last.
      {{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyACM0", "/tmp/link", "/dev/pts/3", "/dev/ttyS1"},
       {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS1", "/dev/pts/3", "/tmp/link"}},
      {{}, {}},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(CSerialPanel::OrderPorts(c.table), c.listed);
  }
}

TEST(SerialPanel, RefreshOnlyWhileSerialAndOnlyOnSuccess) {
  SerialRig r;
  auto& [fields, view, host, panel] = r;
  int answer = 1;
  panel.SetPortLister([&](Names& names) {
    names = {"COM10", "COM2", "COM1"};
    return answer;
  });
  view.lists[kIdcSerialPort] = {"old"};

  host.selected = 1;
  panel.RefreshPortList();
  EXPECT_EQ(view.lists[kIdcSerialPort], Names{"old"});
  host.selected = 0;
  answer = 0;
  panel.RefreshPortList();
  EXPECT_EQ(view.lists[kIdcSerialPort], Names{"old"});
  EXPECT_TRUE(view.exchanges.empty());
  answer = 1;
  panel.RefreshPortList();
  EXPECT_EQ(view.lists[kIdcSerialPort], (Names{"COM1", "COM2", "COM10"}));
  // Controls read before the list is rebuilt, written back after it.
  EXPECT_EQ(view.exchanges, (std::vector<int>{1, 0}));
}

TEST(SerialPanel, OnlyPortAndFlowChangesReopenAndOnlyWhileSerial) {
  const struct {
    int id;
    int selected;
    size_t opens;
  } kCases[] = {{kIdcSerialPort, 0, 1},   {kIdcSerialFlow, 0, 1},     {kIdcSerialBaud, 0, 0},
                {kIdcSerialParity, 0, 0}, {kIdcSerialDataBits, 0, 0}, {kIdcSerialStopBits, 0, 0},
                {kIdcSerialPort, 1, 0},   {kIdcSerialFlow, 2, 0}};
  for (const auto& c : kCases) {
    SerialRig r;
    auto& [fields, view, host, panel] = r;
    host.selected = c.selected;
    panel.OnSelChange(c.id);
    EXPECT_EQ(host.opens.size(), c.opens) << c.id << " with interface " << c.selected;
  }
}

TEST(SerialPanel, LampsFollowTheStatusWordAndXonOnlyWithFlowFour) {
  const struct {
    DWORD status;
    int flow;
    int dsr, cts, ring, dcd, xon;
  } kCases[] = {
      {0x30, 1, 2, 2, 1, 1, 0},  {0x30, 4, 2, 2, 1, 1, 1},  {0x130, 4, 2, 2, 1, 1, 2},
      {0x1C0, 0, 1, 1, 2, 2, 0}, {0x100, 3, 1, 1, 1, 1, 0},
  };
  for (const auto& c : kCases) {
    SerialRig r;
    auto& [fields, view, host, panel] = r;
    fields.m_nFlowIndex = c.flow;
    panel.ApplyLineStatus(c.status);
    EXPECT_EQ(host.Led(0, kIdcSerialLampDsr), c.dsr);
    EXPECT_EQ(host.Led(0, kIdcSerialLampCts), c.cts);
    EXPECT_EQ(host.Led(0, kIdcSerialLampRing), c.ring);
    EXPECT_EQ(host.Led(0, kIdcSerialLampDcd), c.dcd);
    EXPECT_EQ(host.Led(0, kIdcSerialLampXonXoff), c.xon)
        << std::hex << c.status << " flow " << c.flow;
  }
}

// The English library loads silently: no notifier is needed.
// Lamps show one port's lines: another port, another flow control or the
// port gone from the list leaves none lit from the old one.
TEST(SerialPanel, LampsGoDarkWhenThePortChangesOrIsGone) {
  SerialRig r;
  auto& [fields, view, host, panel] = r;
  Names ports = {"COM1", "COM2"};
  panel.SetPortLister([&](Names& names) {
    names = ports;
    return 1;
  });
  fields.m_nFlowIndex = 4;
  auto lit = [&] {
    panel.ApplyLineStatus(0x1F0);
    return host.Led(0, kIdcSerialLampDsr) == 2 && host.Led(0, kIdcSerialLampXonXoff) == 2;
  };
  auto dark = [&] {
    for (int id : {kIdcSerialLampDsr, kIdcSerialLampCts, kIdcSerialLampRing, kIdcSerialLampDcd,
                   kIdcSerialLampXonXoff}) {
      if (host.Led(0, id) != 0) {
        return false;
      }
    }
    return true;
  };
  host.selected = 0;
  panel.RefreshPortList();
  fields.m_nPortIndex = 1;
  for (int id : {kIdcSerialPort, kIdcSerialFlow}) {
    ASSERT_TRUE(lit());
    panel.OnSelChange(id);
    EXPECT_TRUE(dark()) << id;
  }
  ASSERT_TRUE(lit());
  panel.RefreshPortList();
  EXPECT_FALSE(dark()) << "the same port listed again";
  ports = {"COM1"};
  panel.RefreshPortList();
  EXPECT_TRUE(dark()) << "COM2 is gone";
}

TEST(UsbPanel, RealTimeRadioNeedsARealTimeChannel) {
  CTextLibrary texts;
  ASSERT_EQ(texts.LoadCaptionAndTipTexts(SENDRIX_TEXTS_EN_PATH), 1);
  UsbRig r;
  auto& [fields, view, host, panel] = r;
  panel.SetChannels(1, 0);
  panel.ApplyEndpointState(1, &texts);
  EXPECT_EQ(view.IsDlgItemEnabled(kIdcUsbRealTime), 0);
  EXPECT_EQ(view.texts[kIdcUsbNormal], texts.GetCaptionText(44));
  panel.SetChannels(1, 1);
  panel.ApplyEndpointState(1, &texts);
  EXPECT_EQ(view.IsDlgItemEnabled(kIdcUsbRealTime), 1);
  EXPECT_EQ(view.texts[kIdcUsbNormal], texts.GetCaptionText(43));
  panel.ApplyEndpointState(0, &texts);  // another interface selected
  EXPECT_EQ(view.IsDlgItemEnabled(kIdcUsbRealTime), 0);
}

TEST(UsbPanel, RepeatedNamesAreNumberedAndTheIndexNamesTheDevice) {
  UsbRig r;
  auto& [fields, view, host, panel] = r;
  fields.m_nDeviceIndex = 2;
  fields.m_strDevice = "kept";
  host.selected = 1;
  Names table = {"Alpha", "Beta", "Alpha"};
  panel.SetDeviceLister([&](int& usm, int& rt, Names& names) {
    usm = 1;
    rt = 0;
    names = table;
    return 1;
  });
  panel.RefreshDeviceList();
  EXPECT_EQ(view.lists[kIdcUsbDevice], (Names{"Alpha (1)", "Beta", "Alpha (2)"}));
  EXPECT_EQ(fields.m_strDevice, "Alpha (2)");
  EXPECT_EQ(panel.GetUsmChannel(), 1);
  // An empty enumeration empties the list and keeps the device's text.
  table.clear();
  panel.RefreshDeviceList();
  EXPECT_TRUE(view.lists[kIdcUsbDevice].empty());
  EXPECT_EQ(fields.m_strDevice, "Alpha (2)");
  // Not while another interface is selected.
  table = {"Gamma"};
  host.selected = 0;
  panel.RefreshDeviceList();
  EXPECT_TRUE(view.lists[kIdcUsbDevice].empty());
}

TEST(UsbPanel, StatusWordSetBitsShowRed) {
  const struct {
    DWORD status;
    int error, pout;
  } kCases[] = {{0x0, 2, 2}, {0x1, 1, 2}, {0x2, 2, 1}, {0x3, 1, 1}};
  for (const auto& c : kCases) {
    UsbRig r;
    auto& [fields, view, host, panel] = r;
    view.visible[kIdcUsbLampError] = view.visible[kIdcUsbLampPaperOut] = 0;
    panel.ApplyLineStatus(c.status);
    EXPECT_EQ(host.Led(1, kIdcUsbLampError), c.error) << c.status;
    EXPECT_EQ(host.Led(1, kIdcUsbLampPaperOut), c.pout) << c.status;
    EXPECT_EQ(view.visible[kIdcUsbLampError] + view.visible[kIdcUsbLampPaperOut], 2);
  }
}

TEST(UsbPanel, MonitorLogsAndNeverReopensRadiosOnlyWhenIdleEnterOnInfo) {
  UsbRig r;
  auto& [fields, view, host, panel] = r;
  host.selected = 1;
  fields.m_bMonitor = 0;  // what the exchange would read from the unticked box
  panel.OnMonitor();
  EXPECT_EQ(host.Led(1, kIdcUsbLampError), 0);
  EXPECT_EQ(host.Led(1, kIdcUsbLampPaperOut), 0);
  fields.m_bMonitor = 1;
  panel.OnMonitor();
  EXPECT_EQ(host.logLines,
            (Names{"Check USB Printer Status = FALSE", "Check USB Printer Status = TRUE"}));
  EXPECT_EQ(host.monitors, (std::vector<int>{0, 1}));
  EXPECT_TRUE(host.opens.empty());
  // The radios reopen only when idle; Enter runs Info only there.
  host.running = 2;  // a file transfer
  panel.OnEndpointClick();
  EXPECT_TRUE(host.opens.empty());
  host.running = 0;
  panel.OnEndpointClick();
  EXPECT_EQ(host.opens, std::vector<int>{1});
  view.focus = kIdcUsbDevice;
  EXPECT_EQ(panel.PreTranslateKey(0x0D), 1);
  EXPECT_EQ(host.properties, 0);
  view.focus = kIdcUsbInfo;
  EXPECT_EQ(panel.PreTranslateKey(0x0D), 1);
  EXPECT_EQ(host.properties, 1);
  EXPECT_EQ(panel.PreTranslateKey(0x1B), 1);
  EXPECT_EQ(panel.PreTranslateKey('A'), 0);
}

TEST(EthernetPanel, AddressTextFirstOctetMostSignificant) {
  EXPECT_EQ(CEthernetPanel::IpText(0x0A000005u), "10.0.0.5");
  EXPECT_EQ(CEthernetPanel::IpText(0xC0A80164u), "192.168.1.100");
  const struct {
    const char* text;
    int ok;
    DWORD value;
  } kCases[] = {{"10.0.0.5", 1, 0x0A000005u},
                {"255.255.255.255", 1, 0xFFFFFFFFu},
                {"10..0.", 1, 0x0A000000u},
                {"", 1, 0},
                {"256.0.0.1", 0, 0},
                {"1.2.3.4.5", 0, 0},
                {"1.2.3.a", 0, 0},
                {"0001.0.0.0", 0, 0}};
  for (const auto& c : kCases) {
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(CEthernetPanel::ParseIpText(c.text, &value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(EthernetPanel, PortEditDisablesActionsUntilEnterReopens) {
  EthernetRig r;
  auto& [fields, view, host, panel] = r;
  host.selected = 2;
  view.texts[kIdcEthIp] = "127.0.0.1";
  panel.OnPortEditChange(kIdcEthMainPort);
  EXPECT_EQ(host.disables, 1);
  EXPECT_EQ(panel.IsEditPending(), 1);
  // Enter outside the four fields, or while an operation runs: nothing.
  view.focus = kIdcEthAutoReconnect;
  EXPECT_EQ(panel.PreTranslateKey(0x0D), 1);
  view.focus = kIdcEthMainPort;
  host.running = 3;
  EXPECT_EQ(panel.PreTranslateKey(0x0D), 1);
  EXPECT_TRUE(host.opens.empty());
  host.running = 0;
  EXPECT_EQ(panel.PreTranslateKey(0x0D), 1);
  EXPECT_EQ(host.opens, std::vector<int>{1});
  EXPECT_EQ(fields.m_dwIpAddress, 0x7F000001u);
  EXPECT_EQ(panel.IsEditPending(), 0);
  // Each of the other fields reopens too; a radio click as well.
  for (int id : {kIdcEthIp, kIdcEthUsmPort, kIdcEthRealTimePort}) {
    view.focus = id;
    panel.PreTranslateKey(0x0D);
  }
  panel.OnOutputClick();
  EXPECT_EQ(host.opens.size(), 5u);
  // With another interface selected an edit turns nothing off.
  host.selected = 0;
  panel.OnPortEditChange(kIdcEthRealTimePort);
  EXPECT_EQ(host.disables, 1);
  // An edit that holds no integer keeps the actions off and reopens nothing.
  host.selected = 2;
  panel.OnPortEditChange(kIdcEthUsmPort);
  view.exchangeResult = 0;
  view.focus = kIdcEthUsmPort;
  panel.PreTranslateKey(0x0D);
  EXPECT_EQ(host.opens.size(), 5u);
  EXPECT_EQ(panel.IsEditPending(), 1);
}

TEST(EthernetPanel, RadiosAndUsmLabelFollowTheLastConnection) {
  const struct {
    int selected, completion, rt, usm;
    int main, realTime, usmLabel;
  } kCases[] = {
      {1, 1, 1, 1, 1, 1, 1}, {1, 1, 0, 0, 1, 0, 0}, {1, 0, 1, 0, 0, 1, 0}, {0, 1, 1, 1, 0, 0, 0}};
  for (const auto& c : kCases) {
    EthernetRig r;
    auto& [fields, view, host, panel] = r;
    panel.ApplyConnectionState(c.selected, c.completion, c.rt, c.usm);
    EXPECT_EQ(view.IsDlgItemEnabled(kIdcEthOutMain), c.main);
    EXPECT_EQ(view.IsDlgItemEnabled(kIdcEthOutRealTime), c.realTime);
    EXPECT_EQ(view.IsDlgItemEnabled(kIdcEthUsmLabel), c.usmLabel);
  }
}

TEST(PanelController, EventsReachTheirPanelAndStatusFollowsTheInterface) {
  CDialogFields fields;
  CFakePanelView serial, usb, ethernet;
  CRecordingPanelHooks host;
  CPanelController panels(fields, {&serial, &serial, &usb, &usb, &ethernet}, host.hooks);
  host.selected = 1;
  usb.selections[kIdcUsbDevice] = 2;
  panels.OnPanelCommand(1, kIdcUsbDevice);
  EXPECT_EQ(fields.usb.m_nDeviceIndex, 2);
  panels.OnPanelCommand(1, kIdcUsbInfo);
  panels.OnPanelCommand(2, kIdcEthSetup);
  EXPECT_EQ(host.properties + host.setups, 2);
  EXPECT_EQ(host.opens.size(), 1u);

  panels.OnLineStatus(0x1);
  EXPECT_EQ(host.Led(1, kIdcUsbLampError), 1);
  host.selected = 2;  // TCP/IP: a status word changes nothing
  host.leds.clear();
  panels.OnLineStatus(0x30);
  EXPECT_TRUE(host.leds.empty());
  host.selected = 0;
  panels.OnLineStatus(0x30);
  EXPECT_EQ(host.Led(0, kIdcSerialLampDsr), 2);
  EXPECT_EQ(panels.OnPanelKey(0, 0x0D), 1);
  EXPECT_EQ(panels.OnPanelKey(2, 'A'), 0);
}

}  // namespace
