// The receive display: the row format and rows completed across messages,
// the USM list's layout, and, against the virtual printer over loopback,
// "Clear Buffer" and "Save As" during reception, the second instance's file
// name, and a long stream shown byte for byte.
#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <cstdio>

#include "engine/ReceivedDataFile.h"
#include "engine/TransferGlobals.h"
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

bool OpenRxFile() {
  std::string name;
  return CReceivedDataFile::Open(&name) == 1;
}

Bytes Range(int first, int count) {
  Bytes b;
  for (int i = 0; i < count; ++i)
    b.push_back(static_cast<BYTE>(first + i));
  return b;
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<std::vector<BYTE>>)

class ReceiveDisplayTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_pWindow = std::make_unique<QWidget>();
    m_pWindow->resize(960, 654);
    m_pDisplay = new CReceiveDisplay(m_pWindow.get());
  }
  void cleanup() {
    delete m_pDisplay;
    m_pWindow.reset();
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

  void secondInstanceUsesThePidName() {
    Session session;
    CMyFile first;  // the instance that holds the plain name
    QCOMPARE(first.Open(session.Home() + "/Output/RxData.bin", CMyFile::kModeWrite, 0), 1);
    std::string opened;
    QCOMPARE(CReceivedDataFile::Open(&opened), 1);
    char name[64];
    std::snprintf(name, sizeof name, "/Output/RxData-pid%X.bin", GetCurrentProcessId());
    QCOMPARE(opened, session.Home() + name);
    g_RxDataFile.Close();
    first.Close();
    QCOMPARE(CReceivedDataFile::Open(&opened), 1);  // alone again: the plain name
    QCOMPARE(opened, session.Home() + "/Output/RxData.bin");
  }

  void clearDuringReceptionStartsAnEmptyListAndFile() {
    Session session;
    QVERIFY(OpenRxFile());
    m_pDisplay->Start();
    QVERIFY(session.Connect());
    session.Send(Session::Pattern(50001, 1));
    QVERIFY(QTest::qWaitFor([&] { return m_pDisplay->DataList()->Rows().ByteCount() > 0; }));
    QCOMPARE(g_RxDataBuffer.WaitForCount(50001, 10000, nullptr), 1);  // the rest waits in the feed
    m_pDisplay->OnClearBuffer();
    QCOMPARE(m_pDisplay->DataList()->RowCount(), 0u);
    QVERIFY(Session::ReadWhole(g_RxDataFile.GetName()).empty());
    const Bytes after = Range(0x41, 20);
    session.Send(after);
    QVERIFY(QTest::qWaitFor([&] { return m_pDisplay->DataList()->Rows().ByteCount() >= 20; }));
    QTest::qWait(30);
    QCOMPARE(Rows(m_pDisplay->DataList()),
             (QStringList{"41 42 43 44 45 46 47 48 - 49 4A 4B 4C 4D 4E 4F 50 |ABCDEFGHIJKLMNOP",
                          "51 52 53 54 |QRST"}));
    session.StopReaders();
    QCOMPARE(Session::ReadWhole(g_RxDataFile.GetName()), after);
  }

  void saveAsDuringAStreamCopiesAPrefix() {
    Session session;
    const Bytes data = Session::Pattern(16u << 20, 2);
    const std::string source = session.Home() + "/stream.bin";
    QVERIFY(Session::WriteWhole(source, data));
    QVERIFY(OpenRxFile());
    m_pDisplay->Start();
    QVERIFY(session.Connect(source));
    const std::string copy = session.Home() + "/copy.bin";
    int duringStream = 0;
    for (int i = 0; i < 2000 && m_pDisplay->DataList()->Rows().ByteCount() < data.size(); ++i) {
      const std::uint64_t shown = m_pDisplay->DataList()->Rows().ByteCount();
      const bool streaming = g_RxDataBuffer.GetCount() < data.size();
      QCOMPARE(m_pDisplay->SaveAs(QString::fromStdString(copy)), 1);
      const Bytes got = Session::ReadWhole(copy);
      // Every byte shown before the copy began is in it, and it is a prefix.
      QVERIFY(got.size() >= shown && got.size() <= data.size());
      QVERIFY(std::equal(got.begin(), got.end(), data.begin()));
      duringStream += streaming && g_RxDataBuffer.GetCount() < data.size() ? 1 : 0;
      QTest::qWait(2);
    }
    QVERIFY(duringStream > 0);
    QVERIFY(QTest::qWaitFor(
        [&] { return m_pDisplay->DataList()->Rows().ByteCount() == data.size(); }, 60000));
    session.StopReaders();
    QCOMPARE(Session::ReadWhole(g_RxDataFile.GetName()), data);  // appends at the end
    QCOMPARE(m_pDisplay->SaveAs(QString::fromStdString(session.Home() + "/no/such/dir/x.bin")), 0);
  }

  // A long stream at full loopback speed: every row equals the dump of the
  // received-data file, which equals what the printer sent.
  void longStreamIsShownByteForByte() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const size_t size = 8u << 20;  // sanitizers: a smaller stream, the same checks
#else
    const size_t size = 64u << 20;
#endif
    Session session;
    const std::string source = session.Home() + "/stream.bin";
    QVERIFY(Session::WriteWhole(source, Session::Pattern(size, 3)));
    QVERIFY(OpenRxFile());
    m_pWindow->show();
    m_pDisplay->Start();
    QVERIFY(session.Connect(source));
    CHexListView* list = m_pDisplay->DataList();
    QVERIFY(QTest::qWaitFor([&] { return list->Rows().ByteCount() >= size; }, 120000));
    QVERIFY(list->IsFollowing());
    QCOMPARE(list->FirstVisibleRow() + list->VisibleRows(), list->RowCount());
    session.StopReaders();
    const Bytes file = Session::ReadWhole(g_RxDataFile.GetName());
    QCOMPARE(file.size(), size);
    QCOMPARE(list->RowCount(), static_cast<std::uint64_t>((size + 15) / 16));
    std::string hex, ascii, wantHex, wantAscii;
    for (std::uint64_t r = 0; r < list->RowCount(); ++r) {
      const size_t offset = static_cast<size_t>(r) * 16;
      list->Rows().RowText(r, &hex, &ascii);
      ExpectedRow(file.data() + offset, std::min<size_t>(16, size - offset), &wantHex, &wantAscii);
      if (hex != wantHex || ascii != wantAscii)
        QFAIL(qPrintable(QString("row %1 differs: %2").arg(r).arg(QString::fromStdString(hex))));
    }
    QCOMPARE(file, Session::ReadWhole(source));
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
  std::unique_ptr<QWidget> m_pWindow;
  CReceiveDisplay* m_pDisplay = nullptr;
};

int RunReceiveDisplayTests(int argc, char** argv) {
  ReceiveDisplayTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ReceiveDisplay_test.moc"
