#include "PacketDecoder.h"

namespace {
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kEsc = 0x1A;
}  // namespace

void CPacketDecoder::Reset() {
  m_nState = State::Idle;
  m_bBad = false;
  m_bySum = 0;
  m_frame.clear();
}

void CPacketDecoder::StartFrame() {
  m_nState = State::Data;
  m_bBad = false;
  m_bySum = 0;
  m_frame.clear();
}

void CPacketDecoder::AddData(uint8_t value) {
  if (m_frame.size() >= kMaxFrameData) {
    m_bBad = true;  // keep reading to the 03, but the frame is lost
    return;
  }
  m_frame.push_back(value);
  m_bySum = static_cast<uint8_t>(m_bySum + value);
}

void CPacketDecoder::EndFrame(uint8_t check, const PayloadSink& sink) {
  const uint8_t expected = static_cast<uint8_t>(0xFD - m_bySum);
  if (!m_bBad && check == expected) {
    ++m_qwGood;
    if (!m_frame.empty()) {
      sink(m_frame.data(), m_frame.size());
    }
  } else {
    ++m_qwBad;
  }
  m_nState = State::Idle;
  m_frame.clear();
}

void CPacketDecoder::Feed(const uint8_t* data, size_t length, const PayloadSink& sink) {
  for (size_t i = 0; i < length; ++i) {
    const uint8_t b = data[i];
    switch (m_nState) {
      case State::Idle:
        if (b == kStx) {
          StartFrame();
        } else {
          ++m_qwStray;
        }
        break;
      case State::Data:
        if (b == kStx) {
          ++m_qwBad;  // the previous frame never ended
          StartFrame();
        } else if (b == kEtx) {
          m_nState = State::Check;
        } else if (b == kEsc) {
          m_nState = State::Escape;
        } else {
          AddData(b);
        }
        break;
      case State::Escape: {
        const uint8_t value = static_cast<uint8_t>(~b);
        if (value != kStx && value != kEtx && value != kEsc) {
          m_bBad = true;
        }
        AddData(value);
        m_nState = State::Data;
        break;
      }
      case State::Check:
        EndFrame(b, sink);
        break;
    }
  }
}
