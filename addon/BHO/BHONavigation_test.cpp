// Click recording and navigation playback end to end: a browser window of
// the built-in engine with the helper object attached, the real manager
// in process on a temporary store, and the scripted user.
#include <gtest/gtest.h>

#include "addon/dialogs/QMDialogUnit.h"
#include "engines/memdom/UserActions.h"
#include "manager/service/QoraManager.h"
#include "testsupport/BhoWindow.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::PageElement;
using testing::TBhoEnvironment;
using testing::TBhoWindow;
using JournalKind = platform::ui::TJournalEntry::TKind;
using Action = platform::ui::TUserAction;
namespace ui = platform::ui;

// The options word: AutoFill, AutoShow, AutoFillNew, OnSubmit 1 ...
constexpr int32_t DefaultOptions = 0x59;
// ... and AutoSubmit, which lets a page's navigation card play by itself.
constexpr int32_t PlayOptions = DefaultOptions | 0x02;
constexpr int32_t AskConfirmOption = 0x04;

constexpr char16_t LoopQuestion[] =
    u"It may well be to get caught in an endless loop.\r\nAre you want to continue?";

// A shop whose start page leads by a picture link to its catalog, whose
// catalog leads on by a button element to the basket, and whose basket
// leads on by an input button to the checkout.
constexpr char StartPage[] =
    "<a id=catalog href=/catalog><img id=picture src=shop.png> Catalog</a>"
    "<input type=button id=calc name=calc value=Calculate onclick=calculate>";
constexpr char CatalogPage[] =
    "<button type=button id=basket name=go value=basket onclick=toBasket>Basket</button>";
constexpr char BasketPage[] =
    "<input type=button id=checkout name=pay value=Checkout onclick=toCheckout>";

class Navigation : public ::testing::Test {
protected:
  explicit Navigation(int32_t options = DefaultOptions) { env.Manager.SetOptions(options); }

  TBhoWindow& Window() { return env.Window; }
  TVxBrowserHelperObject& Helper() { return env.Window.Helper(); }
  TQuillmateAgent& Agent() { return env.Window.Agent(); }
  TNavigationRecorder& Recorder() { return Agent().Recorder(); }
  IQoraServer& Server() { return env.Manager.Server(); }
  std::u16string Location() { return Window().Browser()->LocationURL(); }

  void AddShop() {
    Window().AddPage(u"http://shop.example/start", StartPage);
    Window().AddPage(u"http://shop.example/catalog", CatalogPage);
    Window().AddPage(u"http://shop.example/basket", BasketPage);
    Window().AddPage(u"http://shop.example/checkout", "<p>Thank you</p>");
    Window().AddPage(u"http://elsewhere.example/", "<p>elsewhere</p>");
    Window().Scripts().Bind(u"calculate", [this](memdom::ScriptContext&) { ++calculations; });
    Window().Scripts().Bind(u"toBasket", [](memdom::ScriptContext& c) { c.Navigate(u"/basket"); });
    Window().Scripts().Bind(u"toCheckout",
                            [](memdom::ScriptContext& c) { c.Navigate(u"/checkout"); });
  }
  // Stores steps as the navigation card name of pageKey, the default for
  // all profiles when asked.
  void StoreCard(const std::u16string& pageKey, const std::u16string& name,
                 const std::vector<TRecordStep>& steps, bool makeDefault = true) {
    TNavigationRecorder recording;
    for (const TRecordStep& s : steps)
      recording.AddStep(s.Url, s.Tag, s.Value, s.Name, s.Type);
    bool saved = false;
    bool passwordNeeded = false;
    ASSERT_EQ(Server().SaveCard(CardKindNavigation, pageKey, name, u"", recording.SaveToVariant(),
                                saved, passwordNeeded),
              platform::S_OK);
    ASSERT_TRUE(saved);
    if (makeDefault) {
      ASSERT_EQ(Server().SetDefaultCard(pageKey, name, true), platform::S_OK);
    }
  }
  std::vector<ui::TJournalEntry> Messages() const {
    return env.Backend.Entries(JournalKind::Message);
  }
  int FillDialogShows() const {
    int shows = 0;
    for (const auto& entry : env.Backend.Entries(JournalKind::FormShown))
      shows += entry.Form == u"QMDialog";
    return shows;
  }

  TBhoEnvironment env;
  int calculations = 0;
};

// The recording of the shop's three clicks.
const std::vector<TRecordStep> ShopSteps = {
    {u"http://shop.example/start", u"a", u"", u"Catalog", u"http://shop.example/catalog"},
    {u"http://shop.example/catalog", u"button", u"button", u"go", u"basket"},
    {u"http://shop.example/basket", u"input", u"button", u"pay", u"Checkout"},
};

TEST_F(Navigation, RecordsLinksAndButtonsThatNavigateButNotButtonsThatDoNot) {
  AddShop();
  Window().Load(u"http://shop.example/start");
  Agent().SetRecording(true);
  ASSERT_TRUE(Agent().IsRecording());
  // A button whose script stays on the page leads nowhere to replay.
  memdom::ClickAsUser(Window().Element(u"calc"));
  EXPECT_EQ(calculations, 1);
  EXPECT_EQ(Recorder().Steps().Count(), 0);
  // A click on the picture inside the link records the link.
  memdom::ClickAsUser(Window().Element(u"picture"));
  Window().RunPending();
  ASSERT_EQ(Location(), u"http://shop.example/catalog");
  memdom::ClickAsUser(Window().Element(u"basket"));
  Window().RunPending();
  ASSERT_EQ(Location(), u"http://shop.example/basket");
  memdom::ClickAsUser(Window().Element(u"checkout"));
  Window().RunPending();
  ASSERT_EQ(Location(), u"http://shop.example/checkout");
  Agent().SetRecording(false);

  ASSERT_EQ(Recorder().Steps().Count(), 3) << "each navigating click once";
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Recorder().Steps()[i], ShopSteps[static_cast<size_t>(i)]) << "step " << i;
}

TEST_F(Navigation, AButtonClickedByAScriptOrReleasedElsewhereIsNotRecorded) {
  AddShop();
  Window().Load(u"http://shop.example/catalog");
  Agent().SetRecording(true);
  // A page script clicks it: no press of the mouse went before.
  Window().Element(u"basket")->click();
  Window().RunPending();
  ASSERT_EQ(Location(), u"http://shop.example/basket");
  // Pressed on the button, released beside it: the release ends the press.
  memdom::PressMouse(Window().Element(u"checkout"));
  memdom::ReleaseMouse(ComPtr<PageElement>(Window().Document()->Body()));
  Window().Element(u"checkout")->click();
  Window().RunPending();
  ASSERT_EQ(Location(), u"http://shop.example/checkout");
  EXPECT_EQ(Recorder().Steps().Count(), 0);
  Agent().SetRecording(false);
}

TEST_F(Navigation, WithoutAManagerNothingIsRecorded) {
  AddShop();
  Window().Load(u"http://shop.example/start");
  Agent().SetRecording(true);
  env.Manager.Manager().AnnounceQuit();
  env.Manager.Stop();
  Window().RunPending();  // the quit arrives
  memdom::ClickAsUser(Window().Element(u"catalog"));
  Window().RunPending();
  EXPECT_EQ(Recorder().Steps().Count(), 0);
  Agent().SetRecording(false);
}

class Playback : public Navigation {
protected:
  Playback() : Navigation(PlayOptions) {}
};

TEST_F(Playback, ARecordingIsPlayedBackOnTheNextVisit) {
  AddShop();
  Window().Load(u"http://shop.example/start");
  Agent().SetRecording(true);
  memdom::ClickAsUser(Window().Element(u"picture"));
  Window().RunPending();
  memdom::ClickAsUser(Window().Element(u"basket"));
  Window().RunPending();
  memdom::ClickAsUser(Window().Element(u"checkout"));
  Window().RunPending();
  // Stopping offers to keep the recording; the user names it, and it
  // becomes the start page's default navigation card.
  env.Backend.Script(u"Save navigations",
                     {Action::Type(u"FormSetNameEdit", u"Checkout"), Action::Click(u"Button1")});
  Agent().SetRecording(false);
  EXPECT_FALSE(env.Backend.ScriptsLeft()) << "the store dialog came up";
  EXPECT_EQ(Location(), u"http://shop.example/checkout") << "nothing played while recording";
  Variant list;
  std::u16string selected;
  ASSERT_EQ(Server().ListCards(CardKindNavigation, u"http://shop.example/start", list, selected),
            platform::S_OK);
  EXPECT_EQ(selected, u"Checkout");

  Window().Load(u"http://elsewhere.example/");
  env.Backend.ClearJournal();
  EXPECT_EQ(Window().Load(u"http://shop.example/start"), 4u) << "the start page and three steps";
  EXPECT_EQ(Location(), u"http://shop.example/checkout");
  EXPECT_EQ(Recorder().Mode(), RecorderStopped) << "the last step stops the playback";
  EXPECT_TRUE(Messages().empty()) << "every element was found as recorded";
  EXPECT_FALSE(Helper().NavigationStarted());
  EXPECT_FALSE(TVxBrowserHelperObject::PageProcessingBusy());
}

TEST_F(Navigation, WithoutAutoSubmitAPageWithNavigationCardsOffersThem) {
  AddShop();
  StoreCard(u"http://shop.example/start", u"Checkout", ShopSteps);
  Window().Load(u"http://shop.example/start");
  EXPECT_EQ(Location(), u"http://shop.example/start") << "nothing played";
  EXPECT_EQ(FillDialogShows(), 1);
  ASSERT_NE(Agent().FillDialog(), nullptr);
  ASSERT_EQ(Agent().FillDialog()->Entries().size(), 1u);
  EXPECT_EQ(Agent().FillDialog()->Entries()[0].Name, u"Checkout");
}

TEST_F(Playback, TheFillDialogPlaysAChosenCardFromThisPage) {
  AddShop();
  StoreCard(u"http://shop.example/start", u"Checkout", ShopSteps, false);
  Window().Load(u"http://shop.example/start");
  EXPECT_EQ(Location(), u"http://shop.example/start") << "no default card: nothing plays";
  Helper().PlayNavigationCard(u"http://shop.example/start", u"Checkout");
  EXPECT_EQ(Recorder().Mode(), RecorderPlaying);
  Window().RunPending();
  EXPECT_EQ(Location(), u"http://shop.example/checkout");

  // While something plays or records, a card is not started over it.
  Window().Load(u"http://shop.example/start");
  Agent().SetRecording(true);
  Helper().PlayNavigationCard(u"http://shop.example/start", u"Checkout");
  EXPECT_EQ(Recorder().Mode(), RecorderRecording);
  Agent().SetRecording(false);
  // An unknown card loads nothing and plays nothing.
  Helper().PlayNavigationCard(u"http://shop.example/start", u"Nothing");
  EXPECT_EQ(Recorder().Mode(), RecorderStopped);
  EXPECT_FALSE(Window().Browser()->HasPendingNavigation());
}

TEST_F(Playback, AMissingElementStopsThePlaybackWithAMessage) {
  AddShop();
  StoreCard(u"http://shop.example/start", u"Gone",
            {{u"http://shop.example/start", u"a", u"", u"Sale", u"http://shop.example/sale"},
             {u"http://shop.example/sale", u"a", u"", u"Buy", u"http://shop.example/buy"}});
  Window().Load(u"http://shop.example/start");
  EXPECT_EQ(Location(), u"http://shop.example/start");
  const auto messages = Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Text, u"Element: Sale[http://shop.example/sale] is not found on the page!");
  EXPECT_EQ(messages[0].Caption, u"Quillora");
  EXPECT_EQ(messages[0].Icon, ui::TMsgIcon::Information);
  EXPECT_EQ(Recorder().Mode(), RecorderStopped);
  EXPECT_EQ(Helper().Tracer().Count(), 0) << "the trace is forgotten with the playback";
}

TEST_F(Playback, AChangedLinkTextIsClickedUnaskedWhenAskConfirmIsOff) {
  AddShop();
  StoreCard(
      u"http://shop.example/start", u"Old",
      {{u"http://shop.example/start", u"a", u"", u"Our catalog", u"http://shop.example/catalog"}});
  Window().Load(u"http://shop.example/start");
  EXPECT_EQ(Location(), u"http://shop.example/catalog");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Playback, AStepThatLeadsBackToItsPageAsksTheLoopQuestionOnTheSecondVisit) {
  Window().AddPage(u"http://news.example/", "<a id=more href=/>More news</a>");
  Window().AddPage(u"http://elsewhere.example/", "<p>elsewhere</p>");
  StoreCard(u"http://news.example", u"Refresh",
            {{u"http://news.example", u"a", u"", u"More news", u"http://news.example/"}});
  env.Backend.Answer(ui::IDNO);
  EXPECT_EQ(Window().Load(u"http://news.example/"), 2u) << "the first visit's click, then No";
  const auto messages = Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Text, LoopQuestion);
  EXPECT_EQ(messages[0].Caption, u"Warning");
  EXPECT_EQ(messages[0].Icon, ui::TMsgIcon::Question);
  EXPECT_EQ(Recorder().Mode(), RecorderStopped);
  EXPECT_FALSE(Window().Browser()->HasPendingNavigation());

  // Yes goes on once more and starts a new trace: the visit after that
  // asks again.
  // The user goes elsewhere, which ends the trace.
  Window().Load(u"http://elsewhere.example/");
  env.Backend.ClearJournal();
  env.Backend.Answer(ui::IDYES);
  env.Backend.Answer(ui::IDNO);
  EXPECT_EQ(Window().Load(u"http://news.example/"), 3u);
  EXPECT_EQ(Messages().size(), 2u);
}

class PlaybackAsking : public Navigation {
protected:
  PlaybackAsking() : Navigation(PlayOptions | AskConfirmOption) {}
};

TEST_F(PlaybackAsking, AChangedLinkTextAsksHasAnotherNameAndYesClicks) {
  AddShop();
  StoreCard(
      u"http://shop.example/start", u"Old",
      {{u"http://shop.example/start", u"a", u"", u"Our catalog", u"http://shop.example/catalog"}});
  env.Backend.Answer(ui::IDYES);
  Window().Load(u"http://shop.example/start");
  const auto messages = Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Text,
            u"Element: Our catalog[http://shop.example/catalog] has another Name.\r\nClick it?");
  EXPECT_EQ(messages[0].Caption, u"Question");
  EXPECT_EQ(messages[0].Icon, ui::TMsgIcon::Question);
  EXPECT_EQ(Location(), u"http://shop.example/catalog");
}

TEST_F(PlaybackAsking, AChangedButtonValueAsksHasAnotherValueAndNoStops) {
  AddShop();
  StoreCard(u"http://shop.example/catalog", u"Old",
            {{u"http://shop.example/catalog", u"button", u"button", u"go", u"cart"}});
  env.Backend.Answer(ui::IDNO);
  Window().Load(u"http://shop.example/catalog");
  const auto messages = Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Text, u"Element: go[cart] has another Value.\r\nClick it?");
  EXPECT_EQ(Location(), u"http://shop.example/catalog");
  EXPECT_EQ(Recorder().Mode(), RecorderStopped);
  EXPECT_EQ(Helper().Tracer().Count(), 0);
}

// --- which element a step finds ---

class ClickTargets : public Navigation {
protected:
  TClickTargetCode Find(const std::u16string& tag, const std::u16string& type,
                        const std::u16string& name, const std::u16string& value,
                        std::u16string* id = nullptr) {
    ComPtr<PageElement> element;
    const TClickTargetCode code = Helper().FindClickTarget(
        ComPtr<platform::PageBrowser>(Window().Browser().Get()), tag, type, name, value, element);
    if (id != nullptr) *id = element ? element->getAttribute(u"id").ToText() : u"(none)";
    return code;
  }
};

TEST_F(ClickTargets, LinksAreFoundExactlyByValueOnlyOrByOneNameOnlyCandidate) {
  Window().AddPage(u"http://h.example/",
                   "<a id=a1 href=/one>One</a><a id=a2 href=/two>Two</a><a id=a3 href=/two>Deux</a>"
                   "<a id=a4 href=/four>Four</a><a id=a5 href=/cinq>Four</a>"
                   "<a id=a6 href=/six>Six</a><map><area id=ar href=/seven alt=Seven></map>");
  Window().Load(u"http://h.example/");
  std::u16string id;
  EXPECT_EQ(Find(u"a", u"", u"One", u"http://h.example/one", &id), ClickTargetExact);
  EXPECT_EQ(id, u"a1");
  // Letter case counts: another name.
  EXPECT_EQ(Find(u"a", u"", u"one", u"http://h.example/one", &id), ClickTargetByValue);
  EXPECT_EQ(id, u"a1");
  // The exact one is found past a partial one.
  EXPECT_EQ(Find(u"a", u"", u"Deux", u"http://h.example/two", &id), ClickTargetExact);
  EXPECT_EQ(id, u"a3");
  // Value only, twice: the first.
  EXPECT_EQ(Find(u"a", u"", u"Zwei", u"http://h.example/two", &id), ClickTargetByValue);
  EXPECT_EQ(id, u"a2");
  // Name only, one candidate: it.
  EXPECT_EQ(Find(u"a", u"", u"Six", u"http://h.example/6", &id), ClickTargetByName);
  EXPECT_EQ(id, u"a6");
  // Name only, two candidates: no one element.
  EXPECT_EQ(Find(u"a", u"", u"Four", u"http://h.example/4", &id), ClickTargetNotFound);
  EXPECT_EQ(id, u"(none)");
  // One element with the name, another with the value.
  EXPECT_EQ(Find(u"a", u"", u"One", u"http://h.example/six", &id), ClickTargetNotFound);
  EXPECT_EQ(id, u"(none)");
  EXPECT_EQ(Find(u"a", u"", u"Nothing", u"http://h.example/none", &id), ClickTargetNotFound);
  // An area is a link of the page but no anchor.
  EXPECT_EQ(Find(u"a", u"", u"Seven", u"http://h.example/seven", &id), ClickTargetNotFound);
}

TEST_F(ClickTargets, ButtonsAreFoundInEveryFrameAndOnlyForTheirOwnTag) {
  Window().AddPage(u"http://h.example/",
                   "<frameset><frame name=left src=left.html><frame name=right src=right.html>"
                   "</frameset>");
  Window().AddPage(u"http://h.example/left.html",
                   "<button id=b1 name=go value=v1>1</button><button id=b2 name=go value=v2>2"
                   "</button><input type=submit id=s1 name=send value=Send>");
  Window().AddPage(u"http://h.example/right.html",
                   "<input type=button id=i1 name=send value=Send>"
                   "<input type=button id=i2 name=other value=Send>");
  Window().Load(u"http://h.example/");
  std::u16string id;
  EXPECT_EQ(Find(u"button", u"button", u"go", u"v2", &id), ClickTargetExact);
  EXPECT_EQ(id, u"b2");
  EXPECT_EQ(Find(u"button", u"submit", u"go", u"v3", &id), ClickTargetNotFound)
      << "two buttons named go";
  EXPECT_EQ(Find(u"button", u"button", u"stop", u"v1", &id), ClickTargetByValue);
  EXPECT_EQ(id, u"b1");
  // The submit input of the left frame is no input button; the right
  // frame's is found.
  EXPECT_EQ(Find(u"input", u"button", u"send", u"Send", &id), ClickTargetExact);
  EXPECT_EQ(id, u"i1");
  EXPECT_EQ(Find(u"input", u"Button", u"other", u"Sent", &id), ClickTargetByName);
  EXPECT_EQ(id, u"i2");
  EXPECT_EQ(Find(u"input", u"submit", u"send", u"Send", &id), ClickTargetNotFound);
  EXPECT_EQ(Find(u"select", u"", u"send", u"Send", &id), ClickTargetNotFound);
  EXPECT_EQ(Find(u"", u"", u"", u"", &id), ClickTargetNotFound);
}

TEST_F(ClickTargets, AStepOfAnotherPageIsNotFoundAndStopsThePlayback) {
  Window().AddPage(u"http://h.example/a", "<a id=next href=/b>Next</a>");
  Window().Load(u"http://h.example/a");
  StoreCard(u"http://h.example/a", u"Card",
            {{u"http://h.example/b", u"a", u"", u"Next", u"http://h.example/c"}}, false);
  Helper().PlayNavigationCard(u"http://h.example/a", u"Card");
  const auto messages = Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Text, u"Element: [] is not found on the page!");
  EXPECT_EQ(Recorder().Mode(), RecorderStopped);
}

}  // namespace
}  // namespace qm
