#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include "platform/LastError.h"

namespace {
thread_local std::string t_lastLoadError;

void TakeLoaderError() {
  const char* message = dlerror();
  t_lastLoadError = message != nullptr ? message : "";
}
}  // namespace

HMODULE LoadLibraryA(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') {
    t_lastLoadError = "no library name";
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  void* handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    TakeLoaderError();
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  return handle;
}

void* GetProcAddress(HMODULE module, const char* name) {
  if (module == nullptr || name == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  dlerror();
  void* symbol = dlsym(module, name);
  if (symbol == nullptr) {
    TakeLoaderError();
    SetLastError(ERROR_NOT_FOUND);
  }
  return symbol;
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr)
    return FALSE;
  return dlclose(module) == 0 ? TRUE : FALSE;
}

std::string LastLoadError() {
  return t_lastLoadError;
}
