#include "testsupport/TestManager.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "manager/recognition/DefaultContent.h"
#include "manager/service/QoraManager.h"
#include "platform/com/RunningObjects.h"

extern char** environ;

namespace qm::testing {

TTempFolder::TTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qm-bho-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TTempFolder::~TTempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

// --- TTestManager ---

TTestManager::TTestManager(bool start) : storePath_(folder_.File("manager.db")) {
  if (start) Start();
}

TTestManager::~TTestManager() {
  Stop();
  store_.reset();
}

void TTestManager::Start() {
  if (manager_) return;
  manager_ = platform::MakeCom<manager::TQoraManager>(
      std::make_unique<manager::TManagerStore>(storePath_, &manager::DefaultContent()));
  Register();
}

void TTestManager::Stop() {
  Unregister();
  manager_ = nullptr;
}

void TTestManager::Unregister() {
  if (cookie_ != 0) platform::RevokeActiveObject(cookie_);
  cookie_ = 0;
}

void TTestManager::Register() {
  if (!manager_ || cookie_ != 0) return;
  cookie_ = platform::RegisterActiveObject(
      CLASS_QoraServer, platform::ComPtr<platform::IUnknown>(manager_.As<platform::IUnknown>()));
}

manager::TQoraManager& TTestManager::Manager() const {
  if (!manager_) throw std::logic_error("the test manager is stopped");
  return *manager_;
}

IQoraServer& TTestManager::Server() const {
  return Manager();
}

manager::TManagerStore& TTestManager::Store() {
  if (!store_) store_ = std::make_unique<manager::TManagerStore>(storePath_, nullptr);
  return *store_;
}

void TTestManager::SetFieldValue(const String& caption, const String& value) {
  manager::TManagerStore& store = Store();
  store.SetFieldValue(store.ActiveProfile().Id, store.FieldCaptioned(caption).Id, value);
}

void TTestManager::SetOptions(int32_t word) {
  Store().SetOptionsWord(word);
}

std::vector<String> TTestManager::FormSetNames(const String& pageKey) {
  return Store().CardNames(pageKey, manager::StoredFormSet);
}

// --- TManagerProcess ---

TManagerProcess::TManagerProcess(const std::string& storePath, std::chrono::milliseconds timeout) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string program = QM_MANAGER_PROGRAM;
  std::vector<std::string> args = {program, "serve", "--db", storePath, "--poll", "50"};
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  errFd_ = fds[0];
  if (rc != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + program);
  }
  // The service says on its standard error when it owns the name.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string log;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{errFd_, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (poll(&p, 1, static_cast<int>(std::max<int64_t>(left.count(), 0))) <= 0) break;
    char c = 0;
    if (read(errFd_, &c, 1) != 1) break;
    log += c;
    if (log.find("serving org.quillora.Manager") != std::string::npos) return;
  }
  Kill();
  throw std::runtime_error("the manager did not start: " + log);
}

TManagerProcess::~TManagerProcess() {
  Kill();
  if (errFd_ >= 0) close(errFd_);
}

void TManagerProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace qm::testing
