// Draws the "Setup Devices" dialog into a PNG file on the offscreen platform:
// the virtual printer answers discovery on loopback UDP, the dialog searches
// and selects it, then the dialog is drawn. For the documentation.
//
// Usage: sendrix-setup-picture OUT.png [TEXT_LIBRARY]
#include <QApplication>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "PrinterSim.h"
#include "comm/Cablox.h"
#include "panels/SetupEthDevDlg.h"
#include "platform/MessageQueue.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [TEXT_LIBRARY]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  SIM_OPTIONS options;
  options.bTcp = false;
  options.nUdpPort = 0;
  options.strName = "FRONTDESK";
  options.strMac = "02-00-5E-10-00-2A";
  CPrinterSim sim(options);
  std::string error;
  if (!sim.Start(error)) {
    std::fprintf(stderr, "printer: %s\n", error.c_str());
    return 1;
  }
  setenv("SENDRIX_DISCOVERY_ADDR", "127.0.0.1", 1);  // loopback only
  setenv("SENDRIX_DISCOVERY_PORT", std::to_string(sim.GetUdpPort()).c_str(), 1);
  CMessageQueue owner;
  Comm_OpenSetup(&owner, COMM_TYPE_TCPIP);
  int result = 1;
  {
    CSetupEthDevDlg dlg(argc > 2 ? argv[2] : "");
    dlg.show();
    dlg.Logic().SearchDevices(true);
    QTreeWidget* list = dlg.List();
    if (list->topLevelItemCount() > 0) {
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                        list->visualItemRect(list->topLevelItem(0)).center());
    }
    QApplication::processEvents();
    result = dlg.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
  }
  Comm_CloseCleanuo();
  sim.Stop();
  return result;
}
