// The port opener against the virtual printer over loopback TCP: it reaches
// no window; what the window is to show after an open comes back in the
// result, and the Flash thread's re-open uses the last request.
#include <gtest/gtest.h>

#include "comm/Cablox.h"
#include "testsupport/SimTestSupport.h"
#include "windowlogic/PortOpener.h"

namespace {

class PortOpenerTest : public CSimTest {
 protected:
  void SetUp() override {
    CSimTest::SetUp();
    m_bConnected = true;  // the opener sets the library up; the tear-down ends it
  }
  COpenRequest TcpRequest(int mainPort) const {
    COpenRequest r;
    r.nInterface = 2;
    r.ethernet.m_dwIpAddress = 0x7F000001;
    r.ethernet.m_nMainPort = mainPort;
    r.ethernet.m_nRealTimePort = m_pSim->GetRtPort();
    r.ethernet.m_nUsmPort = m_pSim->GetUsmPort();
    r.ethernet.m_nOutputPort = 0;
    return r;
  }
};

TEST_F(PortOpenerTest, EachOpenSaysWhatTheWindowShowsAfterIt) {
  StartSim(kTcp, {});
  CPortOpener opener(&m_window, m_engine);

  COpenRequest unknown;
  unknown.nInterface = 7;
  COpenResult r = opener.Open(unknown);
  EXPECT_EQ(r.bOk, 0);
  EXPECT_EQ(r.nPanel, -1) << "nothing to show for no interface";
  EXPECT_EQ(r.bSendControls, 0);
  EXPECT_EQ(Boxes().size(), 1u);

  // Nothing listens on port 1 of loopback: the TCP/IP panel shows, and the
  // send controls stay usable so that the next Start tries again.
  r = opener.Open(TcpRequest(1));
  EXPECT_EQ(r.bOk, 0);
  EXPECT_EQ(r.nPanel, 2);
  EXPECT_EQ(r.bSendControls, 1);
  EXPECT_EQ(r.bFirmwareFlag + r.bReceiveFlag, 2);
  EXPECT_EQ(r.nShowUsmButton, 1);

  r = opener.Open(TcpRequest(m_pSim->GetMainPort()));
  EXPECT_EQ(r.bOk, 1);
  EXPECT_EQ(r.nPanel, 2);
  EXPECT_EQ(r.bShowFields, 1);
  EXPECT_EQ(r.bSendControls, 1);
  EXPECT_EQ(r.bFirmwareFlag + r.bReceiveFlag, 2);
  EXPECT_EQ(r.bRefreshSerialList + r.bRefreshUsbList + r.bHideUsbLamps + r.bDisableUsbInfo, 0);
  EXPECT_EQ(opener.GetOffer().nRealTimeChannel, 1);
  EXPECT_EQ(opener.GetPreviousType(), 2);

  // The Flash thread's re-open: the last request again, the connection
  // unchanged.
  EXPECT_EQ(opener.Reopen(), 1);
  EXPECT_EQ(Comm_IsConnected(), 1);
  opener.ClosePort(2);
  EXPECT_EQ(Comm_IsConnected(), 0);
}

}  // namespace
