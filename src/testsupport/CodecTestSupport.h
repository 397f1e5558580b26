// Test fixture: a recording notifier and stand-in text look-ups, so that the
// error boxes the codecs raise can be counted.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Notifier.h"
#include "testsupport/RecordingNotifier.h"
#include "texts/TextFunctions.h"

inline const char* FakeErrorText(int n) {
  static thread_local char text[32];
  std::snprintf(text, sizeof(text), "error %d", n);
  return text;
}

class CodecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetNotifier(&m_notifier);
    g_pfnErrorGetText.store(&FakeErrorText);
  }
  void TearDown() override {
    g_pfnErrorGetText.store(nullptr);
    g_pfnCommErrorGetText.store(nullptr);
    SetNotifier(nullptr);
  }
  std::vector<std::string> Boxes() const { return m_notifier.Texts(); }

  CRecordingNotifier m_notifier;
};
