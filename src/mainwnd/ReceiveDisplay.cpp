#include "mainwnd/ReceiveDisplay.h"

#include <QAccessible>
#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QWidget>

#include "engine/FileByteStore.h"
#include "engine/ReceivedDataFile.h"
#include "engine/TransferEngine.h"
#include "log/DataLog.h"
#include "mainwnd/HexListView.h"
#include "platform/Notifier.h"
#include "platform/ProgramFolder.h"

namespace {

// The highlight of a status line that reports a change.
const char kChangedStyle[] = "background-color: #ffe28a; font-weight: bold;";

// Spill files in the Output folder: the USM list's, and the data list's
// while the received-data file is not in step with it.
const char kUsmSpillPrefix[] = "RxUsm";
const char kDataSpillPrefix[] = "RxList";
// After a row's time: another block starts inside the row.
const char kAnotherBlockMark[] = " +";

const QString kSaveFilter = QStringLiteral("Binary files (*.bin);;All files (*)");

}  // namespace

CReceiveDisplay::CReceiveDisplay(QWidget* window, CTransferEngine& engine)
    : QObject(window),
      m_engine(engine),
      m_pWindow(window),
      m_pDataList(new CHexListView("Hex", "ASCII", window)),
      m_pUsmList(new CHexListView("Hex (USM)", "ASCII (USM)", window)),
      m_pStatusLine(new QLabel(window)),
      m_pump(engine, this) {
  m_pDataList->setObjectName("receiveList");
  m_pDataList->setAccessibleName("Received data");
  m_pUsmList->setObjectName("usmList");
  m_pUsmList->setAccessibleName("Received USM data");
  m_pUsmList->hide();
  m_pStatusLine->setObjectName("statusLine");
  m_pStatusLine->setAccessibleName("Printer status");
  m_timer.setInterval(kPollMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { PollAndCatchUp(); });
  LayoutReceiveLists(0);
}

CReceiveDisplay::~CReceiveDisplay() {
  Stop();
}

void CReceiveDisplay::Start() {
  m_pump.Start();
  const std::string output = GetProgramFolder() + "/Output";
  m_pDataList->SetStore(m_pump.DataFileInStep()
                            ? CFileByteStore::OverReceivedDataFile(m_engine.m_io.rxDataFile)
                            : CFileByteStore::Spill(output, kDataSpillPrefix));
  m_pUsmList->SetStore(CFileByteStore::Spill(output, kUsmSpillPrefix));
  m_bStarted = true;
  m_timer.start();
}

void CReceiveDisplay::PollAndCatchUp() {
  UpdateRXDisplay();
  if (m_pump.HasBacklog() && m_timer.isActive() && !m_bCatchUpQueued) {
    m_bCatchUpQueued = true;
    QTimer::singleShot(0, this, [this] {
      m_bCatchUpQueued = false;
      PollAndCatchUp();
    });
  }
}

size_t CReceiveDisplay::UpdateRXDisplay() {
  m_pDataList->HoldView();
  m_pUsmList->HoldView();
  const size_t taken = m_pump.Poll();
  m_pUsmList->ReleaseView();
  m_pDataList->ReleaseView();
  return taken;
}

void CReceiveDisplay::Stop() {
  m_pump.Stop();
  m_timer.stop();
}

void CReceiveDisplay::AppendData(const BYTE* bytes, size_t count) {
  m_pDataList->Append(bytes, count);
}

bool CReceiveDisplay::AppendDataHeld(size_t count) {
  return m_pDataList->AppendHeld(count);
}

void CReceiveDisplay::AppendUsm(const BYTE* bytes, size_t count) {
  m_pUsmList->Append(bytes, count);
}

void CReceiveDisplay::BreakDataRow() {
  m_pDataList->BreakRow();
}

void CReceiveDisplay::ClearLists() {
  if (m_bStarted && m_pump.DataFileInStep())
    m_pDataList->SetStore(CFileByteStore::OverReceivedDataFile(m_engine.m_io.rxDataFile));
  else
    m_pDataList->Clear();
  m_pUsmList->Clear();
  SetStatusLine(QString(), QString(), false);  // it spoke of bytes now gone
}

void CReceiveDisplay::ShowStatus(const PRINTER_STATUS_TEXT& status) {
  const std::string line = status.Line();
  SetStatusLine(QString::fromStdString(line),
                QString::fromStdString(line + "\n" + status.strBitTable), status.bChanged);
}

void CReceiveDisplay::SetStatusLine(const QString& text, const QString& tip, bool changed) {
  m_pStatusLine->setText(text);
  m_pStatusLine->setToolTip(tip);
  const QString style = changed ? kChangedStyle : "";
  if (m_pStatusLine->styleSheet() != style)  // a new style sheet restyles the line
    m_pStatusLine->setStyleSheet(style);
  // A screen reader hears the new words as it hears a changed value.
  QAccessibleValueChangeEvent event(m_pStatusLine, text);
  QAccessible::updateAccessibility(&event);
}

void CReceiveDisplay::ShowTimeColumn(bool show) {
  m_bTimeShown = show;
  const std::pair<CHexListView*, const CRxBlockTimes*> lists[] = {
      {m_pDataList, &m_pump.DataTimes()}, {m_pUsmList, &m_pump.UsmTimes()}};
  for (const auto& [list, times] : lists) {
    if (!show) {
      list->SetRowLabel(nullptr);
      continue;
    }
    list->SetRowLabel([times = times](std::uint64_t first, int count) {
      return TimeLabel(*times, first, count);
    });
  }
}

QString CReceiveDisplay::TimeLabel(const CRxBlockTimes& times, std::uint64_t first, int count) {
  std::int64_t at = 0;
  if (!times.TimeAt(first, &at))
    return QString();
  std::string text = CRxBlockTimes::FormatTime(at);
  if (times.BlockStartsWithin(first, static_cast<std::uint64_t>(count)))
    text += kAnotherBlockMark;
  return QString::fromLatin1(text.c_str());
}

void CReceiveDisplay::LayoutReceiveLists(int showUsm) {
  showUsm = showUsm != 0 ? 1 : 0;
  if (showUsm == m_nLayout)
    return;
  m_nLayout = showUsm;
  Relayout();
}

void CReceiveDisplay::Relayout() {
  const int w = m_pWindow->width();
  const int h = m_pWindow->height();
  if (m_nLayout == 1) {
    Place(m_pDataList, w * 5 / 480, h * 166 / 327, w * 294 / 480, h * 89 / 327);
    Place(m_pUsmList, w * 5 / 480, h * 259 / 327, w * 294 / 480, h * 52 / 327);
    m_pUsmList->show();
  } else {
    Place(m_pDataList, w * 5 / 480, h * 166 / 327, w * 294 / 480, h * 145 / 327);
    m_pUsmList->hide();
  }
  // Under the lists, as wide as they are.
  m_pStatusLine->setGeometry(w * 5 / 480, h * 312 / 327, w * 294 / 480, h * 13 / 327);
}

void CReceiveDisplay::Place(CHexListView* list, int left, int top, int width, int height) {
  list->setGeometry(left, top, width, height);
}

void CReceiveDisplay::OnShowUsm(int usmChannel, int showUsm) {
  LayoutReceiveLists(usmChannel != 0 && showUsm == 1 ? 1 : 0);
}

void CReceiveDisplay::OnSaveAs() {
  const QString path =
      QFileDialog::getSaveFileName(m_pWindow, QStringLiteral("Save Received Data"),
                                   SuggestedSaveName(QDateTime::currentDateTime()), kSaveFilter);
  if (!path.isEmpty())
    SaveAs(path);
}

QString CReceiveDisplay::SuggestedSaveName(const QDateTime& when) {
  return QString::fromStdString(GetProgramFolder()) + "/Output/RxData-" +
         when.toString("yyyyMMdd-HHmmss") + ".bin";
}

int CReceiveDisplay::SaveAs(const QString& path) {
  const std::string name = path.toStdString();
  std::string reason;
  if (!CReceivedDataFile::SaveCopy(m_engine, name, &reason)) {
    const std::string text = "The received data could not be saved to " + name + ": " + reason;
    AfxMessageBox(text.c_str());
    return 0;
  }
  if (m_engine.m_io.dataLog) {
    std::string line = "Save RX Data Buffer To File : " + name;
    m_engine.m_io.dataLog->Log(line.c_str());
  }
  return 1;
}
