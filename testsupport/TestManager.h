// The manager for the add-on's tests and benchmarks, as real as it gets.
//
// TTestManager runs the real TQoraManager in this process on a real SQLite
// store (with the default content) in a temporary folder, and registers it
// in the running-object table, so that an agent's GetActiveObject finds it
// as it would find the user's manager. Stop revokes and releases it (the
// store stays); Start brings it back on the same store. Unregister and
// Register withdraw it from the table and put it back, still running. Store() is a
// second connection to the store, as the command line has, for seeding and
// for reading back what the add-on stored; the manager notices its commits.
// The folder goes away with the object.
//
// TManagerProcess runs `quillora-manager serve` as a child process on the
// session bus the process points at (a testing::PrivateBus), for tests that
// kill the manager for real. The child is killed and reaped when the object
// goes, also when a test fails.
//
// Both belong to the test's thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "core/Common/QuilloraLib.h"
#include "manager/store/ManagerStore.h"
#include "platform/com/Unknown.h"

namespace qm::manager {
class TQoraManager;
}

namespace qm::testing {

// A fresh temporary folder, removed with everything in it.
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::string& Path() const noexcept { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

class TTestManager {
public:
  // Starts the manager (Start) unless told not to.
  explicit TTestManager(bool start = true);
  ~TTestManager();
  TTestManager(const TTestManager&) = delete;
  TTestManager& operator=(const TTestManager&) = delete;

  void Start();
  void Stop();
  // Withdraws the running manager from the running-object table and puts
  // it back: meanwhile agents find only what else there is (a bus).
  void Unregister();
  void Register();
  bool Running() const noexcept { return static_cast<bool>(manager_); }
  const std::string& StorePath() const noexcept { return storePath_; }
  // The running manager; raises std::logic_error while stopped.
  manager::TQoraManager& Manager() const;
  IQoraServer& Server() const;
  // A second connection to the store.
  manager::TManagerStore& Store();

  // Seeding: a value of the active profile's field (by caption), and the
  // options word every agent takes on connecting.
  void SetFieldValue(const String& caption, const String& value);
  void SetOptions(int32_t word);
  // The form set names the manager holds for a page key.
  std::vector<String> FormSetNames(const String& pageKey);

private:
  TTempFolder folder_;
  std::string storePath_;
  platform::ComPtr<manager::TQoraManager> manager_;
  uint32_t cookie_ = 0;
  std::unique_ptr<manager::TManagerStore> store_;
};

class TManagerProcess {
public:
  // Starts the program serving storePath and waits (up to timeout) until
  // it owns the manager's bus name; raises std::runtime_error otherwise.
  explicit TManagerProcess(const std::string& storePath,
                           std::chrono::milliseconds timeout = std::chrono::seconds(20));
  ~TManagerProcess();
  TManagerProcess(const TManagerProcess&) = delete;
  TManagerProcess& operator=(const TManagerProcess&) = delete;

  // SIGKILL and reap: the manager is gone without a word.
  void Kill();
  bool Running() const noexcept { return pid_ > 0; }

private:
  pid_t pid_ = -1;
  int errFd_ = -1;
};

}  // namespace qm::testing
