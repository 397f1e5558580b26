// gui_bench: the receive display under a long loopback stream from the
// virtual printer, on Qt's offscreen platform. Prints one "name=value" line
// per figure on stdout, the single runs on stderr:
//   gui_rx_ratio              raw reader's receive time / time until the last
//                             byte is in the data list (median of pairs)
//   gui_rx_rss_mib_per_100mb  peak resident memory added by the stream, per
//                             100 MB received
//   gui_rx_peak_rss_mib       the whole process's peak resident memory
//                             (median of the runs)
//   gui_max_stall_ms          the longest gap between ticks of a 5 ms timer
//                             on the window's thread during the stream
//   gui_seek_ms               the longest of kSeeks jumps to a random row of
//                             the full list, each until the list has painted
//                             its rows (rendered into an image)
//   gui_usm_rx_ms             --usm-mib MiB (4 unless given; 0: none) of
//                             automatic status messages on the USM channel,
//                             from the connection until the USM list holds
//                             them all and the status line shows the last
//                             (median of the pairs' runs)
//
//   gui_bench --sim PATH --dir DIR [--mib N] [--usm-mib N] [--pairs N]
//   gui_bench once --sim PATH --file F --out O --mode raw|gui|usm   (one run,
//                                            in a fresh process for its memory)
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QLabel>
#include <fstream>

#include "BenchTools.h"
#include "EngineSession.h"
#include "codec/StatusDecoder.h"
#include "mainwnd/HexListView.h"
#include "mainwnd/ReceiveDisplay.h"

namespace {

struct Options {
  std::string sim, dir, file, out, mode;
  uint64_t mib = 64;
  uint64_t usmMib = 4;
  // Single pairs on a shared 2-core virtual machine vary by a fifth either
  // way, both modes alike: the median of five is steadier than of three.
  int pairs = 5;
};

struct Run {
  double seconds = -1;
  long rssKib = -1;
  long baseKib = -1;
  double stallMs = -1;
  double seekMs = -1;
};

constexpr int kSeeks = 50;

// Automatic status messages a printer may send, each differing from some
// others, so the status line reports changes.
constexpr BYTE kUsmMessages[][CStatusDecoder::kAutomaticBytes] = {
    {0x14, 0x00, 0x00, 0x00}, {0x1C, 0x00, 0x00, 0x00}, {0x3C, 0x00, 0x00, 0x00},
    {0x14, 0x00, 0x03, 0x00}, {0x1C, 0x00, 0x0F, 0x00}, {0x14, 0x08, 0x00, 0x00}};

// `size` bytes of messages in a pseudo-random order.
bool MakeUsmFile(const std::string& path, uint64_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::uint32_t x = 7;
  for (uint64_t done = 0; done + CStatusDecoder::kAutomaticBytes <= size && out;
       done += CStatusDecoder::kAutomaticBytes) {
    x = x * 1664525u + 1013904223u;
    out.write(reinterpret_cast<const char*>(kUsmMessages[(x >> 24) % std::size(kUsmMessages)]),
              CStatusDecoder::kAutomaticBytes);
  }
  return static_cast<bool>(out);
}

// The status line's text after the last message of the file.
std::string LastStatusLine(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> previous(CStatusDecoder::kAutomaticBytes), last(previous.size());
  in.seekg(-2 * static_cast<std::streamoff>(previous.size()), std::ios::end);
  in.read(reinterpret_cast<char*>(previous.data()), static_cast<std::streamsize>(previous.size()));
  in.read(reinterpret_cast<char*>(last.data()), static_cast<std::streamsize>(last.size()));
  return CStatusDecoder::DecodeAutomatic(last, previous).Line();
}

// The printer simulator streaming `file` to its first main connection (none
// for the USM run: the bench streams the USM channel itself).
pid_t StartSim(const Options& o, int* port) {
  int out = -1;
  std::vector<std::string> argv = {o.sim, "--main-port", "0", "--rt-port", "0", "--usm-port", "0"};
  if (o.mode != "usm")
    argv.insert(argv.end(), {"--stream", o.file});
  pid_t sim = Spawn(argv, &out);
  *port = FieldOf(ReadLine(out, 10), "main");
  close(out);
  return sim;
}

double RawReceive(CEngineSession& session, int port, uint64_t size, const Options& o) {
  double t0 = NowSeconds();
  if (!session.ConnectTcp(port) || !session.StartReceiving(o.out))
    return -1;
  double done = WaitForFileSize(o.out, size, 600);
  return done < 0 ? -1 : done - t0;
}

// The longest of kSeeks jumps to a random row, each until painted.
double SeekMs(CHexListView* list) {
  QScrollBar* bar = list->verticalScrollBar();
  std::uint64_t x = 88172645463325252ull;
  double worst = 0;
  for (int i = 0; i < kSeeks; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    const double t0 = NowSeconds();
    bar->setValue(static_cast<int>(x % static_cast<std::uint64_t>(bar->maximum() + 1)));
    list->viewport()->grab();  // renders now, whatever the platform exposes
    worst = std::max(worst, NowSeconds() - t0);
  }
  return worst * 1000.0;
}

double GuiReceive(CEngineSession& session, int port, uint64_t size, const Options& o,
                  double* stallMs, double* seekMs) {
  QWidget window;
  window.resize(960, 654);
  CReceiveDisplay display(&window, session.Session().Engine());
  window.show();
  // As the window's start-up: the received-data file, the display, the port.
  if (!session.OpenReceivedData(o.out))
    return -1;
  display.Start();
  double t0 = NowSeconds();
  double done = -1;
  double last = t0;
  double worst = 0;
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const double now = NowSeconds();
    worst = std::max(worst, now - last);
    last = now;
    if (display.DataList()->Rows().ByteCount() >= size) {
      done = now;
      QApplication::quit();
    }
  });
  QTimer::singleShot(600000, [] { QApplication::quit(); });
  if (!session.ConnectTcp(port) || !session.StartReaders())
    return -1;
  tick.start();
  QApplication::exec();
  *stallMs = worst * 1000.0;
  if (done > 0)
    *seekMs = SeekMs(display.DataList());
  display.Stop();
  return done < 0 ? -1 : done - t0;
}

// The file sent on the USM channel into a shown display with the USM list:
// the time until the list holds it all and the status line shows its last
// message, or -1.
double UsmReceive(CEngineSession& session, int port, uint64_t size, const Options& o) {
  CStreamSource usm(o.file);
  if (!usm.Listen())
    return -1;
  usm.Start();
  const QString last = QString::fromStdString(LastStatusLine(o.file));
  QWidget window;
  window.resize(960, 654);
  CReceiveDisplay display(&window, session.Session().Engine());
  display.LayoutReceiveLists(1);
  window.show();
  if (!session.OpenReceivedData(o.out))
    return -1;
  display.Start();
  const double t0 = NowSeconds();
  double done = -1;
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (display.UsmList()->Rows().ByteCount() >= size && display.StatusLine()->text() == last) {
      done = NowSeconds();
      QApplication::quit();
    }
  });
  QTimer::singleShot(600000, [] { QApplication::quit(); });
  if (!session.ConnectTcp(port, usm.Port()) || !session.StartReaders())
    return -1;
  tick.start();
  QApplication::exec();
  display.Stop();
  return done < 0 ? -1 : done - t0;
}

int Once(const Options& o) {
  const uint64_t size = FileSize(o.file);
  int port = -1;
  pid_t sim = StartSim(o, &port);
  Run run;
  run.baseKib = PeakRssKib();
  {
    CEngineSession session;
    if (port > 0 && o.mode == "usm") {
      run.seconds = UsmReceive(session, port, size, o);
    } else if (port > 0) {
      run.seconds = o.mode == "gui" ? GuiReceive(session, port, size, o, &run.stallMs, &run.seekMs)
                                    : RawReceive(session, port, size, o);
    }
    run.rssKib = PeakRssKib();
    session.Close();
  }
  Stop(sim);
  const bool same = run.seconds > 0 && (o.mode == "usm" || SameContent(o.out, o.file));
  unlink(o.out.c_str());
  std::printf("seconds=%.4f rss_kib=%ld base_kib=%ld stall_us=%ld seek_us=%ld ok=%d\n", run.seconds,
              run.rssKib, run.baseKib, static_cast<long>(run.stallMs * 1000),
              static_cast<long>(run.seekMs * 1000), same ? 1 : 0);
  std::fflush(stdout);
  return same ? 0 : 1;
}

Run OnceInChild(const Options& o, const char* mode, const std::string& file) {
  // Every run writes the stream to disk: start each with nothing left to
  // write back from the one before, or that writeback lands on this run.
  sync();
  int fd = -1;
  pid_t pid = Spawn({"/proc/self/exe", "once", "--sim", o.sim, "--file", file, "--out",
                     o.dir + "/gui-rx.bin", "--mode", mode},
                    &fd);
  std::string line = ReadLine(fd, 900);
  close(fd);
  WaitExit(pid, 30);
  Stop(pid);
  Run run;
  if (line.find("ok=1") == std::string::npos)
    return run;
  run.seconds = std::atof(line.c_str() + line.find("seconds=") + 8);
  run.rssKib = FieldOf(line, "rss_kib");
  run.baseKib = FieldOf(line, "base_kib");
  run.stallMs = FieldOf(line, "stall_us") / 1000.0;
  run.seekMs = FieldOf(line, "seek_us") / 1000.0;
  return run;
}

bool ParseOptions(int argc, char** argv, int first, Options* o) {
  return ParseBenchOptions(argc, argv, first,
                           {{"--sim", &o->sim},
                            {"--dir", &o->dir},
                            {"--file", &o->file},
                            {"--out", &o->out},
                            {"--mode", &o->mode},
                            {"--mib", &o->mib},
                            {"--usm-mib", &o->usmMib},
                            {"--pairs", &o->pairs}}) &&
         !o->sim.empty();
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  Options o;
  if (argc > 1 && std::string(argv[1]) == "once") {
    if (!ParseOptions(argc, argv, 2, &o))
      return 2;
    // The lists' spill files, if any, go beside the output, never to $HOME.
    const std::string home = o.out.substr(0, o.out.rfind('/'));
    setenv("SENDRIX_HOME", home.c_str(), 1);
    mkdir((home + "/Output").c_str(), 0755);
    QApplication app(argc, argv);
    return Once(o);
  }
  if (!ParseOptions(argc, argv, 1, &o) || o.dir.empty()) {
    std::fprintf(stderr,
                 "usage: gui_bench --sim PATH --dir DIR [--mib N] [--usm-mib N] [--pairs N]\n");
    return 2;
  }
  const uint64_t size = o.mib << 20;
  o.file = o.dir + "/gui-payload.bin";
  if (!MakeFile(o.file, size, 5))
    return 1;
  const std::string usmFile = o.dir + "/gui-usm.bin";
  if (o.usmMib > 0 && !MakeUsmFile(usmFile, o.usmMib << 20))
    return 1;
  std::vector<double> ratios, rss, peaks, stalls, seeks, usms;
  for (int i = 0; i < o.pairs; ++i) {
    Run raw = OnceInChild(o, "raw", o.file);
    Run gui = OnceInChild(o, "gui", o.file);
    std::fprintf(stderr,
                 "gui_rx pair %d: raw %.3f s, list %.3f s, rss %ld KiB over %ld KiB, "
                 "stall %.1f ms, seek %.2f ms\n",
                 i + 1, raw.seconds, gui.seconds, gui.rssKib, gui.baseKib, gui.stallMs, gui.seekMs);
    if (raw.seconds > 0 && gui.seconds > 0) {
      ratios.push_back(raw.seconds / gui.seconds);
      const double mib = static_cast<double>(gui.rssKib - gui.baseKib) / 1024.0;
      rss.push_back(mib * 1e8 / static_cast<double>(size));
      peaks.push_back(static_cast<double>(gui.rssKib) / 1024.0);
      stalls.push_back(gui.stallMs);
      seeks.push_back(gui.seekMs);
    }
    if (o.usmMib > 0) {
      Run usm = OnceInChild(o, "usm", usmFile);
      std::fprintf(stderr, "gui_usm run %d: %llu MiB in %.3f s\n", i + 1,
                   static_cast<unsigned long long>(o.usmMib), usm.seconds);
      if (usm.seconds > 0)
        usms.push_back(usm.seconds * 1000.0);
    }
  }
  unlink(o.file.c_str());
  unlink(usmFile.c_str());
  std::printf("gui_rx_ratio=%.3f\n", Median(ratios));
  std::printf("gui_rx_rss_mib_per_100mb=%.1f\n", Median(rss));
  std::printf("gui_rx_peak_rss_mib=%.1f\n", Median(peaks));
  std::printf("gui_max_stall_ms=%.1f\n",
              stalls.empty() ? -1.0 : *std::max_element(stalls.begin(), stalls.end()));
  std::printf("gui_seek_ms=%.2f\n",
              seeks.empty() ? -1.0 : *std::max_element(seeks.begin(), seeks.end()));
  if (o.usmMib > 0)
    std::printf("gui_usm_rx_ms=%.0f\n", Median(usms));
  return ratios.empty() || (o.usmMib > 0 && usms.empty()) ? 1 : 0;
}
