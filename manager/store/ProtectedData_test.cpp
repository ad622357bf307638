// Protected profiles: encryption at rest, keys, password changes, damage,
// and the migration of a store the first version wrote.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>

#include "manager/store/ManagerStore.h"
#include "manager/store/ProfileCrypto.h"
#include "manager/store/ProtectedData.h"
#include "manager/store/SqliteError.h"
#include "manager/store/StoreJson.h"
#include "manager/store/StoreTesting.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

using testing::SmallSeed;
using testing::TTempDir;
using Kind = EStoreError::Kind;

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::string Utf16Bytes(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xff);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// Whether the store's files (the file and its journal) hold the text in
// clear, as UTF-16 (how the store keeps texts) or as UTF-8 (card bytes).
bool FilesHold(const std::string& path, const std::u16string& text) {
  for (const std::string& file : {path, path + "-wal"}) {
    const std::string bytes = FileBytes(file);
    if (bytes.find(Utf16Bytes(text)) != std::string::npos) return true;
    if (bytes.find(platform::Utf16ToUtf8(text)) != std::string::npos) return true;
  }
  return false;
}

Kind KindOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EStoreError& e) {
    return e.ErrorKind();
  }
  return Kind::Other;
}

TCardRecord Card(int32_t kind, const String& name, const std::string& data, int64_t protectedBy) {
  TCardRecord card;
  card.Kind = kind;
  card.OwnerKey = u"https://bank.example/login";
  card.Name = name;
  card.Data.assign(data.begin(), data.end());
  card.ProtectedBy = protectedBy;
  return card;
}

class ProtectedDataTest : public ::testing::Test {
protected:
  // A profile "Work" with a value, candidates and a mail card, and the
  // Default profile with a value of its own.
  void Fill(TManagerStore& store) {
    work_ = store.AddProfile(u"Work").Id;
    store.SetFieldValue(work_, store.FieldCaptioned(u"Last name").Id, u"Zyxwvut-secret");
    store.SetFieldCandidates(work_, store.FieldCaptioned(u"E-mail").Id, u"cand-Qx7,cand-Rz8");
    store.SetFieldValue(1, store.FieldCaptioned(u"First name").Id, u"Open-Ann");
    store.SaveCard(Card(StoredMail, u"Letter", "mail-secret-Kp9", work_), {});
  }

  TTempDir dir_;
  TStoreSeed seed_ = SmallSeed();
  std::string path_ = dir_.File("manager.db");
  int64_t work_ = 0;
};

TEST_F(ProtectedDataTest, TheStoreFileHoldsNoProtectedValueInClear) {
  TManagerStore store(path_, &seed_);
  Fill(store);
  ASSERT_TRUE(FilesHold(path_, u"Zyxwvut-secret")) << "the search must find a clear value";
  store.SetPassword(work_, u"pw");
  for (const char16_t* secret : {u"Zyxwvut-secret", u"cand-Qx7", u"mail-secret-Kp9"}) {
    EXPECT_FALSE(FilesHold(path_, secret)) << platform::Utf16ToUtf8(secret);
  }
  EXPECT_TRUE(FilesHold(path_, u"Open-Ann")) << "an open profile stays in clear";
  // Saved from now on, sealed on the way in.
  store.SetFieldValue(work_, store.FieldCaptioned(u"First name").Id, u"Later-Wv5");
  store.SaveCard(Card(StoredNavigation, u"Steps", "nav-secret-Ty2", work_), {});
  EXPECT_FALSE(FilesHold(path_, u"Later-Wv5"));
  EXPECT_FALSE(FilesHold(path_, u"nav-secret-Ty2"));
  // This object holds the key: everything reads back.
  EXPECT_EQ(store.FieldValue(work_, store.FieldCaptioned(u"Last name")).Value, u"Zyxwvut-secret");
  const TCardRecord card = *store.FindCard(u"https://bank.example/login", u"Letter");
  EXPECT_TRUE(card.Sealed);
  const Bytes data = store.CardData(card);
  EXPECT_EQ(std::string(data.begin(), data.end()), "mail-secret-Kp9");
}

TEST_F(ProtectedDataTest, WithoutTheKeyNothingOfTheProfileIsReadOrWritten) {
  {
    TManagerStore store(path_, &seed_);
    Fill(store);
    store.SetPassword(work_, u"pw");
  }
  TManagerStore store(path_, &seed_);
  const TFieldDef last = store.FieldCaptioned(u"Last name");
  const TFieldValue locked = store.FieldValue(work_, last);
  EXPECT_TRUE(locked.Locked);
  EXPECT_EQ(locked.Value, u"");
  EXPECT_EQ(KindOf([&] { store.SetFieldValue(work_, last.Id, u"x"); }), Kind::Locked);
  const TCardRecord card = *store.FindCard(u"https://bank.example/login", u"Letter");
  EXPECT_EQ(KindOf([&] { store.CardData(card); }), Kind::Locked);
  EXPECT_EQ(KindOf([&] { store.SaveCard(Card(StoredMail, u"New", "x", work_), {}); }),
            Kind::Locked);
  EXPECT_FALSE(store.Unlock(work_, u"wrong"));
  EXPECT_FALSE(store.HasKey(work_));
  ASSERT_TRUE(store.Unlock(work_, u"pw"));
  EXPECT_EQ(store.FieldValue(work_, last).Value, u"Zyxwvut-secret");
  EXPECT_EQ(store.FieldValue(work_, store.FieldCaptioned(u"E-mail")).Candidates,
            u"cand-Qx7,cand-Rz8");
  store.Lock(work_);
  EXPECT_TRUE(store.FieldValue(work_, last).Locked);
}

TEST_F(ProtectedDataTest, ChangingThePasswordSealsEverythingAnewAndClearingItOpensIt) {
  TManagerStore store(path_, &seed_);
  Fill(store);
  store.SetPassword(work_, u"old");
  const TProfile before = *store.FindProfile(u"Work");
  store.SetPassword(work_, u"new");
  const TProfile after = *store.FindProfile(u"Work");
  EXPECT_NE(before.Key.Salt, after.Key.Salt) << "a new key has its own salt";
  EXPECT_NE(before.PasswordHash, after.PasswordHash);
  {
    TManagerStore other(path_, &seed_);
    EXPECT_FALSE(other.Unlock(work_, u"old"));
    ASSERT_TRUE(other.Unlock(work_, u"new"));
    EXPECT_EQ(other.FieldValue(work_, other.FieldCaptioned(u"Last name")).Value,
              u"Zyxwvut-secret");
    const Bytes data = other.CardData(*other.FindCard(u"https://bank.example/login", u"letter"));
    EXPECT_EQ(std::string(data.begin(), data.end()), "mail-secret-Kp9");
  }
  store.SetPassword(work_, u"");
  EXPECT_FALSE(store.FindProfile(u"Work")->Protected());
  EXPECT_TRUE(FilesHold(path_, u"Zyxwvut-secret"));
  TManagerStore other(path_, &seed_);
  EXPECT_EQ(other.FieldValue(work_, other.FieldCaptioned(u"Last name")).Value, u"Zyxwvut-secret");
}

TEST_F(ProtectedDataTest, AKeyGoesWhenAnotherProgramChangesThePassword) {
  TManagerStore service(path_, &seed_);
  Fill(service);
  service.SetPassword(work_, u"old");
  TManagerStore reader(path_, &seed_);
  ASSERT_TRUE(reader.Unlock(work_, u"old"));
  EXPECT_FALSE(reader.ForgetStaleKeys());
  service.SetPassword(work_, u"new");
  EXPECT_TRUE(reader.ForgetStaleKeys());
  EXPECT_FALSE(reader.HasKey(work_));
  // A program that writes before it looked: the old key seals nothing.
  TManagerStore writer(path_, &seed_);
  ASSERT_TRUE(writer.Unlock(work_, u"new"));
  {
    TManagerStore other(path_, &seed_);
    ASSERT_TRUE(other.Unlock(work_, u"new"));
    other.SetPassword(work_, u"newer");
  }
  const TFieldDef last = writer.FieldCaptioned(u"Last name");
  EXPECT_EQ(KindOf([&] { writer.SetFieldValue(work_, last.Id, u"lost?"); }), Kind::Locked);
  EXPECT_TRUE(writer.FieldValue(work_, last).Locked);
  ASSERT_TRUE(writer.Unlock(work_, u"newer"));
  EXPECT_EQ(writer.FieldValue(work_, last).Value, u"Zyxwvut-secret");
}

TEST_F(ProtectedDataTest, ADamagedValueIsRefusedClearlyAndNothingElseChanges) {
  TManagerStore store(path_, &seed_);
  Fill(store);
  store.SetPassword(work_, u"pw");
  // One byte of the sealed last name flipped behind the store's back.
  const int64_t lastId = store.FieldCaptioned(u"Last name").Id;
  Bytes sealed;
  {
    TStatement query = store.Db().Prepare("SELECT sealed FROM field_values WHERE field_id = ?1");
    query.Bind(1, lastId);
    ASSERT_TRUE(query.Step());
    sealed = query.Blob(0);
  }
  sealed[30] ^= 1;
  store.Db().Prepare("UPDATE field_values SET sealed = ?2 WHERE field_id = ?1")
      .Bind(1, lastId)
      .BindBlob(2, sealed)
      .Run();
  const TProfile before = *store.FindProfile(u"Work");
  try {
    store.ProfileValues(work_);
    ADD_FAILURE() << "a damaged value was read";
  } catch (const EStoreError& e) {
    EXPECT_EQ(e.ErrorKind(), Kind::Corrupt);
    EXPECT_EQ(e.Message(), u"The encrypted value of 'Last name' of profile 'Work' is damaged: it "
                           u"cannot be decrypted");
  }
  EXPECT_EQ(KindOf([&] { store.SetPassword(work_, u"other"); }), Kind::Corrupt);
  const TProfile after = *store.FindProfile(u"Work");
  EXPECT_EQ(after.PasswordHash, before.PasswordHash) << "the failed change left the password";
  EXPECT_EQ(after.Key, before.Key);
  EXPECT_EQ(store.FieldValue(work_, store.FieldCaptioned(u"E-mail")).Candidates,
            u"cand-Qx7,cand-Rz8")
      << "the other values still open with the old key";
}

TEST_F(ProtectedDataTest, ASealedValueOpensOnlyWhereItBelongs) {
  const TKeyParams params = NewKeyParams();
  const auto key = TProfileKey::Derive(u"pw", params);
  const Bytes plain = PackValue(u"value", u"a,b");
  const Bytes sealed = key->Seal(plain, ValuePlace(u"LastName"));
  EXPECT_EQ(key->Open(sealed, ValuePlace(u"lastname")), plain) << "names ignore case";
  EXPECT_FALSE(key->Open(sealed, ValuePlace(u"FirstName"))) << "moved to another field";
  EXPECT_FALSE(TProfileKey::Derive(u"other", params)->Open(sealed, ValuePlace(u"LastName")));
  EXPECT_FALSE(key->Open(Bytes(sealed.begin(), sealed.end() - 1), ValuePlace(u"LastName")));
  EXPECT_FALSE(key->Open(Bytes(10, 1), ValuePlace(u"LastName")));
  EXPECT_NE(key->Seal(plain, u"x"), key->Seal(plain, u"x")) << "every sealing has its own nonce";
  const auto texts = UnpackValue(plain);
  ASSERT_TRUE(texts);
  EXPECT_EQ(texts->first, u"value");
  EXPECT_EQ(texts->second, u"a,b");
  EXPECT_FALSE(UnpackValue(Bytes{9, 0, 0, 0, 'a', 0}));
}

TEST_F(ProtectedDataTest, KeyParametersFromOutsideAreChecked) {
  TKeyParams params = NewKeyParams();
  EXPECT_EQ(KeyParamsProblem(params), "");
  params.Mem = uint64_t{1} << 40;
  EXPECT_NE(KeyParamsProblem(params).find("memory"), std::string::npos);
  params = NewKeyParams();
  params.Salt.pop_back();
  EXPECT_NE(KeyParamsProblem(params).find("salt"), std::string::npos);
  params = NewKeyParams();
  params.Ops = 0;
  EXPECT_NE(KeyParamsProblem(params).find("passes"), std::string::npos);
}

// A store written by the first version, made from its dump.
void MakeFirstVersionStore(const std::string& path) {
  const std::string sql = FileBytes(std::string(QM_STORE_TESTDATA) + "/store-v1.sql");
  ASSERT_FALSE(sql.empty()) << "the fixture is missing";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << (error != nullptr ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

TEST_F(ProtectedDataTest, AStoreOfTheFirstVersionIsMigratedAndEncryptedAtItsFirstUnlock) {
  MakeFirstVersionStore(path_);
  ASSERT_TRUE(FilesHold(path_, u"Zyxwvut-Secret")) << "the first version kept it in clear";
  TManagerStore store(path_, nullptr);
  EXPECT_EQ(store.Db().QueryInt("PRAGMA user_version"), 2);
  EXPECT_EQ(store.IntegrityCheck(), u"ok");
  const TProfile work = store.ProfileNamed(u"Work");
  ASSERT_TRUE(work.Protected());
  EXPECT_TRUE(work.Key.Empty());
  ASSERT_EQ(store.ProfilesAwaitingEncryption().size(), 1u);
  // Locked, its clear data is not handed out either.
  const TFieldDef last = store.FieldCaptioned(u"Last name");
  EXPECT_TRUE(store.FieldValue(work.Id, last).Locked);
  EXPECT_EQ(KindOf([&] { ExportStore(store); }), Kind::Locked);
  EXPECT_FALSE(store.Unlock(work.Id, u"wrong"));
  EXPECT_TRUE(FilesHold(path_, u"Zyxwvut-Secret")) << "a wrong password encrypts nothing";

  ASSERT_TRUE(store.Unlock(work.Id, u"old-secret"));
  EXPECT_TRUE(store.ProfilesAwaitingEncryption().empty());
  for (const char16_t* secret :
       {u"Zyxwvut-Secret", u"4111111111111111", u"formpin-Kp9", u"navsecret-Lm3"}) {
    EXPECT_FALSE(FilesHold(path_, secret)) << platform::Utf16ToUtf8(secret);
  }
  EXPECT_TRUE(FilesHold(path_, u"open-mail-data")) << "an open card stays as it was";
  EXPECT_EQ(store.FieldValue(work.Id, last).Value, u"Zyxwvut-Secret");
  const TCardRecord bank = *store.FindCard(u"bank.example/login", u"Bank");
  const Bytes stream = store.CardData(bank);
  EXPECT_NE(std::string(stream.begin(), stream.end()).find(Utf16Bytes(u"formpin-Kp9")),
            std::string::npos);
  EXPECT_EQ(store.DefaultCardName(StoredFormSet, u"bank.example/login", work.Id), u"Bank");
  EXPECT_EQ(store.FieldValue(1, store.FieldCaptioned(u"First name")).Value, u"Ann");
  // Another program opens it with the same password.
  TManagerStore other(path_, nullptr);
  ASSERT_TRUE(other.Unlock(work.Id, u"old-secret"));
  EXPECT_EQ(other.FieldValue(work.Id, last).Value, u"Zyxwvut-Secret");
}

}  // namespace
}  // namespace qm::manager
