#include "testsupport/PrivateBus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/rtl/OsError.h"

namespace qm::testing {
namespace {

constexpr int AddressFd = 3;
constexpr auto StartTimeout = std::chrono::seconds(10);

[[noreturn]] void Fail(const std::string& what) { platform::RaiseOSError("private bus: " + what); }

// The program's path, looked up before forking (the child may not search).
std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr && *path != '\0' ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  errno = ENOENT;
  Fail("cannot find " + name + " (install the dbus-daemon package)");
}

std::string MakeFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qm-bus-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot make " + pattern);
  return pattern;
}

void WriteConfig(const std::string& path, const std::string& socket) {
  std::ofstream out(path);
  out << "<busconfig>\n"
         "  <type>session</type>\n"
         "  <listen>unix:path="
      << socket
      << "</listen>\n"
         "  <auth>EXTERNAL</auth>\n"
         "  <policy context=\"default\">\n"
         "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
         "    <allow eavesdrop=\"true\"/>\n"
         "    <allow own=\"*\"/>\n"
         "  </policy>\n"
         "  <limit name=\"max_incoming_bytes\">1000000000</limit>\n"
         "  <limit name=\"max_outgoing_bytes\">1000000000</limit>\n"
         "  <limit name=\"max_message_size\">1000000000</limit>\n"
         "  <limit name=\"reply_timeout\">60000</limit>\n"
         "</busconfig>\n";
  if (!out) Fail("cannot write " + path);
}

// Reads the line the daemon prints its address on.
std::string ReadAddress(int fd) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + StartTimeout;
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      errno = ETIMEDOUT;
      Fail("the daemon did not print its address");
    }
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      errno = EPIPE;
      Fail("the daemon ended before printing its address");
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  return text.substr(0, text.find('\n'));
}

}  // namespace

PrivateBus::PrivateBus() {
  try {
    Start();
  } catch (...) {
    Stop();
    throw;
  }
}

void PrivateBus::Start() {
  folder_ = MakeFolder();
  const std::string config = folder_ + "/bus.conf";
  WriteConfig(config, folder_ + "/bus");

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) Fail("pipe");
  // The daemon's complaints (e.g. that it may not raise its file limit)
  // would clutter every test's output; they are kept for a failed start.
  const std::string log = folder_ + "/daemon.log";
  const std::string program = FindProgram("dbus-daemon");
  const std::string configArg = "--config-file=" + config;
  const std::string printArg = "--print-address=" + std::to_string(AddressFd);
  char* argv[] = {const_cast<char*>("dbus-daemon"),    const_cast<char*>(configArg.c_str()),
                  const_cast<char*>("--nofork"),       const_cast<char*>("--nopidfile"),
                  const_cast<char*>(printArg.c_str()), nullptr};
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    // Only async-signal-safe calls until exec. The daemon must not outlive
    // a test process that crashes.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    const int in = ::open("/dev/null", O_RDONLY);
    const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(err, 2) < 0 ||
        ::dup2(pipeFds[1], AddressFd) < 0) {
      ::_exit(127);
    }
    ::execv(program.c_str(), argv);
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  pid_ = pid;
  try {
    address_ = ReadAddress(pipeFds[0]);
  } catch (const std::exception& e) {
    ::close(pipeFds[0]);
    std::ifstream in(log);
    const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    throw std::runtime_error(e.what() + (said.empty() ? "" : "; it said: " + said));
  }
  ::close(pipeFds[0]);
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
  ::unsetenv("DBUS_STARTER_ADDRESS");
  ::unsetenv("DBUS_STARTER_BUS_TYPE");
}

PrivateBus::~PrivateBus() {
  Stop();
}

void PrivateBus::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (!folder_.empty()) {
    ::unlink((folder_ + "/bus").c_str());
    ::unlink((folder_ + "/bus.conf").c_str());
    ::unlink((folder_ + "/daemon.log").c_str());
    ::rmdir(folder_.c_str());
    folder_.clear();
  }
}

}  // namespace qm::testing
