#include "mainwnd/ReceiveDisplay.h"

#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <thread>

#include "batch/HeadlessRows.h"
#include "engine/ReceivedDataFile.h"
#include "engine/RxFeed.h"
#include "engine/TransferGlobals.h"
#include "log/DataLog.h"
#include "mainwnd/HexListView.h"
#include "platform/AppMessages.h"
#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "platform/ProgramFolder.h"
#include "platform/StopRequest.h"

namespace {

// The highlight of a status line that reports a change.
const char kChangedStyle[] = "background-color: #ffe28a; font-weight: bold;";

const QString kSaveFilter = QStringLiteral("Binary files (*.bin);;All files (*)");

void LogBlock(const char* format, const BYTE* bytes, size_t count) {
  if (!g_pDataLog)
    return;
  char line[64];
  std::snprintf(line, sizeof line, format, static_cast<int>(count));
  g_pDataLog->Log(line, bytes, static_cast<DWORD>(count));
}

}  // namespace

CReceiveDisplay::CReceiveDisplay(QWidget* window)
    : QObject(window),
      m_pWindow(window),
      m_pDataList(new CHexListView("Hex", "ASCII", window)),
      m_pUsmList(new CHexListView("Hex (USM)", "ASCII (USM)", window)),
      m_pStatusLine(new QLabel(window)) {
  m_pDataList->setObjectName("receiveList");
  m_pDataList->setAccessibleName("Received data");
  m_pUsmList->setObjectName("usmList");
  m_pUsmList->setAccessibleName("Received USM data");
  m_pUsmList->hide();
  m_pStatusLine->setObjectName("statusLine");
  m_pStatusLine->setAccessibleName("Printer status");
  m_timer.setInterval(kPollMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { UpdateRXDisplay(); });
  LayoutReceiveLists(0);
}

CReceiveDisplay::~CReceiveDisplay() {
  Stop();
}

void CReceiveDisplay::Start() {
  g_RxDataFeed.SetEnabled(true);
  g_RxUsmFeed.SetEnabled(true);
  m_timer.start();
}

void CReceiveDisplay::Stop() {
  // A headless run prints what the printer answered: its output is all there
  // is. A reply to the last bytes sent may still be on its way when the
  // action ends, so take what comes until the line has been quiet a moment.
  if (m_pRowEcho && m_timer.isActive() && !IsStopRequested())
    TakeUntilQuiet();
  m_timer.stop();
  g_RxDataFeed.SetEnabled(false);
  g_RxUsmFeed.SetEnabled(false);
}

void CReceiveDisplay::TakeUntilQuiet() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSettleMaxMs);
  Clock::time_point quietSince = Clock::now();
  while (Clock::now() - quietSince < std::chrono::milliseconds(kSettleQuietMs) &&
         Clock::now() < deadline) {
    if (UpdateRXDisplay() > 0)
      quietSince = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettlePollMs));
  }
}

size_t CReceiveDisplay::UpdateRXDisplay() {
  // The lists copy the bytes into their own storage; the feed's blocks go
  // back to the feed, so the reader keeps writing into memory it has mapped.
  size_t total = g_RxDataFeed.Take(&m_taken);
  for (const CRxFeed::Block& block : m_taken)
    OnRxData(block.data(), block.size());
  g_RxDataFeed.Recycle(&m_taken);
  total += g_RxUsmFeed.Take(&m_taken);
  for (const CRxFeed::Block& block : m_taken)
    OnRxUsm(block.data(), block.size());
  g_RxUsmFeed.Recycle(&m_taken);
  return total;
}

void CReceiveDisplay::OnRxData(const BYTE* bytes, size_t count) {
  LogBlock("Data Received. Size = %d bytes\n", bytes, count);
  if (m_pRowEcho)
    m_pRowEcho->Append(CHeadlessRows::kData, bytes, count);
  if (m_fnRxTap)
    m_fnRxTap(WM_RX_DATA, bytes, count);
  m_pDataList->Append(bytes, count);
  m_status.OnData(bytes, count, NowMs(), m_statusTexts);
  ShowStatus(false);
}

void CReceiveDisplay::OnRxUsm(const BYTE* bytes, size_t count) {
  LogBlock("USM Data Received. Size = %d bytes\n", bytes, count);
  if (m_pRowEcho)
    m_pRowEcho->Append(CHeadlessRows::kUsm, bytes, count);
  if (m_fnRxTap)
    m_fnRxTap(WM_RX_USM, bytes, count);
  m_pUsmList->Append(bytes, count);
  m_status.OnUsm(bytes, count, m_statusTexts);
  ShowStatus(true);
}

void CReceiveDisplay::NoteStringSent(const BYTE* bytes, size_t count) {
  m_status.OnSent(bytes, count, NowMs());
}

void CReceiveDisplay::ShowStatus(bool usm) {
  for (const PRINTER_STATUS_TEXT& text : m_statusTexts) {
    const std::string line = text.Line();
    if (m_fnStatusTap)
      m_fnStatusTap(text);
    if (g_pDataLog)
      g_pDataLog->Log((line + "\n").c_str());
    if (m_pRowEcho)
      m_pRowEcho->PrintLine(usm ? CHeadlessRows::kUsm : CHeadlessRows::kData, line.c_str());
    m_pStatusLine->setText(QString::fromStdString(line));
    m_pStatusLine->setToolTip(QString::fromStdString(line + "\n" + text.strBitTable));
    m_pStatusLine->setStyleSheet(text.bChanged ? kChangedStyle : "");
  }
  m_statusTexts.clear();
}

void CReceiveDisplay::StartNewDataRow() {
  UpdateRXDisplay();  // what arrived before the operation stays on its rows
  m_pDataList->BreakRow();
  if (m_pRowEcho)
    m_pRowEcho->BreakRow(CHeadlessRows::kData);
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

void CReceiveDisplay::OnClearBuffer() {
  // The engine drops what the feeds hold under the reader's lock, so nothing
  // received before the clear reaches the emptied lists afterwards.
  g_TransferEngine.ClearReceivedData();
  m_pDataList->Clear();
  m_pUsmList->Clear();
  if (g_pDataLog)
    g_pDataLog->Log("Clear RX Data Buffer");
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
  if (!CReceivedDataFile::SaveCopy(name, &reason)) {
    const std::string text = "The received data could not be saved to " + name + ": " + reason;
    AfxMessageBox(text.c_str());
    return 0;
  }
  if (g_pDataLog) {
    std::string line = "Save RX Data Buffer To File : " + name;
    g_pDataLog->Log(line.c_str());
  }
  return 1;
}
