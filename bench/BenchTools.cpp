#include "BenchTools.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <type_traits>

extern char** environ;

double NowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> values) {
  if (values.empty())
    return -1;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool ParseBenchOptions(int argc, char** argv, int first, std::initializer_list<BenchOption> table) {
  for (int i = first; i < argc; ++i) {
    const BenchOption* option = nullptr;
    for (const BenchOption& candidate : table) {
      if (std::strcmp(argv[i], candidate.name) == 0)
        option = &candidate;
    }
    if (option == nullptr)
      return false;
    if (bool* const* flag = std::get_if<bool*>(&option->target)) {
      **flag = true;
      continue;
    }
    if (++i == argc)
      return false;
    const char* value = argv[i];
    std::visit(
        [value](auto* target) {
          using T = std::remove_pointer_t<decltype(target)>;
          if constexpr (std::is_same_v<T, std::string>)
            *target = value;
          else if constexpr (std::is_same_v<T, uint64_t>)
            *target = std::strtoull(value, nullptr, 10);
          else if constexpr (std::is_same_v<T, int>)
            *target = std::atoi(value);
        },
        option->target);
  }
  return true;
}

pid_t Spawn(const std::vector<std::string>& argv, int* stdoutFd) {
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  if (stdoutFd != nullptr) {
    if (pipe(pipeFds) != 0)
      return -1;
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  }
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (stdoutFd != nullptr) {
    close(pipeFds[1]);
    *stdoutFd = pipeFds[0];
  }
  return rc == 0 ? pid : -1;
}

bool WaitExit(pid_t pid, double timeoutS) {
  double end = NowSeconds() + timeoutS;
  do {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid)
      return true;
    usleep(2000);
  } while (NowSeconds() < end);
  return false;
}

void Stop(pid_t pid) {
  if (pid <= 0)
    return;
  kill(pid, SIGTERM);
  if (!WaitExit(pid, 5)) {
    kill(pid, SIGKILL);
    WaitExit(pid, 5);
  }
}

std::string ReadLine(int fd, double timeoutS) {
  std::string line;
  double end = NowSeconds() + timeoutS;
  while (NowSeconds() < end) {
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0)
      continue;
    char c = 0;
    if (read(fd, &c, 1) != 1)
      break;
    if (c == '\n')
      return line;
    line.push_back(c);
  }
  return line;
}

int FieldOf(const std::string& line, const std::string& name) {
  size_t at = line.find(name + "=");
  return at == std::string::npos ? -1 : std::atoi(line.c_str() + at + name.size() + 1);
}

bool MakeFile(const std::string& path, uint64_t size, unsigned seed) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937_64 random(seed);
  std::vector<uint64_t> block(1 << 17);  // 1 MiB
  for (uint64_t done = 0; done < size && out;) {
    for (auto& w : block)
      w = random();
    uint64_t n = std::min<uint64_t>(size - done, block.size() * sizeof(uint64_t));
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    done += n;
  }
  return static_cast<bool>(out);
}

bool SameContent(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  std::vector<char> ba(1 << 20), bb(1 << 20);
  for (;;) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount())
      return false;
    if (fa.gcount() == 0)
      return true;
    if (std::memcmp(ba.data(), bb.data(), static_cast<size_t>(fa.gcount())) != 0)
      return false;
  }
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

double WaitForFileSize(const std::string& path, uint64_t size, double timeoutS) {
  double end = NowSeconds() + timeoutS;
  while (NowSeconds() < end) {
    if (FileSize(path) >= size)
      return NowSeconds();
    usleep(1000);
  }
  return -1;
}

long PeakRssKib() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0)
      return std::atol(line.c_str() + 6);
  }
  return -1;
}

namespace {

// A listening socket on 127.0.0.1 with a free port.
bool ListenOnLoopback(int* fd, int* port) {
  *fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (*fd < 0 || bind(*fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(*fd, 4) != 0 || getsockname(*fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return false;
  }
  *port = ntohs(addr.sin_port);
  return true;
}

}  // namespace

CByteSink::~CByteSink() {
  m_bStop = true;
  if (m_thread.joinable())
    m_thread.join();
  if (m_nFd >= 0)
    close(m_nFd);
  if (m_nListen >= 0)
    close(m_nListen);
}

bool CByteSink::ListenTcp() {
  return ListenOnLoopback(&m_nListen, &m_nPort);
}

bool CByteSink::OpenPty() {
  m_nFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (m_nFd < 0 || grantpt(m_nFd) != 0 || unlockpt(m_nFd) != 0)
    return false;
  m_strSlave = ptsname(m_nFd);
  // Raw on the slave side, so the line discipline passes bytes unchanged.
  int slave = open(m_strSlave.c_str(), O_RDWR | O_NOCTTY);
  if (slave < 0)
    return false;
  termios t{};
  tcgetattr(slave, &t);
  cfmakeraw(&t);
  tcsetattr(slave, TCSANOW, &t);
  close(slave);
  return true;
}

void CByteSink::Start() {
  m_thread = std::thread([this] { Run(); });
}

void CByteSink::Run() {
  std::vector<char> buffer(1 << 16);
  while (!m_bStop && m_nFd < 0) {
    struct pollfd p = {m_nListen, POLLIN, 0};
    if (poll(&p, 1, 50) > 0)
      m_nFd = accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
  }
  while (!m_bStop) {
    struct pollfd p = {m_nFd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0)
      continue;
    ssize_t n = read(m_nFd, buffer.data(), buffer.size());
    if (n <= 0) {
      if (n < 0 && errno == EIO) {  // a pty with no slave open for now
        usleep(1000);
        continue;
      }
      if (n == 0 && m_nListen >= 0)
        break;
      continue;
    }
    uint64_t total = m_received += static_cast<uint64_t>(n);
    if (total >= m_expected && m_doneAt.load() < 0)
      m_doneAt = NowSeconds();
  }
}

double CByteSink::WaitDone(double timeoutS) {
  double end = NowSeconds() + timeoutS;
  while (m_doneAt.load() < 0 && NowSeconds() < end)
    usleep(1000);
  return m_doneAt.load();
}

CStreamSource::~CStreamSource() {
  m_bStop = true;
  if (m_thread.joinable())
    m_thread.join();
  if (m_nListen >= 0)
    close(m_nListen);
}

bool CStreamSource::Listen() {
  return ListenOnLoopback(&m_nListen, &m_nPort);
}

void CStreamSource::Start() {
  m_thread = std::thread([this] { Run(); });
}

void CStreamSource::Run() {
  int fd = -1;
  while (!m_bStop && fd < 0) {
    struct pollfd p = {m_nListen, POLLIN, 0};
    if (poll(&p, 1, 50) > 0)
      fd = accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
  }
  if (fd < 0)
    return;
  int file = open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC);
  std::vector<char> buffer(1 << 16);
  ssize_t n = 0;
  while (!m_bStop && file >= 0 && (n = read(file, buffer.data(), buffer.size())) > 0) {
    for (ssize_t sent = 0; sent < n && !m_bStop;) {
      ssize_t w = send(fd, buffer.data() + sent, static_cast<size_t>(n - sent), MSG_NOSIGNAL);
      if (w <= 0) {
        m_bStop = true;
        break;
      }
      sent += w;
    }
  }
  if (file >= 0)
    close(file);
  while (!m_bStop)
    usleep(10000);
  close(fd);
}
