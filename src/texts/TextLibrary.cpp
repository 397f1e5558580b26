#include "texts/TextLibrary.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/LastError.h"
#include "platform/Notifier.h"

namespace {

// The folder of the running program, without a trailing '/'; empty when
// it cannot be told.
std::string ProgramFileFolder() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0)
    return std::string();
  const std::string exe(path, static_cast<std::size_t>(length));
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

// An installed tree keeps the library in <prefix>/lib/sendrix, private to
// the programs in <prefix>/bin. Looked up by path rather than through the
// executable's run path: the loader applies a run path only to the object
// that calls dlopen, which a sanitizer or another interposer replaces.
constexpr char kInstalledLibraryFolder[] = "/../lib/sendrix/";

HMODULE OpenLibrary(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0')
    return nullptr;
  if (std::strchr(fileName, '/') == nullptr) {
    const std::string folder = ProgramFileFolder();
    if (!folder.empty()) {
      if (HMODULE beside = LoadLibraryA((folder + "/" + fileName).c_str()))
        return beside;
      if (HMODULE installed = LoadLibraryA((folder + kInstalledLibraryFolder + fileName).c_str()))
        return installed;
    }
  }
  return LoadLibraryA(fileName);
}

PFN_THES_GETTEXT LookUp(HMODULE module, const char* name) {
  return reinterpret_cast<PFN_THES_GETTEXT>(GetProcAddress(module, name));
}

PFN_THES_GETTEXT LookUpOrSay(HMODULE module, const char* name, const char* message) {
  PFN_THES_GETTEXT function = LookUp(module, name);
  if (function == nullptr)
    AfxMessageBox(message, MB_OK);
  return function;
}

// Copies text (null counts as empty) into buffer, cut to size - 1.
const char* CopyCut(const char* text, char* buffer, std::size_t size) {
  if (text == nullptr)
    text = "";
  const std::size_t length = strnlen(text, size - 1);
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return buffer;
}

}  // namespace

CTextLibrary::~CTextLibrary() {
  FreeTextLibrary();
}

int CTextLibrary::LoadTextLibrary(const char* fileName) {
  return Load(fileName, true);
}

int CTextLibrary::LoadCaptionAndTipTexts(const char* fileName) {
  return Load(fileName, false);
}

int CTextLibrary::Load(const char* fileName, bool publishShared) {
  FreeTextLibrary();
  m_hLibrary = OpenLibrary(fileName);
  if (m_hLibrary == nullptr) {
    AfxMessageBox("Thesaurus DLL not found", MB_OK);
    return 0;
  }
  if (publishShared) {
    PFN_THES_GETTEXT errorText = LookUp(m_hLibrary, "Thes_ErrorGetText");
    if (errorText == nullptr) {
      const std::string systemText = SystemErrorText(GetLastError());
      AfxMessageBox(systemText.c_str(), MB_OK);
      AfxMessageBox("Thes_ErrorGetText function not found", MB_OK);
    }
    g_pfnErrorGetText.store(errorText);
    g_pfnCommErrorGetText.store(LookUpOrSay(m_hLibrary, "Thes_CommErrorGetText",
                                            "Thes_CommErrorGetText function not found"));
    m_bPublishedShared = true;
  }
  m_pfnCaptionGetText =
      LookUpOrSay(m_hLibrary, "Thes_CaptionGetText", "Thes_CaptionGetText function not found");
  m_pfnTipGetText =
      LookUpOrSay(m_hLibrary, "Thes_TipGetText", "Thes_TipGetText function not found");
  return 1;
}

void CTextLibrary::FreeTextLibrary() {
  if (m_bPublishedShared) {
    g_pfnErrorGetText.store(nullptr);
    g_pfnCommErrorGetText.store(nullptr);
    m_bPublishedShared = false;
  }
  m_pfnCaptionGetText = nullptr;
  m_pfnTipGetText = nullptr;
  if (m_hLibrary != nullptr) {
    FreeLibrary(m_hLibrary);
    m_hLibrary = nullptr;
  }
}

const char* CTextLibrary::GetCaptionText(int n) {
  if (m_pfnCaptionGetText == nullptr)
    return nullptr;
  return CopyCut(m_pfnCaptionGetText(n), m_szCaption, sizeof(m_szCaption));
}

const char* CTextLibrary::GetTipText(int n) {
  if (m_pfnTipGetText == nullptr)
    return nullptr;
  return CopyCut(m_pfnTipGetText(n), m_szTip, sizeof(m_szTip));
}
