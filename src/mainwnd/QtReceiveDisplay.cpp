#include "mainwnd/QtReceiveDisplay.h"

#include <QAbstractButton>
#include <QEvent>

#include "mainwnd/HexListView.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/ReceiveDisplay.h"

namespace {

// Keeps the lists fitted to their area when the window resizes.
class CRelayout : public QObject {
 public:
  CRelayout(QObject* parent, CReceiveDisplay* display) : QObject(parent), m_pDisplay(display) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize) {
      m_pDisplay->Relayout();
    }
    return false;
  }

 private:
  CReceiveDisplay* m_pDisplay;
};

}  // namespace

CQtReceiveDisplay::CQtReceiveDisplay(CMainWindow& window) : m_window(window) {
  QWidget* area = window.ReceiveArea();
  m_pDisplay = std::make_unique<CReceiveDisplay>(area);
  window.ReplaceReceiveList(1028, m_pDisplay->DataList());
  window.ReplaceReceiveList(1045, m_pDisplay->UsmList());
  area->installEventFilter(new CRelayout(area, m_pDisplay.get()));
  m_pDisplay->Relayout();
}

CQtReceiveDisplay::~CQtReceiveDisplay() = default;

int CQtReceiveDisplay::Start() {
  m_pDisplay->Start();
  return 1;
}

void CQtReceiveDisplay::Stop() {
  m_pDisplay->Stop();
}

void CQtReceiveDisplay::ResetDataLineCounter() {
  m_pDisplay->StartNewDataRow();
}

void CQtReceiveDisplay::OnCommand(int id) {
  if (id == 1029) {
    m_pDisplay->OnClearBuffer();
  } else if (id == 1032) {
    m_pDisplay->OnSaveAs();
  } else if (id == 1070) {
    auto* box = m_window.Controls().Get<QAbstractButton>(1070);
    m_pDisplay->OnShowUsm(m_nUsmChannel, box != nullptr && box->isChecked() ? 1 : 0);
  }
}

void CQtReceiveDisplay::RefreshUsmView(int usmChannel, int showUsm) {
  m_nUsmChannel = usmChannel;
  m_pDisplay->OnShowUsm(usmChannel, showUsm);
}
