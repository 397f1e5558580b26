// A text library that lacks Thes_TipGetText, and whose caption 1 is longer
// than any caption buffer.
#include <string>

#define THES_EXPORT extern "C" __attribute__((visibility("default")))

THES_EXPORT const char* Thes_ErrorGetText(int) {
  return "test error";
}

THES_EXPORT const char* Thes_CommErrorGetText(int) {
  return "test comm error";
}

THES_EXPORT const char* Thes_CaptionGetText(int n) {
  static const std::string kLong(300, 'c');
  if (n == 1)
    return kLong.c_str();
  if (n == 2)
    return nullptr;
  return "test caption";
}
