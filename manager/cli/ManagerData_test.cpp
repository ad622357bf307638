// quillora-manager's commands on protected profiles, cards, export and
// import.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/Common/StreamUtils.h"
#include "core/Common/TextUtils.h"
#include "manager/cli/CliTesting.h"
#include "manager/recognition/DefaultContent.h"
#include "platform/rtl/Utf.h"

namespace qm::manager::cli {
namespace {

using testing::ManagerCliTest;
using testing::TRun;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The backup files an import left beside the store.
std::vector<std::string> Backups(const std::string& store) {
  std::vector<std::string> found;
  const std::filesystem::path path(store);
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
    if (entry.path().filename().string().rfind(path.filename().string() + ".before-import-", 0) ==
        0) {
      found.push_back(entry.path().string());
    }
  }
  return found;
}

TEST_F(ManagerCliTest, AProtectedProfileIsShownAndChangedOnlyWithItsPassword) {
  Ok({"field", "set", "E-mail", "ada@example.org"});
  Ok({"password", "set", "--password-stdin"}, "pw1\n");
  EXPECT_TRUE(Has(Ok({"profile", "list"}).Out, "(protected)"));
  std::string shown = Ok({"profile", "show"}).Out;
  EXPECT_FALSE(Has(shown, "ada@example.org"));
  EXPECT_TRUE(Has(shown, "E-mail (Email): (hidden)")) << shown;
  shown = Ok({"profile", "show", "--password-stdin"}, "pw1\n").Out;
  EXPECT_TRUE(Has(shown, "E-mail (Email): ada@example.org")) << shown;
  // A wrong password says so, exits 1, and leaves no trace of itself.
  TRun run = Run({"profile", "show", "--password-stdin"}, "nope-Xy1\n");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "quillora-manager profile show: wrong password for profile 'Default'\n");
  EXPECT_FALSE(Has(run.Out + run.Err, "nope-Xy1"));
  run = Run({"field", "set", "E-mail", "x@y"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err,
            "quillora-manager field set: profile 'Default' is protected: give its "
            "password with --password-stdin\n");
  // The password first, then the value.
  Ok({"field", "set", "--password-stdin", "E-mail", "-"}, "pw1\nnew@example.org\n");
  EXPECT_TRUE(Has(Ok({"profile", "show", "--password-stdin"}, "pw1\n").Out, "new@example.org"));
  // Changing the password needs the current one first.
  run = Run({"password", "set", "--password-stdin"}, "bad\nnew\n");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err,
            "quillora-manager password set: wrong current password for profile 'Default'\n");
  Ok({"password", "set", "--password-stdin"}, "pw1\npw2\n");
  EXPECT_EQ(Run({"profile", "show", "--password-stdin"}, "pw1\n").Status, 1);
  Ok({"password", "clear", "--password-stdin"}, "pw2\n");
  EXPECT_TRUE(Has(Ok({"profile", "show"}).Out, "new@example.org"));
}

TEST_F(ManagerCliTest, AtATerminalPasswordsAreAskedForAndANewOneTwice) {
  TRun run = Run({"password", "set"}, "s3cret-Q\ns3cret-Q\n", {}, true);
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "New password for profile 'Default': Repeat the new password: ");
  EXPECT_FALSE(Has(run.Out + run.Err, "s3cret-Q"));
  run = Run({"password", "set"}, "s3cret-Q\nnew-1\nnew-2\n", {}, true);
  EXPECT_EQ(run.Status, 2);
  EXPECT_TRUE(Has(run.Err, "the two passwords differ; nothing was changed")) << run.Err;
  // A change that needs the password asks for it there, without the option.
  run = Run({"field", "set", "First name", "Ada"}, "s3cret-Q\n", {}, true);
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "Password of profile 'Default': ");
  // Away from a terminal, nothing is read without the option.
  run = Run({"password", "clear"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err,
            "quillora-manager password clear: the current password is needed: give it "
            "with --password-stdin (see --help)\n");
}

// A profile "Work" protected by "pw" with a value and a navigation card.
void ProtectedWork(const std::string& path) {
  TManagerStore store(path, &DefaultContent());
  const TProfile work = store.AddProfile(u"Work");
  store.SetPassword(work.Id, u"pw");
  store.SetFieldValue(work.Id, store.FieldCaptioned(u"Card number").Id, u"4111-secret");
  TMemoryStream steps;
  TStreamWriter writer(steps);
  writer.Count(1);
  for (const char16_t* text :
       {u"a", u"", u"Statements", u"https://bank.example/st", u"bank.example"})
    writer.WideString(text);
  TCardRecord card;
  card.Kind = StoredNavigation;
  card.OwnerKey = u"bank.example";
  card.Name = u"Statements";
  card.Data = steps.Bytes();
  card.ProtectedBy = work.Id;
  store.SaveCard(card, {});
}

TEST_F(ManagerCliTest, ExportKeepsALockedProfileEncryptedAndImportTakesItAsItIs) {
  ProtectedWork(path_);
  const std::string locked = Ok({"export"}).Out;
  EXPECT_FALSE(Has(locked, "4111-secret"));
  EXPECT_FALSE(Has(locked, "bank.example/st")) << "the card's steps are encrypted";
  EXPECT_TRUE(Has(locked, "\"Sealed\": \"")) << locked;
  EXPECT_TRUE(Has(locked, "\"Key\": {")) << locked;
  const std::string file = dir_.File("locked.json");
  std::ofstream(file) << locked;
  const std::string other = dir_.File("other.db");
  ASSERT_EQ(Run({"import", "--quiet", file}, {}, other).Status, 0);
  EXPECT_EQ(Run({"export"}, {}, other).Out, locked) << "imported as it was";
  const TRun shown = Run({"profile", "show", "--password-stdin", "Work"}, "pw\n", other);
  EXPECT_TRUE(Has(shown.Out, "Card number (CardNumber): 4111-secret")) << shown.Out << shown.Err;
  const TRun card =
      Run({"cards", "show", "--password-stdin", "bank.example", "Statements"}, "pw\n", other);
  EXPECT_TRUE(Has(card.Out,
                  "1. page:  bank.example\n     click: a named 'Statements' with value "
                  "'https://bank.example/st'\n"))
      << card.Out << card.Err;
  // With the password it goes out in clear.
  const std::string open = Ok({"export", "--password-stdin"}, "pw\n").Out;
  EXPECT_TRUE(Has(open, "\"Value\": \"4111-secret\"")) << open;
  EXPECT_FALSE(Has(open, "\"Key\": {"));
  EXPECT_EQ(Run({"export", "--password-stdin"}, "wrong\n").Status, 1);
}

// Whether the store's files (the database and its journal) hold text as
// the store writes texts: UTF-16.
bool FilesHold(const std::string& store, const std::string& text) {
  std::string wide;
  for (char c : text)
    wide += std::string{c, '\0'};
  for (const std::string& path : {store, store + "-wal"}) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    if (Has(bytes, wide)) return true;
  }
  return false;
}

TEST_F(ManagerCliTest, AProfileImportedInClearIsEncryptedWithThePasswordGiven) {
  ProtectedWork(path_);
  const std::string clear = Ok({"export", "--password-stdin"}, "pw\n").Out;
  ASSERT_TRUE(Has(clear, "4111-secret"));
  const std::string file = dir_.File("clear.json");
  std::ofstream(file) << clear;

  // Without the password it is kept in clear until its next unlock.
  const std::string plain = dir_.File("plain.db");
  TRun run = Run({"import", "--quiet", file}, {}, plain);
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(FilesHold(plain, "4111-secret"));

  const std::string sealed = dir_.File("sealed.db");
  run = Run({"import", "--quiet", "--password-stdin", file}, "pw\n", sealed);
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err,
            "note: profile 'Work' came in clear and was encrypted with the password "
            "given\n");
  EXPECT_FALSE(Has(run.Out + run.Err, "pw\n"));
  EXPECT_FALSE(FilesHold(sealed, "4111-secret"));
  const std::string exported = Run({"export"}, {}, sealed).Out;
  EXPECT_FALSE(Has(exported, "4111-secret"));
  EXPECT_FALSE(Has(exported, "bank.example/st")) << "the card is encrypted too";
  EXPECT_TRUE(Has(exported, "\"Key\": {")) << exported;
  EXPECT_TRUE(Has(Run({"profile", "show", "--password-stdin", "Work"}, "pw\n", sealed).Out,
                  "Card number (CardNumber): 4111-secret"));
  EXPECT_FALSE(Has(Run({"profile", "list"}, {}, sealed).Out, "not yet encrypted"));

  // The password line comes before a document on standard input.
  const std::string piped = dir_.File("piped.db");
  run = Run({"import", "--quiet", "--password-stdin", "-"}, "pw\n" + clear, piped);
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_FALSE(FilesHold(piped, "4111-secret"));

  // A password that does not open the profile stops the import, dry run
  // or not; the store stays as it was.
  const std::string before = Ok({"export"}).Out;
  for (const bool dry : {true, false}) {
    std::vector<std::string> args = {"import", "--quiet", "--password-stdin", file};
    if (dry) args.insert(args.begin() + 1, "--dry-run");
    run = Run(args, "wrong-Zq\n");
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_EQ(run.Err, "quillora-manager import: The password is wrong for profile 'Work'\n");
    EXPECT_EQ(Ok({"export"}).Out, before);
    EXPECT_TRUE(Backups(path_).empty());
  }
  // No password line at all is bad input.
  EXPECT_EQ(Run({"import", "--password-stdin", file}, "", piped).Status, 2);
}

TEST_F(ManagerCliTest, EncryptingManyCardsAnewShowsProgressThatEndsItsLine) {
  {
    TManagerStore store(path_, &DefaultContent());
    const TProfile work = store.AddProfile(u"Work");
    store.Write(ChangeData, [&] {
      for (int i = 0; i < 250; ++i) {
        TCardRecord card;
        card.Kind = StoredMail;
        card.OwnerKey = u"https://mail.example";
        card.Name = u"Letter " + IntToText(i);
        card.Data = {1, 2, 3};
        card.ProtectedBy = work.Id;
        store.SaveCard(card, {});
      }
    });
  }
  // Away from a terminal: whole lines, the last one the end of the work.
  TRun run = Run({"password", "set", "--profile", "Work", "--password-stdin"}, "pw\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  ASSERT_FALSE(run.Err.empty());
  EXPECT_EQ(run.Err.rfind("encrypting: 3 of 250 cards\n", 0), 0u) << run.Err;
  EXPECT_TRUE(run.Err.ends_with("\nencrypting: 250 of 250 cards\n")) << run.Err;
  const auto lines = std::count(run.Err.begin(), run.Err.end(), '\n');
  EXPECT_GT(lines, 10);
  EXPECT_LE(lines, 101) << "now and then, not for every card";
  EXPECT_FALSE(Has(run.Err, "\r"));
  EXPECT_FALSE(Has(Ok({"export"}).Out, "AQID")) << "the cards are encrypted";

  // At a terminal: one line rewritten in place, ended once the work is.
  run = Run({"password", "set", "--profile", "Work"}, "pw\npw2\npw2\n", {}, true);
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::string prompts =
      "Current password of profile 'Work': New password for profile 'Work': Repeat the new "
      "password: ";
  ASSERT_EQ(run.Err.rfind(prompts + "\rencrypting: 3 of 250 cards\x1b[K", 0), 0u) << run.Err;
  EXPECT_TRUE(run.Err.ends_with("\rencrypting: 250 of 250 cards\x1b[K\n")) << run.Err;
  EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1);

  // --quiet: nothing but the answer.
  run = Run({"password", "clear", "--profile", "Work", "--password-stdin", "--quiet"}, "pw2\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Out, "Profile 'Work' is no longer protected\n");
  EXPECT_TRUE(Has(Ok({"export"}).Out, "AQID")) << "in clear again";
  Ok({"password", "set", "--profile", "Work", "--password-stdin", "--quiet"}, "pw3\n");
  run = Run({"password", "clear", "--profile", "Work", "--password-stdin"}, "pw3\n");
  EXPECT_TRUE(run.Err.ends_with("decrypting: 250 of 250 cards\n")) << run.Err;
}

// Everything the store holds, odd texts and bytes included.
void FillStore(const std::string& path) {
  TManagerStore store(path, &DefaultContent());
  const TProfile work = store.AddProfile(u"Work");
  store.SetPassword(work.Id, u"pw");
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
  store.SetOptionsWord(0x191);
  store.SetBannerMode(1);
  store.AddCollectedValues({u"One"});
}

TEST_F(ManagerCliTest, ExportAndImportLoseNothing) {
  FillStore(path_);
  const std::string exported = Ok({"export"}).Out;
  EXPECT_TRUE(Has(exported, "\"Format\": \"quillora-manager-store\",\n  \"Version\": 2,"));
  const std::string other = dir_.File("other.db");
  const std::string file = dir_.File("backup.json");
  Ok({"export", file});
  EXPECT_EQ(ReadFile(file), exported);
  const TRun imported = Run({"import", file}, {}, other);
  ASSERT_EQ(imported.Status, 0) << imported.Err;
  EXPECT_TRUE(Has(imported.Err, "import: 2 of 2 cards\n")) << imported.Err;
  EXPECT_TRUE(Backups(other).empty()) << "a new store has nothing to keep";
  EXPECT_EQ(Run({"export"}, {}, other).Out, exported);
  // A file the system refuses: a failure, with the system's reason.
  const TRun refused = Run({"export", dir_.File("no/such/folder/x.json")});
  EXPECT_EQ(refused.Status, 1);
  EXPECT_EQ(refused.Err, "quillora-manager export: cannot write " +
                             dir_.File("no/such/folder/x.json") + ": No such file or directory\n");
}

TEST_F(ManagerCliTest, ImportKeepsThePreviousStoreBesideItAndADryRunChangesNothing) {
  Ok({"profile", "add", "Keep me"});
  const std::string before = Ok({"export"}).Out;
  const std::string file = dir_.File("new.json");
  std::ofstream(file) << R"({"Format": "quillora-manager-store", "Version": 2,
      "Profiles": [{"Name": "New", "Active": true}],
      "Cards": [{"Kind": "mail", "Owner": "k", "Name": "n", "Data": "AAEC"}]})";
  const TRun dry = Ok({"import", "--dry-run", file});
  EXPECT_EQ(dry.Out.rfind("The document is good. Importing it would replace 2 profiles, 40 "
                          "fields, ",
                          0),
            0u)
      << dry.Out;
  EXPECT_TRUE(Has(dry.Out,
                  " 0 cards, 0 defaults, 0 notes, 0 translations, 0 collected values\n"
                  "with 1 profiles, 0 fields, 0 synonyms, 1 cards, 0 defaults, 0 notes, "
                  "0 translations, 0 collected values (nothing was changed)\n"))
      << dry.Out;
  EXPECT_EQ(Ok({"export"}).Out, before);
  EXPECT_TRUE(Backups(path_).empty());

  const TRun real = Ok({"import", file});
  const std::vector<std::string> backups = Backups(path_);
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_TRUE(Has(real.Out, "The store as it was is kept in " + backups[0] + "\n")) << real.Out;
  struct stat info {};
  ASSERT_EQ(stat(backups[0].c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(Ok({"profile", "list"}).Out, "* New\n");
  EXPECT_EQ(Run({"export"}, {}, backups[0]).Out, before) << "the backup is the old store";
}

TEST_F(ManagerCliTest, ABadImportNamesThePlaceAndLeavesTheStoreAsItWas) {
  Ok({"profile", "add", "Keep me"});
  const std::string before = Ok({"export"}).Out;
  const std::string file = dir_.File("bad.json");
  const std::vector<std::pair<std::string, std::string>> bad = {
      {R"({"Format": "quillora-manager-store", "Version": 2,
          "Profiles": [{"Name": "New", "Active": true}],
          "Cards": [{"Kind": "mail", "Owner": "k", "Name": "n", "Data": "not base64!"}]})",
       "Cards[0].Data: not valid base64"},
      {R"({"Format": "quillora-manager-store", "Version": 2,
          "Profiles": [{"Name": "New", "Active": true, "Vaules": []}]})",
       "Profiles[0].Vaules: unknown key; the keys here are Name, Active, PasswordHash, Key, "
       "Values"},
      {R"({"Format": "quillora-manager-store", "Version": 2, "Profiles": [{"Name": "New"}]})",
       "Profiles: no profile is marked active (\"Active\": true)"},
      {R"({"Format": "quillora-manager-store", "Version": 2,
          "Profiles": [{"Name": "New", "Active": "yes"}]})",
       "Profiles[0].Active: must be true or false"},
      {R"({"Format": "quillora-manager-store", "Version": 2,
          "Profiles": [{"Name": "New", "Active": true}],
          "Cards": [{"Kind": "letter", "Owner": "k", "Name": "n", "Data": ""}]})",
       "Cards[0].Kind: unknown card kind 'letter'; the kinds are formset, navigation or mail"},
      {"[1, 2", file + ": not valid JSON: "},
  };
  for (const auto& [document, message] : bad) {
    std::ofstream(file, std::ios::trunc) << document;
    const TRun run = Run({"import", file});
    EXPECT_EQ(run.Status, 2) << message;
    EXPECT_TRUE(Has(run.Err, "quillora-manager import: " + message)) << run.Err;
    EXPECT_EQ(Ok({"export"}).Out, before);
    EXPECT_TRUE(Backups(path_).empty()) << "nothing changed: no backup kept";
  }
}

TEST_F(ManagerCliTest, ADocumentOfTheFirstVersionIsRead) {
  const std::string file = dir_.File("v1.json");
  std::ofstream(file) << R"({"format": "quillora-manager-store", "version": 1,
      "profiles": [{"name": "A", "active": true, "values": [{"field": "C", "value": "v"}]}],
      "fields": [{"caption": "C", "name": "N", "group": "G", "valueKind": 3}],
      "lexicon": {"stopWords": ["or"], "goals": [{"key": "N", "words": ["cee"]}]},
      "cards": [{"kind": "formSet", "owner": "k", "name": "f", "data": "AAEC"},
                {"kind": "mail", "owner": "k", "name": "n", "data": {"utf16": [65]}}],
      "defaults": [{"owner": "k", "card": "n"}]})";
  TRun run = Run({"import", "--quiet", file});
  EXPECT_EQ(run.Status, 2) << "a wrong type is refused in any version";
  EXPECT_TRUE(Has(run.Err, "cards[1].data: must be base64 text") ||
              Has(run.Err, "Cards[1].Data: must be base64 text"))
      << run.Err;
  std::string text = ReadFile(file);
  text.replace(text.find(R"({"utf16": [65]})"), 15, R"("AAEC")");
  std::ofstream(file, std::ios::trunc) << text;
  run = Run({"import", "--quiet", file});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(Ok({"cards", "list"}).Out,
            "formset\tk\tf\t\t3 bytes\nmail\tk\tn\t\t3 bytes\tdefault for all profiles\n");
  EXPECT_TRUE(Has(Ok({"profile", "show"}).Out, "C (N): v"));
}

TEST_F(ManagerCliTest, CardsAreListedShownAndDeleted) {
  {
    TManagerStore store(path_, nullptr);
    TMemoryStream mail;
    TStreamWriter writer(mail);
    for (const char16_t* text : {u"orders@a.example", u"My order", u"Hello,\r\nplease send it."})
      writer.WideString(text);
    TCardRecord card;
    card.Kind = StoredMail;
    card.OwnerKey = u"https://a.example";
    card.Name = u"Letter";
    card.Data = mail.Bytes();
    card.Created = card.Updated = 86400;
    store.SetDefaultCard(store.SaveCard(card, {}), 0);
  }
  EXPECT_EQ(Ok({"cards", "list"}).Out, "mail\thttps://a.example\tLetter\t\t" +
                                           std::to_string(4 + 32 + 4 + 16 + 4 + 46) +
                                           " bytes\tdefault for all profiles\n");
  EXPECT_EQ(Ok({"cards", "list", "--kind", "formset"}).Out, "");
  const TRun unknownKind = Run({"cards", "list", "--kind", "form"});
  EXPECT_EQ(unknownKind.Status, 2);
  EXPECT_EQ(unknownKind.Err,
            "quillora-manager cards list: unknown card kind 'form'; the kinds "
            "are formset, navigation or mail\n");
  EXPECT_EQ(Run({"cards", "list", "https://nothing.example"}).Status, 1);
  EXPECT_EQ(Ok({"cards", "show", "https://a.example", "letter"}).Out,
            "Card:    Letter\nKind:    mail\nOwner:   https://a.example\nTitle:   \n"
            "Saved:   1970-01-02 00:00:00 UTC (changed 1970-01-02 00:00:00 UTC)\n"
            "Default for: all profiles\n"
            "To:      orders@a.example\nSubject: My order\nBody:\n  Hello,\n  please send it.\n");
  Ok({"cards", "delete", "https://a.example", "letter"});
  EXPECT_EQ(Ok({"cards", "list"}).Out, "");
  const TRun gone = Run({"cards", "delete", "https://a.example", "letter"});
  EXPECT_EQ(gone.Status, 1);
  EXPECT_EQ(gone.Err, "quillora-manager cards delete: no card 'letter' of 'https://a.example'\n");
}

TEST_F(ManagerCliTest, AFormSetShowsAsItsJson) {
  const std::string forms = dir_.File("forms.json");
  std::ofstream(forms) << R"({"Format": "quillora-manager-store", "Version": 2,
      "Profiles": [{"Name": "A", "Active": true}],
      "Cards": [{"Kind": "formset", "Owner": "k", "Name": "f", "Forms": {"Cards": [
        {"Url": "https://k/go", "Method": "post", "Fields": [{"Name": "q", "Value": "v"}]}]}}]})";
  Ok({"import", "--quiet", forms});
  const std::string shown = Ok({"cards", "show", "k", "f"}).Out;
  EXPECT_TRUE(Has(shown, "Kind:    formset\n")) << shown;
  EXPECT_TRUE(Has(shown, "Forms (the JSON of qmtool transit decode):\n{\n  \"Cards\": [\n"))
      << shown;
  EXPECT_TRUE(Has(shown, "\"Url\": \"https://k/go\"")) << shown;
}

TEST_F(ManagerCliTest, TheLexiconGoesOutAndComesBackAsJsonAndAsStream) {
  Ok({"synonym", "add", "Company", "Kontor"});
  const std::string json = dir_.File("lexicon.json");
  const std::string stream = dir_.File("lexicon.bin");
  Ok({"lexicon", "export", json});
  Ok({"lexicon", "export", "--stream", stream});
  EXPECT_TRUE(Has(ReadFile(json), "\"Kontor\""));
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
  EXPECT_TRUE(Has(run.Err, "corrupt lexicon stream at byte ")) << run.Err;
  EXPECT_EQ(Ok({"export"}).Out, store);
}

}  // namespace
}  // namespace qm::manager::cli
