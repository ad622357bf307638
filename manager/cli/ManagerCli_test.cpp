#include "manager/cli/ManagerCli.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "manager/recognition/DefaultContent.h"
#include "manager/store/PasswordHash.h"
#include "manager/store/StoreTesting.h"
#include "platform/rtl/Utf.h"

namespace qm::manager::cli {
namespace {

using testing::TTempDir;

struct TRun {
  int Status = 0;
  std::string Out;
  std::string Err;
};

class ManagerCliTest : public ::testing::Test {
protected:
  // Runs the command against this test's store.
  TRun Run(std::vector<std::string> args, const std::string& input = {},
           const std::string& db = {}) {
    args.push_back("--db");
    args.push_back(db.empty() ? path_ : db);
    std::istringstream in(input);
    std::ostringstream out, err;
    ToolContext io{in, out, err};
    TRun run;
    run.Status = RunManager(args, io);
    run.Out = out.str();
    run.Err = err.str();
    return run;
  }
  TRun Ok(std::vector<std::string> args, const std::string& input = {}) {
    TRun run = Run(std::move(args), input);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return run;
  }
  std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
  }

  TTempDir dir_;
  std::string path_ = dir_.File("store/manager.db");
};

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
}

TEST_F(ManagerCliTest, AStoreThatCannotBeOpenedExitsWithOne) {
  const std::string notADirectory = dir_.File("file");
  std::ofstream(notADirectory) << "x";
  const TRun run = Run({"profile", "list"}, {}, notADirectory + "/manager.db");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Not a directory"), std::string::npos) << run.Err;
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

TEST_F(ManagerCliTest, AProtectedProfileShowsItsValuesOnlyWithThePassword) {
  Ok({"field", "set", "E-mail", "ada@example.org"});
  Ok({"password", "set"}, "pw1\n");
  EXPECT_NE(Ok({"profile", "list"}).Out.find("(protected)"), std::string::npos);
  std::string shown = Ok({"profile", "show"}).Out;
  EXPECT_EQ(shown.find("ada@example.org"), std::string::npos);
  EXPECT_NE(shown.find("E-mail (Email): (hidden)"), std::string::npos) << shown;
  shown = Ok({"profile", "show", "--password-stdin"}, "pw1\n").Out;
  EXPECT_NE(shown.find("E-mail (Email): ada@example.org"), std::string::npos) << shown;
  TRun run = Run({"profile", "show", "--password-stdin"}, "nope\n");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "quillora-manager profile show: wrong password for profile 'Default'\n");
  run = Run({"field", "set", "E-mail", "x@y"});
  EXPECT_EQ(run.Status, 2);
  // Changing the password needs the current one first.
  EXPECT_EQ(Run({"password", "set"}, "bad\nnew\n").Status, 2);
  Ok({"password", "set"}, "pw1\npw2\n");
  Ok({"password", "clear"}, "pw2\n");
  EXPECT_NE(Ok({"profile", "show"}).Out.find("ada@example.org"), std::string::npos);
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
  EXPECT_EQ(Ok({"resolve", "input", "text", "xyzzy"}).Out,
            "Nothing matched: no field has a synonym in 'xyzzy'\nRead as: xyzzy\n");
  EXPECT_EQ(Ok({"resolve", "input", "password", "email"}).Out,
            "Nothing matched: a password input takes password fields only\nRead as: email\n");
  EXPECT_EQ(Ok({"resolve", "input", "checkbox", "ok_to_email"}).Out,
            "Nothing matched: 'ok' says this is no profile field\nRead as: ok to email\n");
  EXPECT_EQ(Ok({"resolve", "input", "text", "product[name]"}).Out,
            "Nothing matched: 'name' alone is too general, and 'product' says what it belongs "
            "to\nRead as: product | name\n");
  Ok({"synonym", "add", "Company", "Kontor"});
  EXPECT_NE(Ok({"resolve", "input", "text", "kontor"}).Out.find("Field:   Company"),
            std::string::npos);
  EXPECT_NE(Ok({"synonym", "list", "Company"}).Out.find("Kontor\n"), std::string::npos);
}

TEST_F(ManagerCliTest, OptionsNotesTranslationsAndValues) {
  EXPECT_NE(Ok({"options", "get"}).Out.find("word: 0x59\nAutoFill: on\n"), std::string::npos);
  const std::string set =
      Ok({"options", "set", "--auto-submit", "on", "--on-submit", "2", "--language", "de"}).Out;
  EXPECT_NE(set.find("word: 0x9b\n"), std::string::npos) << set;
  EXPECT_NE(set.find("language: de\n"), std::string::npos) << set;
  EXPECT_EQ(Run({"options", "set", "--on-submit", "3"}).Status, 2);
  const std::string high = Ok({"options", "set", "--word", "0x1D1", "--auto-fill", "off"}).Out;
  EXPECT_NE(high.find("word: 0x1d0\nAutoFill: off\n"), std::string::npos)
      << "a bit the options don't know stays: " << high;
  EXPECT_NE(high.find("AutoFillNew: on\nAutoBind: off\nOnSubmit: 3\n"), std::string::npos) << high;
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

TEST_F(ManagerCliTest, CardsAreListedAndDeleted) {
  {
    TManagerStore store(path_, nullptr);
    TCardRecord card;
    card.Kind = StoredMail;
    card.OwnerKey = u"https://a.example";
    card.Name = u"Letter";
    card.Data = {1, 2, 3};
    store.SetDefaultCard(store.SaveCard(card, {}), 0);
  }
  EXPECT_EQ(Ok({"cards", "list"}).Out,
            "mail\thttps://a.example\tLetter\t\t3 bytes\tdefault for all profiles\n");
  EXPECT_EQ(Ok({"cards", "list", "--kind", "formset"}).Out, "");
  Ok({"cards", "delete", "https://a.example", "letter"});
  EXPECT_EQ(Ok({"cards", "list"}).Out, "");
  EXPECT_EQ(Run({"cards", "delete", "https://a.example", "letter"}).Status, 2);
}

// Everything the store holds, odd texts and bytes included.
void FillStore(const std::string& path) {
  TManagerStore store(path, &DefaultContent());
  const TProfile work = store.AddProfile(u"Work");
  store.SetPasswordHash(work.Id, HashPassword(u"pw"));
  store.SetFieldValue(work.Id, store.FieldCaptioned(u"First name").Id, String(u"A\xD800") + u"da");
  store.SetFieldCandidates(1, store.FieldCaptioned(u"Country").Id, u"Germany,\"New Zealand\"");
  TFieldDef shoe;
  shoe.Caption = u"Shoe size";
  shoe.FieldName = u"ShoeSize";
  shoe.Group = u"Other";
  shoe.ValueKind = 4;
  store.AddField(shoe);
  TCardRecord card;
  card.Kind = StoredNavigation;
  card.OwnerKey = u"https://a.example";
  card.Name = u"Steps";
  card.Title = u"t";
  card.Data = {0, 255, 7};
  card.ProtectedBy = work.Id;
  card.Created = 1000;
  card.Updated = 2000;
  store.SetDefaultCard(store.SaveCard(card, {}), work.Id);
  card.Kind = StoredFormSet;
  card.Name = u"Broken stream";
  card.ProtectedBy = 0;
  store.SaveCard(card, {});
  store.SetPageNote({u"https://a.example", u"T", u"Text"});
  store.SetTranslation({u"de", u"Activate", u"Aktivieren"});
  store.SetLanguage(u"de");
  store.SetOptionsWord(0x1d1);
  store.SetBannerMode(1);
  store.AddCollectedValues({u"One"});
}

TEST_F(ManagerCliTest, ExportAndImportLoseNothing) {
  FillStore(path_);
  const std::string exported = Ok({"export"}).Out;
  const std::string other = dir_.File("other.db");
  const std::string file = dir_.File("backup.json");
  Ok({"export", file});
  EXPECT_EQ(ReadFile(file), exported);
  const TRun imported = Run({"import", file}, {}, other);
  ASSERT_EQ(imported.Status, 0) << imported.Err;
  EXPECT_NE(imported.Err.find("import: 2 of 2 cards\n"), std::string::npos) << imported.Err;
  EXPECT_EQ(Run({"export"}, {}, other).Out, exported);
}

TEST_F(ManagerCliTest, ABadImportLeavesTheStoreAsItWas) {
  Ok({"profile", "add", "Keep me"});
  const std::string before = Ok({"export"}).Out;
  const std::string file = dir_.File("bad.json");
  std::ofstream(file) << R"({"format": "quillora-manager-store", "version": 1,
      "profiles": [{"name": "New"}],
      "cards": [{"kind": "mail", "owner": "k", "name": "n", "data": "not base64!"}]})";
  const TRun run = Run({"import", file});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "quillora-manager import: cards[0].data: not valid base64\n");
  EXPECT_EQ(Ok({"export"}).Out, before);
  std::ofstream(file) << "[1, 2";
  EXPECT_EQ(Run({"import", file}).Status, 2);
  EXPECT_EQ(Ok({"export"}).Out, before);
}

TEST_F(ManagerCliTest, TheLexiconGoesOutAndComesBackAsJsonAndAsStream) {
  Ok({"synonym", "add", "Company", "Kontor"});
  const std::string json = dir_.File("lexicon.json");
  const std::string stream = dir_.File("lexicon.bin");
  Ok({"lexicon", "export", json});
  Ok({"lexicon", "export", "--stream", stream});
  EXPECT_NE(ReadFile(json).find("\"Kontor\""), std::string::npos);
  // The lexicon keeps words in its sorted order, so compare what it writes.
  const std::string before = Ok({"lexicon", "export"}).Out;
  Ok({"lexicon", "import", stream});
  EXPECT_EQ(Ok({"lexicon", "export"}).Out, before);
  Ok({"lexicon", "import", json});
  EXPECT_EQ(Ok({"lexicon", "export"}).Out, before);
  const std::string store = Ok({"export"}).Out;
  std::string cut = ReadFile(stream);
  cut.resize(cut.size() / 2);
  std::ofstream(stream, std::ios::binary | std::ios::trunc) << cut;
  const TRun run = Run({"lexicon", "import", stream});
  EXPECT_EQ(run.Status, 2);
  EXPECT_NE(run.Err.find("corrupt lexicon stream at byte "), std::string::npos) << run.Err;
  EXPECT_EQ(Ok({"export"}).Out, store);
}

}  // namespace
}  // namespace qm::manager::cli
