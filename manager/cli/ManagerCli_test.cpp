#include "manager/cli/ManagerCli.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "manager/cli/CliTesting.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/store/StoreTesting.h"
#include "platform/rtl/Utf.h"

namespace qm::manager::cli {
namespace {


using testing::ManagerCliTest;
using testing::TRun;

TEST_F(ManagerCliTest, EveryCommandAnswersHelp) {
  std::istringstream in;
  std::ostringstream out, err;
  ToolContext io{in, out, err};
  EXPECT_EQ(RunManager({"--help"}, io), 0);
  EXPECT_NE(out.str().find("quillora-manager serve [--db PATH]"), std::string::npos);
  for (const tool::ToolCommand& command : BuildManagerCommands()) {
    std::vector<std::string> args{command.Group};
    if (!command.Verb.empty()) args.push_back(command.Verb);
    args.push_back("--help");
    std::ostringstream helpOut;
    ToolContext helpIo{in, helpOut, err};
    EXPECT_EQ(RunManager(args, helpIo), 0) << command.Usage;
    EXPECT_EQ(helpOut.str().rfind("usage: " + command.Usage, 0), 0u) << helpOut.str();
  }
}

TEST_F(ManagerCliTest, BadInputExitsWithTwoAndSaysWhy) {
  TRun run = Run({"profil", "list"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "quillora-manager: unknown command 'profil' (try quillora-manager --help)\n");
  run = Run({"profile", "list", "--verbose"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "quillora-manager profile list: unknown option --verbose\n");
  run = Run({"profile", "add"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "quillora-manager profile add: too few arguments (see --help)\n");
  run = Run({"profile", "activate", "Nobody"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "quillora-manager profile activate: Unknown profile 'Nobody'\n");
  run = Run({"field", "set", "Shoe size", "42"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "quillora-manager field set: Unknown profile field 'Shoe size'\n");
  run = Run({"profile", "add", "\xff"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_NE(run.Err.find("Invalid UTF-8"), std::string::npos) << run.Err;
  run = Run({"field", "set", "First name", "-5"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "quillora-manager field set: unknown option -5 (a value that begins with "
                     "'-' goes after '--': -- -5)\n");
  Ok({"field", "set", "First name", "--", "-5"});
  EXPECT_NE(Ok({"profile", "show"}).Out.find("First name (FirstName): -5\n"), std::string::npos);
}

TEST_F(ManagerCliTest, AStoreThatCannotBeOpenedExitsWithOne) {
  const std::string notADirectory = dir_.File("file");
  std::ofstream(notADirectory) << "x";
  const TRun run = Run({"profile", "list"}, {}, notADirectory + "/manager.db");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Not a directory"), std::string::npos) << run.Err;
}

TEST_F(ManagerCliTest, AMissingStoreIsMadeOnlyByTheCommandsThatMakeOne) {
  const std::string typo = dir_.File("store/manger.db");
  for (const std::vector<std::string>& command :
       std::vector<std::vector<std::string>>{{"profile", "list"},
                                             {"field", "set", "First name", "x"},
                                             {"options", "set", "--auto-fill", "off"},
                                             {"export"}}) {
    const TRun run = Run(command, {}, typo);
    EXPECT_EQ(run.Status, 1) << command[0];
    EXPECT_NE(run.Err.find("no store at " + typo + " (serve, profile add and import make one)"),
              std::string::npos)
        << run.Err;
    EXPECT_FALSE(std::filesystem::exists(typo)) << command[0];
  }
  EXPECT_EQ(Run({"profile", "add", "Work"}, {}, typo).Status, 0);
  EXPECT_EQ(Run({"profile", "list"}, {}, typo).Out, "* Default\n  Work\n");
}

TEST_F(ManagerCliTest, GlobalOptionsMayComeBeforeTheCommand) {
  std::istringstream in;
  std::ostringstream out, err;
  ToolContext io{in, out, err};
  EXPECT_EQ(RunManager({"--db", path_, "profile", "add", "Work"}, io), 0) << err.str();
  EXPECT_EQ(RunManager({"--db=" + path_, "profile", "list"}, io), 0) << err.str();
  EXPECT_EQ(out.str(), "Added profile 'Work'\n* Default\n  Work\n");
  std::ostringstream version;
  ToolContext versionIo{in, version, err};
  EXPECT_EQ(RunManager({"--version"}, versionIo), 0);
  EXPECT_EQ(version.str().rfind("quillora-manager (Quillmate) ", 0), 0u) << version.str();
}

TEST_F(ManagerCliTest, ManagesProfilesAndTheirValues) {
  EXPECT_EQ(Ok({"profile", "list"}).Out, "* Default\n");
  Ok({"profile", "add", "Work"});
  Ok({"field", "set", "--profile", "Work", "First name", "Ada"});
  Ok({"profile", "activate", "work"});
  EXPECT_EQ(Ok({"profile", "list"}).Out, "  Default\n* Work\n");
  const std::string shown = Ok({"profile", "show"}).Out;
  EXPECT_NE(shown.find("Profile 'Work' (active)\n[Personal]\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  First name (FirstName): Ada\n"), std::string::npos) << shown;
  Ok({"profile", "remove", "Work"});
  EXPECT_EQ(Ok({"profile", "list"}).Out, "* Default\n");
  const TRun last = Run({"profile", "remove", "Default"});
  EXPECT_EQ(last.Status, 2);
  EXPECT_EQ(last.Err, "quillora-manager profile remove: The last profile cannot be removed\n");
}

TEST_F(ManagerCliTest, AValueMayComeFromStandardInputAndShowsIndentedOverLines) {
  Ok({"field", "set", "Address line 1", "-"}, "1 High Street\nFlat 2\nTown\n");
  const std::string shown = Ok({"profile", "show"}).Out;
  EXPECT_NE(shown.find("  Address line 1 (AddressLine1): 1 High Street\n"
                       "                                 Flat 2\n"
                       "                                 Town\n"),
            std::string::npos)
      << shown;
  const TRun tooLong =
      Run({"field", "set", "Address line 1", "-"}, std::string((1 << 20) + 1, 'x'));
  EXPECT_EQ(tooLong.Status, 2);
  EXPECT_EQ(tooLong.Err,
            "quillora-manager field set: the value on standard input is longer than 1048576 "
            "bytes\n");
  Ok({"field", "set", "Address line 1", "-"}, std::string(1 << 20, 'y'));
  EXPECT_NE(Ok({"profile", "show"}).Out.find(std::string(1 << 20, 'y')), std::string::npos);
}

TEST_F(ManagerCliTest, ResolveTellsWhichFieldAControlIs) {
  std::string out = Ok({"resolve", "input", "text", "ctl00$Main$txtBillingFirstName"}).Out;
  EXPECT_EQ(out,
            "Field:   First name\nName:    FirstName\nGroup:   Personal\n"
            "Read as: ctl 00 | main | txt billing first name\n"
            "Because: 'first name' (from 'FirstName') is a synonym of First name; other words: "
            "'ctl' (container), '00' (number), 'main' (container), 'txt' (control kind), "
            "'billing' (context)\n"
            "Value:   (empty: the page would not be filled)\n");
  Ok({"field", "set", "First name", "Ada"});
  out = Ok({"resolve", "input", "text", "billing_first_name"}).Out;
  EXPECT_NE(out.find("Value:   Ada\n"), std::string::npos) << out;
  // Found nothing: exit status 1.
  const std::vector<std::pair<std::vector<std::string>, std::string>> none = {
      {{"input", "text", "xyzzy"}, "Nothing matched: no field has a synonym in 'xyzzy'\nRead as: xyzzy\n"},
      {{"input", "password", "email"},
       "Nothing matched: a password input takes password fields only\nRead as: email\n"},
      {{"input", "checkbox", "ok_to_email"},
       "Nothing matched: 'ok' says this is no profile field\nRead as: ok to email\n"},
      {{"input", "text", "product[name]"},
       "Nothing matched: 'name' alone is too general, and 'product' says what it belongs "
       "to\nRead as: product | name\n"},
  };
  for (const auto& [control, answer] : none) {
    std::vector<std::string> args{"resolve"};
    args.insert(args.end(), control.begin(), control.end());
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, 1) << control[2];
    EXPECT_EQ(run.Out, answer);
  }
}

TEST_F(ManagerCliTest, SynonymsAreAddedMovedAndRemoved) {
  EXPECT_EQ(Ok({"synonym", "add", "Company", "Kontor"}).Out,
            "Added synonym 'Kontor' to 'Company'\n");
  EXPECT_NE(Ok({"resolve", "input", "text", "kontor"}).Out.find("Field:   Company"),
            std::string::npos);
  EXPECT_NE(Ok({"synonym", "list", "Company"}).Out.find("Kontor\n"), std::string::npos);
  EXPECT_EQ(Ok({"synonym", "add", "Company", "kontor"}).Out,
            "'Company' has that synonym already\n");
  // A synonym recognises one field: taking it says where from.
  EXPECT_EQ(Ok({"synonym", "add", "Last name", "KONTOR"}).Out,
            "Moved synonym 'KONTOR' from 'Company' to 'Last name'\n");
  EXPECT_EQ(Ok({"synonym", "list", "Company"}).Out.find("Kontor"), std::string::npos);
  EXPECT_EQ(Ok({"synonym", "remove", "Last name", "kontor"}).Out,
            "Removed synonym 'KONTOR' from 'Last name'\n");
  EXPECT_EQ(Run({"resolve", "input", "text", "kontor"}).Status, 1);
  const TRun missing = Run({"synonym", "remove", "Last name", "kontor"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Err, "quillora-manager synonym remove: 'Last name' has no synonym 'kontor' "
                         "(synonym list shows them)\n");
}

TEST_F(ManagerCliTest, OptionsNotesTranslationsAndValues) {
  EXPECT_NE(Ok({"options", "get"}).Out.find("word: 0x59\nAutoFill: on\n"), std::string::npos);
  const std::string set =
      Ok({"options", "set", "--auto-submit", "on", "--on-submit", "2", "--language", "de"}).Out;
  EXPECT_NE(set.find("word: 0x9b\n"), std::string::npos) << set;
  EXPECT_NE(set.find("language: de\n"), std::string::npos) << set;
  EXPECT_EQ(Run({"options", "set", "--on-submit", "3"}).Status, 2);
  const std::string high = Ok({"options", "set", "--word", "0x191", "--auto-fill", "off"}).Out;
  EXPECT_NE(high.find("word: 0x190\nAutoFill: off\n"), std::string::npos)
      << "a bit the options don't know stays: " << high;
  EXPECT_NE(high.find("AutoFillNew: on\nAutoBind: off\nOnSubmit: 2\n"), std::string::npos) << high;
  EXPECT_EQ(Run({"options", "set"}).Status, 2);
  Ok({"note", "set", "https://a.example", "Hi", "There"});
  EXPECT_EQ(Ok({"note", "list"}).Out, "https://a.example\tHi\tThere\n");
  Ok({"translation", "set", "de", "Activate", "Aktivieren"});
  EXPECT_EQ(Ok({"translation", "list"}).Out, "de\tActivate\tAktivieren\n");
  {
    TManagerStore store(path_, nullptr);
    store.AddCollectedValues({u"One", u"Two"});
  }
  EXPECT_EQ(Ok({"values"}).Out, "One\nTwo\n");
  Ok({"values", "--clear"});
  EXPECT_EQ(Ok({"values"}).Out, "");
}

TEST_F(ManagerCliTest, OptionsSetRefusesWhatDoesNotFit) {
  const std::string before = Ok({"options", "get"}).Out;
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"--word", "0x100000000"}, "--word must be from -2147483648 to 4294967295, not 0x100000000"},
      {{"--word", "99999999999"}, "--word must be from -2147483648 to 4294967295, not 99999999999"},
      {{"--word", "0xC0"}, "--word holds OnSubmit 3 in bits 6 and 7; it must be 0, 1 or 2"},
      {{"--word", "12abc"}, "--word must be a number, not '12abc'"},
      {{"--language", "de_DE"}, "--language must be a language tag such as de or pt-BR, not 'de_DE'"},
      {{"--language", "english language"},
       "--language must be a language tag such as de or pt-BR, not 'english language'"},
      {{"--banner-mode", "2"}, "--banner-mode must be from 0 to 1, not 2"},
  };
  for (const auto& [options, message] : refused) {
    std::vector<std::string> args{"options", "set"};
    args.insert(args.end(), options.begin(), options.end());
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, 2) << options[1];
    EXPECT_EQ(run.Err, "quillora-manager options set: " + message + "\n");
  }
  EXPECT_EQ(Ok({"options", "get"}).Out, before) << "nothing changed";
  EXPECT_NE(Ok({"options", "set", "--word", "4294967040"}).Out.find("word: 0xffffff00"),
            std::string::npos);
  EXPECT_NE(Ok({"options", "set", "--language", "pt-BR"}).Out.find("language: pt-BR"),
            std::string::npos);
  EXPECT_NE(Ok({"options", "set", "--language", ""}).Out.find("language: (none)"),
            std::string::npos);
  EXPECT_EQ(Run({"translation", "set", "en US", "Activate", "x"}).Status, 2);
}

}  // namespace
}  // namespace qm::manager::cli
