#include "FlashDevice.h"

#include <algorithm>

#include "Crc16.h"

namespace {
constexpr uint8_t kGs = 0x1D;
constexpr uint8_t kXon = 0x11;
constexpr uint8_t kXoff = 0x13;
constexpr uint8_t kUsbSwitchReply = 'S';
constexpr uint8_t kCmdSize = 0x01;
constexpr uint8_t kCmdBlock = 0x02;
constexpr uint8_t kCmdCheckCrc = 0x06;
constexpr uint8_t kCmdErase = 0x0E;
constexpr uint8_t kCmdReadCrc = 0x0F;
constexpr uint8_t kCmdData = 0x11;
constexpr uint8_t kCmdLeave = 0xFF;
}  // namespace

bool CFlashDevice::IsCommand(uint8_t code) {
  return code == kCmdSize || code == kCmdBlock || code == kCmdCheckCrc || code == kCmdErase ||
         code == kCmdReadCrc || code == kCmdData || code == kCmdLeave;
}

void CFlashDevice::Reply(FlashStep step, int index, std::vector<uint8_t> normal, uint32_t delayMs,
                         const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  if (faults.IsSilent(step, index)) {
    return;
  }
  if (faults.IsGarbage(step, index)) {
    normal.assign(1, CSimFaults::kGarbageByte);
  }
  if (step == FlashStep::ReadCrc && faults.m_bShortReadCrc && normal.size() > 2) {
    normal.resize(2);
  }
  if (normal.empty()) {
    return;
  }
  if (faults.IsXonXoff(step, index)) {
    normal.insert(normal.begin(), {kXoff, kXon});
  }
  out.push_back(SIM_REPLY{std::move(normal), delayMs});
}

bool CFlashDevice::AckOrNak(FlashStep step, int index, bool ok, uint32_t delayMs,
                            const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  if (ok && faults.IsNak(step, index)) {
    ok = false;
  }
  if (!ok) {
    ++m_dwNaks;
    m_bFailed = true;
  }
  Reply(step, index, {ok ? kAck : kNak}, delayMs, faults, out);
  return ok;
}

void CFlashDevice::Enter(const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  m_bDownloadMode = true;
  m_nState = State::Command;
  m_dwDataFrames = 0;
  ++m_dwSessions;
  std::vector<uint8_t> reply;
  if (m_config.bUsbStyle) {
    reply.push_back(kUsbSwitchReply);
  } else if (m_config.nSwitchReply >= 0) {
    reply.push_back(static_cast<uint8_t>(m_config.nSwitchReply));
  }
  Reply(FlashStep::Switch, -1, std::move(reply), 0, faults, out);
}

void CFlashDevice::OnErase(const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  const bool ok = !faults.IsNak(FlashStep::Erase, -1);
  if (ok) {
    m_image.clear();
    m_wCrc = CRC16_CCITT_FALSE_INIT;
    m_dwBlocks = 0;
    m_nBlock = -1;
    m_dwOffset = 0;
    m_bFailed = false;
  }
  m_bErased = ok;
  AckOrNak(FlashStep::Erase, -1, ok, m_config.dwEraseMs, faults, out);
}

void CFlashDevice::OnBlock(uint8_t block, const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  const int expected = m_nBlock + 1;
  const bool previousFull = m_nBlock < 0 || m_dwOffset == kBlockSize;
  const bool ok =
      m_bErased && block == expected && previousFull && uint64_t{block} * kBlockSize < Capacity();
  if (AckOrNak(FlashStep::Block, block, ok, 0, faults, out)) {
    m_nBlock = block;
    m_dwOffset = 0;
    ++m_dwBlocks;
  }
}

bool CFlashDevice::DataFrameFits() const {
  const uint32_t offset = m_header[0] | (uint32_t{m_header[1]} << 8);
  const uint32_t length = m_header[2] | (uint32_t{m_header[3]} << 8);
  if (m_nBlock < 0 || length == 0 || offset != m_dwOffset || offset + length > kBlockSize) {
    return false;
  }
  return uint64_t(m_nBlock) * kBlockSize + offset + length <= Capacity();
}

void CFlashDevice::OnDataFrame(const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  const int index = static_cast<int>(m_dwDataFrames++);
  if (AckOrNak(FlashStep::Data, index, DataFrameFits(), 0, faults, out)) {
    m_image.insert(m_image.end(), m_frame.begin(), m_frame.end());
    m_wCrc = Crc16CcittFalse(m_wCrc, m_frame.data(), m_frame.size());
    m_dwOffset += static_cast<uint32_t>(m_frame.size());
  }
  m_frame.clear();
}

void CFlashDevice::OnCommand(uint8_t code, const CSimFaults& faults, std::vector<SIM_REPLY>& out) {
  m_nState = State::Command;
  switch (code) {
    case kCmdSize:
      Reply(FlashStep::Size, -1, {m_config.bySizeCode}, 0, faults, out);
      break;
    case kCmdErase:
      OnErase(faults, out);
      break;
    case kCmdBlock:
      m_nState = State::BlockNumber;
      break;
    case kCmdData:
      m_nState = State::DataHeader;
      m_nHeader = 0;
      break;
    case kCmdCheckCrc:
      AckOrNak(FlashStep::CheckCrc, -1, m_bErased && !m_bFailed && m_dwBlocks > 0, 0, faults, out);
      break;
    case kCmdReadCrc:
      Reply(FlashStep::ReadCrc, -1,
            {kAck, static_cast<uint8_t>(m_wCrc & 0xFF), static_cast<uint8_t>(m_wCrc >> 8)}, 0,
            faults, out);
      break;
    case kCmdLeave:
      m_bDownloadMode = false;
      break;
    default:
      ++m_dwNaks;
      out.push_back(SIM_REPLY{{kNak}, 0});
      break;
  }
}

size_t CFlashDevice::Feed(const uint8_t* data, size_t length, const CSimFaults& faults,
                          std::vector<SIM_REPLY>& out) {
  size_t i = 0;
  while (i < length && m_bDownloadMode) {
    const uint8_t b = data[i];
    switch (m_nState) {
      case State::Command:
        if (b == kGs) {
          m_nState = State::Code;
        } else {
          ++m_qwIgnored;
        }
        ++i;
        break;
      case State::Code:
        ++i;
        OnCommand(b, faults, out);
        break;
      case State::BlockNumber:
        ++i;
        m_nState = State::Command;
        OnBlock(b, faults, out);
        break;
      case State::DataHeader:
        ++i;
        m_header[m_nHeader++] = b;
        if (m_nHeader == 4) {
          m_nFrameLength = m_header[2] | (size_t{m_header[3]} << 8);
          m_frame.clear();
          m_nState = State::DataBytes;
          if (m_nFrameLength == 0) {
            m_nState = State::Command;
            OnDataFrame(faults, out);
          }
        }
        break;
      case State::DataBytes: {
        const size_t take = std::min(length - i, m_nFrameLength - m_frame.size());
        m_frame.insert(m_frame.end(), data + i, data + i + take);
        i += take;
        if (m_frame.size() == m_nFrameLength) {
          m_nState = State::Command;
          OnDataFrame(faults, out);
        }
        break;
      }
    }
  }
  return i;
}
