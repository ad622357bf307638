// The quillora-manager program run as people run it, in a child process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/syscall.h>
#include <sdbus-c++/sdbus-c++.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/Common/QoraServerBus.h"
#include "core/Common/QoraServerBusProxy.h"
#include "core/Common/QuillmateLibEvents.h"
#include "manager/cli/ManagerCli.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/store/JsonUtils.h"
#include "manager/store/ManagerStore.h"
#include "manager/store/StoreJson.h"
#include "manager/store/StoreTesting.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/PendingEvents.h"
#include "platform/com/RunningObjects.h"
#include "platform/com/SessionBus.h"
#include "platform/rtl/Utf.h"
#include "testsupport/PrivateBus.h"

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
    for (std::string& arg : copies)
      argv.push_back(arg.data());
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
  store.Write(ChangeData, [&] {
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
  });
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

// The program on a pseudo-terminal, as a person at a terminal runs it.
class TTerminalChild {
public:
  explicit TTerminalChild(const std::vector<std::string>& args) {
    std::vector<std::string> copies = args;
    copies.insert(copies.begin(), QM_MANAGER_PROGRAM);
    std::vector<char*> argv;
    for (std::string& arg : copies)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
  }
  ~TTerminalChild() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    close(master_);
  }

  // Reads what the terminal shows until it ends with text (or 10 s pass,
  // or the program closes it); answers everything read.
  std::string ReadUntil(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (shown_.size() < text.size() ||
           shown_.compare(shown_.size() - text.size(), text.size(), text) != 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd fd{master_, POLLIN, 0};
      if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[256];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) break;  // the program closed the terminal
      shown_.append(buffer, static_cast<size_t>(n));
    }
    return shown_;
  }
  void Type(const std::string& text) {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // The exit status; a program still running after 10 s is killed.
  int Wait() {
    int status = 0;
    if (pid_ <= 0) return status;
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    pollfd ended{fd, POLLIN, 0};
    if (fd < 0 || poll(&ended, 1, 10000) <= 0) kill(pid_, SIGKILL);
    if (fd >= 0) close(fd);
    if (waitpid(pid_, &status, 0) == pid_) pid_ = -1;
    return status;
  }

private:
  pid_t pid_ = -1;
  int master_ = -1;
  std::string shown_;
};

TEST(ManagerAtATerminal, PasswordsAreTypedWithoutEchoAndANewOneTwice) {
  TTempDir dir;
  const std::string db = dir.File("manager.db");
  TManagerStore(db, &DefaultContent());
  {
    TTerminalChild child({"--db", db, "password", "set"});
    child.ReadUntil("New password for profile 'Default': ");
    child.Type("pty-secret-9\n");
    child.ReadUntil("Repeat the new password: ");
    child.Type("pty-secret-9\n");
    const std::string shown = child.ReadUntil("(none)");
    const int status = child.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    EXPECT_NE(shown.find("Profile 'Default' is protected"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("pty-secret-9"), std::string::npos) << "echoed: " << shown;
  }
  TTerminalChild wrong({"--db", db, "field", "set", "First name", "Ada"});
  wrong.ReadUntil("Password of profile 'Default': ");
  wrong.Type("not-it-4\n");
  const std::string shown = wrong.ReadUntil("(none)");
  const int status = wrong.Wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << shown;
  EXPECT_NE(shown.find("wrong password for profile 'Default'"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("not-it-4"), std::string::npos) << "echoed: " << shown;
}

using namespace std::chrono_literals;
using platform::ComPtr;

// A running `quillora-manager serve` on the private bus.
class TService {
public:
  explicit TService(const std::string& db)
      : child_(std::make_unique<TChild>(
            std::vector<std::string>{"serve", "--db", db, "--poll", "50"})) {
    // The service says when it owns the name.
    for (std::string line = child_->ReadLine(); !line.empty(); line = child_->ReadLine()) {
      log_ += line + "\n";
      if (line.find("serving org.quillora.Manager") != std::string::npos) return;
    }
    ADD_FAILURE() << "the service did not start: " << log_;
  }
  TChild& Child() { return *child_; }
  // Everything it wrote to standard error from now on until it ended.
  std::string RestOfLog() {
    for (std::string line = child_->ReadLine(); !line.empty(); line = child_->ReadLine()) {
      log_ += line + "\n";
    }
    return log_;
  }

private:
  std::unique_ptr<TChild> child_;
  std::string log_;
};

// Counts the events a sink connected on this thread receives.
struct TListener {
  explicit TListener(const ComPtr<IQoraServer>& server)
      : Sink(platform::MakeCom<TQuillmateLibIQoraServerEvents>()) {
    Sink->OnQuit = [this](auto&) { Events.push_back("quit"); };
    Sink->OnLanguageChange = [this](auto&) { Events.push_back("language"); };
    Sink->OnLogin = [this](auto&, platform::VARIANT_BOOL v) {
      Events.push_back(v ? "login" : "logout");
    };
    Sink->OnLexiconChange = [this](auto&) { Events.push_back("lexicon"); };
    Sink->OnDatabaseChange = [this](auto&) { Events.push_back("database"); };
    Sink->Connect(ComPtr<platform::IUnknown>(server.As<platform::IUnknown>()));
  }
  ~TListener() { Sink->Disconnect(); }
  // Pumps this thread's events until `what` came (or 10 s passed).
  bool Await(const std::string& what) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
      if (std::find(Events.begin(), Events.end(), what) != Events.end()) return true;
      if (platform::WaitForPendingEvents(100ms)) platform::ProcessPendingEvents();
    }
    return false;
  }

  ComPtr<TQuillmateLibIQoraServerEvents> Sink;
  std::vector<std::string> Events;
};

std::string Failure(HRESULT status) {
  if (platform::Succeeded(status)) return "(succeeded)";
  std::optional<platform::ErrorInfo> info = platform::TakeErrorInfo();
  return info ? platform::U8(info->Description) : "(no error information)";
}

int RunCli(std::vector<std::string> args) {
  std::istringstream in;
  std::ostringstream out, err;
  tool::ToolContext io{in, out, err};
  const int status = cli::RunManager(args, io);
  EXPECT_EQ(status, 0) << err.str();
  return status;
}

class ManagerOnTheBus : public ::testing::Test {
protected:
  static void SetUpTestSuite() { bus_ = new qm::testing::PrivateBus; }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }
  static ComPtr<IQoraServer> Connect() {
    ComPtr<IQoraServer> server(TQoraServerBusProxy::Connect(platform::OpenSessionBus(), 5s).Get());
    EXPECT_TRUE(server) << "no manager on the bus";
    return server;
  }

  TTempDir dir_;
  std::string db_ = dir_.File("manager.db");
  static qm::testing::PrivateBus* bus_;
};

qm::testing::PrivateBus* ManagerOnTheBus::bus_ = nullptr;

TEST_F(ManagerOnTheBus, ServesTheOperationsAndAnnouncesCommandLineChanges) {
  TService service(db_);
  ComPtr<IQoraServer> server = Connect();
  ASSERT_TRUE(server);
  int32_t word = 0;
  ASSERT_EQ(server->GetOptions(word), 0) << Failure(server->GetOptions(word));
  EXPECT_EQ(word, 0x59);
  TListener listener(server);
  RunCli({"field", "set", "First name", "Ada", "--db", db_});
  ASSERT_TRUE(listener.Await("database"));
  String field, value, values;
  int32_t kind = 0;
  bool found = false, passwordNeeded = false;
  ASSERT_EQ(server->ResolveField(u"", u"input", u"text", u"fname", field, kind, value, values,
                                 found, passwordNeeded),
            0);
  EXPECT_TRUE(found);
  EXPECT_EQ(value, u"Ada");
  RunCli({"synonym", "add", "Company", "Kontor", "--db", db_});
  ASSERT_TRUE(listener.Await("lexicon"));
  RunCli({"options", "set", "--language", "de", "--db", db_});
  ASSERT_TRUE(listener.Await("language"));
}

TEST_F(ManagerOnTheBus, BadCallsAreAnsweredWithErrorsWhileTheServiceStaysUp) {
  TService service(db_);
  auto connection = platform::OpenSessionBus();
  const std::string owner = platform::BusNameOwner(*connection, bus::BusName, 5s);
  auto raw = sdbus::createProxy(*connection, owner, bus::ObjectPath);
  try {
    raw->callMethod("GetOptions").onInterface(bus::InterfaceName).withArguments(7);
    ADD_FAILURE() << "a call with a wrong signature was answered";
  } catch (const sdbus::Error& e) {
    EXPECT_EQ(e.getName(), "org.freedesktop.DBus.Error.InvalidArgs");
  }
  ComPtr<IQoraServer> server = Connect();
  ASSERT_TRUE(server);
  String lines;
  for (int i = 0; i <= 10000; ++i)
    lines += u"line\r\n";
  EXPECT_EQ(Failure(server->AddAllValues(lines)),
            "values holds too many items: 10001 items, at most 10000");
  bool shown = false;
  EXPECT_EQ(Failure(server->ShowInManager(0, String(9000, u'u'), u"", shown)),
            "url is too long: 9000 characters, at most 8192");
  bool saved = false, passwordNeeded = false;
  const std::string malformed = Failure(server->SaveFormSet(
      u"k", u"n", u"", Variant::FromBytes({9, 0, 0, 0}), saved, passwordNeeded));
  EXPECT_EQ(malformed.rfind("forms: Corrupt transit stream at byte 0", 0), 0u) << malformed;
  int32_t word = 0;
  EXPECT_EQ(server->GetOptions(word), 0);
  EXPECT_EQ(word, 0x59);
}

TEST_F(ManagerOnTheBus, AKilledManagerFailsTheNextCallAndTheRestartedOneIsFound) {
  InstallManagerBusLookup(5s);
  ComPtr<platform::IUnknown> found;
  EXPECT_EQ(platform::GetActiveObject(CLASS_QoraServer, found), platform::MK_E_UNAVAILABLE);
  auto first = std::make_unique<TService>(db_);
  ASSERT_EQ(platform::GetActiveObject(CLASS_QoraServer, found), 0);
  ComPtr<IQoraServer> old = found.As<IQoraServer>();
  ASSERT_TRUE(old);
  ASSERT_EQ(old->SetOptions(0x1d1), 0);
  first->Child().Kill(SIGKILL);
  first->Child().Wait();
  first.reset();
  int32_t word = 0;
  EXPECT_EQ(old->GetOptions(word), platform::RPC_E_DISCONNECTED);
  platform::TakeErrorInfo();

  TService second(db_);
  ASSERT_EQ(platform::GetActiveObject(CLASS_QoraServer, found), 0);
  ComPtr<IQoraServer> fresh = found.As<IQoraServer>();
  ASSERT_TRUE(fresh);
  ASSERT_EQ(fresh->GetOptions(word), 0);
  EXPECT_EQ(word, 0x1d1);  // what the killed one committed is there
  platform::RegisterActiveObjectProvider(CLASS_QoraServer, {});
}

TEST_F(ManagerOnTheBus, SigtermSendsOnQuitAndEndsTheService) {
  TService service(db_);
  ComPtr<IQoraServer> server = Connect();
  ASSERT_TRUE(server);
  TListener listener(server);
  service.Child().Kill(SIGTERM);
  EXPECT_TRUE(listener.Await("quit"));
  const int status = service.Child().Wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(service.RestOfLog().find("quitting on SIGTERM"), std::string::npos);
}

TEST_F(ManagerOnTheBus, ASecondServiceOnTheSameBusRefusesToStart) {
  TService service(db_);
  TChild second({"serve", "--db", dir_.File("other.db")});
  const std::string line = second.ReadLine();
  EXPECT_NE(line.find("Another manager already serves org.quillora.Manager"), std::string::npos)
      << line;
  const int status = second.Wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

}  // namespace
}  // namespace qm::manager
