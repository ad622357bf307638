// Whole sessions of the host, as a user runs them: the registry file, a
// component library registered by its own entry point and loaded through
// the registry and dlopen, pages served on the loopback, a script, the
// transcript and the exit status. A private bus stands in for the user's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/QuillbrowseCommands.h"
#include "host/Session.h"
#include "platform/registry/Registry.h"
#include "platform/rtl/Utf.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestManager.h"

namespace qm::host {
namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class SessionTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { bus_ = new testing::PrivateBus; }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }

  void SetUp() override {
    char pattern[] = "/tmp/qm-host-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    registry_ = folder_ + "/registry";
    site_ = folder_ + "/site";
    fs::create_directories(site_);
    Write(site_ + "/greet.html",
          "<!DOCTYPE html><html><head><title>Greeting</title></head><body>\n"
          "<form action=\"/echo\" method=\"post\">\n"
          "<input name=\"greeting\"> <input name=\"other\" id=\"other\">\n"
          "<select name=\"colour\"><option>Red</option><option>Green</option></select>\n"
          "<input type=\"checkbox\" name=\"agree\" value=\"yes\">\n"
          "<input type=\"submit\" id=\"send\" value=\"Send\"></form></body></html>\n");
    Write(site_ + "/ask.html", "<html><body><input id=\"ask\" name=\"ask\"></body></html>\n");
  }
  void TearDown() override {
    platform::SetRegistryFile("");
    fs::remove_all(folder_);
  }

  static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

  TRun Host(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    tool::ToolContext io{in, out, err};
    TRun run;
    run.Status = RunQuillbrowse(std::move(args), io);
    run.Out = out.str();
    run.Err = err.str();
    return run;
  }

  TRun Script(const std::string& text) {
    Write(folder_ + "/script.qb", text);
    return Host({"run", "--registry", registry_, "--serve", site_, "--timeout", "60", folder_ + "/script.qb"});
  }

  void RegisterTestAddon() {
    const TRun reg = Host({"addon", "register", "--registry", registry_, QM_TEST_ADDON});
    ASSERT_EQ(reg.Status, 0) << reg.Err;
  }

  static testing::PrivateBus* bus_;
  std::string folder_;
  std::string registry_;
  std::string site_;
};

testing::PrivateBus* SessionTest::bus_ = nullptr;

TEST_F(SessionTest, RegisteringTwiceLeavesTheSameEntriesAndUnregisteringLeavesNone) {
  RegisterTestAddon();
  const auto first = platform::TRegistry(registry_).Snapshot();
  RegisterTestAddon();
  EXPECT_TRUE(platform::TRegistry(registry_).Snapshot() == first);
  const TRun list = Host({"addon", "list", "--registry", registry_});
  EXPECT_EQ(list.Status, 0);
  EXPECT_EQ(list.Out, "{5A1D0C3E-7B2F-4E61-9D08-3C4B5A6E7F01}  Quillbrowse Test Helper  " +
                          fs::canonical(QM_TEST_ADDON).string() + "\n");

  ASSERT_EQ(Host({"addon", "unregister", "--registry", registry_, QM_TEST_ADDON}).Status, 0);
  EXPECT_EQ(Host({"addon", "list", "--registry", registry_}).Status, 1);
  platform::TRegistry reg(registry_);
  ASSERT_TRUE(reg.OpenKey(u"CLSID", false));
  EXPECT_TRUE(reg.GetKeyNames().empty());
  EXPECT_FALSE(reg.KeyExists(u"\\QuillbrowseTest.TestHelper"));
}

TEST_F(SessionTest, AScriptRunsOverServedPagesWithTheRegisteredAddonLoaded) {
  RegisterTestAddon();
  const TRun run = Script(
      "open {serve}/greet.html\n"
      "expect value name=greeting \"hello from the add-on\"\n"
      "type #other \"Ann Smith\"\n"
      "choose name=colour Green\n"
      "check name=agree\n"
      "expect checked name=agree\n"
      "click #send\n"
      "expect url {serve}/echo\n"
      "expect text #echo \"other=Ann Smith\"\n"
      "expect text #echo \"greeting=hello from the add-on\"\n"
      "expect text #echo colour=Green\n");
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  EXPECT_NE(run.Out.find("page     http://127.0.0.1:"), std::string::npos) << run.Out;
  EXPECT_EQ(Count(run.Out, "filled   greeting = hello from the add-on"), 1u) << run.Out;
  EXPECT_EQ(Count(run.Out, "filled   other"), 0u) << "the user's typing is no fill";
  EXPECT_NE(run.Out.find("/echo\n         greeting=hello from the add-on\n         other=Ann Smith"), std::string::npos)
      << run.Out;
  EXPECT_NE(run.Out.find("done     11 commands, every expectation held"), std::string::npos);
}

// The same session on a real browser: the add-on reads and fills the page
// through the same interface, and the page's own submission carries it.
TEST_F(SessionTest, TheSameScriptRunsOnTheChromiumEngine) {
  RegisterTestAddon();
  Write(folder_ + "/script.qb",
        "open {serve}/greet.html\n"
        "expect value name=greeting \"hello from the add-on\"\n"
        "type #other \"Ann Smith\"\n"
        "choose name=colour Green\n"
        "check name=agree\n"
        "click #send\n"
        "expect url {serve}/echo\n"
        "expect text #echo \"other=Ann Smith\"\n"
        "expect text #echo \"greeting=hello from the add-on\"\n"
        "expect text #echo colour=Green\n"
        "expect text #echo agree=yes\n");
  const TRun run = Host({"run", "--engine", "chromium", "--registry", registry_, "--serve", site_,
                         "--timeout", "120", folder_ + "/script.qb"});
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  EXPECT_NE(run.Out.find("done     11 commands, every expectation held"), std::string::npos)
      << run.Out;
}

TEST_F(SessionTest, OnTheChromiumEngineTypingIsAPersonsKeysFocusMovesThePagesFocusAndClickIsTheMouse) {
  // The page notes what it hears; a "!" marks an event a script made.
  Write(site_ + "/keys.html",
        "<html><body><input id=\"f\" value=\"old\"><input id=\"g\"><button id=\"b\">b</button>"
        "<button id=\"h\" hidden>h</button><select id=\"s\"><option>a<option>b</select>"
        "<p id=\"log\"></p><script>\n"
        "const log = document.getElementById('log');\n"
        "for (const t of ['keydown', 'input', 'keyup', 'change', 'focus',\n"
        "                 'mousedown', 'mouseup', 'click'])\n"
        "  document.addEventListener(t, e => { log.textContent += t + ':' + e.target.id +\n"
        "    (e.key ? ':' + e.key : '') + (e.isTrusted ? '' : '!') + ' '; }, true);\n"
        "</script></body></html>\n");
  Write(folder_ + "/keys.qb",
        "open {serve}/keys.html\n"
        "type #f Jo\n"
        "expect value #f Jo\n"
        "expect text #log \"focus:f keydown:f:J input:f keyup:f:J keydown:f:o input:f keyup:f:o\"\n"
        "focus #g\n"
        "expect text #log \"keyup:f:o change:f focus:g\"\n"
        "click #b\n"
        "expect text #log \"focus:g mousedown:b focus:b mouseup:b click:b\"\n"
        "click #h\n"
        "expect text #log \"click:b click:h!\"\n"
        "choose #s b\n"
        "expect value #s b\n"
        "expect text #log \"click:h! focus:s input:s! change:s!\"\n");
  const TRun run = Host({"run", "--engine", "chromium", "--registry", registry_, "--serve", site_,
                         "--timeout", "120", folder_ + "/keys.qb"});
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  EXPECT_NE(run.Out.find("done     13 commands, every expectation held"), std::string::npos) << run.Out;
  // A hidden element can't be pointed at: the page's script clicks it, and
  // the transcript says so.
  EXPECT_NE(run.Out.find("#h is not shown on the page; clicked it through the page's script"),
            std::string::npos)
      << run.Out;
  EXPECT_EQ(Count(run.Out, "is not shown on the page"), 1u) << run.Out;
}

TEST_F(SessionTest, DialogsAreAnsweredByCaptionAndTheirTextsCanBeExpected) {
  RegisterTestAddon();
  const TRun run = Script(
      "answer \"test ADD-ON\" Yes\n"
      "open {serve}/ask.html\n"
      "expect value #ask yes\n"
      "expect message \"Shall I write yes?\"\n"
      "open {serve}/ask.html\n"
      "expect value #ask no\n"
      "answer \"Test add-on\" Maybe\n"
      "open {serve}/ask.html\n");
  EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
  EXPECT_NE(run.Out.find("message  Test add-on: Shall I write yes?\n         -> Yes"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("fail     line 8: the message \"Test add-on\" has no button Maybe"), std::string::npos)
      << run.Out;
}

TEST_F(SessionTest, AnExpectationThatFailsNamesItsLineWhatWasExpectedAndWhatWasThere) {
  RegisterTestAddon();
  const TRun run = Script(
      "open {serve}/greet.html\n"
      "\n"
      "expect value name=greeting Goodbye\n"
      "expect value name=greeting never-reached\n");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Out.find("fail     line 3: name=greeting: expected the value \"Goodbye\", it is \"hello from the add-on\""),
            std::string::npos)
      << run.Out;
  EXPECT_EQ(run.Out.find("never-reached"), std::string::npos);
  const TRun missing = Script("open {serve}/greet.html\nclick #nothing\n");
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Out.find("fail     line 2: no element matches #nothing on http://127.0.0.1:"), std::string::npos);
}

TEST_F(SessionTest, AnInteractiveSessionTakesTheSameCommandsAtThePrompt) {
  RegisterTestAddon();
  const TRun run = Host({"open", "--registry", registry_, "--serve", site_, "{serve}/greet.html"},
                        "expect value name=greeting \"hello from the add-on\"\n"
                        "expect value name=greeting x\n"
                        "fly away\n"
                        "quit\n"
                        "expect value name=greeting never-read\n");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("quillbrowse>   held\n"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("  name=greeting: expected the value \"x\", it is \"hello from the add-on\"\n"),
            std::string::npos);
  EXPECT_NE(run.Out.find("  line 3: unknown command 'fly'\n"), std::string::npos);
  EXPECT_EQ(run.Out.find("never-read"), std::string::npos);
}

TEST_F(SessionTest, ABadScriptOrOptionIsRefusedBeforeAnythingRuns) {
  const TRun bad = Script("open {serve}/greet.html\nwave #other\n");
  EXPECT_EQ(bad.Status, 2);
  EXPECT_EQ(bad.Out, "");
  EXPECT_EQ(bad.Err, "quillbrowse: " + folder_ + "/script.qb line 2: unknown command 'wave'\n");
  EXPECT_EQ(Host({"run", "--engine", "gecko", "x.qb"}).Status, 2);
  EXPECT_EQ(Host({"run", "--timeout", "soon", "x.qb"}).Status, 2);
  EXPECT_EQ(Host({"run"}).Status, 2);
}

TEST_F(SessionTest, ADamagedRegistryIsNamedWithItsLineAndNeverRewritten) {
  Write(registry_, "Quillmate registry 1\n[HKEY_LOCAL_MACHINE\\Software]\ngarbage\n");
  const TRun run = Script("open {serve}/greet.html\n");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "quillbrowse: " + registry_ + ", line 3: expected '[', '@' or '\"'\n");
  const TRun reg = Host({"addon", "register", "--registry", registry_, QM_TEST_ADDON});
  EXPECT_EQ(reg.Status, 1);  // the library's own registration failed
  EXPECT_NE(reg.Err.find("line 3: expected"), std::string::npos) << reg.Err;
  std::ifstream in(registry_);
  std::stringstream now;
  now << in.rdbuf();
  EXPECT_EQ(now.str(), "Quillmate registry 1\n[HKEY_LOCAL_MACHINE\\Software]\ngarbage\n");
}

TEST_F(SessionTest, BrokenAddonsAreNamedInOneLineEachAndTheRestStillLoad) {
  RegisterTestAddon();
  {
    platform::TRegistry reg(registry_);
    const std::pair<const char16_t*, std::string> broken[] = {
        {u"{00000000-0000-4000-8000-00000000000A}", folder_ + "/gone.so"},
        {u"{00000000-0000-4000-8000-00000000000B}", QM_NOENTRY_LIBRARY},
        {u"{00000000-0000-4000-8000-00000000000C}", folder_ + "/text.so"},
        {u"{00000000-0000-4000-8000-00000000000D}", ""},
    };
    for (const auto& [clsid, library] : broken) {
      reg.RootKey = platform::TRegRoot::LocalMachine;
      ASSERT_TRUE(reg.OpenKey(std::u16string(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                             u"Browser Helper Objects\\") + clsid, true));
      if (library.empty()) continue;  // a class that names no library
      reg.RootKey = platform::TRegRoot::ClassesRoot;
      ASSERT_TRUE(reg.OpenKey(std::u16string(u"\\CLSID\\") + clsid + u"\\InprocServer32", true));
      reg.WriteString(u"", platform::W(library));
    }
  }
  Write(folder_ + "/text.so", "not a library\n");
  const TRun run = Script("open {serve}/greet.html\nexpect value name=greeting \"hello from the add-on\"\n");
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  EXPECT_NE(run.Err.find("quillbrowse: The library " + folder_ + "/gone.so does not exist\n"), std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find(std::string("quillbrowse: The library ") + QM_NOENTRY_LIBRARY +
                         " has no entry point DllGetClassObject\n"),
            std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find("quillbrowse: The library " + folder_ + "/text.so cannot be loaded: "), std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find("quillbrowse: The helper object {00000000-0000-4000-8000-00000000000D} names no library "
                         "(no InprocServer32 entry)\n"),
            std::string::npos)
      << run.Err;
  EXPECT_EQ(Count(run.Err, ManagerNotRunning), 1u);
  EXPECT_EQ(Count(run.Err, "\n"), 5u) << "one line each: " << run.Err;
  const TRun list = Host({"addon", "list", "--registry", registry_});
  EXPECT_NE(list.Out.find(folder_ + "/gone.so  (missing)"), std::string::npos) << list.Out;
}

TEST_F(SessionTest, ALibraryThatCannotRegisterIsNamedAndTheRegistryIsLeftAlone) {
  RegisterTestAddon();
  const auto before = platform::TRegistry(registry_).Snapshot();
  Write(folder_ + "/text.so", "not a library\n");
  for (const std::string command : {"register", "unregister"}) {
    const std::string entry = command == "register" ? "DllRegisterServer" : "DllUnregisterServer";
    const std::pair<std::string, std::string> cases[] = {
        {folder_ + "/gone.so", "quillbrowse: The library " + folder_ + "/gone.so does not exist\n"},
        {QM_NOENTRY_LIBRARY,
         std::string("quillbrowse: The library ") + QM_NOENTRY_LIBRARY + " has no entry point " + entry + "\n"},
        {folder_ + "/text.so", "quillbrowse: The library " + folder_ + "/text.so cannot be loaded: "},
    };
    for (const auto& [library, message] : cases) {
      const TRun run = Host({"addon", command, "--registry", registry_, library});
      EXPECT_EQ(run.Status, 1) << command << " " << library;
      EXPECT_EQ(run.Out, "");
      EXPECT_EQ(run.Err.rfind(message, 0), 0u) << run.Err;
      EXPECT_EQ(Count(run.Err, "\n"), 1u) << run.Err;
    }
  }
  EXPECT_TRUE(platform::TRegistry(registry_).Snapshot() == before);
}

TEST_F(SessionTest, WithoutAManagerTheHostSaysSoOnceAndStillShowsPages) {
  RegisterTestAddon();
  const TRun run = Script("open {serve}/greet.html\nopen {serve}/ask.html\n");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(Count(run.Err, ManagerNotRunning), 1u) << run.Err;
  EXPECT_EQ(Count(run.Out, "page     "), 2u);
}

// The names of the symbols nm lists for a file, one a line.
std::string Symbols(const std::string& options, const std::string& file) {
  const std::string command = "nm " + options + " " + file;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "<nm failed>";
  std::string symbols;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    symbols += text.substr(text.rfind(' ') + 1);
  }
  if (::pclose(pipe) != 0) return "<nm failed>";
  return symbols;
}

TEST_F(SessionTest, TheComponentLibrariesExportTheFourEntryPointsAndNothingElse) {
  for (const char* library : {QM_TEST_ADDON, QM_QUILLMATE_LIBRARY}) {
    EXPECT_EQ(Symbols("-D --defined-only", library),
              "DllCanUnloadNow\nDllGetClassObject\nDllRegisterServer\nDllUnregisterServer\n")
        << library;
  }
  // Nor does the add-on carry a platform of its own.
  EXPECT_EQ(Symbols("-C --defined-only", QM_QUILLMATE_LIBRARY).find("qm::platform::ui::SetBackend("),
            std::string::npos);
}

// The whole road a user takes: the real add-on registered by its own entry
// point and loaded through the registry, the real manager running as its
// own process on the (private) session bus, a page served on the loopback.
TEST_F(SessionTest, TheAddOnFillsASignUpFormFromTheProfileOfTheRunningManager) {
  testing::TTestManager seed;  // made and seeded here, then served by the real program
  seed.SetFieldValue(u"First name", u"Ada");
  seed.SetFieldValue(u"E-mail", u"ada@example.com");
  seed.Stop();
  testing::TManagerProcess manager(seed.StorePath());
  ASSERT_EQ(Host({"addon", "register", "--registry", registry_, QM_QUILLMATE_LIBRARY}).Status, 0);
  Write(site_ + "/join.html",
        "<html><head><title>Join</title></head><body><form action=\"/echo\" method=\"post\">\n"
        "First name <input name=\"first_name\"> E-mail <input type=\"email\" name=\"email\">\n"
        "Nickname <input name=\"nickname\"> <input type=\"submit\" id=\"join\" value=\"Join\">\n"
        "</form></body></html>\n");
  const TRun run = Script(
      "open {serve}/join.html\n"
      "expect value name=first_name Ada\n"
      "expect value name=email ada@example.com\n"
      "type name=nickname ada\n"
      "click #join\n"
      "expect text #echo first_name=Ada\n"
      "expect text #echo nickname=ada\n");
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  EXPECT_EQ(Count(run.Err, ManagerNotRunning), 0u) << run.Err;
  EXPECT_EQ(Count(run.Out, "filled   first_name = Ada"), 1u) << run.Out;
  EXPECT_EQ(Count(run.Out, "filled   email = ada@example.com"), 1u) << run.Out;
}

TEST_F(SessionTest, TheToolbarShowsItsCommandsDisabledWhileNoManagerRuns) {
  ASSERT_EQ(Host({"addon", "register", "--registry", registry_, QM_QUILLMATE_LIBRARY}).Status, 0);
  const TRun run = Script(
      "open {serve}/greet.html\n"
      "expect button \"Fill form\" disabled\n"
      "expect button record unchecked\n"
      "command \"Fill form\"\n");
  EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
  EXPECT_NE(run.Out.find("toolbar  Quillora Bar\n         [Activate] (released, disabled)\n"), std::string::npos)
      << run.Out;
  EXPECT_NE(run.Out.find("[Add to profile field] (menu: Add synonim | Add value | Add all values, disabled)"),
            std::string::npos);
  EXPECT_NE(run.Out.find("fail     line 4: the toolbar button \"Fill form\" is disabled"), std::string::npos)
      << run.Out;
  const TRun wrong = Script("open {serve}/greet.html\nexpect button \"Fill form\" enabled\n");
  EXPECT_NE(wrong.Out.find("fail     line 2: expected the toolbar button \"Fill form\" enabled, it is disabled"),
            std::string::npos)
      << wrong.Out;
  const TRun bad = Script("expect button Record pressed\n");
  EXPECT_EQ(bad.Status, 2);
  EXPECT_NE(bad.Err.find("line 1: expect button takes enabled, disabled, checked or unchecked, not 'pressed'"),
            std::string::npos)
      << bad.Err;
}

TEST_F(SessionTest, AScriptPressesToolbarButtonsAndMenuItemsOfTheRunningAddOn) {
  testing::TTestManager seed;
  seed.Stop();
  testing::TManagerProcess manager(seed.StorePath());
  ASSERT_EQ(Host({"addon", "register", "--registry", registry_, QM_QUILLMATE_LIBRARY}).Status, 0);
  const TRun run = Script(
      "open {serve}/greet.html\n"
      "expect button Activate checked\n"
      "expect button \"Save forms\" enabled\n"
      "command Activate\n"
      "expect button Activate unchecked\n"
      "command Activate\n"
      "expect button Activate checked\n"
      "command Record\n"
      "expect button Record checked\n"
      "command Record\n"
      "expect button Record unchecked\n"
      "command \"Add to profile field\" \"Add value\"\n"
      "command \"Add all values\"\n"
      "command \"Add to profile field\" \"Add nothing\"\n");
  EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
  EXPECT_EQ(Count(run.Err, ManagerNotRunning), 0u) << run.Err;
  EXPECT_NE(run.Out.find("toolbar  Quillora Bar\n         [Activate] (pressed)\n         [Quillora Manager]\n"),
            std::string::npos)
      << run.Out;
  EXPECT_NE(run.Out.find("command  Add to profile field > Add value"), std::string::npos);
  EXPECT_NE(run.Out.find("fail     line 14: \"Add to profile field\" has no menu item \"Add nothing\""),
            std::string::npos)
      << run.Out;
  EXPECT_EQ(Count(run.Out, "ok       line"), 6u) << run.Out;
  // After the whole toolbar, only what changed.
  EXPECT_NE(run.Out.find("command  Activate\ntoolbar  [Activate] (released)\nok       line 5"), std::string::npos)
      << run.Out;
  EXPECT_EQ(Count(run.Out, "[Options]"), 1u);

  // The same toolbar in a window of the real browser.
  Write(folder_ + "/toolbar.qb",
        "open {serve}/greet.html\n"
        "expect button Activate checked\n"
        "command Activate\n"
        "expect button Activate unchecked\n"
        "expect button \"Fill form\" enabled\n");
  const TRun chromium = Host({"run", "--engine", "chromium", "--registry", registry_, "--serve", site_,
                              "--timeout", "120", folder_ + "/toolbar.qb"});
  EXPECT_EQ(chromium.Status, 0) << chromium.Out << chromium.Err;
}

TEST_F(SessionTest, TheHostHasNoPlatformOfItsOwnBesideTheSharedOne) {
  // A second copy would give the host a user-interface backend, event
  // queues and windows that the libraries it loads never see.
  const std::string defined = Symbols("-C --defined-only", QM_QUILLBROWSE);
  ASSERT_NE(defined, "<nm failed>");
  EXPECT_EQ(defined.find("qm::platform::ui::SetBackend("), std::string::npos);
  EXPECT_EQ(defined.find("qm::platform::CurrentThreadEvents("), std::string::npos);
  EXPECT_NE(Symbols("-C -D --undefined-only", QM_QUILLBROWSE).find("qm::platform::ui::SetBackend("),
            std::string::npos);
}

}  // namespace
}  // namespace qm::host
