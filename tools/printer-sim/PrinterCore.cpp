#include "PrinterCore.h"

namespace {
constexpr uint8_t kSwitch[3] = {0x1B, 0x5B, 0x7D};
constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kGs = 0x1D;
}  // namespace

void CPrinterCore::SetConfig(const PRINTER_CORE_CONFIG& config) {
  m_config = config;
  m_flash.SetConfig(config.flash);
}

void CPrinterCore::Accept(const uint8_t* data, size_t length) {
  m_qwPrintBytes += length;
  m_sha.Update(data, length);
  if (m_config.pCapture != nullptr) {
    std::fwrite(data, 1, length, m_config.pCapture);
    std::fflush(m_config.pCapture);  // a script watches the file grow
  }
}

void CPrinterCore::PrintData(const uint8_t* data, size_t length, std::vector<SIM_REPLY>& out) {
  if (length == 0) {
    return;
  }
  if (m_config.bEcho) {
    out.push_back(SIM_REPLY{std::vector<uint8_t>(data, data + length), 0});
  }
  if (m_config.bPacket) {
    m_packet.Feed(data, length, [this](const uint8_t* p, size_t n) { Accept(p, n); });
  } else {
    Accept(data, length);
  }
}

void CPrinterCore::TrackStatusRequest(uint8_t b, std::vector<SIM_REPLY>& out) {
  if (m_nStatusMatched == 2 && b >= 1 && b <= 4) {
    out.push_back(SIM_REPLY{{m_state.StatusByte(b)}, 0});
    ++m_qwStatusReplies;
    m_nStatusMatched = 0;
    return;
  }
  if (m_nStatusMatched == 1 && b == kEot) {
    m_nStatusMatched = 2;
  } else {
    m_nStatusMatched = (b == kDle) ? 1 : 0;
  }
}

bool CPrinterCore::SlowByte(uint8_t b, const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  TrackStatusRequest(b, out);
  if (!m_config.bFirmware) {
    PrintData(&b, 1, out);
    return false;
  }
  if (m_nSwitchMatched > 0 && b == kSwitch[m_nSwitchMatched]) {
    if (++m_nSwitchMatched == 3) {
      m_nSwitchMatched = 0;
      m_nMode = Mode::Tentative;
      m_held.clear();
      m_flash.Enter(faults, out);
      return true;
    }
    return false;
  }
  // The held prefix was print data after all; this byte may start a new one.
  PrintData(kSwitch, static_cast<size_t>(m_nSwitchMatched), out);
  m_nSwitchMatched = 0;
  if (b == kSwitch[0]) {
    m_nSwitchMatched = 1;
  } else {
    PrintData(&b, 1, out);
  }
  return false;
}

size_t CPrinterCore::ScanNormal(const uint8_t* data, size_t length, const CSimFaults& faults,
                                std::vector<SIM_REPLY>& out) {
  size_t run = 0;  // start of the bytes passed through unchanged
  for (size_t i = 0; i < length; ++i) {
    const uint8_t b = data[i];
    if (m_nSwitchMatched == 0 && m_nStatusMatched == 0 && b != kDle && b != kSwitch[0]) {
      continue;
    }
    PrintData(data + run, i - run, out);
    run = i + 1;
    if (SlowByte(b, faults, out)) {
      return run;
    }
  }
  PrintData(data + run, length - run, out);
  return length;
}

void CPrinterCore::Revert(const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  m_nMode = Mode::Normal;
  m_flash.Cancel();
  std::vector<uint8_t> held;
  held.swap(m_held);
  PrintData(kSwitch, sizeof kSwitch, out);
  // At most two bytes: too few to hold another switch frame.
  Dispatch(held.data(), held.size(), faults, out);
}

size_t CPrinterCore::FeedTentative(const uint8_t* data, size_t length, const CSimFaults& faults,
                                   std::vector<SIM_REPLY>& out) {
  size_t i = 0;
  while (i < length && m_nMode == Mode::Tentative) {
    m_held.push_back(data[i++]);
    if (m_held[0] != kGs) {
      Revert(faults, out);
    } else if (m_held.size() == 2) {
      if (!CFlashDevice::IsCommand(m_held[1])) {
        Revert(faults, out);
        break;
      }
      m_nMode = Mode::Download;
      std::vector<uint8_t> held;
      held.swap(m_held);
      m_flash.Feed(held.data(), held.size(), faults, out);
      if (!m_flash.IsInDownloadMode()) {
        m_nMode = Mode::Normal;
      }
    }
  }
  return i;
}

void CPrinterCore::Dispatch(const uint8_t* data, size_t length, const CSimFaults& faults,
                            std::vector<SIM_REPLY>& out) {
  while (length > 0) {
    size_t used = 0;
    switch (m_nMode) {
      case Mode::Normal:
        used = ScanNormal(data, length, faults, out);
        break;
      case Mode::Tentative:
        used = FeedTentative(data, length, faults, out);
        break;
      case Mode::Download:
        used = m_flash.Feed(data, length, faults, out);
        if (!m_flash.IsInDownloadMode()) {
          m_nMode = Mode::Normal;
        }
        break;
    }
    data += used;
    length -= used;
  }
}

void CPrinterCore::Process(const uint8_t* data, size_t length, const CSimFaults& faults,
                           std::vector<SIM_REPLY>& out) {
  m_qwRawBytes += length;
  Dispatch(data, length, faults, out);
}

void CPrinterCore::Flush(const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  if (m_nMode == Mode::Tentative) {
    Revert(faults, out);
  }
  if (m_nMode == Mode::Normal && m_nSwitchMatched > 0) {
    PrintData(kSwitch, static_cast<size_t>(m_nSwitchMatched), out);
    m_nSwitchMatched = 0;
  }
}

void CPrinterCore::Restart() {
  m_nMode = Mode::Normal;
  m_flash.Cancel();
  m_held.clear();
  m_nSwitchMatched = 0;
  m_nStatusMatched = 0;
}
