// engine_bench: the transfer engine's throughput and the log's, against the
// tools everyone knows (socat, cat), over loopback TCP and a pseudo-terminal.
// Prints one "name=value" line per figure on stdout; the single runs behind
// each figure go to stderr, so the noise can be seen.
//
//   engine_bench --sim PATH --dir DIR [--mib N] [--pairs N] [--only tcp|pty|rx|firmware|log]
//                [--rx-source sim|bench]
//   engine_bench rx-once --sim PATH --file F --out O   (one receive, in a fresh
//                                                        process for its memory)
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchTools.h"
#include "EngineSession.h"

namespace {

struct Options {
  std::string sim;
  std::string dir;
  std::string file;
  std::string out;
  uint64_t mib = 256;
  int pairs = 3;
  // "bench" (default): a plain loopback sender in this process; "sim": the
  // printer simulator's --stream, which paces itself below what is measured
  // here (about 2.6 MB/s), so both receivers would only measure it.
  std::string rxSource = "sim";
  std::string only;  // one of tcp, pty, rx, firmware, log; empty: all
};

bool Wanted(const Options& o, const char* figure) {
  return o.only.empty() || o.only == figure;
}

// Sendrix and the reference tool in turn; the median of the ratios of
// their throughputs (reference time / Sendrix time).
template <typename Ours, typename Theirs>
double RatioOfPairs(const char* name, int pairs, Ours ours, Theirs theirs) {
  std::vector<double> ratios;
  for (int i = 0; i < pairs; ++i) {
    double a = ours();
    double b = theirs();
    std::fprintf(stderr, "%s pair %d: sendrix %.3f s, reference %.3f s\n", name, i + 1, a, b);
    if (a > 0 && b > 0)
      ratios.push_back(b / a);
  }
  return Median(ratios);
}

double SocatSend(const Options& o, uint64_t size) {
  CByteSink sink(size);
  if (!sink.ListenTcp())
    return -1;
  sink.Start();
  double t0 = NowSeconds();
  pid_t pid =
      Spawn({"socat", "-u", "OPEN:" + o.file, "TCP:127.0.0.1:" + std::to_string(sink.Port())});
  double done = sink.WaitDone(600);
  WaitExit(pid, 10);
  Stop(pid);
  return done < 0 ? -1 : done - t0;
}

double CatToPty(const Options& o, uint64_t size) {
  CByteSink sink(size);
  if (!sink.OpenPty())
    return -1;
  sink.Start();
  double t0 = NowSeconds();
  pid_t pid = Spawn({"sh", "-c", "exec cat \"$0\" > \"$1\"", o.file, sink.SlavePath()});
  double done = sink.WaitDone(600);
  WaitExit(pid, 10);
  Stop(pid);
  return done < 0 ? -1 : done - t0;
}

// Where the received stream comes from: a plain loopback sender in this
// process (--rx-source bench), or the printer simulator streaming `file` to
// its first main connection (--rx-source sim).
struct StreamSource {
  pid_t sim = -1;
  std::unique_ptr<CStreamSource> own;
  int port = -1;
  ~StreamSource() { Stop(sim); }
};

bool StartSource(const Options& o, const std::string& file, StreamSource* source) {
  if (o.rxSource != "sim") {
    source->own = std::make_unique<CStreamSource>(file);
    if (!source->own->Listen())
      return false;
    source->own->Start();
    source->port = source->own->Port();
    return true;
  }
  int out = -1;
  source->sim = Spawn(
      {o.sim, "--main-port", "0", "--rt-port", "0", "--usm-port", "0", "--stream", file}, &out);
  std::string ready = ReadLine(out, 10);
  close(out);
  source->port = FieldOf(ready, "main");
  return source->port > 0;
}

double SocatReceive(const Options& o, uint64_t size) {
  StreamSource source;
  if (!StartSource(o, o.file, &source))
    return -1;
  const int port = source.port;
  std::string out = o.dir + "/socat-rx.bin";
  unlink(out.c_str());
  double t0 = NowSeconds();
  pid_t pid = Spawn(
      {"socat", "-u", "TCP:127.0.0.1:" + std::to_string(port), "OPEN:" + out + ",creat,trunc"});
  double done = WaitForFileSize(out, size, 600);
  Stop(pid);
  bool same = SameContent(out, o.file);
  unlink(out.c_str());
  return done < 0 || !same ? -1 : done - t0;
}

// One Sendrix receive in a fresh process: its time and its peak memory.
double SendrixReceive(const Options& o, const std::string& file, long* rssKib) {
  std::string out = o.dir + "/sendrix-rx.bin";
  int fd = -1;
  pid_t pid = Spawn({"/proc/self/exe", "rx-once", "--sim", o.sim, "--file", file, "--out", out,
                     "--rx-source", o.rxSource},
                    &fd);
  std::string line = ReadLine(fd, 900);
  close(fd);
  WaitExit(pid, 30);
  Stop(pid);
  unlink(out.c_str());
  if (line.find("ok=1") == std::string::npos)
    return -1;
  if (rssKib != nullptr)
    *rssKib = FieldOf(line, "rss_kib");
  return std::atof(line.c_str() + line.find("seconds=") + 8);
}

int RxOnce(const Options& o) {
  StreamSource source;
  if (!StartSource(o, o.file, &source))
    return 1;
  const int port = source.port;
  uint64_t size = FileSize(o.file);
  CEngineSession session;
  double t0 = NowSeconds();
  double done = -1;
  if (session.ConnectTcp(port) && session.StartReceiving(o.out)) {
    done = WaitForFileSize(o.out, size, 600);
  }
  session.Close();
  bool same = done > 0 && SameContent(o.out, o.file);
  std::printf("seconds=%.4f rss_kib=%ld ok=%d\n", done - t0, PeakRssKib(), same ? 1 : 0);
  std::fflush(stdout);
  return same ? 0 : 1;
}

double Firmware(const Options& o) {
  std::string image = o.dir + "/firmware.bin";
  MakeFile(image, 16u << 20, 9);
  int out = -1;
  pid_t sim = Spawn(
      {o.sim, "--main-port", "0", "--rt-port", "0", "--usm-port", "0", "--erase-ms", "0"}, &out);
  int port = FieldOf(ReadLine(out, 10), "main");
  close(out);
  double seconds = -1;
  {
    CEngineSession session;
    if (port > 0 && session.ConnectTcp(port))
      seconds = session.DownloadFirmware(image);
  }
  Stop(sim);
  unlink(image.c_str());
  return seconds;
}

bool ParseOptions(int argc, char** argv, int first, Options* o) {
  return ParseBenchOptions(argc, argv, first,
                           {{"--sim", &o->sim},
                            {"--dir", &o->dir},
                            {"--file", &o->file},
                            {"--out", &o->out},
                            {"--mib", &o->mib},
                            {"--pairs", &o->pairs},
                            {"--only", &o->only},
                            {"--rx-source", &o->rxSource}}) &&
         !o->sim.empty();
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  Options o;
  if (argc > 1 && std::string(argv[1]) == "rx-once") {
    return ParseOptions(argc, argv, 2, &o) ? RxOnce(o) : 2;
  }
  if (!ParseOptions(argc, argv, 1, &o) || o.dir.empty()) {
    std::fprintf(stderr,
                 "usage: engine_bench --sim PATH --dir DIR [--mib N] [--pairs N] [--only FIGURE] "
                 "[--rx-source sim|bench]\n");
    return 2;
  }
  const uint64_t size = o.mib << 20;
  o.file = o.dir + "/payload.bin";
  if (!MakeFile(o.file, size, 1))
    return 1;

  if (Wanted(o, "tcp")) {
    double tcp = RatioOfPairs(
        "tcp_send", o.pairs, [&] { return CEngineSession::SendOverTcp(o.file); },
        [&] { return SocatSend(o, size); });
    std::printf("tcp_send_ratio_vs_socat=%.3f\n", tcp);
    std::fflush(stdout);
  }

  if (Wanted(o, "pty")) {
    double pty = RatioOfPairs(
        "pty_send", o.pairs, [&] { return CEngineSession::SendOverPty(o.file); },
        [&] { return CatToPty(o, size); });
    std::printf("pty_send_ratio_vs_cat=%.3f\n", pty);
    std::fflush(stdout);
  }

  if (Wanted(o, "rx")) {
    long rss = -1;
    double rx = RatioOfPairs(
        "rx_tcp", o.pairs, [&] { return SendrixReceive(o, o.file, &rss); },
        [&] { return SocatReceive(o, size); });
    std::printf("rx_tcp_ratio_vs_socat=%.3f\n", rx);
    std::printf("rx_peak_rss_mib=%.1f\n", static_cast<double>(rss) / 1024.0);
    // The same receive of a sixteenth of the stream: the peak should not move.
    std::string small = o.dir + "/payload-small.bin";
    MakeFile(small, size / 16, 3);
    long smallRss = -1;
    SendrixReceive(o, small, &smallRss);
    unlink(small.c_str());
    std::fprintf(stderr, "rx peak RSS: %ld KiB for %llu MiB, %ld KiB for %llu MiB\n", rss,
                 static_cast<unsigned long long>(o.mib), smallRss,
                 static_cast<unsigned long long>(o.mib / 16));
    std::printf("rx_peak_rss_small_stream_mib=%.1f\n", static_cast<double>(smallRss) / 1024.0);
    std::fflush(stdout);
  }

  if (Wanted(o, "firmware")) {
    std::vector<double> fw;
    for (int i = 0; i < o.pairs; ++i) {
      fw.push_back(Firmware(o));
      std::fprintf(stderr, "firmware run %d: %.3f s\n", i + 1, fw.back());
    }
    std::printf("firmware_16mib_tcp_s=%.3f\n", Median(fw));
    std::fflush(stdout);
  }

  if (Wanted(o, "log")) {
    double mibPerS = 0;
    bool lossless = CEngineSession::LogLossless(o.dir, 64, &mibPerS);
    std::printf("log_lossless=%d\n", lossless ? 1 : 0);
    std::printf("log_mib_per_s=%.1f\n", mibPerS);
  }
  unlink(o.file.c_str());
  return 0;
}
