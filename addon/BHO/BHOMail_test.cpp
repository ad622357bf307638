// Mail cards end to end: a browser window of the built-in engine with the
// helper object attached, the real manager in process on a temporary
// store, the scripted user, and a stand-in for the desktop's xdg-email
// that writes down what it was given.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "addon/BHO/MailCard.h"
#include "engines/memdom/UserActions.h"
#include "platform/net/MailComposer.h"
#include "testsupport/BhoWindow.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::Variant;
using testing::TBhoEnvironment;
using testing::TBhoWindow;
using testing::TTempFolder;
using Action = platform::ui::TUserAction;
using JournalKind = platform::ui::TJournalEntry::TKind;
namespace ui = platform::ui;

constexpr int32_t DefaultOptions = 0x59;
constexpr int32_t SendOptions = DefaultOptions | 0x02;  // with AutoSubmit

constexpr char16_t ContactKey[] = u"http://shop.example/contact";
constexpr char ContactPage[] =
    "<form><input id=fn name=first_name></form>"
    "<a id=write href='mailto:desk@shop.example?subject=Hello&amp;cc=boss@shop.example'>Write</a>"
    "<a id=empty href='mailto:?subject=Hello'>Nobody</a>";
constexpr char16_t LoopQuestion[] =
    u"It may well be to get caught in an endless loop.\r\nAre you want to continue?";

// An xdg-email that notes each run and the arguments of the last one.
class TComposerStandIn {
public:
  TComposerStandIn() {
    std::filesystem::create_directory(folder_.File("bin"));
    const std::string script = folder_.File("bin/xdg-email");
    std::ofstream(script) << "#!/bin/sh\necho run >> \"$RUNS\"\n"
                             "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$ARGS\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    platform::TMailComposer composer;
    composer.Environment = std::vector<std::string>{
        "PATH=" + folder_.File("bin") + ":/usr/bin:/bin",
        "RUNS=" + folder_.File("runs"),
        "ARGS=" + folder_.File("args"),
    };
    scope_ = std::make_unique<platform::TMailComposerScope>(std::move(composer));
  }
  int Runs() const {
    std::ifstream in(folder_.File("runs"));
    int runs = 0;
    for (std::string line; std::getline(in, line);)
      ++runs;
    return runs;
  }
  std::vector<std::string> LastArguments() const {
    std::ifstream in(folder_.File("args"), std::ios::binary);
    std::vector<std::string> arguments;
    for (std::string a; std::getline(in, a, '\0');)
      arguments.push_back(a);
    return arguments;
  }

private:
  TTempFolder folder_;
  std::unique_ptr<platform::TMailComposerScope> scope_;
};

class MailCards : public ::testing::Test {
protected:
  explicit MailCards(int32_t options = DefaultOptions) {
    env.Manager.SetOptions(options);
    env.Manager.SetFieldValue(u"First name", u"Ada");
    Window().AddPage(ContactKey, ContactPage);
    Window().AddPage(u"http://elsewhere.example/", "<p>elsewhere</p>");
  }

  TBhoWindow& Window() { return env.Window; }
  TVxBrowserHelperObject& Helper() { return env.Window.Helper(); }
  IQoraServer& Server() { return env.Manager.Server(); }
  std::vector<ui::TJournalEntry> Messages() const {
    return env.Backend.Entries(JournalKind::Message);
  }
  int StoreDialogs() const {
    int shown = 0;
    for (const auto& entry : env.Backend.Entries(JournalKind::FormShown))
      shown += entry.Caption == u"Save mail card";
    return shown;
  }
  // Stores card as the contact page's mail card name, its default.
  void StoreCard(const std::u16string& name, const TMailCard& card) {
    bool saved = false;
    bool passwordNeeded = false;
    ASSERT_EQ(Server().SaveCard(CardKindMail, ContactKey, name, u"", MailCardToVariant(card), saved,
                                passwordNeeded),
              platform::S_OK);
    ASSERT_TRUE(saved);
    ASSERT_EQ(Server().SetDefaultCard(ContactKey, name, true), platform::S_OK);
  }
  // The mail cards the manager holds for the contact page, and its default.
  std::vector<std::u16string> StoredNames(std::u16string* selected = nullptr) {
    Variant list;
    std::u16string chosen;
    EXPECT_EQ(Server().ListCards(CardKindMail, ContactKey, list, chosen), platform::S_OK);
    if (selected != nullptr) *selected = chosen;
    return list.IsArray() ? list.AsStringArray().Items : std::vector<std::u16string>{};
  }

  TBhoEnvironment env;
  TComposerStandIn composer;
};

TEST_F(MailCards, AClickOnAMailtoLinkStoresItsAddressAloneUnderTheNameTheUserGives) {
  Window().Load(ContactKey);
  env.Backend.Script(u"Save mail card",
                     {Action::Type(u"FormSetNameEdit", u"Desk"), Action::Click(u"Button1")});
  memdom::ClickAsUser(Window().Element(u"write"));
  EXPECT_EQ(StoreDialogs(), 1);
  std::u16string selected;
  EXPECT_EQ(StoredNames(&selected), (std::vector<std::u16string>{u"1=Desk"}));
  EXPECT_EQ(selected, u"Desk") << "the default for the active profile";
  Variant data;
  bool passwordNeeded = false;
  ASSERT_EQ(Server().LoadCard(CardKindMail, ContactKey, u"Desk", data, passwordNeeded),
            platform::S_OK);
  EXPECT_EQ(MailCardFromVariant(data), (TMailCard{u"desk@shop.example", u"", u""}));
  EXPECT_EQ(composer.Runs(), 0) << "storing composes nothing";

  // The page has the card now: another click stores and shows nothing.
  memdom::ClickAsUser(Window().Element(u"write"));
  EXPECT_EQ(StoreDialogs(), 1);
  EXPECT_EQ(StoredNames().size(), 1u);
}

TEST_F(MailCards, CancelStoresNothingAndALinkWithoutAnAddressOffersNothing) {
  Window().Load(ContactKey);
  memdom::ClickAsUser(Window().Element(u"write"));  // no script: the dialog is cancelled
  EXPECT_EQ(StoreDialogs(), 1);
  EXPECT_TRUE(StoredNames().empty());
  memdom::ClickAsUser(Window().Element(u"empty"));
  EXPECT_EQ(StoreDialogs(), 1);
  EXPECT_TRUE(StoredNames().empty());
}

TEST_F(MailCards, WithTheSwitchOffAMailtoClickOffersNothing) {
  Window().Load(ContactKey);
  Helper().Agent().SetActive(false);
  memdom::ClickAsUser(Window().Element(u"write"));
  EXPECT_EQ(StoreDialogs(), 0);
}

TEST_F(MailCards, TheFillDialogComposesAChosenCard) {
  StoreCard(u"Desk", {u"desk@shop.example", u"Order 42", u"Where is it?"});
  Window().Load(ContactKey);
  EXPECT_EQ(composer.Runs(), 0) << "without AutoSubmit nothing is sent by itself";
  EXPECT_EQ(Window().Value(u"fn"), u"Ada");
  Helper().SendMailCardCommand(ContactKey, u"Desk");
  EXPECT_EQ(composer.Runs(), 1);
  EXPECT_EQ(composer.LastArguments(),
            (std::vector<std::string>{"--subject", "Order 42", "--body", "Where is it?",
                                      "desk@shop.example"}));
}

TEST_F(MailCards, AProtectedCardIsComposedAfterTheUserLogsIn) {
  env.Manager.Store().SetPassword(1, u"s3cret");
  ASSERT_EQ(Server().Login(u"s3cret"), platform::S_OK);
  StoreCard(u"Desk", {u"desk@shop.example", u"Private", u"Body"});
  ASSERT_EQ(Server().Logout(), platform::S_OK);
  Window().Load(ContactKey);
  // Cancelled: nothing.
  Helper().SendMailCardCommand(ContactKey, u"Desk");
  EXPECT_EQ(composer.Runs(), 0);
  env.Backend.Script(u"Enter password",
                     {Action::Type(u"PasswordEdit", u"s3cret"), Action::Click(u"OKButton")});
  Helper().SendMailCardCommand(ContactKey, u"Desk");
  EXPECT_EQ(composer.Runs(), 1);
  EXPECT_EQ(composer.LastArguments().back(), "desk@shop.example");
}

class MailSending : public MailCards {
protected:
  MailSending() : MailCards(SendOptions) {}
};

TEST_F(MailSending, APageWithItsCardAndLinkComposesTheMailAndProcessesNoFurther) {
  StoreCard(u"Desk", {u"desk@shop.example", u"Order 42", u""});
  Window().Load(ContactKey);
  EXPECT_EQ(composer.Runs(), 1);
  EXPECT_EQ(composer.LastArguments(),
            (std::vector<std::string>{"--subject", "Order 42", "desk@shop.example"}));
  EXPECT_EQ(Window().Value(u"fn"), u"") << "the page processing ended with the mail";
  EXPECT_TRUE(Messages().empty());
}

TEST_F(MailSending, ACardWithoutAMatchingLinkComposesNothingAndThePageIsFilled) {
  StoreCard(u"Other", {u"other@shop.example", u"Hi", u"There"});
  Window().Load(ContactKey);
  EXPECT_EQ(composer.Runs(), 0);
  EXPECT_EQ(Window().Value(u"fn"), u"Ada");
}

TEST_F(MailSending, AProtectedCardSendsNothingByItselfAndThePageGoesOn) {
  env.Manager.Store().SetPassword(1, u"s3cret");
  ASSERT_EQ(Server().Login(u"s3cret"), platform::S_OK);
  StoreCard(u"Desk", {u"desk@shop.example", u"Private", u"Body"});
  ASSERT_EQ(Server().Logout(), platform::S_OK);
  Window().Load(ContactKey);
  EXPECT_EQ(composer.Runs(), 0);
  EXPECT_EQ(Helper().Tracer().Count(), 0) << "nothing was sent, nothing is traced";
}

TEST_F(MailSending, TwoSendsInOneTraceAskTheLoopQuestion) {
  StoreCard(u"Desk", {u"desk@shop.example", u"Order 42", u"Body"});
  Window().Load(ContactKey);
  ASSERT_EQ(composer.Runs(), 1);
  // The page is processed again without a navigation between (a frame
  // that completes late does it): the same mail again is a suspected loop.
  env.Backend.Answer(ui::IDNO);
  Helper().ProcessLoadedPage(ComPtr<platform::PageBrowser>(Window().Browser().Get()));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].Text, LoopQuestion);
  EXPECT_EQ(Messages()[0].Caption, u"Warning");
  EXPECT_EQ(Messages()[0].Icon, ui::TMsgIcon::Question);
  EXPECT_EQ(composer.Runs(), 1) << "No sends nothing";
  EXPECT_EQ(Window().Value(u"fn"), u"Ada") << "and the page is processed on";

  env.Backend.Answer(ui::IDYES);
  Helper().ProcessLoadedPage(ComPtr<platform::PageBrowser>(Window().Browser().Get()));
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_EQ(composer.Runs(), 2) << "Yes sends it once more";

  // A mail leads nowhere: the next navigation ends the trace, and the
  // next visit sends without a question.
  Window().Load(u"http://elsewhere.example/");
  Window().Load(ContactKey);
  EXPECT_EQ(composer.Runs(), 3);
  EXPECT_EQ(Messages().size(), 2u);
}

}  // namespace
}  // namespace qm
