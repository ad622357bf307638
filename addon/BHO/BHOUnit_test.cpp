// The helper object's life in a browser window: the site, the agent it
// publishes, the browser events and their flags, and the commands that
// reach the manager.
#include <gtest/gtest.h>

#include "addon/dialogs/QMDialogUnit.h"
#include "core/Common/LocationCodes.h"
#include "engines/memdom/UserActions.h"
#include "manager/service/QoraManager.h"
#include "platform/com/ErrorInfo.h"
#include "testsupport/BhoWindow.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::Variant;
using testing::SavePageForms;
using testing::TBhoEnvironment;
using testing::TBhoWindow;

constexpr char FormPage[] =
    "<form action=go method=post><input id=q name=q><select id=s name=s onchange=chosen>"
    "<option>a<option>b</select></form>";

class HelperObject : public ::testing::Test {
protected:
  TBhoWindow& Window() { return env.Window; }
  TVxBrowserHelperObject& Helper() { return env.Window.Helper(); }
  // Stores the page's form with q typed and b chosen; counts the fills
  // (each fill from the card chooses b and runs the select's script).
  void StoreFormPage(const std::u16string& url) {
    Window().Scripts().Bind(u"chosen", [this](memdom::ScriptContext&) { ++fills; });
    Window().Load(url);
    memdom::TypeText(Window().Element(u"q"), u"stored");
    Window().Element(u"s").As<platform::PageSelectElement>()->setSelectedIndex(1);
    SavePageForms(Window(), env.Manager.Server(), u"Card");
    fills = 0;
  }

  TBhoEnvironment env;
  int fills = 0;
};

TEST_F(HelperObject, PublishesItsAgentOnTheBrowserAndNeverGivesItsSiteOut) {
  const Variant published = Window().Browser()->GetProperty(AgentBrowserProperty);
  ASSERT_EQ(published.GetKind(), Variant::Kind::Unknown);
  EXPECT_EQ(published.AsUnknown().As<IQuillmateAgent>().Get(),
            static_cast<IQuillmateAgent*>(&Helper().Agent()));
  EXPECT_EQ(Helper().BrowserWindow(), Window().Window());
  EXPECT_EQ(Helper().Agent().OwnerWindow(), Window().Window());
  void* site = &site;
  EXPECT_EQ(Window().HelperObject()->GetSite(platform::IUnknown::Iid, &site), platform::S_OK);
  EXPECT_EQ(site, nullptr);
}

TEST_F(HelperObject, ABrowserWithoutAWindowHandleLeavesTheWindowToTheSite) {
  TBhoWindow::TOptions options;
  options.BrowserKnowsWindow = false;
  TBhoWindow window(options);
  EXPECT_EQ(window.Browser()->HWND(), 0);
  EXPECT_EQ(window.Helper().BrowserWindow(), window.Window());
}

TEST_F(HelperObject, ASiteWithoutABrowserIsRefusedWithAReason) {
  auto helper = CreateVxBrowserHelperObject();
  auto site = platform::MakeCom<testing::TTestSite>(nullptr, platform::NoWindow);
  EXPECT_EQ(helper->SetSite(site.As<platform::IUnknown>().Get()), platform::E_UNEXPECTED);
  const auto info = platform::TakeErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Description,
            testing::Trail(u"The site offers no web browser", {loc::HelperSetSite}));
}

TEST_F(HelperObject, DetachedItHearsNothingAndAttachedAgainItWorksAgain) {
  Window().AddPage(u"http://h/", FormPage);
  StoreFormPage(u"http://h/");
  Window().Detach();
  EXPECT_FALSE(Helper().BrowserEventsConnected());
  EXPECT_EQ(Helper().Agent().FillDialog(), nullptr);
  Window().Load(u"http://h/");
  EXPECT_EQ(Window().Value(u"q"), u"") << "a detached helper object processes no page";

  Window().Browser()->PutProperty(AgentBrowserProperty, Variant());
  Window().Attach();
  EXPECT_FALSE(Window().Browser()->GetProperty(AgentBrowserProperty).IsEmpty());
  Window().Load(u"http://h/");
  EXPECT_EQ(Window().Value(u"q"), u"stored");
}

TEST_F(HelperObject, AnAgentThatOutlivesItsHelperObjectReachesNothing) {
  auto window = std::make_unique<TBhoWindow>();
  window->AddPage(u"http://h/", FormPage);
  window->Load(u"http://h/");
  // The toolbar holds the agent; the window lets its helper object go.
  const ComPtr<TQuillmateAgent> agent(&window->Helper().Agent());
  window.reset();
  agent->ClearForms();
  agent->SaveForms();
  agent->ShowManager({}, {}, {});
  agent->SetUrl(u"http://elsewhere/");
  EXPECT_EQ(agent->PageKey(), u"http://elsewhere/");
}

TEST_F(HelperObject, ThePageLoadEventsSetAndClearTheirFlags) {
  Window().AddPage(u"http://h/", FormPage);
  Window().AddPage(u"http://h/go", "<p>done</p>");
  std::vector<std::string> seen;
  auto flags = [&](const char* when) {
    seen.push_back(std::string(when) + (Helper().NavigationStarted() ? " started" : "") +
                   (Helper().TopPageLoading() ? " loading" : "") +
                   (Helper().WindowEventsConnected() ? " listening" : ""));
  };
  auto watcher = platform::MakeCom<platform::BrowserEventHandlers>();
  watcher->OnBeforeNavigate2 = [&](auto&, auto&, auto&, int32_t, auto&, auto&, auto&, bool&) {
    flags("before");
  };
  watcher->OnNavigateComplete2 = [&](auto&, auto&, auto&) { flags("navigated"); };
  watcher->OnDocumentComplete = [&](auto&, auto&, auto&) { flags("complete"); };
  platform::BrowserEventConnection connection;
  connection.Connect(ComPtr<platform::PageBrowser>(Window().Browser().Get()),
                     ComPtr<platform::PageBrowserEvents>(watcher.Get()));
  Window().Navigate(u"http://h/");
  EXPECT_TRUE(Helper().NavigationStarted());
  Window().RunPending();
  EXPECT_EQ(seen, (std::vector<std::string>{"before started", "navigated loading listening",
                                            "complete listening"}));
  EXPECT_FALSE(Helper().NavigationStarted());

  // A submission the helper object sees is handled once; a new window
  // ends it as its navigation would.
  Helper().OnFormSubmitted(Helper().PageForms()[0]);
  EXPECT_TRUE(Helper().SubmitInProgress());
  Helper().OnFormSubmitted(Helper().PageForms()[0]);
  Helper().OnNewWindow();
  EXPECT_FALSE(Helper().SubmitInProgress());
}

TEST_F(HelperObject, ANavigationWhileAScriptChangedTheFormsIsCancelledOnce) {
  Window().AddPage(u"http://h/", "<form><input name=q></form><a id=next href=next>next</a>");
  Window().AddPage(u"http://h/next", "<p>next</p>");
  Window().Load(u"http://h/");
  const auto document = Window().Document();
  document->AppendHtml(*document->Body(), "<form><input name=r></form>");
  memdom::ClickAsUser(Window().Element(u"next"));
  EXPECT_FALSE(Window().Browser()->HasPendingNavigation()) << "cancelled";
  EXPECT_EQ(Helper().PageForms().Count(), 2);
  memdom::ClickAsUser(Window().Element(u"next"));
  EXPECT_EQ(Window().RunPending(), 1u);
  EXPECT_EQ(Window().Browser()->LocationURL(), u"http://h/next");
}

TEST_F(HelperObject, AFrameThatCompletesAfterItsPageProcessesThePageAgain) {
  Window().AddPage(u"http://h/",
                   "<frameset><frame name=a src=form.html><frame name=b src=form.html>"
                   "</frameset>");
  Window().AddPage(u"http://h/form.html", FormPage);
  Window().AddPage(u"http://h/blank.html", "<p>nothing</p>");
  Window().Scripts().Bind(u"chosen", [this](memdom::ScriptContext&) { ++fills; });
  Window().Load(u"http://h/");
  for (const char16_t* frame : {u"a", u"b"}) {
    memdom::TypeText(Window().Element(Window().FrameDocument(frame), u"q"), u"stored");
    Window().Element(Window().FrameDocument(frame), u"s")
        .As<platform::PageSelectElement>()
        ->setSelectedIndex(1);
  }
  SavePageForms(Window(), env.Manager.Server(), u"Card");
  fills = 0;
  Window().Load(u"http://h/");
  EXPECT_EQ(fills, 2) << "frames that complete while the page loads wait for its onload";
  // One frame shows another page and comes back: the page is processed
  // when it completes, without an onload of the top window.
  const auto frame = Window().Browser()->Frames()[1];
  frame->Navigate(u"http://h/blank.html", {}, {}, {}, {});
  Window().RunPending();
  frame->Navigate(u"http://h/form.html", {}, {}, {}, {});
  Window().RunPending();
  EXPECT_EQ(Window().Element(Window().FrameDocument(u"b"), u"q")
                .As<platform::PageInputElement>()
                ->value(),
            u"stored");
}

TEST_F(HelperObject, AManagerThatQuitsTakesThePageStateWithItAndIsFoundAgain) {
  Window().AddPage(u"http://h/", FormPage);
  StoreFormPage(u"http://h/");
  Window().Load(u"http://h/");
  ASSERT_EQ(Window().Value(u"q"), u"stored");
  env.Manager.Manager().AnnounceQuit();
  env.Manager.Stop();
  Window().RunPending();  // the quit arrives
  EXPECT_EQ(Helper().PageForms().Count(), 0);
  EXPECT_FALSE(Helper().Agent().IsConnected());
  Window().Load(u"http://h/");
  EXPECT_EQ(Window().Value(u"q"), u"") << "no manager, no processing";
  EXPECT_EQ(Helper().PageForms().Count(), 1) << "the page is still followed";
  env.Manager.Start();
  Window().Load(u"http://h/");
  EXPECT_EQ(Window().Value(u"q"), u"stored");
}

TEST_F(HelperObject, TheManagerCommandsReachTheManagerWithThePageKey) {
  Window().AddPage(u"http://www.h.example/p?x=1", FormPage);
  Window().Load(u"http://www.h.example/p?x=1");
  EXPECT_EQ(Helper().Agent().PageUrl(), u"http://www.h.example/p");
  EXPECT_EQ(Helper().Agent().PageKey(), u"http://h.example/p");
  Helper().Agent().ShowManager({}, {}, {});
  Helper().Agent().ShowManager(Variant::FromInt32(2), Variant::FromString(u"k"),
                               Variant::FromString(u"n"));
  const auto requests = env.Manager.Manager().ShowRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Url, u"http://h.example/p");
  EXPECT_EQ(requests[0].Kind, 0);
  EXPECT_EQ(requests[1].Kind, 2);
  EXPECT_EQ(requests[1].Name, u"n");

  // The profiles arrived when the agent connected; choosing one makes it
  // the manager's active profile.
  env.Manager.Store().AddProfile(u"Work");
  Helper().RefreshProfiles();
  ASSERT_EQ(Helper().Agent().Profiles().Count(), 2);
  EXPECT_EQ(Helper().Agent().ActiveProfile(), u"Default");
  Helper().SelectProfileCommand(u"Work");
  EXPECT_EQ(Helper().Agent().ActiveProfile(), u"Work");
  EXPECT_EQ(env.Manager.Store().ActiveProfile().Name, u"Work");
}

TEST_F(HelperObject, APageWithMailCardsOffersThemInTheFillDialog) {
  Window().AddPage(u"http://h/contact", "<a href='mailto:desk@h'>write</a>");
  bool saved = false;
  bool passwordNeeded = false;
  ASSERT_EQ(env.Manager.Server().SaveCard(CardKindMail, u"http://h/contact", u"Desk", u"",
                                          Variant::FromBytes({1, 2, 3}), saved, passwordNeeded),
            0);
  Window().Load(u"http://h/contact");
  ASSERT_TRUE(Helper().Agent().HasMailCards());
  const TQMDialog* dialog = Helper().Agent().FillDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->Visible());
  ASSERT_EQ(dialog->Entries().size(), 1u);
  EXPECT_EQ(dialog->Entries()[0].Kind, EntryMailCard);
  EXPECT_EQ(dialog->Entries()[0].Name, u"Desk");
}

}  // namespace
}  // namespace qm
