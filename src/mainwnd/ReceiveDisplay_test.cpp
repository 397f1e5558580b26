// The receive display: the row format and rows completed across messages,
// the USM list's layout, and, against the virtual printer over loopback,
// the lists reading their rows back from files: a long stream shown byte for
// byte, "Clear Buffer" and "Save As" during a stream, a second instance's
// "-pid" file, and the USM list's spill file.
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "engine/ReceivedDataFile.h"
#include "engine/RxFeed.h"
#include "mainwnd/AccessibleHexList.h"
#include "mainwnd/HexListView.h"
#include "mainwnd/ReceiveDisplay.h"
#include "platform/Clock.h"
#include "testsupport/RxViewTestSession.h"

namespace {

using Bytes = std::vector<BYTE>;
using Session = CRxViewTestSession;

// The row texts the display must show for `bytes` (16 a row), formatted here
// independently of the display's own formatter.
void ExpectedRow(const BYTE* bytes, size_t count, std::string* hex, std::string* ascii) {
  hex->clear();
  ascii->clear();
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < count; ++i) {
    *hex += kDigits[bytes[i] / 16];
    *hex += kDigits[bytes[i] % 16];
    *hex += ' ';
    if (i == 7)
      *hex += "- ";
    *ascii += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
  }
}

QStringList Rows(const CHexListView* list) {
  QStringList rows;
  std::string hex, ascii;
  for (std::uint64_t r = 0; list->Rows().RowText(r, &hex, &ascii); ++r)
    rows << QString::fromLatin1((hex + "|" + ascii).c_str());
  return rows;
}

bool OpenRxFile(CTransferEngine& engine) {
  std::string name;
  return CReceivedDataFile::Open(engine, &name) == 1;
}

Bytes Range(int first, int count) {
  Bytes b;
  for (int i = 0; i < count; ++i)
    b.push_back(static_cast<BYTE>(first + i));
  return b;
}

// A list that reads its rows from a file holds a small part of its bytes.
bool HoldsLittle(const CHexListView* list) {
  return list->Rows().MemoryBytes() * 4 < list->Rows().ByteCount();
}

// Compares the first, the last and kSamples random rows of an unbroken list
// with the bytes they must show, the painted text and what a screen reader
// reads alike; empty when all agree, else the first difference.
QString SampledRowsDiffer(CHexListView* list, const Bytes& bytes) {
  constexpr int kSamples = 2000;
  constexpr int kPainted = 20;
  const std::uint64_t rows = list->RowCount();
  if (rows != (bytes.size() + 15) / 16)
    return QString("%1 rows for %2 bytes").arg(rows).arg(bytes.size());
  CAccessibleHexList table(list);
  std::string hex, ascii, wantHex, wantAscii;
  std::uint32_t x = 12345;
  for (int i = 0; i < kSamples + 2 && rows > 0; ++i) {
    x = x * 1664525u + 1013904223u;
    const std::uint64_t r = i == 0 ? 0 : i == 1 ? rows - 1 : x % rows;
    const size_t offset = static_cast<size_t>(r) * 16;
    ExpectedRow(bytes.data() + offset, std::min<size_t>(16, bytes.size() - offset), &wantHex,
                &wantAscii);
    if (!list->Rows().RowText(r, &hex, &ascii) || hex != wantHex || ascii != wantAscii)
      return QString("row %1: %2").arg(r).arg(QString::fromStdString(hex));
    if (i >= kPainted)
      continue;
    list->verticalScrollBar()->setValue(static_cast<int>(r));
    list->grab();  // paints from the store
    const QString cell = table.cellAt(static_cast<int>(r), 0)->text(QAccessible::Name);
    if (cell != QString::fromStdString(wantHex).trimmed())
      return QString("row %1 read aloud: %2").arg(r).arg(cell);
  }
  return QString();
}

std::vector<std::string> SpillFiles(const std::string& home, const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(home + "/Output")) {
    if (entry.path().filename().string().rfind(prefix, 0) == 0)
      found.push_back(entry.path().string());
  }
  return found;
}

// The texts a status line showed: each update sets the words, then the
// tooltip.
class CStatusLineUpdates : public QObject {
 public:
  explicit CStatusLineUpdates(QLabel* line) : m_pLine(line) { line->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::ToolTipChange)
      shown << m_pLine->text();
    return false;
  }
  QStringList shown;

 private:
  QLabel* m_pLine;
};

// Automatic status messages, each differing from the one before.
Bytes StatusMessages(size_t count) {
  static const BYTE kMessages[][4] = {{0x14, 0x00, 0x00, 0x00},
                                      {0x1C, 0x00, 0x00, 0x00},
                                      {0x3C, 0x00, 0x03, 0x00},
                                      {0x14, 0x08, 0x0F, 0x00}};
  Bytes bytes;
  for (size_t i = 0; i < count; ++i)
    bytes.insert(bytes.end(), kMessages[i % 4], kMessages[i % 4] + 4);
  return bytes;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kLongStream = 8u << 20;  // sanitizers: a smaller stream, the same checks
#else
constexpr size_t kLongStream = 64u << 20;
#endif

}  // namespace

Q_DECLARE_METATYPE(std::vector<std::vector<BYTE>>)

class ReceiveDisplayTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_pSession = std::make_unique<Session>();
    m_pWindow = std::make_unique<QWidget>();
    m_pWindow->resize(960, 654);
    m_pDisplay = new CReceiveDisplay(m_pWindow.get(), m_pSession->Engine());
  }
  void cleanup() {
    delete m_pDisplay;
    m_pWindow.reset();
    m_pSession.reset();
  }

  void rowsFromMessages_data() {
    QTest::addColumn<std::vector<Bytes>>("messages");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("12 more complete a 4-byte row")
        << std::vector<Bytes>{Range(0x30, 20), Range(0x44, 12)}
        << QStringList{"30 31 32 33 34 35 36 37 - 38 39 3A 3B 3C 3D 3E 3F |0123456789:;<=>?",
                       "40 41 42 43 44 45 46 47 - 48 49 4A 4B 4C 4D 4E 4F |@ABCDEFGHIJKLMNO"};
    QTest::newRow("exactly 8 bytes end with the dash")
        << std::vector<Bytes>{Range(0x61, 8)} << QStringList{"61 62 63 64 65 66 67 68 - |abcdefgh"};
    QTest::newRow("one cell a byte: printable ASCII as itself, a dot for the rest")
        << std::vector<Bytes>{{0x7F, 0x20, 0x0A, 0x80, 0x41, 0xE9, 0x01, 0x7E}}
        << QStringList{"7F 20 0A 80 41 E9 01 7E - |. ..A..~"};
    QTest::newRow("byte by byte across a row's end")
        << std::vector<Bytes>{Range(1, 15), {0x10}, {0x11}}
        << QStringList{"01 02 03 04 05 06 07 08 - 09 0A 0B 0C 0D 0E 0F 10 |................",
                       "11 |."};
    // An empty message stands for an operation's start: a new row, and a
    // complete row is not broken again.
    QTest::newRow("an operation starts a new row")
        << std::vector<Bytes>{Range(0x41, 3), {}, {}, Range(0x61, 18)}
        << QStringList{"41 42 43 |ABC",
                       "61 62 63 64 65 66 67 68 - 69 6A 6B 6C 6D 6E 6F 70 |abcdefghijklmnop",
                       "71 72 |qr"};
  }
  void rowsFromMessages() {
    QFETCH(std::vector<Bytes>, messages);
    QFETCH(QStringList, rows);
    for (const Bytes& m : messages) {
      if (m.empty())
        m_pDisplay->StartNewDataRow();
      else
        m_pDisplay->OnRxData(m.data(), m.size());
    }
    QCOMPARE(Rows(m_pDisplay->DataList()), rows);
    QVERIFY(!m_pDisplay->DataList()->grab().isNull());  // paints its rows
  }

  void showUsmNeedsAUsmChannel() {
    m_pWindow->show();
    CHexListView* data = m_pDisplay->DataList();
    CHexListView* usm = m_pDisplay->UsmList();
    m_pDisplay->OnShowUsm(0, 1);  // ticked, but no USM channel
    QVERIFY(!usm->isVisible());
    QCOMPARE(data->geometry(), QRect(10, 332, 588, 290));
    m_pDisplay->OnShowUsm(1, 1);
    QVERIFY(usm->isVisible());
    QCOMPARE(data->geometry(), QRect(10, 332, 588, 178));
    QCOMPARE(usm->geometry(), QRect(10, 518, 588, 104));
    m_pDisplay->OnShowUsm(1, 0);
    QVERIFY(!usm->isVisible());
    QCOMPARE(data->geometry(), QRect(10, 332, 588, 290));
    QVERIFY(!data->accessibleName().isEmpty() && !usm->accessibleName().isEmpty());
  }

  // The plain name is held by another instance: this one receives into the
  // "-pid" file, its list shows that file, and the other's file is left as
  // it was. Alone again, the plain name is taken.
  void secondInstanceReceivesIntoThePidFile() {
    Session& session = *m_pSession;
    CMyFile first;
    const std::string plain = session.Home() + "/Output/RxData.bin";
    QCOMPARE(first.Open(plain, CMyFile::kModeWrite, 0), 1);
    const Bytes theirs = Range(0x61, 26);
    QCOMPARE(first.Append(theirs.data(), static_cast<DWORD>(theirs.size())), 1);
    std::string opened;
    QCOMPARE(CReceivedDataFile::Open(session.Engine(), &opened), 1);
    char name[64];
    std::snprintf(name, sizeof name, "/Output/RxData-pid%X.bin", GetCurrentProcessId());
    QCOMPARE(opened, session.Home() + name);
    const Bytes data = Session::Pattern(2u << 20, 7);
    const std::string source = session.Home() + "/stream.bin";
    QVERIFY(Session::WriteWhole(source, data));
    m_pDisplay->Start();
    QVERIFY(session.Connect(source));
    CHexListView* list = m_pDisplay->DataList();
    QVERIFY(QTest::qWaitFor([&] { return list->Rows().ByteCount() >= data.size(); }, 60000));
    session.StopReaders();
    QCOMPARE(Session::ReadWhole(opened), data);
    QCOMPARE(Session::ReadWhole(plain), theirs);
    QVERIFY(HoldsLittle(list));
    QCOMPARE(SampledRowsDiffer(list, data), QString());
    session.Session().RxDataFile().Close();
    first.Close();
    QCOMPARE(CReceivedDataFile::Open(session.Engine(), &opened), 1);
    QCOMPARE(opened, plain);
  }

  // "Clear Buffer" during a stream empties the list and the file together:
  // afterwards the list shows the file, which holds the rest of the stream
  // and what came after it. (The clear comes once the list shows 1 MiB; a
  // slow window's thread may see the stream end first, and then no rest.)
  void clearDuringAStreamRestartsListAndFileTogether() {
    Session& session = *m_pSession;
    const Bytes data = Session::Pattern(16u << 20, 1);
    const std::string source = session.Home() + "/stream.bin";
    QVERIFY(Session::WriteWhole(source, data));
    QVERIFY(OpenRxFile(session.Engine()));
    m_pDisplay->Start();
    QVERIFY(session.Connect(source));
    CHexListView* list = m_pDisplay->DataList();
    QVERIFY(QTest::qWaitFor([&] { return list->Rows().ByteCount() >= (1u << 20); }, 60000));
    m_pDisplay->OnClearBuffer();
    QCOMPARE(list->RowCount(), 0u);
    const Bytes after = Range(0x41, 20);
    QCOMPARE(session.Session().RxDataBuffer().WaitForCount(data.size(), 60000, nullptr), 1);
    session.Send(after);
    QCOMPARE(
        session.Session().RxDataBuffer().WaitForCount(data.size() + after.size(), 10000, nullptr),
        1);
    session.StopReaders();
    const Bytes file = Session::ReadWhole(session.Session().RxDataFile().GetName());
    QVERIFY(QTest::qWaitFor([&] { return list->Rows().ByteCount() >= file.size(); }, 60000));
    QVERIFY2(file.size() >= after.size() && file.size() <= data.size() - (1u << 20) + after.size(),
             qPrintable(QString("the file holds %1 bytes").arg(file.size())));
    QVERIFY(std::equal(file.end() - after.size(), file.end(), after.begin()));
    const size_t rest = file.size() - after.size();
    QVERIFY(std::equal(file.begin(), file.begin() + rest, data.end() - rest));
    QVERIFY(HoldsLittle(list));
    QCOMPARE(SampledRowsDiffer(list, file), QString());
  }

  void saveAsDuringAStreamCopiesAPrefix() {
    Session& session = *m_pSession;
    const Bytes data = Session::Pattern(16u << 20, 2);
    const std::string source = session.Home() + "/stream.bin";
    QVERIFY(Session::WriteWhole(source, data));
    QVERIFY(OpenRxFile(session.Engine()));
    m_pDisplay->Start();
    QVERIFY(session.Connect(source));
    const std::string copy = session.Home() + "/copy.bin";
    int duringStream = 0;  // copies that ended before the stream did
    for (int i = 0; i < 2000 && m_pDisplay->DataList()->Rows().ByteCount() < data.size(); ++i) {
      const std::uint64_t shown = m_pDisplay->DataList()->Rows().ByteCount();
      QCOMPARE(m_pDisplay->SaveAs(QString::fromStdString(copy)), 1);
      const Bytes got = Session::ReadWhole(copy);
      // Every byte shown before the copy began is in it, and it is a prefix.
      QVERIFY(got.size() >= shown && got.size() <= data.size());
      QVERIFY(std::equal(got.begin(), got.end(), data.begin()));
      duringStream += got.size() < data.size() ? 1 : 0;
      QTest::qWait(2);
    }
    QVERIFY(duringStream > 0);
    QVERIFY(QTest::qWaitFor(
        [&] { return m_pDisplay->DataList()->Rows().ByteCount() == data.size(); }, 60000));
    session.StopReaders();
    // The copies left the reader appending at the end.
    QCOMPARE(Session::ReadWhole(session.Session().RxDataFile().GetName()), data);
    QVERIFY(HoldsLittle(m_pDisplay->DataList()));
    QCOMPARE(SampledRowsDiffer(m_pDisplay->DataList(), data), QString());
    QCOMPARE(m_pDisplay->SaveAs(QString::fromStdString(session.Home() + "/no/such/dir/x.bin")), 0);
  }

  // A long stream at full loopback speed: the list holds a small part of it
  // and its rows equal the dump of the received-data file, which equals what
  // the printer sent.
  void longStreamIsReadBackFromTheFile() {
    Session& session = *m_pSession;
    const std::string source = session.Home() + "/stream.bin";
    QVERIFY(Session::WriteWhole(source, Session::Pattern(kLongStream, 3)));
    QVERIFY(OpenRxFile(session.Engine()));
    m_pWindow->show();
    m_pDisplay->Start();
    QVERIFY(session.Connect(source));
    CHexListView* list = m_pDisplay->DataList();
    QVERIFY(QTest::qWaitFor([&] { return list->Rows().ByteCount() >= kLongStream; }, 120000));
    QVERIFY(list->IsFollowing());
    QCOMPARE(list->FirstVisibleRow() + list->VisibleRows(), list->RowCount());
    session.StopReaders();
    const Bytes file = Session::ReadWhole(session.Session().RxDataFile().GetName());
    QCOMPARE(file, Session::ReadWhole(source));
    QVERIFY(HoldsLittle(list));
    QCOMPARE(SampledRowsDiffer(list, file), QString());
  }

  // A window thread held up while a stream comes in: the data feed keeps at
  // most its limit and the list ends up showing the file byte for byte. The
  // rest is only counted when the list alone wants it (it reads its rows
  // from the file), and read back a bounded part per poll when something
  // else wants every byte too (here the tap, as a headless run's echo).
  void heldUpDisplayCatchesUpFromTheFile_data() {
    QTest::addColumn<bool>("tapped");
    QTest::newRow("only the list: counted") << false;
    QTest::newRow("a tap too: read back") << true;
  }
  void heldUpDisplayCatchesUpFromTheFile() {
    QFETCH(bool, tapped);
    Session& session = *m_pSession;
    const Bytes data = Session::Pattern(24u << 20, 8);
    const std::string source = session.Home() + "/stream.bin";
    QVERIFY(Session::WriteWhole(source, data));
    QVERIFY(OpenRxFile(session.Engine()));
    auto tap = std::make_shared<Bytes>();  // the display may outlive this function
    if (tapped) {
      m_pDisplay->SetRxTap([tap](RxChannel channel, const BYTE* bytes, size_t count) {
        if (channel == RxChannel::kData)
          tap->insert(tap->end(), bytes, bytes + count);
      });
    }
    m_pDisplay->Start();
    QVERIFY(session.Connect(source));
    // No poll meanwhile.
    QCOMPARE(session.Session().RxDataBuffer().WaitForCount(data.size(), 60000, nullptr), 1);
    QVERIFY(session.Session().RxDataFeed().HeldBytes() <= CReceivePump::kFeedLimit);
    CHexListView* list = m_pDisplay->DataList();
    m_pDisplay->UpdateRXDisplay();
    // Reading back is bounded a poll; counting costs nothing per byte.
    if (tapped)
      QVERIFY(list->Rows().ByteCount() <= CReceivePump::kFeedLimit + CReceivePump::kCatchUpPerPoll);
    QVERIFY(QTest::qWaitFor([&] { return list->Rows().ByteCount() >= data.size(); }, 60000));
    session.StopReaders();
    QCOMPARE(Session::ReadWhole(session.Session().RxDataFile().GetName()), data);
    QVERIFY(HoldsLittle(list));
    QCOMPARE(SampledRowsDiffer(list, data), QString());
    QVERIFY(*tap == (tapped ? data : Bytes{}));
  }

  // USM bytes go to a spill file in the Output folder; the USM list shows
  // that file and holds a small part of it, and the file goes with the
  // display.
  void usmRowsComeFromASpillFileRemovedWithTheDisplay() {
    Session& session = *m_pSession;
    QVERIFY(OpenRxFile(session.Engine()));
    m_pDisplay->Start();
    QVERIFY(session.Connect("", true));
    // Every USM byte is decoded into the status line too, which is slow:
    // a short stream, still longer than the list keeps in memory.
    const Bytes usm = Session::Pattern(256u << 10, 6);
    session.SendUsm(usm);
    CHexListView* list = m_pDisplay->UsmList();
    QVERIFY(QTest::qWaitFor([&] { return list->Rows().ByteCount() >= usm.size(); }, 60000));
    session.StopReaders();
    const std::vector<std::string> spills = SpillFiles(session.Home(), "RxUsm-pid");
    QCOMPARE(spills.size(), size_t{1});
    const Bytes spilled = Session::ReadWhole(spills[0]);
    QVERIFY(spilled.size() >= usm.size());  // and whatever status the printer sent first
    QVERIFY(std::equal(usm.begin(), usm.end(), spilled.end() - usm.size()));
    QVERIFY(HoldsLittle(list));
    QCOMPARE(SampledRowsDiffer(list, spilled), QString());
    cleanup();
    QVERIFY(!std::filesystem::exists(spills[0]));
    init();
  }

  // A printer flooding its USM channel with status messages: every status
  // reaches the logic's tap, in order, while the status line (whose words a
  // screen reader reads) changes once a poll, to the poll's last.
  void statusFloodShowsEachPollsLastStatusOnce() {
    Session& session = *m_pSession;
    QVERIFY(OpenRxFile(session.Engine()));
    QStringList tapped;
    m_pDisplay->SetStatusTap(
        [&](const PRINTER_STATUS_TEXT& t) { tapped << QString::fromStdString(t.Line()); });
    m_pDisplay->Start();
    QLabel* line = m_pDisplay->StatusLine();
    CStatusLineUpdates updates(line);
    constexpr size_t kMessages = 3 * CRxFeed::kBlockSize / 4 + 1;  // four blocks in one poll
    const Bytes usm = StatusMessages(kMessages + 1);
    session.Session().RxUsmFeed().Put(usm.data(), static_cast<DWORD>(kMessages * 4));
    m_pDisplay->UpdateRXDisplay();
    session.Session().RxUsmFeed().Put(usm.data() + kMessages * 4, 4);  // one more, the next poll
    m_pDisplay->UpdateRXDisplay();
    QStringList decoded;
    PRINTER_STATUS_TEXT last;
    std::vector<uint8_t> previous;
    for (auto at = usm.begin(); at != usm.end(); at += 4) {
      const std::vector<uint8_t> message(at, at + 4);
      last = CStatusDecoder::DecodeAutomatic(message, previous);
      decoded << QString::fromStdString(last.Line());
      previous = message;
    }
    QCOMPARE(tapped, decoded);
    QCOMPARE(updates.shown, (QStringList{decoded[kMessages - 1], decoded[kMessages]}));
    QCOMPARE(line->text(), decoded.last());
    QCOMPARE(line->toolTip(), QString::fromStdString(last.Line() + "\n" + last.strBitTable));
    QVERIFY(last.bChanged && !line->styleSheet().isEmpty());
    QCOMPARE(m_pDisplay->UsmList()->Rows().ByteCount(), usm.size());
  }

  void userScrolledAwayKeepsTheirPlace() {
    m_pWindow->show();
    CHexListView* list = m_pDisplay->DataList();
    const Bytes block = Session::Pattern(16 * 1000, 4);
    m_pDisplay->OnRxData(block.data(), block.size());
    QVERIFY(list->IsFollowing());
    list->verticalScrollBar()->setValue(100);
    m_pDisplay->OnRxData(block.data(), block.size());
    QCOMPARE(list->FirstVisibleRow(), 100u);
    QVERIFY(!list->IsFollowing());
  }

 private:
  std::unique_ptr<Session> m_pSession;  // made first, ended last
  std::unique_ptr<QWidget> m_pWindow;
  CReceiveDisplay* m_pDisplay = nullptr;
};

int RunReceiveDisplayTests(int argc, char** argv) {
  ReceiveDisplayTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ReceiveDisplay_test.moc"
