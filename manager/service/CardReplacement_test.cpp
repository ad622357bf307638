// The add-on replaces a card with DeleteCard and then a save of the same
// name; a save that fails in the store must leave the old card there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Common/QMTransitUtils.h"
#include "core/Common/QuillmateLibEvents.h"
#include "core/Common/StreamUtils.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/service/QoraManager.h"
#include "manager/store/StoreTesting.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/PendingEvents.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

using platform::ComPtr;
using platform::S_OK;
using platform::U8;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const String Page = u"https://shop.example/login";

Variant FormSet(const String& user) {
  TTransitFormSet set;
  TTransitFormCard& form = set.Add();
  form.Url = Page;
  form.Method = u"post";
  TTransitField field;
  field.Name = u"user";
  field.TagName = u"input";
  field.InputType = u"text";
  field.Value = user;
  form.Fields.Add(field);
  TMemoryStream stream;
  set.WriteToStream(stream);
  return Variant::FromBytes(stream.Bytes());
}

std::string Failure(HRESULT status) {
  if (platform::Succeeded(status)) return "(succeeded)";
  std::optional<platform::ErrorInfo> info = platform::TakeErrorInfo();
  return info ? U8(info->Description) : "(no error information)";
}

class CardReplacement : public ::testing::Test {
protected:
  CardReplacement() {
    manager_ =
        platform::MakeCom<TQoraManager>(std::make_unique<TManagerStore>(path_, &DefaultContent()),
                                        [this](const std::string& line) { log_.push_back(line); });
    server_ = ComPtr<IQoraServer>(manager_.Get());
    sink_->OnDatabaseChange = [this](auto&) { ++changes_; };
    sink_->Connect(ComPtr<platform::IUnknown>(server_.As<platform::IUnknown>()));
    platform::ProcessPendingEvents();
  }
  ~CardReplacement() override {
    sink_->Disconnect();
    platform::ProcessPendingEvents();
  }

  // The manager goes (the sink holds it through its connection).
  void Close() {
    sink_->Disconnect();
    server_.Reset();
    manager_.Reset();
  }
  // A second connection, as the command line has.
  TManagerStore Other() { return TManagerStore(path_, &DefaultContent()); }
  // From now on the store refuses what the statement names, as a full disk
  // or an I/O error would.
  void Break(const char* what) {
    Other().Db().Exec((std::string("CREATE TRIGGER broken BEFORE ") + what +
                       " ON cards BEGIN SELECT RAISE(ABORT, 'the disk is full'); END")
                          .c_str());
  }
  void Mend() { Other().Db().Exec("DROP TRIGGER broken"); }

  HRESULT Save(const String& name, const String& user, bool* passwordNeeded = nullptr) {
    bool saved = false, needed = false;
    const HRESULT status = server_->SaveFormSet(Page, name, u"", FormSet(user), saved, needed);
    if (passwordNeeded) *passwordNeeded = needed;
    if (status == S_OK) EXPECT_EQ(saved, !needed);
    return status;
  }
  void Delete(const String& name) {
    bool passwordNeeded = true;
    ASSERT_EQ(server_->DeleteCard(Page, name, passwordNeeded), S_OK);
    EXPECT_FALSE(passwordNeeded);
  }
  // The user stored in the card, as another program reads the file; "gone"
  // when there is no such card.
  std::string StoredUser(const String& name) {
    TManagerStore other = Other();
    const std::optional<TCardRecord> card = other.FindCard(Page, name);
    if (!card) return "gone";
    TMemoryStream stream(other.CardData(*card));
    TTransitFormSet set;
    if (!set.ReadFromStream(stream) || set.Empty()) return "unreadable";
    return U8(set[0].Fields[0].Value);
  }
  int TakeChanges() {
    platform::ProcessPendingEvents();
    return std::exchange(changes_, 0);
  }

  testing::TTempDir dir_;
  std::string path_ = dir_.File("manager.db");
  std::vector<std::string> log_;
  ComPtr<TQoraManager> manager_;
  ComPtr<IQoraServer> server_;
  ComPtr<TQuillmateLibIQoraServerEvents> sink_ =
      platform::MakeCom<TQuillmateLibIQoraServerEvents>();
  int changes_ = 0;
};

TEST_F(CardReplacement, ASaveThatFailsInTheStoreKeepsTheCardItWasToReplace) {
  ASSERT_EQ(Save(u"Mine", u"ada"), S_OK);
  Break("INSERT");
  Delete(u"Mine");
  EXPECT_THAT(Failure(Save(u"Mine", u"grace")), HasSubstr("the disk is full"));
  Mend();
  EXPECT_EQ(StoredUser(u"Mine"), "ada");
  // Nothing left pending deletes it later either.
  String existing, proposed;
  ASSERT_EQ(server_->GetDefaultCardNames(Page, existing, proposed), S_OK);
  EXPECT_EQ(U8(existing), "0=Mine");
  Close();
  EXPECT_EQ(StoredUser(u"Mine"), "ada");
}

TEST_F(CardReplacement, TheNameMatchesIgnoringCaseAsTheStoreDoes) {
  ASSERT_EQ(Save(u"Mine", u"ada"), S_OK);
  Break("INSERT");
  Delete(u"MINE");
  EXPECT_NE(Save(u"mine", u"grace"), S_OK);
  Mend();
  EXPECT_EQ(StoredUser(u"Mine"), "ada");
}

TEST_F(CardReplacement, ASaveRefusedForItsArgumentsKeepsTheCardToo) {
  ASSERT_EQ(Save(u"Mine", u"ada"), S_OK);
  Delete(u"Mine");
  bool saved = true, passwordNeeded = true;
  EXPECT_NE(
      server_->SaveFormSet(Page, u"Mine", u"", Variant::FromBytes({1, 2}), saved, passwordNeeded),
      S_OK);
  ASSERT_EQ(server_->GetLoggedIn(saved), S_OK);
  EXPECT_EQ(StoredUser(u"Mine"), "ada");
}

TEST_F(CardReplacement, AReplacementIsOneChangeWithTheCardNewlySaved) {
  ASSERT_EQ(Save(u"Mine", u"ada"), S_OK);
  ASSERT_EQ(Save(u"Other", u"bob"), S_OK);
  ASSERT_EQ(server_->SetDefaultCard(Page, u"Mine", true), S_OK);
  TakeChanges();
  Delete(u"Mine");
  ASSERT_EQ(Save(u"Mine", u"grace"), S_OK);
  EXPECT_EQ(TakeChanges(), 1);
  EXPECT_EQ(StoredUser(u"Mine"), "grace");
  // As before: the replaced card's default went with it and the new one
  // comes last in saving order.
  String existing, proposed;
  ASSERT_EQ(server_->GetDefaultCardNames(Page, existing, proposed), S_OK);
  EXPECT_EQ(U8(existing), "0=Other,0=Mine");
}

TEST_F(CardReplacement, AnyOtherOperationCarriesOutTheDeletionFirst) {
  ASSERT_EQ(Save(u"Mine", u"ada"), S_OK);
  ASSERT_EQ(Save(u"Other", u"bob"), S_OK);
  TakeChanges();
  Delete(u"Mine");
  String existing, proposed;
  ASSERT_EQ(server_->GetDefaultCardNames(Page, existing, proposed), S_OK);
  EXPECT_EQ(U8(existing), "0=Other");
  EXPECT_EQ(StoredUser(u"Mine"), "gone");
  EXPECT_EQ(TakeChanges(), 1);

  // A save of another name is another operation too.
  Delete(u"Other");
  ASSERT_EQ(Save(u"Third", u"cy"), S_OK);
  EXPECT_EQ(StoredUser(u"Other"), "gone");
  EXPECT_EQ(StoredUser(u"Third"), "cy");
}

TEST_F(CardReplacement, ADeletionNoSaveFollowsHappensWhenTheManagerGoes) {
  ASSERT_EQ(Save(u"Mine", u"ada"), S_OK);
  TakeChanges();
  Delete(u"Mine");
  manager_->AnnounceQuit();
  EXPECT_EQ(StoredUser(u"Mine"), "gone");
  EXPECT_EQ(TakeChanges(), 1) << "told before the service goes";

  ASSERT_EQ(Save(u"Again", u"ada"), S_OK);
  Delete(u"Again");
  Close();
  EXPECT_EQ(StoredUser(u"Again"), "gone");
}

TEST_F(CardReplacement, TheChangeTimerAndALogInLeaveTheDeletionToItsSave) {
  ASSERT_EQ(Save(u"Mine", u"ada"), S_OK);  // saved while nothing is protected
  Other().SetPassword(1, u"pw");
  Delete(u"Mine");
  manager_->CheckForChanges();
  bool passwordNeeded = false;
  ASSERT_EQ(Save(u"Mine", u"grace", &passwordNeeded), S_OK);
  ASSERT_TRUE(passwordNeeded);
  ASSERT_EQ(server_->Login(u"pw"), S_OK);
  Break("INSERT");
  EXPECT_NE(Save(u"Mine", u"grace"), S_OK);
  Mend();
  EXPECT_EQ(StoredUser(u"Mine"), "ada");
}

TEST_F(CardReplacement, ADeletionThatFailsLaterIsLoggedAndKeepsTheCard) {
  ASSERT_EQ(Save(u"Mine", u"ada"), S_OK);
  Break("DELETE");
  Delete(u"Mine");
  bool loggedIn = true;
  EXPECT_EQ(server_->GetLoggedIn(loggedIn), S_OK) << "not this operation's failure";
  Mend();
  EXPECT_EQ(StoredUser(u"Mine"), "ada");
  ASSERT_FALSE(log_.empty());
  EXPECT_THAT(log_.back(), AllOf(StartsWith("DeleteCard 'Mine' of 'https://shop.example/login': "),
                                 HasSubstr("the disk is full")));
}

}  // namespace
}  // namespace qm::manager
