// Decodes a byte stream of packet frames: 02, data with 02, 03 and 1A sent as
// 1A followed by the byte's complement, 03, then a check byte equal to
// (0xFD - sum of the data bytes) mod 256. Frames may be split across reads.
//
// A frame is bad when its check byte is wrong, an escape is followed by a
// byte that is not the complement of 02, 03 or 1A, a new 02 starts before the
// 03, or its data exceed kMaxFrameData. Bytes between frames are counted as
// stray and otherwise ignored. Only the data of good frames are passed on.
// Not thread-safe: one owner feeds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class CPacketDecoder {
 public:
  using PayloadSink = std::function<void(const uint8_t* data, size_t length)>;
  static constexpr size_t kMaxFrameData = 65536;

  void Feed(const uint8_t* data, size_t length, const PayloadSink& sink);
  void Reset();

  uint64_t GetGoodFrames() const { return m_qwGood; }
  uint64_t GetBadFrames() const { return m_qwBad; }
  uint64_t GetStrayBytes() const { return m_qwStray; }
  // True while a frame has started but not yet ended with its check byte.
  bool IsInFrame() const { return m_nState != State::Idle; }

 private:
  enum class State { Idle, Data, Escape, Check };

  void StartFrame();
  void AddData(uint8_t value);
  void EndFrame(uint8_t check, const PayloadSink& sink);

  State m_nState = State::Idle;
  bool m_bBad = false;
  uint8_t m_bySum = 0;
  std::vector<uint8_t> m_frame;
  uint64_t m_qwGood = 0;
  uint64_t m_qwBad = 0;
  uint64_t m_qwStray = 0;
};
