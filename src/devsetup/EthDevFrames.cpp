#include "devsetup/EthDevFrames.h"

#include <cstring>

#include "codec/Codec.h"

namespace {

std::string Header(const char* word, const BYTE mac[6]) {
  std::string frame = "IP=";
  frame += word;
  frame.append(reinterpret_cast<const char*>(mac), 6);
  return frame;
}

}  // namespace

std::string CEthDevFrames::BuildChip(const BYTE mac[6], const BYTE ip[4]) {
  std::string frame = Header("CHIP", mac);
  frame.append(reinterpret_cast<const char*>(ip), 4);
  return frame;
}

std::string CEthDevFrames::BuildChno(const BYTE mac[6], const std::string& name) {
  std::string frame = Header("CHNO", mac);
  std::string field = name.substr(0, kNameLength);
  field.resize(kNameLength, ' ');
  return frame + field;
}

std::string CEthDevFrames::BuildRest(const BYTE mac[6]) {
  return Header("REST", mac);
}

int CEthDevFrames::ParseMac(const std::string& text, BYTE mac[6]) {
  if (text.size() != 17) {
    return 0;
  }
  BYTE bytes[6];
  for (int i = 0; i < 6; ++i) {
    int hi = HexDigitValue(text[static_cast<std::size_t>(i * 3)]);
    int lo = HexDigitValue(text[static_cast<std::size_t>(i * 3 + 1)]);
    if (hi < 0 || lo < 0 || (i < 5 && text[static_cast<std::size_t>(i * 3 + 2)] != '-')) {
      return 0;
    }
    bytes[i] = static_cast<BYTE>(hi * 16 + lo);
  }
  std::memcpy(mac, bytes, 6);
  return 1;
}

int CEthDevFrames::ParseRecord(const char (&record)[kRecordSize], CEthDevRecord& out) {
  std::size_t length = strnlen(record, kRecordSize);
  if (length == kRecordSize) {
    return 0;  // no terminating zero inside the record
  }
  std::string text(record, length);
  std::size_t tabs[3];
  std::size_t from = 0;
  for (std::size_t& tab : tabs) {
    tab = text.find('\t', from);
    if (tab == std::string::npos)
      return 0;
    from = tab + 1;
  }
  std::size_t nameEnd = text.find('\t', tabs[2] + 1);
  if (nameEnd == std::string::npos)
    nameEnd = text.size();
  CEthDevRecord r;
  r.strIp = text.substr(tabs[0] + 1, tabs[1] - tabs[0] - 1);
  r.strMac = text.substr(tabs[1] + 1, tabs[2] - tabs[1] - 1);
  r.strName = text.substr(tabs[2] + 1, nameEnd - tabs[2] - 1);
  if (r.strIp.empty() || r.strIp.size() > kMaxField || r.strMac.size() > kMaxField ||
      r.strName.size() > kMaxField) {
    return 0;
  }
  out = std::move(r);
  return 1;
}
