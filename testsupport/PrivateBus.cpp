#include "testsupport/PrivateBus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace qm::testing {
namespace {

constexpr int AddressFd = 3;
constexpr auto StartTimeout = std::chrono::seconds(10);

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("private bus: " + what + ": " + std::strerror(errno));
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
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], AddressFd);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const std::string configArg = "--config-file=" + config;
  const std::string printArg = "--print-address=" + std::to_string(AddressFd);
  char* argv[] = {const_cast<char*>("dbus-daemon"),    const_cast<char*>(configArg.c_str()),
                  const_cast<char*>("--nofork"),       const_cast<char*>("--nopidfile"),
                  const_cast<char*>(printArg.c_str()), nullptr};
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, "dbus-daemon", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    errno = spawned;
    Fail("cannot start dbus-daemon");
  }
  pid_ = pid;
  try {
    address_ = ReadAddress(pipeFds[0]);
  } catch (...) {
    ::close(pipeFds[0]);
    throw;
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
    ::rmdir(folder_.c_str());
    folder_.clear();
  }
}

}  // namespace qm::testing
