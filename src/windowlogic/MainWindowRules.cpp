#include "windowlogic/MainWindowRules.h"

#include "platform/ControlIds.h"

namespace {

struct NumberedControl {
  int number;  // caption or tooltip number
  int id;
};

const NumberedControl kMainCaptions[] = {
    {0, 1064},  {1, 1026},  {6, 1065},  {2, 1003},  {7, 1058},         {8, 1063},
    {9, 1061},  {10, 1157}, {14, 1068}, {3, 1005},  {15, 1007},        {16, 1008},
    {17, 1009}, {18, 1010}, {19, 1011}, {20, 1012}, {21, 1066},        {4, 1027},
    {22, 1075}, {23, 1029}, {57, 1070}, {72, 1032}, {24, 1067},        {25, 1014},
    {27, 1043}, {47, 1300}, {48, 1158}, {85, 1159}, {86, kIdcJsonLog}, {87, kIdcShowTime}};
const NumberedControl kSerialCaptions[] = {
    {28, 1116}, {29, 1040}, {30, 1035}, {36, 1034}, {46, 1095}};
const NumberedControl kUsbCaptions[] = {{38, 1048}, {42, 1049}, {45, 1047}, {58, 1122},
                                        {59, 1114}, {60, 1115}, {61, 1152}};
const NumberedControl kEthernetCaptions[] = {{49, 1099}, {50, 1100}, {55, 1103}, {51, 1112},
                                             {52, 1110}, {53, 1111}, {54, 1154}, {56, 1123}};

}  // namespace

void ApplyWindowCaptions(IMainView& view, CTextLibrary& texts, int usbRealTime) {
  auto caption = [&texts](int n) {
    const char* text = texts.GetCaptionText(n);
    return std::string(text != nullptr ? text : "");
  };
  auto apply = [&caption](IDialogView& dialog, const NumberedControl* table, size_t count) {
    for (size_t i = 0; i < count; ++i)
      dialog.SetDlgItemText(table[i].id, caption(table[i].number));
  };
  apply(view, kMainCaptions, std::size(kMainCaptions));
  apply(view.Panel(0), kSerialCaptions, std::size(kSerialCaptions));
  apply(view.Panel(1), kUsbCaptions, std::size(kUsbCaptions));
  apply(view.Panel(2), kEthernetCaptions, std::size(kEthernetCaptions));
  view.Panel(1).SetDlgItemText(1046, caption(usbRealTime ? 43 : 44));
  std::vector<std::string> headers, parity;
  for (int n : {11, 12, 13})
    headers.push_back(caption(n));
  for (int n = 31; n <= 35; ++n)
    parity.push_back(caption(n));
  view.SetListCaptions(headers, parity, caption(37));
}
