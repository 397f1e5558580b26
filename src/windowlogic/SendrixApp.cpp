#include "windowlogic/SendrixApp.h"

#include <sys/stat.h>
#include <unistd.h>

#include "comm/Cablox.h"
#include "log/DataLog.h"
#include "report/ErrorBoxes.h"
#include "session/Session.h"
#include "texts/ErrorTexts.h"

namespace {

// The received-data file taken when another run held "RxData.bin"
// ("RxData-pid<hex>.bin") goes at exit when nothing was received into it,
// or every overlapping run would leave one behind.
void RemoveEmptySpareRxFile(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  struct stat st {};
  if (name.starts_with("RxData-pid") && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      st.st_size == 0)
    ::unlink(path.c_str());
}

}  // namespace

int CSendrixApp::InitInstance(IWindowRunner& runner) {
  m_pDlg = std::make_unique<CSendrixDlg>(m_session);
  if (m_hooks.loadSettings)
    m_hooks.loadSettings(*m_pDlg);
  m_pDlg->LoadTextLibrary(m_hooks.textLibraryName ? m_hooks.textLibraryName() : std::string());
  const int mayRun = m_hooks.checkOSVersion ? m_hooks.checkOSVersion(m_strOSVersion) : 1;
  m_pDlg->SetOSVersion(m_strOSVersion);
  if (m_pDlg->Fields().main.m_bCreateLog == 1)
    m_session.DataLog().Reset(std::make_shared<CDataLog>(m_strOSVersion));
  if (mayRun) {
    Comm_CloseCleanuo();
    runner.RunModal(*m_pDlg);
    if (m_hooks.saveSettings)
      m_hooks.saveSettings(*m_pDlg);
  } else {
    ShowErrorText(kErrorOsNotSupported);
  }
  m_pDlg.reset();
  return 0;
}

int CSendrixApp::ExitInstance() {
  m_session.Engine().Shutdown();
  if (Comm_IsOpened())
    Comm_CloseCleanuo();
  const std::string rxName = m_session.RxDataFile().GetName();
  m_session.RxDataFile().Close();
  RemoveEmptySpareRxFile(rxName);
  if (m_session.DataLog()) {
    m_session.DataLog().Reset(nullptr);
    CDataLog::DeleteSnapshots();
  }
  return 0;
}
