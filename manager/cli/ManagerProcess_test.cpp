// The quillora-manager program run as people run it, in a child process.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "manager/store/JsonUtils.h"
#include "manager/store/ManagerStore.h"
#include "manager/store/StoreJson.h"
#include "manager/store/StoreTesting.h"
#include "platform/rtl/Utf.h"

extern char** environ;

namespace qm::manager {
namespace {

using testing::TTempDir;

// A child running the program, its standard error on a pipe.
class TChild {
public:
  explicit TChild(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    std::string program = QM_MANAGER_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    errFd_ = fds[0];
    if (rc != 0) throw std::runtime_error("cannot start " + program);
  }
  ~TChild() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    close(errFd_);
  }

  // The next line the child writes to standard error; empty at its end.
  std::string ReadLine() {
    std::string line;
    char c = 0;
    while (read(errFd_, &c, 1) == 1) {
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }
  int Wait() {
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) pid_ = -1;
    return status;
  }
  void Kill(int signal) { kill(pid_, signal); }

private:
  pid_t pid_ = -1;
  int errFd_ = -1;
};

// A document with many cards, written as export writes it.
std::string LargeImport(const std::string& path, size_t cards) {
  TManagerStore store(path, nullptr);
  store.AddProfile(u"Imported");
  for (size_t i = 0; i < cards; ++i) {
    TCardRecord card;
    card.Kind = StoredNavigation;
    card.OwnerKey = u"https://site" + std::u16string(1, u'a' + i % 26) + u".example/" +
                    std::u16string(i % 7 + 1, u'p');
    card.Name = u"card " + std::u16string(1, u'A' + i % 26) + u" " +
                std::u16string(platform::Utf8ToUtf16(std::to_string(i)));
    card.Data.assign(300, static_cast<uint8_t>(i));
    store.SaveCard(card, {});
  }
  return DumpJson(ExportStore(store), -1);
}

TEST(ManagerDurability, AKilledImportLeavesTheStoreWholeWithAllOrNothing) {
  TTempDir dir;
  constexpr size_t cards = 20000;
  const std::string document = dir.File("big.json");
  std::ofstream(document) << LargeImport(dir.File("source.db"), cards);
  const std::string db = dir.File("target.db");
  {
    TManagerStore before(db, nullptr);
    before.AddProfile(u"Before");
  }
  TChild child({"import", document, "--db", db});
  // Wait until the import is under way inside its transaction.
  std::string line;
  do {
    line = child.ReadLine();
  } while (!line.empty() && line.rfind("import: ", 0) != 0);
  ASSERT_EQ(line.rfind("import: ", 0), 0u) << "the import reported no progress";
  child.Kill(SIGKILL);
  const int status = child.Wait();

  TManagerStore after(db, nullptr);
  EXPECT_EQ(after.IntegrityCheck(), u"ok");
  const int64_t count = after.CardCount();
  if (WIFSIGNALED(status)) {
    EXPECT_TRUE(count == 0 || count == static_cast<int64_t>(cards)) << count << " cards";
  } else {
    EXPECT_EQ(count, static_cast<int64_t>(cards));  // it finished before the kill
  }
  EXPECT_EQ(after.FindProfile(u"Before").has_value(), count == 0);
  EXPECT_EQ(after.FindProfile(u"Imported").has_value(), count != 0);
}

}  // namespace
}  // namespace qm::manager
