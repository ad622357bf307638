// The mail composer is driven through stand-ins for xdg-email: small
// scripts in a temporary folder, given to the composer as the PATH of the
// environment it starts them with. Nothing here reaches the user's own
// desktop: the one run of the real xdg-email gets a home, configuration
// and data folders of its own, and a browser that doesn't exist.
#include "platform/net/MailComposer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/Utf.h"

namespace qm::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class MailComposer : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillmate-mail-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    fs::create_directory(folder_ / "bin");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path File(const std::string& name) const { return folder_ / name; }

  // A stand-in xdg-email whose body is script (a POSIX shell script).
  void StandIn(const std::string& script) {
    const fs::path path = folder_ / "bin" / "xdg-email";
    std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
    fs::permissions(path, fs::perms::owner_all);
  }
  // Writes each argument followed by a NUL into the file ARGS names.
  void RecordingStandIn(int status = 0) {
    StandIn("for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$ARGS\"\nexit " +
            std::to_string(status));
  }
  TMailComposer Composer(std::chrono::milliseconds limit = 20s) const {
    TMailComposer composer;
    composer.Environment = std::vector<std::string>{
        "PATH=" + (folder_ / "bin").string() + ":/usr/bin:/bin",
        "ARGS=" + File("args").string(),
        "PIDFILE=" + File("pid").string(),
    };
    composer.TimeLimit = limit;
    return composer;
  }
  // The arguments the recording stand-in was given; none when it didn't run.
  std::optional<std::vector<std::string>> Recorded() const {
    std::ifstream in(File("args"), std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::string> arguments;
    std::string argument;
    while (std::getline(in, argument, '\0'))
      arguments.push_back(argument);
    return arguments;
  }

  fs::path folder_;
};

TEST_F(MailComposer, HostileTextsReachTheComposerAsText) {
  RecordingStandIn();
  const std::u16string address = u"ada@example.com;$(touch PWNED)`id`";
  const std::u16string subject = u"Hi \"there\"; rm -rf ~ $(touch PWNED) 'quoted' \\ *";
  const std::u16string body = u"Line one\nGrüße ✉ $HOME ${PATH}\r\n; | & > out";
  const TMailComposer composer = Composer();
  const TMailResult result = RunMailComposer(composer, address, subject, body);
  EXPECT_EQ(result.Outcome, TMailOutcome::Composed) << U8(result.Reason);
  EXPECT_EQ(result.ExitStatus, 0);
  EXPECT_TRUE(result.Reason.empty());
  const auto arguments = Recorded();
  ASSERT_TRUE(arguments);
  EXPECT_EQ(*arguments, (std::vector<std::string>{
                            "--subject",
                            "Hi \"there\"; rm -rf ~ $(touch PWNED) 'quoted' \\ *",
                            "--body",
                            "Line one\nGr\xC3\xBC\xC3\x9F"
                            "e \xE2\x9C\x89 $HOME ${PATH}\r\n; | & > out",
                            "ada@example.com;$(touch PWNED)`id`",
                        }));
  EXPECT_FALSE(fs::exists("PWNED"));
  EXPECT_FALSE(fs::exists(File("PWNED")));
}

TEST_F(MailComposer, AnEmptySubjectOrBodyIsLeftOutNotPassedEmpty) {
  // xdg-email refuses "--subject" without a text, and a card stored from a
  // click has neither.
  RecordingStandIn();
  EXPECT_TRUE(RunMailComposer(Composer(), u"ada@example.com", u"", u"").Outcome ==
              TMailOutcome::Composed);
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"ada@example.com"}));
  EXPECT_TRUE(RunMailComposer(Composer(), u"ada@example.com", u"", u"Body").Outcome ==
              TMailOutcome::Composed);
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"--body", "Body", "ada@example.com"}));
}

TEST_F(MailComposer, OnlyExitStatusZeroCountsAsComposed) {
  RecordingStandIn(3);
  const TMailResult result = RunMailComposer(Composer(), u"ada@example.com", u"S", u"B");
  EXPECT_EQ(result.Outcome, TMailOutcome::Failed);
  EXPECT_EQ(result.ExitStatus, 3);
  EXPECT_EQ(result.Reason, u"No mail program is set up for xdg-email");
  ASSERT_TRUE(Recorded()) << "it ran";

  StandIn("kill -TERM $$");
  const TMailResult killed = RunMailComposer(Composer(), u"ada@example.com", u"S", u"B");
  EXPECT_EQ(killed.Outcome, TMailOutcome::Failed);
  EXPECT_EQ(killed.ExitStatus, -1);
  EXPECT_EQ(killed.Reason, u"xdg-email was ended by signal 15");
}

TEST_F(MailComposer, AMissingProgramAnswersNotInstalled) {
  TMailComposer composer = Composer();
  composer.Environment = std::vector<std::string>{"PATH=" + (folder_ / "bin").string()};
  const TMailResult result = RunMailComposer(composer, u"ada@example.com", u"S", u"B");
  EXPECT_EQ(result.Outcome, TMailOutcome::NotInstalled);
  EXPECT_EQ(result.Reason, u"xdg-email is not installed");

  composer.Program = File("nowhere/xdg-email").string();
  EXPECT_EQ(RunMailComposer(composer, u"ada@example.com", u"S", u"B").Outcome,
            TMailOutcome::NotInstalled);
  // A file that is there but can't be run is not the composer either.
  std::ofstream(File("plain")) << "#!/bin/sh\nexit 0\n";
  composer.Program = File("plain").string();
  EXPECT_EQ(RunMailComposer(composer, u"ada@example.com", u"S", u"B").Outcome,
            TMailOutcome::NotInstalled);
}

TEST_F(MailComposer, AComposerThatHangsIsKilledAndReapedAtTheTimeLimit) {
  // The stand-in notes its process number and becomes a long sleep.
  StandIn("echo $$ > \"$PIDFILE\"\nexec sleep 600");
  const auto start = std::chrono::steady_clock::now();
  const TMailResult result = RunMailComposer(Composer(1500ms), u"ada@example.com", u"S", u"B");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(result.Outcome, TMailOutcome::TimedOut);
  EXPECT_EQ(result.Reason, u"xdg-email did not finish in time");
  EXPECT_GE(took, 1500ms);
  EXPECT_LT(took, 15s) << "the wait ends at the limit, not with the program";
  std::ifstream in(File("pid"));
  pid_t pid = 0;
  ASSERT_TRUE(in >> pid) << "the stand-in ran";
  // Killed and reaped: not even a zombie is left.
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST_F(MailComposer, UnusableAddressesAndTextsAreRefusedWithoutStartingAnything) {
  RecordingStandIn();
  const TMailComposer composer = Composer();
  EXPECT_EQ(RunMailComposer(composer, u"", u"S", u"B").Outcome, TMailOutcome::Refused);
  // A program would read it as one of its options.
  EXPECT_EQ(RunMailComposer(composer, u"--attach", u"S", u"B").Outcome, TMailOutcome::Refused);
  EXPECT_EQ(RunMailComposer(composer, u"-x@example.com", u"S", u"B").Outcome,
            TMailOutcome::Refused);
  EXPECT_EQ(RunMailComposer(composer, u"a@example.com", std::u16string(u"S\0T", 3), u"B").Outcome,
            TMailOutcome::Refused);
  EXPECT_FALSE(Recorded());
}

TEST_F(MailComposer, ComposeMailUsesTheProcessComposerWhileItIsSet) {
  EXPECT_EQ(CurrentMailComposer().Program, "xdg-email");
  EXPECT_FALSE(CurrentMailComposer().Environment);
  RecordingStandIn();
  {
    const TMailComposerScope scope(Composer());
    EXPECT_TRUE(ComposeMail(u"ada@example.com", u"S", u""));
    EXPECT_EQ(Recorded(), (std::vector<std::string>{"--subject", "S", "ada@example.com"}));
    RecordingStandIn(4);
    EXPECT_FALSE(ComposeMail(u"ada@example.com", u"S", u""));
  }
  EXPECT_FALSE(CurrentMailComposer().Environment) << "put back";
}

TEST_F(MailComposer, TheRealXdgEmailWithoutAMailProgramAnswersFalseInTime) {
  ASSERT_EQ(access("/usr/bin/xdg-email", X_OK), 0) << "scripts/setup installs xdg-utils";
  for (const char* name : {"home", "config", "data", "cache", "nothing"})
    fs::create_directory(File(name));
  TMailComposer composer;
  // A desktop of its own: no display, no session bus, no handlers, and a
  // browser that isn't there (xdg-email falls back to browsers).
  composer.Environment = std::vector<std::string>{
      "PATH=/usr/bin:/bin",
      "HOME=" + File("home").string(),
      "XDG_CONFIG_HOME=" + File("config").string(),
      "XDG_DATA_HOME=" + File("data").string(),
      "XDG_CACHE_HOME=" + File("cache").string(),
      "XDG_DATA_DIRS=" + File("nothing").string(),
      "XDG_CONFIG_DIRS=" + File("nothing").string(),
      "BROWSER=" + File("no-browser").string(),
      "DBUS_SESSION_BUS_ADDRESS=unix:path=" + File("no-bus").string(),
  };
  composer.TimeLimit = 30s;
  const TMailResult result = RunMailComposer(composer, u"ada@example.com", u"Subject", u"Body");
  EXPECT_EQ(result.Outcome, TMailOutcome::Failed) << U8(result.Reason);
  EXPECT_GT(result.ExitStatus, 0);
}

}  // namespace
}  // namespace qm::platform
