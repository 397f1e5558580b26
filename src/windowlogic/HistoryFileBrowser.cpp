#include "windowlogic/HistoryFileBrowser.h"

namespace {

// Extensions the initial name is looked up by: the first seven filters
// (".log" is not among them).
const char* const kLookupExtensions[] = {".*", ".pbt", ".bsl", ".bin", ".eep", ".tst", ".gfx"};
const char* const kFilterExtensions[] = {".*",   ".pbt", ".bsl", ".bin",
                                         ".eep", ".tst", ".gfx", ".log"};

std::string ExtensionFromLastDot(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

}  // namespace

const std::vector<CFileFilter>& CHistoryFileBrowser::Filters() {
  static const std::vector<CFileFilter> filters = {
      {" All Files (*.*)", "*"},
      {" Boot Code Files (*.pbt)", "*.pbt *.PBT"},
      {" BootStrap Code Files (*.bsl)", "*.bsl *.BSL"},
      {" Flash Code Files (*.bin)", "*.bin *.BIN"},
      {" Setup Files (*.eep)", "*.eep *.EEP"},
      {" Test Files (*.tst)", "*.tst *.TST"},
      {" Graphics Files (*.gfx)", "*.gfx *.GFX"},
      {" Logo Files (*.log)", "*.log *.LOG"},
  };
  return filters;
}

std::string CHistoryFileBrowser::InitialName(const std::string& name) {
  if (name.empty())
    return "*.*";
  const std::size_t slash = name.rfind('/');
  const std::size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = name.find('.', fileStart);
  return name.substr(0, fileStart) + (dot == std::string::npos ? "*.*" : "*" + name.substr(dot));
}

int CHistoryFileBrowser::BrowseHistoryFile(IFileDialog& dialogs, const std::string& name,
                                           std::string& chosen) {
  std::string initial = m_bCalled && m_bFirstNameEmpty ? "*.*" : InitialName(name);
  if (!m_bCalled) {
    m_bCalled = true;
    m_bFirstNameEmpty = name.empty();
  }
  int index = 0;
  if (m_nFilterIndex < 0) {
    const std::string extension = ExtensionFromLastDot(initial);
    for (int i = 0; i < static_cast<int>(std::size(kLookupExtensions)); ++i) {
      if (extension == kLookupExtensions[i])
        index = i;
    }
  } else {
    index = m_nFilterIndex;
    initial = initial.substr(0, initial.rfind('.')) + kFilterExtensions[index];
  }
  if (dialogs.GetOpenFileName("", initial, Filters(), index, chosen) == 0)
    return 0;
  const int last = dialogs.LastFilterIndex();
  m_nFilterIndex = last >= 0 && last < static_cast<int>(Filters().size()) ? last : index;
  return 1;
}
