// Helpers of the engine benchmarks: child processes, loopback sinks, test
// files, timing and memory figures. Loopback only: every socket here binds
// or connects to 127.0.0.1.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <thread>
#include <variant>
#include <vector>

// Seconds on CLOCK_MONOTONIC (steady_clock), so comparable across processes.
double NowSeconds();
double Median(std::vector<double> values);

// One option of a benchmark's command line: "--name value" stores the value
// in a text or number; a bool is a flag without a value.
struct BenchOption {
  const char* name;
  std::variant<std::string*, uint64_t*, int*, bool*> target;
};
// Reads argv[first..] by the table; false on a name not in it or a value
// missing.
bool ParseBenchOptions(int argc, char** argv, int first, std::initializer_list<BenchOption> table);

// Starts argv[0] (searched in PATH) with the rest as arguments; with
// stdoutFd, the child's standard output is a pipe whose read end is stored
// there. Returns the pid, or -1.
pid_t Spawn(const std::vector<std::string>& argv, int* stdoutFd = nullptr);
// Sends SIGTERM, waits up to 5 s, then SIGKILL; reaps the child.
void Stop(pid_t pid);
// Waits up to timeoutS for the child to exit; true when it did.
bool WaitExit(pid_t pid, double timeoutS);
// One line from fd (without the line break), waiting at most timeoutS.
std::string ReadLine(int fd, double timeoutS);
// The value of "name=N" in a line, or -1.
int FieldOf(const std::string& line, const std::string& name);

// Writes `size` pseudo-random bytes to path; false on failure.
bool MakeFile(const std::string& path, uint64_t size, unsigned seed);
bool SameContent(const std::string& a, const std::string& b);
uint64_t FileSize(const std::string& path);
// Waits until the file holds `size` bytes; the time it got there, or -1.
double WaitForFileSize(const std::string& path, uint64_t size, double timeoutS);
// Peak resident set of this process (VmHWM), in KiB.
long PeakRssKib();

// Counts the bytes that arrive on one accepted loopback TCP connection (or
// on a pseudo-terminal's master side) and notes when `expected` were seen.
class CByteSink {
 public:
  explicit CByteSink(uint64_t expected) : m_expected(expected) {}
  ~CByteSink();
  // Listens on 127.0.0.1 (a free port); false on failure.
  bool ListenTcp();
  int Port() const { return m_nPort; }
  // Opens a pseudo-terminal in raw mode; its slave's path.
  bool OpenPty();
  const std::string& SlavePath() const { return m_strSlave; }
  void Start();
  // The time the last expected byte arrived, or -1 after timeoutS.
  double WaitDone(double timeoutS);
  uint64_t Received() const { return m_received.load(); }

 private:
  void Run();
  uint64_t m_expected;
  int m_nListen = -1;
  int m_nFd = -1;
  int m_nPort = 0;
  std::string m_strSlave;
  std::atomic<uint64_t> m_received{0};
  std::atomic<double> m_doneAt{-1};
  std::atomic<bool> m_bStop{false};
  std::thread m_thread;
};

// Sends a file, as fast as the receiver takes it, to the first connection
// on a loopback port, and keeps the connection open until destroyed.
class CStreamSource {
 public:
  explicit CStreamSource(std::string path) : m_strPath(std::move(path)) {}
  ~CStreamSource();
  bool Listen();
  int Port() const { return m_nPort; }
  void Start();

 private:
  void Run();
  std::string m_strPath;
  int m_nListen = -1;
  int m_nPort = 0;
  std::atomic<bool> m_bStop{false};
  std::thread m_thread;
};
