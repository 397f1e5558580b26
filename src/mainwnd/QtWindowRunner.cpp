#include "mainwnd/QtWindowRunner.h"

#include <memory>

#include "mainwnd/HistoryDlg.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/OutputWindow.h"
#include "mainwnd/QtFileDialog.h"
#include "mainwnd/QtNotifier.h"
#include "mainwnd/QtReceiveDisplay.h"
#include "mainwnd/SplashWnd.h"
#include "panels/PanelBase.h"
#include "panels/SetupEthDevDlg.h"
#include "platform/ControlIds.h"
#include "session/Session.h"
#include "settings/WindowPlacementStore.h"
#include "texts/TooltipTable.h"
#include "windowlogic/HistoryEditor.h"
#include "windowlogic/HistoryFileBrowser.h"

CQtWindowRunner::CQtWindowRunner(bool showSplash) : m_bSplash(showSplash) {}

CQtWindowRunner::~CQtWindowRunner() = default;

void CQtWindowRunner::Join(CMainWindow& window, IFileDialog& files, CSendrixDlg& dlg) {
  m_target.SetHandler([&dlg](UINT message, WPARAM wParam, LPARAM lParam) {
    return dlg.OnMessage(message, wParam, lParam);
  });
  window.AttachMessageTarget(&m_target);
  CMainWindowHooks hooks;
  hooks.onCommand = [&dlg](int id) {
    if (id == kIdcFileList) {
      dlg.OnFileListClick();
    } else {
      dlg.OnCommand(id);
    }
  };
  hooks.onKey = [&dlg](int vk, int) {
    return dlg.PreTranslateKey(vk) == CSendrixDlg::kKeyConsumed ? 1 : 0;
  };
  hooks.onDropFiles = [&dlg](const std::vector<std::string>& paths) { dlg.OnDropFiles(paths); };
  hooks.onSysCommand = [&dlg](UINT command) { dlg.OnSysCommand(command); };
  hooks.tipText = [&dlg](int dialog, int id) { return TooltipText(dlg.Texts(), dialog, id); };
  hooks.onPanelCommand = [&dlg](int panel, int id) { dlg.OnPanelCommand(panel, id); };
  hooks.onPanelEnter = [&dlg](int panel, int) { dlg.OnPanelEnter(panel); };
  window.SetHooks(hooks);
  for (int n = 0; n < 3; ++n) {
    if (auto* panel = dynamic_cast<CPanelBase*>(&window.Panel(n))) {
      panel->SetDropDownHandler([&dlg, n](int id) { dlg.OnPanelDropDown(n, id); });
    }
  }
  dlg.SetDeviceSetup([&window, &dlg] {
    CSetupEthDevDlg setup(dlg.TextLibraryName(), &window);
    setup.exec();
  });
  dlg.SetPortProperties([this] {
    if (!m_pOutput) {
      m_pOutput = std::make_unique<COutputWindow>();
    }
    m_pOutput->ShowPortProperties();
  });
  dlg.SetAboutBox([&window] { window.ShowAbout(); });
  // The manager edits one history; the other is handed over as it stands
  // (a history file loaded there replaces only the one being managed).
  // One browser for the whole run: it remembers the filter last chosen.
  auto browser = std::make_shared<CHistoryFileBrowser>();
  dlg.SetHistoryManager([&window, &files, &dlg, browser](int mode, std::vector<std::string>& list) {
    const bool fileMode = mode == CHistoryEditor::kFileMode;
    CHistoryFileLists lists;
    lists.files = fileMode ? list : dlg.History().FileHistory();
    lists.strings = fileMode ? dlg.StringHistoryList() : list;
    CHistoryDlg manager(mode, lists, files, *browser, &window, dlg.Fields().main.m_nStringFormat);
    manager.exec();
    list = fileMode ? lists.files : lists.strings;
  });
  window.BuildSystemMenu("&About Sendrix...", "Manage Commandes history", "Manage Files history");
}

void CQtWindowRunner::RunModal(CSendrixDlg& dlg) {
  if (m_bSplash) {
    CSplashWnd::ShowFor(500);
  }
  CMainWindow window(dlg.Fields());
  CQtFileDialog files(&window);
  if (m_pNotifier != nullptr) {
    m_pNotifier->SetParent(&window);
  }
  Join(window, files, dlg);
  CQtReceiveDisplay display(window, dlg.Session().Engine());
  display.SetRowEcho(m_pRowEcho);
  // The lists poll the feeds themselves; the logic sees the same blocks.
  display.SetRxTap([&dlg](RxChannel channel, const BYTE* bytes, size_t count) {
    dlg.OnReceived(channel, bytes, count);
  });
  display.SetStatusTap([&dlg](const std::string& source, const std::string& words) {
    dlg.OnPrinterStatus(source, words);
  });
  dlg.Attach(&window, &files, &m_target, &display, &m_target.Invoker());
  dlg.OnInitDialog();  // a stopped initialisation still leaves the window open

  CWindowPlacementStore placements;
  CWindowPlacement placement;
  if (placements.Load(&placement)) {
    window.move(placement.m_nX, placement.m_nY);  // the position only, never the size
  }
  window.FitIntoScreen();
  if (placement.m_nShowCmd == CWindowPlacement::kShowMaximized) {
    window.showMaximized();
  } else if (placement.m_nShowCmd == CWindowPlacement::kShowMinimized) {
    window.showMinimized();
  } else {
    window.show();
  }
  if (m_onShown) {
    m_onShown(window, dlg);
  }
  if (window.isVisible()) {
    window.exec();
  }
  if (m_bSavesPlacement) {
    placement.m_nX = window.x();
    placement.m_nY = window.y();
    placement.m_nShowCmd = window.isMinimized()   ? CWindowPlacement::kShowMinimized
                           : window.isMaximized() ? CWindowPlacement::kShowMaximized
                                                  : CWindowPlacement::kShowNormal;
    placements.Save(placement);
  }
  m_target.Close();
  if (m_pNotifier != nullptr) {
    m_pNotifier->SetParent(nullptr);
  }
}
