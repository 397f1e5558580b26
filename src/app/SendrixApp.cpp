#include "app/SendrixApp.h"

#include "report/ErrorBoxes.h"
#include "comm/Cablox.h"
#include "engine/TransferGlobals.h"
#include "log/DataLog.h"

int CSendrixApp::InitInstance(IWindowRunner& runner) {
  m_pDlg = std::make_unique<CSendrixDlg>();
  if (m_hooks.loadSettings)
    m_hooks.loadSettings(*m_pDlg);
  m_pDlg->LoadTextLibrary(m_hooks.textLibraryName ? m_hooks.textLibraryName() : std::string());
  const int mayRun = m_hooks.checkOSVersion ? m_hooks.checkOSVersion(m_strOSVersion) : 1;
  m_pDlg->SetOSVersion(m_strOSVersion);
  if (m_pDlg->Fields().main.m_bCreateLog == 1)
    g_pDataLog.Reset(std::make_shared<CDataLog>(m_strOSVersion));
  if (mayRun) {
    Comm_CloseCleanuo();
    CreateAbortEvent();
    runner.RunModal(*m_pDlg);
    if (m_hooks.saveSettings)
      m_hooks.saveSettings(*m_pDlg);
  } else {
    ShowErrorText(49);
  }
  m_pDlg.reset();
  return 0;
}

int CSendrixApp::ExitInstance() {
  g_TransferEngine.Shutdown();
  if (Comm_IsOpened())
    Comm_CloseCleanuo();
  g_RxDataFile.Close();
  if (g_pDataLog) {
    g_pDataLog.Reset(nullptr);
    CDataLog::DeleteSnapshots();
  }
  return 0;
}
