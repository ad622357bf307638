#include "manager/store/ManagerStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>

#include "manager/store/PasswordHash.h"
#include "manager/store/SqliteError.h"
#include "manager/store/StoreSchema.h"
#include "manager/store/StoreTesting.h"
#include "platform/rtl/Utf.h"
#include "testsupport/QmTesting.h"

namespace qm::manager {
namespace {

using qm::testing::ExpectThrowsExactly;
using testing::SmallSeed;
using testing::TTempDir;

class ManagerStoreTest : public ::testing::Test {
protected:
  TTempDir dir_;
  TStoreSeed seed_ = SmallSeed();
  std::string path_ = dir_.File("data/quillora/manager.db");
};

TCardRecord Card(int32_t kind, const String& ownerKey, const String& name, Bytes data = {}) {
  TCardRecord card;
  card.Kind = kind;
  card.OwnerKey = ownerKey;
  card.Name = name;
  card.Data = std::move(data);
  return card;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

TEST_F(ManagerStoreTest, NewStoreIsPrivateAndHoldsTheSeed) {
  TManagerStore store(path_, &seed_);
  EXPECT_EQ(ModeOf(path_), 0600u);
  EXPECT_EQ(ModeOf(dir_.File("data/quillora")), 0700u);
  EXPECT_EQ(ModeOf(path_ + "-wal"), 0600u);
  EXPECT_EQ(store.OptionsWord(), 0x59);
  EXPECT_EQ(store.BannerMode(), 0);
  ASSERT_EQ(store.Profiles().size(), 1u);
  EXPECT_EQ(store.ActiveProfile().Name, u"Default");
  ASSERT_EQ(store.Fields().size(), 4u);
  const TLexiconData lexicon = store.Lexicon();
  EXPECT_EQ(lexicon.Separators, u" _-");
  ASSERT_EQ(lexicon.Goals.size(), 4u);
  EXPECT_EQ(lexicon.Goals[2].Key, u"Email");
  EXPECT_EQ(lexicon.Goals[2].Words, (std::vector<String>{u"email", u"e-mail", u"mail"}));
  EXPECT_EQ(lexicon.Substitutions, seed_.Lexicon.Substitutions);
  EXPECT_EQ(store.Db().QueryInt("PRAGMA user_version"), StoreSchemaVersion);
}

TEST_F(ManagerStoreTest, ReopeningKeepsDataAndDoesNotSeedAgain) {
  {
    TManagerStore store(path_, &seed_);
    store.SetOptionsWord(0x1d1);
    store.AddProfile(u"Work");
  }
  TManagerStore again(path_, &seed_);
  EXPECT_EQ(again.OptionsWord(), 0x1d1);
  EXPECT_EQ(again.Profiles().size(), 2u);
  EXPECT_EQ(again.Fields().size(), 4u);
}

TEST_F(ManagerStoreTest, RefusesFilesThatAreNotStores) {
  const std::string text = dir_.File("notes.txt");
  std::ofstream(text) << "this is not a database at all, just some words that fill a page";
  const auto e = ExpectThrowsExactly<EStoreError>(
      [&] { TManagerStore store(text, &seed_); },
      u"The store failed: the store file is damaged - file is not a database (" +
          platform::Utf8ToUtf16(text) + u")");
  EXPECT_EQ(e.ErrorKind(), EStoreError::Kind::Corrupt);

  const std::string other = dir_.File("other.db");
  {
    TSqliteDb db(other, {});
    db.Exec("CREATE TABLE t (x)");
  }
  ExpectThrowsExactly<EStoreError>([&] { TManagerStore store(other, &seed_); },
                                   u"Cannot use " + platform::Utf8ToUtf16(other) +
                                       u": it holds tables but isn't a Quillora store");
}

TEST_F(ManagerStoreTest, RefusesAStoreWrittenByANewerProgram) {
  { TManagerStore store(path_, &seed_); }
  {
    TSqliteDb db(path_, {});
    db.Exec("PRAGMA user_version = 99");
  }
  ExpectThrowsExactly<EStoreError>(
      [&] { TManagerStore store(path_, &seed_); },
      u"Cannot use " + platform::Utf8ToUtf16(path_) +
          u": a newer version of the manager wrote it (schema 99, this program knows up to 2)");
}

TEST_F(ManagerStoreTest, AFailingChangeLeavesNothingBehind) {
  TManagerStore store(path_, &seed_);
  const TSerials before = store.Serials();
  EXPECT_THROW(store.Write(ChangeData,
                           [&] {
                             store.AddProfile(u"Half");
                             store.SetOptionsWord(7);
                             throw std::runtime_error("stop");
                           }),
               std::runtime_error);
  EXPECT_FALSE(store.FindProfile(u"Half"));
  EXPECT_EQ(store.OptionsWord(), 0x59);
  EXPECT_EQ(store.Serials(), before);
  // The connection is usable again at once.
  store.AddProfile(u"Whole");
  EXPECT_TRUE(store.FindProfile(u"whole"));
}

TEST_F(ManagerStoreTest, AFullDiskRollsTheChangeBackAndSaysSo) {
  TManagerStore store(path_, &seed_);
  store.SetOptionsWord(3);
  const int64_t pages = store.Db().QueryInt("PRAGMA page_count");
  store.Db().Exec(("PRAGMA max_page_count = " + std::to_string(pages)).c_str());
  TCardRecord big;
  big.OwnerKey = u"http://example.com";
  big.Name = u"Huge";
  big.Data.assign(200000, 7);
  try {
    store.Write(ChangeData, [&] {
      store.SetOptionsWord(4);
      store.SaveCard(big, {});
    });
    FAIL() << "the write went through";
  } catch (const EStoreError& e) {
    EXPECT_EQ(e.ErrorKind(), EStoreError::Kind::Full);
    EXPECT_NE(platform::U8(e.Message()).find("the disk is full"), std::string::npos);
  }
  EXPECT_EQ(store.OptionsWord(), 3);
  EXPECT_EQ(store.CardCount(), 0);
  EXPECT_EQ(store.IntegrityCheck(), u"ok");
}

TEST_F(ManagerStoreTest, AWriterWaitsForAnotherThenFailsAsBusy) {
  TManagerStore store(path_, &seed_);
  TSqliteDb other(path_, TOpenOptions{true, 50});
  TTransaction holding(other);  // BEGIN IMMEDIATE: the write lock
  TSqliteDb third(path_, TOpenOptions{true, 50});
  try {
    TTransaction blocked(third);
    FAIL() << "two writers at once";
  } catch (const EStoreError& e) {
    EXPECT_EQ(e.ErrorKind(), EStoreError::Kind::Busy);
  }
  // Readers are not blocked by the writer.
  EXPECT_EQ(store.ActiveProfile().Name, u"Default");
}

TEST_F(ManagerStoreTest, AnotherConnectionSeesWhichSerialMoved) {
  TManagerStore service(path_, &seed_);
  TManagerStore commandLine(path_, &seed_);
  const int64_t version = service.DataVersion();
  const TSerials before = service.Serials();
  commandLine.SetLanguage(u"de");
  EXPECT_NE(service.DataVersion(), version);
  TSerials after = service.Serials();
  EXPECT_EQ(after.Language, before.Language + 1);
  EXPECT_EQ(after.Data, before.Data);
  EXPECT_EQ(after.Lexicon, before.Lexicon);
  commandLine.ReplaceLexicon({u" ", {}, {}, {{u"Email", {u"courriel"}}}});
  EXPECT_EQ(service.Serials().Lexicon, before.Lexicon + 1);
}

TEST_F(ManagerStoreTest, ProfilesAreUniqueIgnoringCaseAndTheLastOneStays) {
  TManagerStore store(path_, &seed_);
  const TProfile work = store.AddProfile(u"Ärger");
  ExpectThrowsExactly<EStoreError>([&] { store.AddProfile(u"ärger"); },
                                   u"A profile named 'ärger' exists already");
  ExpectThrowsExactly<EStoreError>([&] { store.AddProfile(u" x"); },
                                   u"A profile name cannot begin or end with a space: ' x'");
  ExpectThrowsExactly<EStoreError>([&] { store.ProfileNamed(u"Nobody"); },
                                   u"Unknown profile 'Nobody'");
  store.ActivateProfile(work.Id);
  store.RemoveProfile(work.Id);
  EXPECT_EQ(store.ActiveProfile().Name, u"Default");
  ExpectThrowsExactly<EStoreError>([&] { store.RemoveProfile(store.ActiveProfile().Id); },
                                   u"The last profile cannot be removed");
}

TEST_F(ManagerStoreTest, ValuesBelongToOneProfile) {
  TManagerStore store(path_, &seed_);
  const TProfile home = store.ActiveProfile();
  const TProfile work = store.AddProfile(u"Work");
  const TFieldDef email = store.FieldCaptioned(u"e-MAIL");
  store.SetFieldValue(home.Id, email.Id, u"me@home.example");
  store.SetFieldCandidates(work.Id, email.Id, u"a@work.example,b@work.example");
  EXPECT_EQ(store.FieldValue(home.Id, email).Value, u"me@home.example");
  EXPECT_EQ(store.FieldValue(work.Id, email).Value, u"");
  EXPECT_EQ(store.FieldValue(work.Id, email).Candidates, u"a@work.example,b@work.example");
  const std::vector<TFieldValue> values = store.ProfileValues(home.Id);
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[2].Value, u"me@home.example");
  EXPECT_EQ(values[0].Value, u"");
  ExpectThrowsExactly<EStoreError>([&] { store.FieldCaptioned(u"Shoe size"); },
                                   u"Unknown profile field 'Shoe size'");
}

TEST_F(ManagerStoreTest, SavingACardAgainReplacesItAndKeepsItsDefaults) {
  TManagerStore store(path_, &seed_);
  TCardRecord card = Card(StoredFormSet, u"http://a.example/login", u"Home", {1, 2, 3});
  const int64_t id = store.SaveCard(card, {{u"http://a.example/go", u"post", 42}});
  store.SetDefaultCard(id, 0);
  card.Name = u"HOME";
  card.Data = {9};
  EXPECT_EQ(store.SaveCard(card, {{u"http://a.example/go", u"post", 43}}), id);
  EXPECT_EQ(store.CardById(id).Data, Bytes{9});
  EXPECT_EQ(store.CardById(id).Name, u"HOME");
  EXPECT_EQ(store.DefaultCardName(StoredFormSet, card.OwnerKey, store.ActiveProfile().Id), u"HOME");
  EXPECT_TRUE(store.CardsWithSignature({u"http://a.example/go", u"post", 42}, u"x").empty());
  EXPECT_EQ(store.CardsWithSignature({u"http://a.example/go", u"post", 43}, u"x"),
            std::vector<int64_t>{id});
  // Its own owner key is left out.
  EXPECT_TRUE(
      store.CardsWithSignature({u"http://a.example/go", u"post", 43}, card.OwnerKey).empty());
  EXPECT_TRUE(store.DeleteCard(card.OwnerKey, u"home"));
  EXPECT_TRUE(store.Defaults().empty());
  EXPECT_TRUE(store.CardsWithSignature({u"http://a.example/go", u"post", 43}, u"x").empty());
  EXPECT_FALSE(store.DeleteCard(card.OwnerKey, u"home"));
}

TEST_F(ManagerStoreTest, AProfilesOwnDefaultWinsOverTheOneForAll) {
  TManagerStore store(path_, &seed_);
  const TProfile home = store.ActiveProfile();
  const TProfile work = store.AddProfile(u"Work");
  const String key = u"http://a.example";
  const int64_t a = store.SaveCard(Card(StoredMail, key, u"A"), {});
  const int64_t b = store.SaveCard(Card(StoredMail, key, u"B"), {});
  const int64_t c = store.SaveCard(Card(StoredFormSet, key, u"C"), {});
  store.SetDefaultCard(a, 0);
  store.SetDefaultCard(b, work.Id);
  store.SetDefaultCard(c, work.Id);
  EXPECT_EQ(store.DefaultCardName(StoredMail, key, home.Id), u"A");
  EXPECT_EQ(store.DefaultCardName(StoredMail, key, work.Id), u"B");
  EXPECT_EQ(store.DefaultCardName(StoredFormSet, key, work.Id), u"C");
  EXPECT_TRUE(store.IsDefaultForAll(a));
  EXPECT_FALSE(store.IsDefaultForAll(b));
  // A new default of the same scope and kind replaces the old one.
  store.SetDefaultCard(b, 0);
  EXPECT_FALSE(store.IsDefaultForAll(a));
  store.ClearDefaults(key, work.Id);
  EXPECT_EQ(store.DefaultCardName(StoredFormSet, key, work.Id), u"");
  EXPECT_EQ(store.DefaultCardName(StoredMail, key, work.Id), u"B");  // for all, still
}

TEST_F(ManagerStoreTest, RemovingAProfileTakesTheCardsItProtects) {
  TManagerStore store(path_, &seed_);
  const TProfile secret = store.AddProfile(u"Secret");
  store.SetPassword(secret.Id, u"pw");
  EXPECT_TRUE(store.FindProfile(u"Secret")->Protected());
  TCardRecord card = Card(StoredNavigation, u"k", u"Private", {1});
  card.ProtectedBy = secret.Id;
  store.SaveCard(card, {});
  store.SaveCard(Card(StoredNavigation, u"k", u"Open", {2}), {});
  store.RemoveProfile(secret.Id);
  EXPECT_EQ(store.CardNames(u"k", -1), std::vector<String>{u"Open"});
}

TEST_F(ManagerStoreTest, TextsKeepEveryCodeUnit) {
  TManagerStore store(path_, &seed_);
  const String odd = String(u"a\0b", 3) + u"\xD800" + u"日本" + u"\U0001F600";
  store.SetPageNote({u"p", odd, u"x"});
  EXPECT_EQ(store.PageNote(u"p")->Title, odd);
  store.SetPageNote({u"p", u"", u""});
  EXPECT_FALSE(store.PageNote(u"p"));
}

TEST_F(ManagerStoreTest, LexiconReplacesWhole) {
  TManagerStore store(path_, &seed_);
  TLexiconData lexicon;
  lexicon.Separators = u".";
  lexicon.StopWords = {u"the"};
  lexicon.Goals = {{u"Zip", {u"zip", u"postcode"}}, {u"Empty", {}}};
  store.ReplaceLexicon(lexicon);
  EXPECT_EQ(store.Lexicon(), lexicon);
}

TEST(PasswordHash, VerifiesOnlyTheRightPassword) {
  const std::u16string hash = HashPassword(u"correct horse");
  EXPECT_EQ(hash.rfind(u"$argon2id$", 0), 0u);
  EXPECT_TRUE(VerifyPassword(hash, u"correct horse"));
  EXPECT_FALSE(VerifyPassword(hash, u"correct horsf"));
  EXPECT_FALSE(VerifyPassword(u"", u""));
  EXPECT_FALSE(VerifyPassword(u"$argon2id$garbage", u"x"));
  EXPECT_NE(HashPassword(u"correct horse"), hash);  // salted
}

}  // namespace
}  // namespace qm::manager
