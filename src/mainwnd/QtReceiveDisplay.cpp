#include "mainwnd/QtReceiveDisplay.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <algorithm>

#include "mainwnd/HexListView.h"
#include "mainwnd/MainWindow.h"
#include "mainwnd/ReceiveDisplay.h"
#include "platform/ControlIds.h"

namespace {

// The display places its lists by the template's factors of a whole window;
// here they live in the "Receive Buffer" frame, so they fill its inside:
// the data list alone, or above the USM list (3:2) when USM is shown, and
// the printer's status line under them.
void Fit(QWidget* area, CReceiveDisplay* display) {
  QRect r = area->contentsRect();
  if (area->layout() != nullptr) {
    r = r.marginsRemoved(area->layout()->contentsMargins());
  }
  QLabel* status = display->StatusLine();
  const int lineHeight = status->sizeHint().height();
  status->setGeometry(r.x(), r.y() + r.height() - lineHeight, r.width(), lineHeight);
  r.setHeight(r.height() - lineHeight);
  if (!display->IsUsmShown()) {
    display->DataList()->setGeometry(r);
    return;
  }
  int top = r.height() * 3 / 5;
  display->DataList()->setGeometry(r.x(), r.y(), r.width(), top);
  display->UsmList()->setGeometry(r.x(), r.y() + top, r.width(), r.height() - top);
}

// The frame keeps room for a whole row of the data list (with its Time
// column when shown) and the status line.
void KeepRoom(QWidget* area, CReceiveDisplay* display) {
  area->setMinimumSize(display->DataList()->sizeHint().grownBy(area->contentsMargins()) +
                       QSize(0, display->StatusLine()->sizeHint().height()));
}

// Keeps the lists fitted to their area when the window resizes.
class CRelayout : public QObject {
 public:
  CRelayout(QWidget* area, CReceiveDisplay* display)
      : QObject(area), m_pArea(area), m_pDisplay(display) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize) {
      Fit(m_pArea, m_pDisplay);
    }
    return false;
  }

 private:
  QWidget* m_pArea;
  CReceiveDisplay* m_pDisplay;
};

}  // namespace

CQtReceiveDisplay::CQtReceiveDisplay(CMainWindow& window, CTransferEngine& engine)
    : m_window(window) {
  QWidget* area = window.ReceiveArea();
  m_pDisplay = std::make_unique<CReceiveDisplay>(area, engine);
  window.ReplaceReceiveList(kIdcRxDataList, m_pDisplay->DataList());
  window.ReplaceReceiveList(kIdcRxUsmList, m_pDisplay->UsmList());
  window.Controls().Add(kIdcStatusLine, m_pDisplay->StatusLine(), QObject::tr("Printer status"));
  area->installEventFilter(new CRelayout(area, m_pDisplay.get()));
  KeepRoom(area, m_pDisplay.get());
  Fit(area, m_pDisplay.get());
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
  if (id == kIdcClearBuffer) {
    m_pDisplay->OnClearBuffer();
  } else if (id == kIdcSaveAs) {
    m_pDisplay->OnSaveAs();
  } else if (id == kIdcShowUsm) {
    auto* box = m_window.Controls().Get<QAbstractButton>(kIdcShowUsm);
    m_pDisplay->OnShowUsm(m_nUsmChannel, box != nullptr && box->isChecked() ? 1 : 0);
    Fit(m_window.ReceiveArea(), m_pDisplay.get());
  }
}

void CQtReceiveDisplay::RefreshUsmView(int usmChannel, int showUsm) {
  m_nUsmChannel = usmChannel;
  m_pDisplay->OnShowUsm(usmChannel, showUsm);
  Fit(m_window.ReceiveArea(), m_pDisplay.get());
}

void CQtReceiveDisplay::SetBlockTimes(int showTime, int idleGapMs) {
  m_pDisplay->SetIdleGapMs(static_cast<std::uint32_t>(std::max(idleGapMs, 0)));
  if (m_pDisplay->IsTimeColumnShown() == (showTime == 1))
    return;
  m_pDisplay->ShowTimeColumn(showTime == 1);
  KeepRoom(m_window.ReceiveArea(), m_pDisplay.get());
  Fit(m_window.ReceiveArea(), m_pDisplay.get());
}

void CQtReceiveDisplay::NoteStringSent(const BYTE* bytes, size_t count) {
  m_pDisplay->NoteStringSent(bytes, count);
}

void CQtReceiveDisplay::SetRowEcho(CHeadlessRows* rows) {
  m_pDisplay->SetRowEcho(rows);
}

void CQtReceiveDisplay::SetStatusTap(
    std::function<void(const std::string&, const std::string&)> tap) {
  m_pDisplay->SetStatusTap([tap = std::move(tap)](const PRINTER_STATUS_TEXT& status) {
    tap(status.strSource, status.strWords);
  });
}

void CQtReceiveDisplay::SetRxTap(std::function<void(RxChannel, const BYTE*, size_t)> tap) {
  m_pDisplay->SetRxTap(std::move(tap));
}
