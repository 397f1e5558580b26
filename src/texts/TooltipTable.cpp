#include "texts/TooltipTable.h"

#include <cstdio>
#include <map>

#include "platform/ControlIds.h"
#include "texts/TextLibrary.h"

namespace {

const std::map<int, int>& Table(int dialog) {
  static const std::map<int, int> kMain = {
      {1002, 0},  {1025, 1},  {1026, 2},  {1003, 3},         {1058, 4},         {1059, 5},
      {1060, 6},  {1157, 7},  {1156, 7},  {1006, 8},         {1028, 9},         {1045, 10},
      {1029, 11}, {1005, 12}, {1027, 13}, {1001, 14},        {1031, 15},        {1030, 16},
      {1014, 17}, {1043, 18}, {1300, 42}, {1069, 29},        {1007, 30},        {1008, 31},
      {1009, 32}, {1010, 33}, {1011, 34}, {1012, 35},        {1022, 36},        {1070, 53},
      {1032, 63}, {1158, 65}, {1159, 66}, {kIdcJsonLog, 67}, {kIdcShowTime, 68}};
  static const std::map<int, int> kSerial = {{1038, 19}, {1039, 20}, {1204, 21}, {1013, 22},
                                             {1205, 23}, {1206, 24}, {1090, 37}, {1091, 38},
                                             {1092, 39}, {1093, 40}, {1094, 41}};
  static const std::map<int, int> kUsb = {{1050, 25}, {1108, 26}, {1046, 27}, {1047, 28},
                                          {1114, 54}, {1115, 55}, {1152, 64}};
  static const std::map<int, int> kEthernet = {{1098, 43}, {1104, 50}, {1110, 47}, {1101, 44},
                                               {1111, 48}, {1105, 45}, {1154, 49}, {1102, 46},
                                               {1151, 52}, {1123, 51}};
  static const std::map<int, int> kSetupEthDev = {{1127, 56}, {1126, 57}, {1133, 58}, {1134, 59},
                                                  {1128, 60}, {1130, 61}, {1, 62}};
  static const std::map<int, int> kNone;
  switch (dialog) {
    case -1:
      return kMain;
    case 0:
      return kSerial;
    case 1:
      return kUsb;
    case 2:
      return kEthernet;
    case 3:
      return kSetupEthDev;
    default:
      return kNone;
  }
}

}  // namespace

int TooltipNumber(int dialog, int id) {
  const std::map<int, int>& table = Table(dialog);
  auto it = table.find(id);
  return it == table.end() ? -1 : it->second;
}

std::string TooltipText(CTextLibrary& texts, int dialog, int id) {
  if (!texts.HasTipFunction()) {
    return std::string();
  }
  int n = TooltipNumber(dialog, id);
  if (n >= 0) {
    const char* tip = texts.GetTipText(n);
    return tip != nullptr ? tip : "";
  }
  if (dialog == 2) {
    char text[64];
    std::snprintf(text, sizeof text, "Undefined Control ID #%d", id);
    return text;
  }
  return std::string();
}
