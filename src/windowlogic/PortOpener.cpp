#include "windowlogic/PortOpener.h"

#include <cstring>
#include <vector>

#include "comm/Cablox.h"
#include "comm/SerialPortList.h"
#include "engine/TransferEngine.h"
#include "platform/Clock.h"
#include "report/ErrorBoxes.h"
#include "texts/ErrorTexts.h"

namespace {

const int kBaudRates[] = {115200, 57600, 38400, 19200, 9600, 4800, 2400, 1200, 600, 300, 110};
const char* const kParity[] = {"None", "Odd", "Even", "Mark", "Space"};
const int kDataBits[] = {5, 6, 7, 8};
const char* const kStopBits[] = {"1", "1.5", "2"};
const char* const kHandshake[] = {"None", "DSR/CTS", "DSR", "CTS", "XON/XOFF"};
const char* const kCloseLines[] = {"Close Serial Port", "Close USB Port", "Close TCP/IP Port"};

// Table look-ups for the log line; an index the panel never offers shows as
// "?" (or 0) instead of reading past the table.
template <typename T, size_t N>
T Pick(const T (&table)[N], int index, T fallback) {
  return index >= 0 && static_cast<size_t>(index) < N ? table[index] : fallback;
}

// Hands the connection's parameters to the engine. The readers read them
// without a lock, and an open that finds the connection unchanged stores
// the same values again while they run: an unchanged set is left alone.
void StoreConnectionParams(CTransferEngine& e, int type, DWORD port, int outputPort, int realTime,
                           int usm, int checkStatus) {
  if (e.m_nInterfaceType == type && e.m_nPort == port && e.m_nOutputPort == outputPort &&
      e.m_nRealTimeChannel == realTime && e.m_nUsmChannel == usm && e.m_nCheckStatus == checkStatus)
    return;
  e.SetConnectionParams(type, port, outputPort, realTime, usm, checkStatus);
}
constexpr size_t kMacBufferSize = 50;

}  // namespace

CPortOpener::CPortOpener(IMessageTarget* owner, CTransferEngine& engine)
    : m_engine(engine),
      m_pOwner(owner),
      m_fnListPorts([] { return CSerialPortList::Enumerate(); }) {}

CConnectionOffer CPortOpener::GetOffer() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return {m_nUsmChannel, m_nRealTimeChannel, m_nCompletion};
}

int CPortOpener::GetPreviousType() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_nPreviousType;
}

COpenResult CPortOpener::Open(const COpenRequest& request) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_params = request;
  COpenResult result;
  result.bOk = OpenLocked(&result);
  result.strMac = m_params.ethernet.m_strMac;
  return result;
}

int CPortOpener::Reopen() {
  std::lock_guard<std::mutex> lock(m_lock);
  return OpenLocked(nullptr);
}

void CPortOpener::CloseForTypeChange() {
  if (m_nPreviousType == m_params.nInterface || Comm_IsOpened() != 1)
    return;
  if (Comm_IsConnected()) {
    if (m_nPreviousType >= 0 && m_nPreviousType <= 2)
      m_engine.LogText(kCloseLines[m_nPreviousType]);
    m_engine.StopReaders();
    Comm_BreakDownCommPort();
    Sleep(m_timings.dwAfterTypeChangeMs);
  }
  Comm_CloseCleanuo();
}

int CPortOpener::OpenLocked(COpenResult* out) {
  const int type = m_params.nInterface;
  m_bFirmwareFlag = 1;
  m_bReceiveFlag = 1;
  CloseForTypeChange();
  if (type < 0 || type > 2) {
    ShowErrorText(kErrorUnknownInterface);
    return 0;
  }
  if (Comm_IsOpened() == 0) {
    if (!Comm_OpenSetup(m_pOwner, type)) {
      FailOpen(type, out);
      if (out)
        out->bDisableUsbInfo = 1;
      m_nPreviousType = type;
      return 0;
    }
    m_nSetupCode = type == 0 ? 3 : 8;
    if (out)
      out->bShowFields = 1;
  }
  int ok = type == 0 ? OpenSerial(out) : type == 1 ? OpenUsb(out) : OpenTcp(out);
  m_nPreviousType = type;
  if (!ok)
    return 0;
  CommonEnd(out);
  return 1;
}

void CPortOpener::CommonEnd(COpenResult* out) {
  const int available = Comm_IsPortAvailable() ? 1 : 0;
  // The action controls stay usable without a port: every action opens the
  // port first, so the next Start simply tries again.
  if (out) {
    out->bSendControls = 1;
    out->bFirmwareFlag = m_bFirmwareFlag;
    out->bReceiveFlag = m_bReceiveFlag;
  }
  if (available)
    m_engine.StartReaders();
  Comm_SetConnect(available);
}

void CPortOpener::FailOpen(int type, COpenResult* out) {
  if (!out)
    return;
  out->nPanel = type;
  // Greyed controls would lock the window until the operator found another
  // way to reopen: Start tries again, once the printer is back.
  out->bSendControls = 1;
  out->bFirmwareFlag = 1;
  out->bReceiveFlag = 1;
  if (type == 0)
    out->bDisableUsbInfo = 1;
  out->nShowUsmButton = type != 0 ? 1 : 0;
  out->nUsmView = type == 0 ? 0 : m_nUsmChannel;
}

int CPortOpener::SerialUpdate(const std::string& name) {
  const CSerialFields& s = m_params.serial;
  DWORD port = static_cast<DWORD>(s.m_nPortIndex);
  // The whole path, both to open and to log: a cut name ("/dev/ttyUSB" for
  // "/dev/ttyUSB0") names no port, or another one.
  std::vector<char> path(name.begin(), name.end());
  path.push_back('\0');
  char* buffer = path.data();
  int baud = s.m_nBaudIndex, parity = s.m_nParityIndex, flow = s.m_nFlowIndex;
  int dataBits = s.m_nDataBitsIndex, stopBits = s.m_nStopBitsIndex;
  if (!Comm_UpdateConnection(0, port, buffer, baud, parity, flow, dataBits, stopBits))
    return 0;
  m_engine.LogFormat(
      "Open Serial Port successful. Params : Port = %s, BaudRate = %d, Parity = %s, "
      "Handshaking = %s, NbDatas = %d, NbStops = %s",
      buffer, Pick(kBaudRates, s.m_nBaudIndex, 0), Pick(kParity, s.m_nParityIndex, "?"),
      Pick(kHandshake, s.m_nFlowIndex, "?"), Pick(kDataBits, s.m_nDataBitsIndex, 0),
      Pick(kStopBits, s.m_nStopBitsIndex, "?"));
  return 1;
}

int CPortOpener::OpenSerial(COpenResult* out) {
  const CSerialFields& s = m_params.serial;
  if (out)
    out->bRefreshSerialList = 1;
  const std::vector<std::string> ports = m_fnListPorts();
  const int index = s.m_nPortIndex;
  const std::string name =
      index >= 0 && static_cast<size_t>(index) < ports.size() ? ports[index] : std::string();
  const unsigned r = Comm_IsConnectionValid(static_cast<DWORD>(index), m_nSetupCode, s.m_nBaudIndex,
                                            s.m_nParityIndex, s.m_nFlowIndex, s.m_nDataBitsIndex,
                                            s.m_nStopBitsIndex);
  if (r == 1) {
    if (Comm_IsConnected() == 1) {
      m_engine.StopReaders();
      Comm_BreakDownCommPort();
      m_engine.LogText(kCloseLines[0]);
    }
    Sleep(m_timings.dwBeforeSerialUpdateMs);
    if (!SerialUpdate(name)) {
      FailOpen(0, out);
      return 0;
    }
  } else if (r == 2) {
    if (ports.empty() || index == -1 || !SerialUpdate(name)) {
      FailOpen(0, out);
      m_engine.LogText("Open Serial Port failed");
      return 0;
    }
  }
  StoreConnectionParams(m_engine, 0, static_cast<DWORD>(index), 0, 0, 0, 1);
  if (out) {
    out->nPanel = 0;
    out->nShowUsmButton = 0;
    out->nUsmView = 0;
  }
  return 1;
}

int CPortOpener::OpenUsb(COpenResult* out) {
  const CUsbFields& u = m_params.usb;
  DWORD device = static_cast<DWORD>(u.m_nDeviceIndex);
  const unsigned r = Comm_IsConnectionValid(device, m_nSetupCode, u.m_nOutEndpoint, 1, 0, 0, 0);
  if (r == 1) {
    if (out)
      out->bHideUsbLamps = 1;
    CTransferEngine& engine = m_engine;
    int readersStopped = 0;
    bool skipUpdate = false;
    if (engine.m_pReadThread) {
      const bool running = !engine.m_hReaderStopped->IsSet();
      if (Comm_IsDevicePresent() && !running) {
        skipUpdate = true;
      } else {
        if (running) {
          SetEvent(engine.m_hStopReader);
          if (WaitForSingleObject(engine.m_hReaderStopped,
                                  CTransferEngine::kStopReadersTimeoutMs) != WAIT_OBJECT_0)
            ShowErrorText(kErrorUsbReaderStopTimeout);
        }
        engine.m_pReadThread.reset();
        engine.m_pReadUsmThread.reset();
        readersStopped = 1;
      }
    }
    if (!skipUpdate) {
      int output = u.m_nOutEndpoint, scratch1 = 0, scratch2 = 0;
      if (!Comm_UpdateConnection(readersStopped, device, nullptr, output, m_nUsmChannel,
                                 m_nRealTimeChannel, scratch1, scratch2)) {
        FailOpen(1, out);
        m_engine.LogText("Open USB Port failed");
        return 0;
      }
    }
    if (out)
      out->bRefreshUsbList = 1;
    m_engine.LogFormat(
        "Open USB Port successful. Params : Device = %s, Output port = %s, Check USB Printer "
        "Status = %s",
        u.m_strDevice.c_str(), u.m_nOutEndpoint == 1 ? "Real Time" : "Normal",
        u.m_bMonitor ? "TRUE" : "FALSE");
  }
  StoreConnectionParams(m_engine, 1, device, u.m_nOutEndpoint, m_nRealTimeChannel, m_nUsmChannel,
                        u.m_bMonitor);
  if (out) {
    out->bShowFields = 1;
    out->nPanel = 1;
    out->nShowUsmButton = 1;
    out->nUsmView = m_nUsmChannel;
  }
  return 1;
}

void CPortOpener::LogTcp(const char* outcome) {
  const CEthernetFields& e = m_params.ethernet;
  const DWORD a = e.m_dwIpAddress;
  m_engine.LogFormat(
      "Open TCP/IP Port %s. Params : IP address %d.%d.%d.%d, Output port Sel = %s, Main port = "
      "%d, Real Time Port = %d, USM Port = %d, AutoReconnect = %s",
      outcome, static_cast<int>(a >> 24), static_cast<int>((a >> 16) & 0xFF),
      static_cast<int>((a >> 8) & 0xFF), static_cast<int>(a & 0xFF),
      e.m_nOutputPort == 1 ? "Real Time" : "Main", e.m_nMainPort, e.m_nRealTimePort, e.m_nUsmPort,
      e.m_bAutoReconnect == 1 ? "TRUE" : "FALSE");
}

int CPortOpener::OpenTcp(COpenResult* out) {
  CEthernetFields& e = m_params.ethernet;
  const unsigned r = Comm_IsConnectionValid(e.m_dwIpAddress, m_nSetupCode, e.m_nMainPort,
                                            e.m_nOutputPort, e.m_nRealTimePort, e.m_nUsmPort, 0);
  // r = 0: connected with these settings, every channel alive. Rebuilding
  // it anyway would lose what the printer sent on it, and a run would
  // connect twice (start-up and action); auto-reconnect acts on a dead
  // connection, which reports 1.
  const bool rebuild = r == 1 || r == 2;
  if (rebuild) {
    if (r != 2 && Comm_IsConnected() == 1) {
      m_engine.StopReaders();
      Comm_BreakDownCommPort();
      m_engine.LogText(kCloseLines[2]);
    }
    m_nCompletion = 0;
    m_nRealTimeChannel = e.m_nRealTimePort;
    m_nUsmChannel = e.m_nUsmPort;
    char mac[kMacBufferSize] = {};
    std::strncpy(mac, e.m_strMac.c_str(), kMacBufferSize - 1);
    DWORD address = e.m_dwIpAddress;
    int mainPort = e.m_nMainPort, output = e.m_nOutputPort;
    const int ok = Comm_UpdateConnection(0, address, mac, mainPort, m_nUsmChannel,
                                         m_nRealTimeChannel, output, m_nCompletion);
    mac[kMacBufferSize - 1] = '\0';
    e.m_strMac = mac;
    if (!ok) {
      FailOpen(2, out);
      LogTcp("failed");
      return 0;
    }
    LogTcp("successful");
  }
  StoreConnectionParams(m_engine, 2, 0, 0, m_nRealTimeChannel, m_nUsmChannel, 0);
  if (out) {
    out->bShowFields = 1;
    out->nPanel = 2;
  }
  // A connection that offers only the real-time channel can neither
  // download firmware nor receive (the flags are set afresh by every open).
  if (m_nCompletion == 0 && m_nRealTimeChannel == 1 && e.m_nOutputPort == 1) {
    m_bFirmwareFlag = 0;
    m_bReceiveFlag = 0;
  } else if (out) {
    out->nShowUsmButton = 1;
    out->nUsmView = m_nUsmChannel;
  }
  return 1;
}

void CPortOpener::ClosePort(int type) {
  std::lock_guard<std::mutex> lock(m_lock);
  CloseLocked(type);
}

void CPortOpener::CloseLocked(int type) {
  if (!Comm_IsConnected())
    return;
  m_engine.StopReaders();
  Comm_BreakDownCommPort();
  if (type >= 0 && type <= 2)
    m_engine.LogText(kCloseLines[type]);
}

COpenResult CPortOpener::Reconnect(const COpenRequest& request) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_params = request;
  if (m_nPreviousType == m_params.nInterface)
    CloseLocked(m_params.nInterface);
  COpenResult result;
  result.bOk = OpenLocked(&result);
  result.strMac = m_params.ethernet.m_strMac;
  return result;
}
