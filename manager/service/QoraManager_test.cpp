#include "manager/service/QoraManager.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/Common/BannerStream.h"
#include "core/Common/QMLexicon.h"
#include "core/Common/QMTransitUtils.h"
#include "core/Common/QuillmateLibEvents.h"
#include "core/Common/StreamUtils.h"
#include "core/Common/TextUtils.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/service/ManagerLimits.h"
#include "manager/store/PasswordHash.h"
#include "manager/store/StoreTesting.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/PendingEvents.h"
#include "platform/com/RunningObjects.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

using platform::ComPtr;
using platform::S_OK;
using platform::U8;
using testing::TTempDir;

// The error text a failed call left, or a note that it did not fail.
std::string Failure(HRESULT status) {
  if (platform::Succeeded(status)) return "(succeeded)";
  std::optional<platform::ErrorInfo> info = platform::TakeErrorInfo();
  return info ? U8(info->Description) : "(no error information)";
}

TTransitField Field(int32_t index, const char16_t* name, const char16_t* tag, const char16_t* type,
                    const char16_t* value = u"") {
  TTransitField field;
  field.ElementIndex = index;
  field.Name = name;
  field.TagName = tag;
  field.InputType = type;
  field.Value = value;
  return field;
}

// A page with one log-in form posting to action.
TTransitFormSet LoginPage(const String& action, const String& user, const String& token = u"t1") {
  TTransitFormSet set;
  TTransitFormCard& card = set.Add();
  card.Url = action;
  card.Method = u"post";
  card.Fields.Add(Field(0, u"user", u"input", u"text", user.c_str()));
  card.Fields.Add(Field(1, u"pass", u"input", u"password"));
  card.Fields.Add(Field(2, u"go", u"input", u"submit", u"Sign in"));
  card.Fields.Add(Field(-1, u"token", u"input", u"hidden", token.c_str()));
  return set;
}

Variant Stream(const TTransitFormSet& set) {
  TMemoryStream stream;
  set.WriteToStream(stream);
  return Variant::FromBytes(stream.Bytes());
}

std::vector<std::string> Texts(const Variant& list) {
  std::vector<std::string> texts;
  if (list.IsEmptyOrNull()) return texts;
  for (const String& item : list.AsStringArray().Items)
    texts.push_back(U8(item));
  return texts;
}

// Counts the events one sink receives on the thread that connected it.
struct TEventLog {
  ComPtr<TQuillmateLibIQoraServerEvents> Sink = platform::MakeCom<TQuillmateLibIQoraServerEvents>();
  std::vector<std::string> Events;
  std::thread::id Thread;

  explicit TEventLog(const ComPtr<IQoraServer>& server) {
    auto note = [this](const char* name) {
      Events.push_back(name);
      Thread = std::this_thread::get_id();
    };
    Sink->OnQuit = [note](auto&) { note("Quit"); };
    Sink->OnDatabaseChange = [note](auto&) { note("DatabaseChange"); };
    Sink->OnLexiconChange = [note](auto&) { note("LexiconChange"); };
    Sink->OnLanguageChange = [note](auto&) { note("LanguageChange"); };
    Sink->OnLogin = [note](auto&, platform::VARIANT_BOOL on) { note(on ? "Login" : "Logout"); };
    Sink->Connect(ComPtr<platform::IUnknown>(server.As<platform::IUnknown>()));
  }
  ~TEventLog() { Sink->Disconnect(); }
  // What arrived since the last look.
  std::vector<std::string> Take() {
    platform::ProcessPendingEvents();
    return std::exchange(Events, {});
  }
};

class QoraManagerTest : public ::testing::Test {
protected:
  QoraManagerTest() {
    auto store = std::make_unique<TManagerStore>(path_, &DefaultContent());
    manager_ = platform::MakeCom<TQoraManager>(
        std::move(store), [this](const std::string& line) { log_.push_back(line); });
    server_ = ComPtr<IQoraServer>(manager_.Get());
    platform::ProcessPendingEvents();
  }
  ~QoraManagerTest() override { platform::ProcessPendingEvents(); }

  // A second connection to the same file, as the command line has.
  TManagerStore Other() { return TManagerStore(path_, &DefaultContent()); }

  void SetValue(const char16_t* caption, const char16_t* value) {
    TManagerStore other = Other();
    other.SetFieldValue(other.ActiveProfile().Id, other.FieldCaptioned(caption).Id, value);
  }

  struct TResolved {
    HRESULT Status;
    String Field;
    int32_t ValueKind;
    String Value, Values;
    bool Found, PasswordNeeded;
  };
  TResolved Resolve(const String& tag, const String& type, const String& name,
                    const String& field = u"", const String& profile = u"") {
    TResolved r{};
    r.Field = field;
    r.Status = server_->ResolveField(profile, tag, type, name, r.Field, r.ValueKind, r.Value,
                                     r.Values, r.Found, r.PasswordNeeded);
    return r;
  }

  // Protects the active profile with "pw", logs in and saves the form set
  // "Bank" of page with user in it.
  void SaveProtectedSet(const String& page, const String& user) {
    Other().SetPassword(1, u"pw");
    ASSERT_EQ(server_->Login(u"pw"), S_OK);
    bool saved = false, passwordNeeded = false;
    ASSERT_EQ(server_->SaveFormSet(page, u"Bank", u"", Stream(LoginPage(page, user)), saved,
                                   passwordNeeded),
              S_OK);
    ASSERT_TRUE(saved);
  }

  TTempDir dir_;
  std::string path_ = dir_.File("manager.db");
  std::vector<std::string> log_;
  ComPtr<TQoraManager> manager_;
  ComPtr<IQoraServer> server_;
};

TEST_F(QoraManagerTest, TheLogInProbeAsksForThePasswordOfAProtectedProfile) {
  TResolved probe = Resolve(u"", u"", u"");
  ASSERT_EQ(probe.Status, S_OK);
  EXPECT_FALSE(probe.Found);
  EXPECT_FALSE(probe.PasswordNeeded);

  Other().SetPassword(1, u"s3cret");
  TEventLog events(server_);
  EXPECT_TRUE(Resolve(u"", u"", u"").PasswordNeeded);
  EXPECT_EQ(Failure(server_->Login(u"wrong")), "The password is wrong");
  bool loggedIn = true;
  ASSERT_EQ(server_->GetLoggedIn(loggedIn), S_OK);
  EXPECT_FALSE(loggedIn);
  ASSERT_EQ(server_->Login(u"s3cret"), S_OK);
  EXPECT_FALSE(Resolve(u"", u"", u"").PasswordNeeded);
  ASSERT_EQ(server_->Logout(), S_OK);
  EXPECT_TRUE(Resolve(u"", u"", u"").PasswordNeeded);
  EXPECT_EQ(events.Take(), (std::vector<std::string>{"DatabaseChange", "Login", "Logout"}));
}

TEST_F(QoraManagerTest, LoginWithoutAnyPasswordIsRefused) {
  EXPECT_EQ(Failure(server_->Login(u"x")), "No profile is protected by a password");
}

TEST_F(QoraManagerTest, APasswordChangedElsewhereLocksTheProfileAgain) {
  Other().SetPassword(1, u"old");
  ASSERT_EQ(server_->Login(u"old"), S_OK);
  TEventLog events(server_);
  TManagerStore other = Other();
  ASSERT_TRUE(other.Unlock(1, u"old"));
  other.SetPassword(1, u"new");
  EXPECT_TRUE(manager_->CheckForChanges());
  EXPECT_TRUE(Resolve(u"", u"", u"").PasswordNeeded);
  EXPECT_EQ(events.Take(), (std::vector<std::string>{"Logout", "DatabaseChange"}));
}

TEST_F(QoraManagerTest, ResolveFieldRecognisesTheControlAndAnswersTheValue) {
  SetValue(u"First name", u"Ada");
  TResolved r = Resolve(u"input", u"text", u"billing_first_name");
  ASSERT_EQ(r.Status, S_OK);
  EXPECT_TRUE(r.Found);
  EXPECT_EQ(r.Field, u"First name");
  EXPECT_EQ(r.Value, u"Ada");
  EXPECT_EQ(r.ValueKind, -1);
  // Recognised but empty: nothing to fill in, so the page keeps its text.
  r = Resolve(u"input", u"text", u"surname");
  EXPECT_FALSE(r.Found);
  // Asked for by caption, the field answers even while empty.
  r = Resolve(u"input", u"text", u"whatever", u"last NAME");
  EXPECT_TRUE(r.Found);
  EXPECT_EQ(r.Field, u"Last name");
  EXPECT_EQ(r.Value, u"");
  r = Resolve(u"input", u"text", u"no_such_thing");
  EXPECT_FALSE(r.Found);
  EXPECT_EQ(r.Field, u"");
}

TEST_F(QoraManagerTest, ResolveFieldAnswersTheNamedProfile) {
  TManagerStore other = Other();
  const TProfile work = other.AddProfile(u"Work");
  other.SetFieldValue(work.Id, other.FieldCaptioned(u"E-mail").Id, u"ada@work.example");
  other.SetFieldCandidates(work.Id, other.FieldCaptioned(u"E-mail").Id, u"a@w.example,b@w.example");
  TResolved r = Resolve(u"input", u"email", u"mail", u"", u"work");
  EXPECT_TRUE(r.Found);
  EXPECT_EQ(r.Value, u"ada@work.example");
  EXPECT_EQ(r.Values, u"a@w.example,b@w.example");
  EXPECT_FALSE(Resolve(u"input", u"email", u"mail").Found);  // the active profile's is empty
  EXPECT_EQ(Failure(Resolve(u"input", u"text", u"x", u"", u"Nobody").Status),
            "Unknown profile 'Nobody'");
  EXPECT_EQ(Failure(Resolve(u"input", u"text", u"x", u"Shoe size").Status),
            "Unknown profile field 'Shoe size'");
}

TEST_F(QoraManagerTest, ProfilesAndTheirFields) {
  Other().AddProfile(u"Work");
  Variant list;
  String active;
  ASSERT_EQ(server_->GetProfiles(list, active), S_OK);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"Default", "Work"}));
  EXPECT_EQ(active, u"Default");
  ASSERT_EQ(server_->SetActiveProfile(u"WORK"), S_OK);
  ASSERT_EQ(server_->GetProfiles(list, active), S_OK);
  EXPECT_EQ(active, u"Work");
  EXPECT_EQ(Failure(server_->SetActiveProfile(u"Home")), "Unknown profile 'Home'");

  Variant fields;
  bool passwordNeeded = true;
  ASSERT_EQ(server_->GetProfileFields(fields, passwordNeeded), S_OK);
  EXPECT_FALSE(passwordNeeded);
  const std::vector<std::string> flat = Texts(fields);
  ASSERT_EQ(flat.size(), DefaultContent().Fields.size() * 3);
  // Caption, field name, group: the order the add-on reads them in.
  EXPECT_EQ(std::vector<std::string>(flat.begin() + 3, flat.begin() + 6),
            (std::vector<std::string>{"First name", "FirstName", "Personal"}));
}

TEST_F(QoraManagerTest, MatchPageFormsListsThePagesCardsAndExactMatchesElsewhere) {
  const String page = u"https://shop.example/login";
  const String action = u"https://shop.example/session";
  bool saved = false, passwordNeeded = false;
  ASSERT_EQ(server_->SaveFormSet(page, u"Home", page, Stream(LoginPage(action, u"ada")), saved,
                                 passwordNeeded),
            S_OK);
  EXPECT_TRUE(saved);
  // The same form saved from another page of the site...
  ASSERT_EQ(server_->SaveFormSet(u"https://shop.example/checkout", u"Work", u"",
                                 Stream(LoginPage(action, u"bob")), saved, passwordNeeded),
            S_OK);
  // ...one whose form posts elsewhere, and one whose hidden value differs.
  ASSERT_EQ(server_->SaveFormSet(u"https://other.example/", u"Other", u"",
                                 Stream(LoginPage(u"https://other.example/go", u"ada")), saved,
                                 passwordNeeded),
            S_OK);
  ASSERT_EQ(server_->SaveFormSet(u"https://shop.example/old", u"Old", u"",
                                 Stream(LoginPage(action, u"ada", u"t2")), saved, passwordNeeded),
            S_OK);

  Variant matches;
  String line;
  bool hasMatch = false;
  ASSERT_EQ(server_->MatchPageForms(page, Stream(LoginPage(action, u"")), matches, line, hasMatch),
            S_OK);
  EXPECT_TRUE(hasMatch);
  EXPECT_EQ(Texts(matches), (std::vector<std::string>{"https://shop.example/login=Home",
                                                      "https://shop.example/checkout=Work"}));
  EXPECT_EQ(U8(line), "https://shop.example/login=Home");

  ASSERT_EQ(server_->SetDefaultCard(u"https://shop.example/login", u"home", false), S_OK);
  ASSERT_EQ(server_->MatchPageForms(page, Stream(LoginPage(action, u"")), matches, line, hasMatch),
            S_OK);
  EXPECT_EQ(U8(line), "https://shop.example/login=Home");  // as stored

  ASSERT_EQ(server_->MatchPageForms(u"https://new.example/", Stream(TTransitFormSet()), matches,
                                    line, hasMatch),
            S_OK);
  EXPECT_FALSE(hasMatch);
  EXPECT_TRUE(matches.IsEmpty());
  EXPECT_EQ(line, u"");
}

TEST_F(QoraManagerTest, AmongManyFormsOfOneShapeTheOneAnotherPageHoldsIsFound) {
  // A page of many forms of one shape (comment forms, differing in their
  // hidden value); another page's set holds one of them, its own set all.
  const String action = u"https://blog.example/comment";
  TTransitFormSet page;
  for (int i = 0; i < 50; ++i) {
    page.Add(LoginPage(action, u"", u"t" + IntToText(i))[0]);
  }
  bool saved = false, passwordNeeded = false;
  ASSERT_EQ(server_->SaveFormSet(u"https://blog.example/", u"All", u"", Stream(page), saved,
                                 passwordNeeded),
            S_OK);
  ASSERT_EQ(server_->SaveFormSet(u"https://blog.example/post", u"Last", u"",
                                 Stream(LoginPage(action, u"", u"t49")), saved, passwordNeeded),
            S_OK);
  ASSERT_EQ(server_->SaveFormSet(u"https://blog.example/draft", u"None", u"",
                                 Stream(LoginPage(action, u"", u"t50")), saved, passwordNeeded),
            S_OK);
  Variant matches;
  String line;
  bool hasMatch = false;
  ASSERT_EQ(server_->MatchPageForms(u"https://blog.example/", Stream(page), matches, line,
                                    hasMatch),
            S_OK);
  EXPECT_EQ(Texts(matches), (std::vector<std::string>{"https://blog.example/=All",
                                                      "https://blog.example/post=Last"}));
}

TEST_F(QoraManagerTest, TheDefaultForTheActiveProfileWinsTheLine) {
  const String page = u"https://a.example";
  bool saved = false, passwordNeeded = false;
  for (const char16_t* name : {u"One", u"Two", u"Three"}) {
    ASSERT_EQ(
        server_->SaveFormSet(page, name, u"", Stream(LoginPage(page, name)), saved, passwordNeeded),
        S_OK);
  }
  ASSERT_EQ(server_->SetDefaultCard(page, u"Two", true), S_OK);
  Variant matches;
  String line;
  bool hasMatch = false;
  ASSERT_EQ(server_->MatchPageForms(page, Stream(LoginPage(page, u"")), matches, line, hasMatch),
            S_OK);
  EXPECT_EQ(line, page + u"=Two");
  ASSERT_EQ(server_->SetDefaultCard(page, u"Three", false), S_OK);
  ASSERT_EQ(server_->MatchPageForms(page, Stream(LoginPage(page, u"")), matches, line, hasMatch),
            S_OK);
  EXPECT_EQ(line, page + u"=Three");
  // Dropping the active profile's choice brings back the one for all.
  ASSERT_EQ(server_->SetDefaultCard(page, u"", false), S_OK);
  ASSERT_EQ(server_->MatchPageForms(page, Stream(LoginPage(page, u"")), matches, line, hasMatch),
            S_OK);
  EXPECT_EQ(line, page + u"=Two");
  EXPECT_EQ(Failure(server_->SetDefaultCard(page, u"Four", false)),
            "Unknown card 'Four' of 'https://a.example'");
}

TEST_F(QoraManagerTest, FindFormSetNamesTheSetHoldingTheSameValues) {
  const String page = u"https://a.example/login";
  bool saved = false, passwordNeeded = false;
  ASSERT_EQ(server_->SaveFormSet(page, u"Ada", u"", Stream(LoginPage(page, u"ada")), saved,
                                 passwordNeeded),
            S_OK);
  String name;
  ASSERT_EQ(server_->FindFormSet(page, Stream(LoginPage(page, u"ada")), name), S_OK);
  EXPECT_EQ(name, u"Ada");
  ASSERT_EQ(server_->FindFormSet(page, Stream(LoginPage(page, u"bob")), name), S_OK);
  EXPECT_EQ(name, u"");
  ASSERT_EQ(server_->FindFormSet(u"https://b.example", Stream(LoginPage(page, u"ada")), name),
            S_OK);
  EXPECT_EQ(name, u"");
}

TEST_F(QoraManagerTest, ProposedNamesComeFromTheHostAndAreFree) {
  String existing, proposed;
  const String page = u"https://user@www.shop.example:8443/cart";
  ASSERT_EQ(server_->GetDefaultCardNames(page, existing, proposed), S_OK);
  EXPECT_EQ(existing, u"");
  EXPECT_EQ(proposed, u"www.shop.example");
  bool saved = false, passwordNeeded = false;
  // An empty name takes the proposed one.
  ASSERT_EQ(
      server_->SaveFormSet(page, u"", u"", Stream(LoginPage(page, u"a")), saved, passwordNeeded),
      S_OK);
  ASSERT_EQ(server_->SaveCard(CardKindMail, page, u"My card", u"", Variant::FromBytes({1, 2}),
                              saved, passwordNeeded),
            S_OK);
  ASSERT_EQ(server_->SetDefaultCard(page, u"My card", true), S_OK);
  ASSERT_EQ(server_->GetDefaultCardNames(page, existing, proposed), S_OK);
  EXPECT_EQ(existing, u"0=www.shop.example,\"1=My card\"");
  EXPECT_EQ(proposed, u"www.shop.example (2)");
}

TEST_F(QoraManagerTest, NavigationAndMailCardsRoundTrip) {
  const String page = u"https://a.example";
  const Variant data = Variant::FromBytes({1, 0, 0, 0, 9});
  bool saved = false, passwordNeeded = false;
  ASSERT_EQ(
      server_->SaveCard(CardKindNavigation, page, u"Steps", u"t", data, saved, passwordNeeded),
      S_OK);
  EXPECT_TRUE(saved);
  String name;
  ASSERT_EQ(server_->FindCard(CardKindNavigation, page, data, name), S_OK);
  EXPECT_EQ(name, u"Steps");
  ASSERT_EQ(server_->FindCard(CardKindMail, page, data, name), S_OK);
  EXPECT_EQ(name, u"");  // another kind
  ASSERT_EQ(server_->SaveCard(CardKindNavigation, page, u"More", u"", Variant::FromBytes({7}),
                              saved, passwordNeeded),
            S_OK);
  ASSERT_EQ(server_->SetDefaultCard(page, u"More", false), S_OK);
  Variant list;
  String selected;
  ASSERT_EQ(server_->ListCards(CardKindNavigation, page, list, selected), S_OK);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"0=Steps", "1=More"}));
  EXPECT_EQ(selected, u"More");
  Variant loaded;
  ASSERT_EQ(server_->LoadCard(CardKindNavigation, page, u"steps", loaded, passwordNeeded), S_OK);
  EXPECT_EQ(loaded, data);
  EXPECT_EQ(Failure(server_->LoadCard(CardKindMail, page, u"Steps", loaded, passwordNeeded)),
            "Unknown card 'Steps' of 'https://a.example'");
  EXPECT_EQ(Failure(server_->ListCards(3, page, list, selected)),
            "Unknown card kind 3 (1 is a navigation card, 2 a mail card)");
  ASSERT_EQ(server_->DeleteCard(page, u"Steps", passwordNeeded), S_OK);
  ASSERT_EQ(server_->DeleteCard(page, u"Steps", passwordNeeded), S_OK);  // gone already: fine
  ASSERT_EQ(server_->ListCards(CardKindNavigation, page, list, selected), S_OK);
  EXPECT_EQ(Texts(list), std::vector<std::string>{"1=More"});
}

TEST_F(QoraManagerTest, CardsSavedUnderAProtectedProfileNeedItsPassword) {
  Other().SetPassword(1, u"pw");
  const String page = u"https://bank.example";
  bool saved = true, passwordNeeded = false;
  ASSERT_EQ(server_->SaveFormSet(page, u"Bank", u"", Stream(LoginPage(page, u"me")), saved,
                                 passwordNeeded),
            S_OK);
  EXPECT_FALSE(saved);
  EXPECT_TRUE(passwordNeeded);
  ASSERT_EQ(server_->Login(u"pw"), S_OK);
  ASSERT_EQ(server_->SaveFormSet(page, u"Bank", u"", Stream(LoginPage(page, u"me")), saved,
                                 passwordNeeded),
            S_OK);
  EXPECT_TRUE(saved);
  ASSERT_EQ(server_->Logout(), S_OK);
  Variant stream;
  ASSERT_EQ(server_->LoadFormSet(page, u"Bank", stream, passwordNeeded), S_OK);
  EXPECT_TRUE(passwordNeeded);
  EXPECT_TRUE(stream.IsEmpty());
  ASSERT_EQ(server_->DeleteCard(page, u"Bank", passwordNeeded), S_OK);
  EXPECT_TRUE(passwordNeeded);
  ASSERT_EQ(server_->Login(u"pw"), S_OK);
  ASSERT_EQ(server_->LoadFormSet(page, u"Bank", stream, passwordNeeded), S_OK);
  EXPECT_FALSE(passwordNeeded);
  EXPECT_EQ(stream, Stream(LoginPage(page, u"me")));
}

TEST_F(QoraManagerTest, WhatIsSavedWhileLoggedInIsEncryptedAndFoundAgainOnlyWithTheKey) {
  const String page = u"https://bank.example";
  ASSERT_NO_FATAL_FAILURE(SaveProtectedSet(page, u"user-Qz8"));
  bool added = false;
  ASSERT_EQ(server_->AddFieldValue(0, u"Country", u"Iceland-Vb3", added), S_OK);
  {
    TManagerStore other = Other();
    const TCardRecord card = *other.FindCard(page, u"Bank");
    EXPECT_TRUE(card.Sealed);
    const std::string bytes(card.Data.begin(), card.Data.end());
    const std::u16string secret = u"user-Qz8";  // as the transit stream holds it
    EXPECT_EQ(bytes.find(std::string(reinterpret_cast<const char*>(secret.data()),
                                      secret.size() * 2)),
              std::string::npos);
    const Bytes data = [&] {
      EXPECT_TRUE(other.Unlock(1, u"pw"));
      return other.CardData(card);
    }();
    EXPECT_NE(std::string(data.begin(), data.end())
                  .find(std::string(reinterpret_cast<const char*>(secret.data()), secret.size() * 2)),
              std::string::npos)
        << "the search finds it in the opened bytes";
    other.Lock(1);
    EXPECT_TRUE(other.FieldValue(1, other.FieldCaptioned(u"Country")).Locked);
  }
  String name;
  ASSERT_EQ(server_->FindFormSet(page, Stream(LoginPage(page, u"user-Qz8")), name), S_OK);
  EXPECT_EQ(name, u"Bank") << "found by opening the sealed set";
  EXPECT_EQ(Resolve(u"", u"", u"", u"Country").Values, u"Iceland-Vb3");
  ASSERT_EQ(server_->Logout(), S_OK);
  ASSERT_EQ(server_->FindFormSet(page, Stream(LoginPage(page, u"user-Qz8")), name), S_OK);
  EXPECT_EQ(name, u"") << "a locked set is not read";
  // Another page with the same form still lists it, by its signature.
  Variant matches;
  String line;
  bool hasMatch = false;
  ASSERT_EQ(server_->MatchPageForms(u"https://other.example", Stream(LoginPage(page, u"")),
                                    matches, line, hasMatch),
            S_OK);
  EXPECT_EQ(Texts(matches), std::vector<std::string>{"https://bank.example=Bank"});
}

TEST_F(QoraManagerTest, CardsOfAProfileWhosePasswordWasClearedOpenWithoutLogIn) {
  const String page = u"https://bank.example";
  bool passwordNeeded = false;
  ASSERT_NO_FATAL_FAILURE(SaveProtectedSet(page, u"me"));
  ASSERT_EQ(server_->Logout(), S_OK);
  {
    TManagerStore other = Other();
    ASSERT_TRUE(other.Unlock(1, u"pw"));
    other.SetPassword(1, u"");
  }
  Variant stream;
  ASSERT_EQ(server_->LoadFormSet(page, u"Bank", stream, passwordNeeded), S_OK);
  EXPECT_FALSE(passwordNeeded) << "nothing protects the card any more";
  EXPECT_EQ(stream, Stream(LoginPage(page, u"me")));
}

TEST_F(QoraManagerTest, ADamagedSetIsLeftOutOfMatchingAndRefusedWhenLoaded) {
  const String page = u"https://bank.example";
  bool passwordNeeded = false;
  ASSERT_NO_FATAL_FAILURE(SaveProtectedSet(page, u"me"));
  Other().Db().Exec("UPDATE cards SET data = zeroblob(64)");
  Variant matches;
  String line;
  bool hasMatch = true;
  ASSERT_EQ(server_->MatchPageForms(u"https://other.example", Stream(LoginPage(page, u"")),
                                    matches, line, hasMatch),
            S_OK);
  EXPECT_FALSE(hasMatch);
  ASSERT_FALSE(log_.empty());
  EXPECT_EQ(log_.back(), "MatchPageForms: The encrypted card 'Bank' of 'https://bank.example' is "
                         "damaged: it cannot be decrypted");
  Variant stream;
  EXPECT_EQ(Failure(server_->LoadFormSet(page, u"Bank", stream, passwordNeeded)),
            "The encrypted card 'Bank' of 'https://bank.example' is damaged: it cannot be "
            "decrypted");
}

TEST_F(QoraManagerTest, BadStreamsAreRefusedAndNothingIsWritten) {
  Variant bad = Variant::FromBytes({1, 0, 0, 0, 5, 0, 0});
  bool saved = true, passwordNeeded = true;
  const std::string failure =
      Failure(server_->SaveFormSet(u"k", u"n", u"", bad, saved, passwordNeeded));
  EXPECT_EQ(failure.rfind("forms: Corrupt transit stream at byte ", 0), 0u) << failure;
  EXPECT_EQ(
      Failure(server_->SaveFormSet(u"k", u"n", u"", Variant::FromInt32(3), saved, passwordNeeded)),
      "forms must be a byte array");
  TMemoryStream trailing;
  LoginPage(u"k", u"a").WriteToStream(trailing);
  trailing.Write("xy", 2);
  EXPECT_EQ(Failure(server_->SaveFormSet(u"k", u"n", u"", Variant::FromBytes(trailing.Bytes()),
                                         saved, passwordNeeded)),
            "forms: 2 bytes follow the form set");
  EXPECT_EQ(Failure(server_->SaveFormSet(u"k", u"n", u"", Stream(TTransitFormSet()), saved,
                                         passwordNeeded)),
            "forms holds no form");
  EXPECT_EQ(Other().CardCount(), 0);
}

TEST_F(QoraManagerTest, OversizedArgumentsAreRefused) {
  const String longName(MaxKeyChars + 1, u'x');
  EXPECT_EQ(Failure(Resolve(u"input", u"text", longName).Status),
            "name is too long: 8193 characters, at most 8192");
  String values;
  for (size_t i = 0; i <= MaxListItems; ++i)
    values += u"v" + IntToText(static_cast<int64_t>(i)) + u"\r\n";
  EXPECT_EQ(Failure(server_->AddAllValues(values)),
            "values holds too many items: 10001 items, at most 10000");
  EXPECT_TRUE(Other().CollectedValues().empty());
  Variant big = Variant::FromBytes(std::vector<uint8_t>(MaxStreamBytes + 1));
  Variant banner;
  EXPECT_EQ(Failure(server_->GetBanner(big, banner)),
            "request is too big: 16777217 bytes, at most 16777216");
}

TMemoryStream Strings(const std::vector<String>& texts) {
  TMemoryStream stream;
  TStreamWriter writer(stream);
  writer.Count(static_cast<int32_t>(texts.size()));
  for (const String& text : texts)
    writer.WideString(text);
  return stream;
}

TEST_F(QoraManagerTest, TranslateStringsUsesTheCurrentLanguagesTable) {
  TMemoryStream request = Strings({u"Activate", u"Login"});
  Variant translated;
  ASSERT_EQ(server_->TranslateStrings(Variant::FromBytes(request.Bytes()), translated), S_OK);
  EXPECT_TRUE(translated.IsEmpty());  // no language yet
  {
    TManagerStore other = Other();
    other.SetTranslation({u"de", u"Activate", u"Aktivieren"});
    other.SetLanguage(u"fr");
  }
  ASSERT_EQ(server_->TranslateStrings(Variant::FromBytes(request.Bytes()), translated), S_OK);
  EXPECT_TRUE(translated.IsEmpty());  // a language without a table
  Other().SetLanguage(u"de");
  ASSERT_EQ(server_->TranslateStrings(Variant::FromBytes(request.Bytes()), translated), S_OK);
  EXPECT_EQ(translated, Variant::FromBytes(Strings({u"Aktivieren", u"Login"}).Bytes()));

  std::vector<uint8_t> cut = request.Bytes();
  cut.resize(cut.size() - 3);
  EXPECT_EQ(Failure(server_->TranslateStrings(Variant::FromBytes(cut), translated)),
            "strings: corrupt string list at byte 24: short string");
  TMemoryStream many;
  WriteInt32(many, 10001);
  many.SetSize(4 + 10001 * 4);
  EXPECT_EQ(Failure(server_->TranslateStrings(Variant::FromBytes(many.Bytes()), translated)),
            "strings holds too many items: 10001 items, at most 10000");
}

TEST_F(QoraManagerTest, TheBannerRequestIsTheStripsSizeAndNoBannerIsServed) {
  Variant banner = Variant::FromInt32(1);
  ASSERT_EQ(server_->GetBanner(BannerRequestStream({620, 68}), banner), S_OK);
  EXPECT_TRUE(banner.IsEmpty());
  EXPECT_EQ(Failure(server_->GetBanner(Variant::FromStrings({u"620", u"68"}), banner)),
            "request must be a byte array");
  EXPECT_EQ(Failure(server_->GetBanner(Variant::FromBytes({1, 2, 3}), banner)),
            "request must be the banner strip's width and height");
  EXPECT_EQ(Failure(server_->GetBanner(Variant(), banner)),
            "request must be the banner strip's width and height");
}

TEST_F(QoraManagerTest, OptionsStartAt0x59AndEventsReachTheConnectingThread) {
  int32_t word = 0;
  ASSERT_EQ(server_->GetOptions(word), S_OK);
  EXPECT_EQ(word, 0x59);
  int32_t mode = -1;
  ASSERT_EQ(server_->GetBannerMode(mode), S_OK);
  EXPECT_EQ(mode, 0);

  std::mutex lock;
  std::condition_variable changed;
  std::thread::id deliveredOn;
  std::atomic<bool> connected{false}, stop{false};
  std::thread window([&] {
    TEventLog events(server_);
    events.Sink->OnDatabaseChange = [&](auto&) {
      std::lock_guard guard(lock);
      deliveredOn = std::this_thread::get_id();
      changed.notify_all();
    };
    connected = true;
    while (!stop) {
      if (platform::WaitForPendingEvents(std::chrono::milliseconds(20)))
        platform::ProcessPendingEvents();
    }
  });
  while (!connected)
    std::this_thread::yield();
  ASSERT_EQ(server_->SetOptions(0x1d1), S_OK);
  {
    std::unique_lock guard(lock);
    EXPECT_TRUE(changed.wait_for(guard, std::chrono::seconds(10),
                                 [&] { return deliveredOn != std::thread::id(); }));
  }
  const std::thread::id windowThread = window.get_id();
  stop = true;
  window.join();
  EXPECT_EQ(deliveredOn, windowThread);
  ASSERT_EQ(server_->GetOptions(word), S_OK);
  EXPECT_EQ(word, 0x1d1);
}

TEST_F(QoraManagerTest, ChangesFromTheCommandLineRaiseTheirEvents) {
  TEventLog events(server_);
  EXPECT_FALSE(manager_->CheckForChanges());
  {
    TManagerStore other = Other();
    other.SetFieldValue(1, 1, u"Dr");
    other.SetLanguage(u"de");
  }
  EXPECT_TRUE(manager_->CheckForChanges());
  EXPECT_EQ(events.Take(), (std::vector<std::string>{"DatabaseChange", "LanguageChange"}));
  TLexiconData lexicon = Other().Lexicon();
  lexicon.StopWords.push_back(u"the");
  Other().ReplaceLexicon(lexicon);
  // Any call catches up, not only the timer.
  int32_t word = 0;
  ASSERT_EQ(server_->GetOptions(word), S_OK);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"LexiconChange"});
  EXPECT_FALSE(manager_->CheckForChanges());
}

TEST_F(QoraManagerTest, AddSynonymTeachesRecognitionAndChangesTheLexicon) {
  SetValue(u"Company", u"Acme");
  EXPECT_FALSE(Resolve(u"input", u"text", u"kontor").Found);
  TEventLog events(server_);
  ASSERT_EQ(server_->AddSynonym(u"company", u"Kontor", -1), S_OK);
  EXPECT_EQ(Resolve(u"input", u"text", u"kontor").Field, u"Company");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"LexiconChange"});
  // The stream the add-on loads carries it.
  Variant stream;
  ASSERT_EQ(server_->GetLexicon(stream), S_OK);
  TMemoryStream bytes(stream.AsByteArray().Items);
  TLexicon lexicon;
  ASSERT_TRUE(lexicon.LoadFromStream(bytes, LexiconStreamVersion));
  bool carried = false;
  for (int i = 0; i < lexicon.Goals().Count(); ++i) {
    carried = carried || (lexicon.Goals()[i].Key() == u"Company" &&
                          lexicon.Goals()[i].Words().Contains(u"Kontor"));
  }
  EXPECT_TRUE(carried);
  EXPECT_EQ(Failure(server_->AddSynonym(u"Shoe size", u"x", -1)),
            "Unknown profile field 'Shoe size'");
  EXPECT_EQ(Failure(server_->AddSynonym(u"Company", u"  ", -1)), "The synonym is empty");
}

TEST_F(QoraManagerTest, AddedValuesAndCollectedValuesAreKept) {
  bool passwordNeeded = true;
  ASSERT_EQ(server_->AddFieldValue(0, u"Country", u"Germany,\"New Zealand\"", passwordNeeded),
            S_OK);
  EXPECT_FALSE(passwordNeeded);
  ASSERT_EQ(server_->AddFieldValue(0, u"Country", u"Germany", passwordNeeded), S_OK);
  TResolved r = Resolve(u"select", u"", u"country");
  EXPECT_TRUE(r.Found);
  EXPECT_EQ(r.Values, u"Germany,\"New Zealand\"");
  ASSERT_EQ(server_->AddAllValues(u"One\r\nTwo\r\n\r\n"), S_OK);
  std::vector<String> collected;
  for (const TCollectedValue& v : Other().CollectedValues())
    collected.push_back(v.Value);
  EXPECT_EQ(collected, (std::vector<String>{u"One", u"Two"}));
}

TEST_F(QoraManagerTest, ShowInManagerIsRecordedAndLogged) {
  bool shown = false;
  ASSERT_EQ(server_->ShowInManager(0, u"https://a.example", u"Home", shown), S_OK);
  EXPECT_TRUE(shown);
  ASSERT_EQ(manager_->ShowRequests().size(), 1u);
  EXPECT_EQ(manager_->ShowRequests()[0].Name, u"Home");
  EXPECT_EQ(log_.back(), "ShowInManager: kind 0, url 'https://a.example', name 'Home'");
  String title, text;
  ASSERT_EQ(server_->GetCardNote(0, title, text), S_OK);
  EXPECT_EQ(title + text, u"");
  Other().SetPageNote({u"https://a.example", u"Hello", u"Remember the coupon"});
  ASSERT_EQ(server_->GetPageNote(u"https://a.example", title, text), S_OK);
  EXPECT_EQ(title, u"Hello");
  EXPECT_EQ(text, u"Remember the coupon");
}

TEST_F(QoraManagerTest, RegisteredInProcessItIsTheActiveManager) {
  const uint32_t cookie = platform::RegisterActiveObject(
      CLASS_QoraServer, ComPtr<platform::IUnknown>(manager_.As<platform::IUnknown>()));
  ComPtr<platform::IUnknown> found;
  ASSERT_EQ(platform::GetActiveObject(CLASS_QoraServer, found), S_OK);
  ComPtr<IQoraServer> server = found.As<IQoraServer>();
  ASSERT_TRUE(server);
  EXPECT_EQ(platform::ComIdentity(server), platform::ComIdentity(server_));
  int32_t word = 0;
  ASSERT_EQ(server->GetOptions(word), S_OK);
  EXPECT_EQ(word, 0x59);
  EXPECT_TRUE(found.As<platform::IConnectionPointContainer>());
  ASSERT_EQ(platform::RevokeActiveObject(cookie), S_OK);
  EXPECT_EQ(platform::GetActiveObject(CLASS_QoraServer, found), platform::MK_E_UNAVAILABLE);
}

TEST_F(QoraManagerTest, AnnounceQuitRaisesOnQuit) {
  TEventLog events(server_);
  manager_->AnnounceQuit();
  EXPECT_EQ(events.Take(), std::vector<std::string>{"Quit"});
}

}  // namespace
}  // namespace qm::manager
