// Test support for the cases that run against the virtual printer
// (tools/printer-sim): a fixture on top of CEngineTest that starts the
// printer over loopback TCP or a pseudo-terminal, connects the library to
// it, uses short firmware pauses, and stops the printer after the engine's
// tear-down.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "PrinterSim.h"
#include "firmware/FlashDownload.h"
#include "testsupport/EngineTestSupport.h"

enum SimTransport { kTcp, kPty };

std::string SimTransportName(const ::testing::TestParamInfo<SimTransport>& p);

// Firmware pauses short enough for tests; the reply budgets stay long
// enough for a loaded machine (a case of a silent printer shortens its own),
// and the switch and size budgets stay the program's own.
FlashTimings QuickFlashTimings();

class CSimTest : public CEngineTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the printer from `o` with these faults: on ephemeral loopback
  // ports (kTcp, or `both`) and on the pseudo-terminal PtyLink() (kPty, or
  // `both`).
  void StartSim(SimTransport transport, const std::vector<std::string>& faults,
                SIM_OPTIONS o = SIM_OPTIONS(), bool both = false);
  // Sets the library up for `transport` and connects it to the printer (the
  // USM connection too when `usm`), then gives the engine the connection.
  void ConnectSim(SimTransport transport, bool usm, int checkStatus);
  // The firmware LED states reported (passed or failed steps), as
  // "step:state" in order.
  std::vector<std::string> Leds() const;
  std::string PtyLink() const { return m_strHome + "/ttySIM"; }

  std::unique_ptr<CPrinterSim> m_pSim;
};
