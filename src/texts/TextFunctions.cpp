#include "texts/TextFunctions.h"

std::atomic<PFN_THES_GETTEXT> g_pfnErrorGetText{nullptr};
std::atomic<PFN_THES_GETTEXT> g_pfnCommErrorGetText{nullptr};
