#include "SimFaults.h"

#include <cerrno>
#include <cstdlib>

namespace {

struct STEP_NAME {
  const char* pszName;
  FlashStep nStep;
  bool bIndexed;
};

constexpr STEP_NAME kSteps[] = {
    {"switch", FlashStep::Switch, false},   {"size", FlashStep::Size, false},
    {"erase", FlashStep::Erase, false},     {"block", FlashStep::Block, true},
    {"data", FlashStep::Data, true},        {"crc", FlashStep::CheckCrc, false},
    {"readcrc", FlashStep::ReadCrc, false},
};

bool ParseNumber(const std::string& text, uint64_t maxValue, uint64_t& value) {
  if (text.empty() || text.size() > 20 || text[0] == '-' || text[0] == '+') {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0' || parsed > maxValue) {
    return false;
  }
  value = parsed;
  return true;
}

}  // namespace

const char* FlashStepName(FlashStep step) {
  for (const STEP_NAME& entry : kSteps) {
    if (entry.nStep == step) {
      return entry.pszName;
    }
  }
  return "?";
}

bool ParseFlashStep(const std::string& text, SIM_FAULT_POINT& point) {
  const size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  for (const STEP_NAME& entry : kSteps) {
    if (name != entry.pszName) {
      continue;
    }
    point.nStep = entry.nStep;
    point.nIndex = -1;
    if (colon == std::string::npos) {
      return true;
    }
    uint64_t index = 0;
    if (!entry.bIndexed || !ParseNumber(text.substr(colon + 1), 0x7FFFFFFF, index)) {
      return false;
    }
    point.nIndex = static_cast<int>(index);
    return true;
  }
  return false;
}

bool CSimFaults::Matches(const std::vector<SIM_FAULT_POINT>& points, FlashStep step, int index) {
  for (const SIM_FAULT_POINT& point : points) {
    if (point.nStep == step && (point.nIndex < 0 || point.nIndex == index)) {
      return true;
    }
  }
  return false;
}

bool CSimFaults::IsXonXoff(FlashStep step, int index) const {
  // The read-CRC reply is taken without flow-control filtering, so flow bytes
  // there are only injected when that step is named explicitly.
  if (m_bXonXoffAll && step != FlashStep::ReadCrc) {
    return true;
  }
  return Matches(m_xonxoff, step, index);
}

bool CSimFaults::Add(const std::string& text, std::string& error) {
  const size_t eq = text.find('=');
  const std::string name = text.substr(0, eq);
  const bool hasArg = eq != std::string::npos;
  const std::string arg = hasArg ? text.substr(eq + 1) : std::string();
  SIM_FAULT_POINT point{FlashStep::Switch, -1};
  uint64_t number = 0;
  error.clear();

  if (name == "nak-erase" && !hasArg) {
    m_nak.push_back({FlashStep::Erase, -1});
  } else if (name == "nak-crc" && !hasArg) {
    m_nak.push_back({FlashStep::CheckCrc, -1});
  } else if ((name == "nak-block" || name == "nak-data") && hasArg &&
             ParseNumber(arg, 0x7FFFFFFF, number)) {
    m_nak.push_back(
        {name == "nak-block" ? FlashStep::Block : FlashStep::Data, static_cast<int>(number)});
  } else if (name == "nak" && hasArg && ParseFlashStep(arg, point)) {
    m_nak.push_back(point);
  } else if (name == "silent" && hasArg && ParseFlashStep(arg, point)) {
    m_silent.push_back(point);
  } else if (name == "garbage" && hasArg && ParseFlashStep(arg, point)) {
    m_garbage.push_back(point);
  } else if (name == "xonxoff" && !hasArg) {
    m_bXonXoffAll = true;
  } else if (name == "xonxoff" && ParseFlashStep(arg, point)) {
    m_xonxoff.push_back(point);
  } else if (name == "short-readcrc" && !hasArg) {
    m_bShortReadCrc = true;
  } else if (name == "drop-after" && hasArg && ParseNumber(arg, UINT64_MAX, number) && number > 0) {
    m_qwDropAfter = number;
  } else if ((name == "restart-after" || name == "hangup-after") && hasArg &&
             ParseNumber(arg, UINT64_MAX, number) && number > 0) {
    (name == "restart-after" ? m_qwRestartAfter : m_qwHangupAfter) = number;
  } else if (name == "throttle" && hasArg && ParseNumber(arg, 0xFFFFFFFF, number) && number > 0) {
    m_dwThrottle = static_cast<uint32_t>(number);
  } else if (name == "refuse" && !hasArg) {
    m_bRefuse = true;
  } else if (name == "no-setup-ack" && !hasArg) {
    m_bNoSetupAck = true;
  } else {
    error = "unknown or malformed fault \"" + text + "\"";
    return false;
  }
  return true;
}
