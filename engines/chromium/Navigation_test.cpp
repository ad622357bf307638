// Navigation events on a real browser: their order for a page with frames
// from two origins, announcing and cancelling a submission with its body,
// and our own navigations with a body.
#include <gtest/gtest.h>

#include "engines/chromium/ChromiumTab.h"
#include "engines/chromium/ChromiumTesting.h"
#include "engines/chromium/UserInput.h"

namespace qm::chromium::testing {
namespace {

using platform::BrowserEventHandlers;
using platform::ComIdentity;
using platform::PageBrowser;
using platform::Variant;

std::string BytesOf(const Variant& postData) {
  if (postData.GetKind() != Variant::Kind::ByteArray) return {};
  const auto& items = postData.AsByteArray().Items;
  return std::string(items.begin(), items.end());
}

class Navigation : public ::testing::Test {
protected:
  Navigation() {
    events_ = platform::MakeCom<BrowserEventHandlers>();
    connection_.Connect(ComPtr<PageBrowser>(tab_.Get()), ComPtr<platform::PageBrowserEvents>(events_.Get()));
  }
  // "top", "frame a", ...: which browser an event came from.
  std::string Who(const ComPtr<PageBrowser>& browser) {
    if (ComIdentity(browser) == ComIdentity(ComPtr<PageBrowser>(tab_.Get()))) return "top";
    const std::u16string url = browser->LocationURL();
    return "frame " + platform::U8(url.substr(url.rfind(u'/') + 1));
  }

  PageServer server_;
  PageServer other_{"localhost"};  // another site: its frames live in their own process
  ComPtr<ChromiumBrowser> tab_ = OpenTab();
  ComPtr<BrowserEventHandlers> events_;
  platform::BrowserEventConnection connection_;
  std::vector<std::string> log_;
};

TEST_F(Navigation, EventsComeInTheBrowsersOrderForFramesOfBothOrigins) {
  other_.Add("/b.html", "<form><input name=q></form>");
  server_.Add("/a.html", "<p>a</p>");
  server_.Add("/top.html", "<iframe src=a.html></iframe><iframe src='" +
                               platform::U8(other_.Url("/b.html")) + "'></iframe>");
  platform::PageEventConnection onload;
  events_->OnBeforeNavigate2 = [&](auto&, const ComPtr<PageBrowser>& b, const std::u16string& url,
                                   int32_t, const std::u16string&, const Variant&,
                                   const std::u16string&, bool&) {
    log_.push_back("before " + (b->LocationURL().empty() ? platform::U8(url.substr(url.rfind(u'/') + 1))
                                                          : Who(b)));
  };
  events_->OnNavigateComplete2 = [&](auto&, const ComPtr<PageBrowser>& b, const std::u16string&) {
    log_.push_back("navigated " + Who(b));
    if (Who(b) != "top") return;
    const auto document = b->Document().As<platform::PageDocument>();
    ASSERT_TRUE(document);
    onload.Connect(ComPtr<platform::PageEventSource>(document->parentWindow().Get()),
                   platform::MakePageEventSink([&](auto, auto&) {
                     log_.push_back("onload");
                     return true;
                   }));
  };
  events_->OnDocumentComplete = [&](auto&, const ComPtr<PageBrowser>& b, const std::u16string&) {
    log_.push_back("complete " + Who(b));
  };
  events_->OnDownloadComplete = [&](auto&) { log_.push_back("download complete"); };
  ASSERT_TRUE(tab_->Load(server_.Url("/top.html")));
  ASSERT_TRUE(tab_->WaitUntil([&] { return !log_.empty() && log_.back() == "onload"; }, 10s));
  // Frames load in parallel in a real browser; each frame's own events keep
  // their order, and all of them come between the top's first two and its
  // last three.
  ASSERT_EQ(log_.size(), 11u) << ::testing::PrintToString(log_);
  EXPECT_EQ(log_[0], "before top.html");
  EXPECT_EQ(log_[1], "navigated top");
  const std::vector<std::string> tail(log_.end() - 3, log_.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"download complete", "complete top", "onload"}));
  for (const std::string frame : {"a.html", "b.html"}) {
    const auto at = [&](const std::string& entry) {
      return std::find(log_.begin(), log_.end(), entry) - log_.begin();
    };
    EXPECT_LT(at("before " + frame), at("navigated frame " + frame)) << frame;
    EXPECT_LT(at("navigated frame " + frame), at("complete frame " + frame)) << frame;
    EXPECT_LT(at("complete frame " + frame), 8) << frame;
  }
}

TEST_F(Navigation, ASubmissionIsAnnouncedWithItsBodyAndCanBeCancelled) {
  server_.Add("/form.html",
              "<form method=post action=/post><input name=city value='Zürich'>"
              "<button id=go>Go</button></form>");
  ASSERT_TRUE(tab_->Load(server_.Url("/form.html")));
  std::string body, headers;
  std::u16string target, city;
  events_->OnBeforeNavigate2 = [&](auto&, const ComPtr<PageBrowser>&, const std::u16string& url,
                                   int32_t, const std::u16string&, const Variant& postData,
                                   const std::u16string& extra, bool& cancel) {
    target = url;
    // The page is held while its navigation waits: a sink reads what was
    // last taken of it, and never waits for it.
    const auto form = DocumentOf(tab_)->forms()->item(0).As<platform::PageFormElement>();
    city = form->item(0).As<platform::PageInputElement>()->value();
    body = BytesOf(postData);
    headers = platform::U8(extra);
    cancel = true;
  };
  FindById(DocumentOf(tab_), u"go")->click();
  ASSERT_TRUE(tab_->WaitUntil([&] { return !target.empty(); }, 10s));
  EXPECT_EQ(target, server_.Url("/post"));
  EXPECT_EQ(city, u"Z\u00FCrich");
  EXPECT_EQ(body, "city=Z%C3%BCrich");
  EXPECT_NE(headers.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos)
      << headers;
  // The page stays, and the server never heard of the submission.
  tab_->WaitUntil([] { return false; }, 300ms);
  EXPECT_EQ(tab_->LocationURL(), server_.Url("/form.html"));
  for (const auto& request : server_.Requests()) EXPECT_NE(request.Method, "POST");
  EXPECT_TRUE(FindById(DocumentOf(tab_), u"go")) << "the document is still the same page";
}

TEST_F(Navigation, APersonsClickOnASubmitButtonSubmitsThroughTheNavigationEvents) {
  server_.Add("/form.html",
              "<form method=post action=/post><input name=city value=Bern>"
              "<button id=go>Go</button></form>");
  server_.Add("/post", "<p id=done>ok</p>");
  ASSERT_TRUE(tab_->Load(server_.Url("/form.html")));
  std::string body;
  std::vector<std::string> seen;
  events_->OnBeforeNavigate2 = [&](auto&, const ComPtr<PageBrowser>&, const std::u16string& url,
                                   int32_t, const std::u16string&, const Variant& postData,
                                   const std::u16string&, bool&) {
    seen.push_back("before " + platform::U8(url.substr(url.rfind(u'/'))));
    body = BytesOf(postData);
  };
  events_->OnNavigateComplete2 = [&](auto&, const ComPtr<PageBrowser>&, const std::u16string& url) {
    seen.push_back("navigated " + platform::U8(url.substr(url.rfind(u'/'))));
  };
  ASSERT_TRUE(ClickElement(FindById(DocumentOf(tab_), u"go")));
  ASSERT_TRUE(tab_->WaitUntil(
      [&] {
        const auto document = DocumentOf(tab_);
        return document && document->all() && FindById(document, u"done") != nullptr;
      },
      10s));
  EXPECT_EQ(seen, (std::vector<std::string>{"before /post", "navigated /post"}));
  EXPECT_EQ(body, "city=Bern");
}

TEST_F(Navigation, OurOwnNavigationCarriesItsBody) {
  server_.Add("/echo", "<p>ok</p>");
  std::string announced;
  events_->OnBeforeNavigate2 = [&](auto&, const ComPtr<PageBrowser>&, const std::u16string&,
                                   int32_t, const std::u16string&, const Variant& postData,
                                   const std::u16string&, bool&) { announced = BytesOf(postData); };
  const std::string body = "a=1&b=two";
  tab_->Navigate(server_.Url("/echo"), {}, {},
                 Variant::FromBytes(std::vector<uint8_t>(body.begin(), body.end())),
                 Variant::FromString(u"Content-Type: application/x-www-form-urlencoded\r\n"));
  EXPECT_EQ(announced, body) << "announced inside the call";
  ASSERT_TRUE(tab_->WaitUntil([&] { return !server_.Requests().empty(); }, 10s));
  const auto requests = server_.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().Method, "POST");
  EXPECT_EQ(requests.back().Body, body);
  EXPECT_EQ(requests.back().ContentType, "application/x-www-form-urlencoded");
}

TEST_F(Navigation, ACancelledNavigationOfOursGoesNowhere) {
  server_.Add("/one.html", "<p>1</p>");
  server_.Add("/two.html", "<p>2</p>");
  ASSERT_TRUE(tab_->Load(server_.Url("/one.html")));
  events_->OnBeforeNavigate2 = [&](auto&, const ComPtr<PageBrowser>&, const std::u16string&,
                                   int32_t, const std::u16string&, const Variant&,
                                   const std::u16string&, bool& cancel) { cancel = true; };
  tab_->Navigate(u"two.html", {}, {}, {}, {});
  tab_->WaitUntil([] { return false; }, 300ms);
  EXPECT_EQ(tab_->LocationURL(), server_.Url("/one.html"));
  for (const auto& request : server_.Requests()) EXPECT_NE(request.Path, "/two.html");
}

// A server's redirects are the navigation's own business: the navigation
// is announced once, at the address asked for, and completes at the last.
TEST_F(Navigation, ARedirectedSubmissionIsAnnouncedOnceAndCompletesAtTheFinalAddress) {
  server_.Add("/form.html", "<form method=post action=/post><input name=a value=1>"
                            "<button id=go>Go</button></form>");
  server_.Redirect("/post", "/hop");
  server_.Redirect("/hop", "/done.html", 303);
  server_.Add("/done.html", "<p id=done>done</p>");
  ASSERT_TRUE(tab_->Load(server_.Url("/form.html")));
  std::string body;
  events_->OnBeforeNavigate2 = [&](auto&, const ComPtr<PageBrowser>& b, const std::u16string& url,
                                   int32_t, const std::u16string&, const Variant& postData,
                                   const std::u16string&, bool&) {
    log_.push_back("before " + Who(b) + " " + platform::U8(url.substr(url.rfind(u'/'))));
    body = BytesOf(postData);
  };
  events_->OnNavigateComplete2 = [&](auto&, const ComPtr<PageBrowser>& b, const std::u16string& url) {
    log_.push_back("navigated " + Who(b) + " " + platform::U8(url.substr(url.rfind(u'/'))));
  };
  events_->OnDocumentComplete = [&](auto&, const ComPtr<PageBrowser>& b, const std::u16string& url) {
    log_.push_back("complete " + Who(b) + " " + platform::U8(url.substr(url.rfind(u'/'))));
  };
  FindById(DocumentOf(tab_), u"go")->click();
  ASSERT_TRUE(tab_->WaitUntil([&] { return !log_.empty() && log_.back().starts_with("complete"); }, 10s));
  EXPECT_EQ(log_, (std::vector<std::string>{"before top /post", "navigated top /done.html",
                                            "complete top /done.html"}));
  EXPECT_EQ(body, "a=1");
  EXPECT_EQ(tab_->LocationURL(), server_.Url("/done.html"));
  EXPECT_EQ(DocumentOf(tab_)->url(), server_.Url("/done.html"));
  EXPECT_TRUE(FindById(DocumentOf(tab_), u"done"));
  std::vector<std::string> asked;
  for (const auto& request : server_.Requests()) asked.push_back(request.Method + " " + request.Path);
  EXPECT_EQ(std::vector<std::string>(asked.end() - 3, asked.end()),
            (std::vector<std::string>{"POST /post", "GET /hop", "GET /done.html"}))
      << "after a post, the browser follows a redirect with a plain request";
}

TEST_F(Navigation, OurOwnNavigationFollowsARedirectChainAndCancellingItStopsIt) {
  server_.Redirect("/r1", "/r2", 301);
  server_.Redirect("/r2", "/final.html", 302);
  server_.Add("/final.html", "<p>final</p>");
  server_.Add("/start.html", "<p>start</p>");
  events_->OnBeforeNavigate2 = [&](auto&, const ComPtr<PageBrowser>&, const std::u16string& url,
                                   int32_t, const std::u16string&, const Variant&,
                                   const std::u16string&, bool&) {
    log_.push_back("before " + platform::U8(url.substr(url.rfind(u'/'))));
  };
  events_->OnNavigateComplete2 = [&](auto&, const ComPtr<PageBrowser>&, const std::u16string& url) {
    log_.push_back("navigated " + platform::U8(url.substr(url.rfind(u'/'))));
  };
  ASSERT_TRUE(tab_->Load(server_.Url("/r1")));
  EXPECT_EQ(log_, (std::vector<std::string>{"before /r1", "navigated /final.html"}));
  EXPECT_EQ(tab_->LocationURL(), server_.Url("/final.html"));

  // Cancelled at its start, no hop of it is asked for.
  ASSERT_TRUE(tab_->Load(server_.Url("/start.html")));
  const auto hops = [&] {
    int n = 0;
    for (const auto& request : server_.Requests()) n += request.Path == "/r1" || request.Path == "/r2";
    return n;
  };
  const int before = hops();
  ASSERT_EQ(before, 2);
  events_->OnBeforeNavigate2 = [&](auto&, const ComPtr<PageBrowser>&, const std::u16string&,
                                   int32_t, const std::u16string&, const Variant&,
                                   const std::u16string&, bool& cancel) { cancel = true; };
  tab_->Navigate(u"r1", {}, {}, {}, {});
  tab_->WaitUntil([] { return false; }, 300ms);
  EXPECT_EQ(tab_->LocationURL(), server_.Url("/start.html"));
  EXPECT_EQ(hops(), before);
}

TEST_F(Navigation, ATargetNamesTheFrameThatNavigatesAndANewWindowGoesThroughNewWindow2) {
  server_.Add("/a.html", "<p>a</p>");
  server_.Add("/x.html", "<p>x</p>");
  server_.Add("/y.html", "<p>y</p>");
  server_.Add("/top.html", "<iframe name=other src=a.html></iframe><iframe name=side src=a.html></iframe>");
  ASSERT_TRUE(tab_->Load(server_.Url("/top.html")));
  std::vector<ComPtr<PageBrowser>> announced;
  events_->OnBeforeNavigate2 = [&](auto&, const ComPtr<PageBrowser>& b, const std::u16string&,
                                   int32_t, const std::u16string&, const Variant&,
                                   const std::u16string&, bool&) { announced.push_back(b); };
  tab_->Navigate(u"x.html", {}, Variant::FromString(u"side"), {}, {});
  ASSERT_EQ(announced.size(), 1u);
  const ComPtr<PageBrowser> side = announced[0];
  ASSERT_NE(ComIdentity(side), ComIdentity(ComPtr<PageBrowser>(tab_.Get())));
  ASSERT_TRUE(tab_->WaitUntil([&] { return side->LocationURL() == server_.Url("/x.html"); }, 10s));
  EXPECT_EQ(tab_->LocationURL(), server_.Url("/top.html"));
  // From inside the frame, _parent and _top are the top browser.
  const uint64_t loads = tab_->CompletedLoads();
  side->Navigate(u"a.html", {}, Variant::FromString(u"_parent"), {}, {});
  ASSERT_EQ(announced.size(), 2u);
  EXPECT_EQ(ComIdentity(announced[1]), ComIdentity(ComPtr<PageBrowser>(tab_.Get())));
  ASSERT_TRUE(tab_->WaitUntil([&] { return tab_->CompletedLoads() > loads; }, 10s));
  EXPECT_EQ(tab_->LocationURL(), server_.Url("/a.html"));

  // A name no frame has opens a new window: cancelled, or with no browser
  // handed over, nothing navigates; a browser handed over shows the page.
  ASSERT_TRUE(tab_->Load(server_.Url("/top.html")));
  announced.clear();
  int asked = 0;
  bool cancel = true;
  ComPtr<ChromiumBrowser> popup = OpenTab();
  events_->OnNewWindow2 = [&](auto&, ComPtr<PageBrowser>& supplied, bool& cancelIt) {
    ++asked;
    cancelIt = cancel;
    supplied = ComPtr<PageBrowser>(popup.Get());
  };
  tab_->Navigate(u"y.html", {}, Variant::FromString(u"nowhere"), {}, {});
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(announced.empty());
  cancel = false;
  tab_->Navigate(u"y.html", {}, Variant::FromString(u"_blank"), {}, {});
  EXPECT_EQ(asked, 2);
  ASSERT_TRUE(popup->WaitUntil([&] { return popup->CompletedLoads() == 1; }, 10s));
  EXPECT_EQ(popup->LocationURL(), server_.Url("/y.html")) << "relative to the asking browser";
  EXPECT_EQ(tab_->LocationURL(), server_.Url("/top.html"));
  EXPECT_TRUE(announced.empty()) << "the new window's own sinks hear its navigation";
  int pagesOfY = 0;
  for (const auto& request : server_.Requests()) pagesOfY += request.Path == "/y.html";
  EXPECT_EQ(pagesOfY, 1) << "the cancelled one never went out";
}

// The page's own new windows (a link with target _blank, clicked as a
// user clicks it): NewWindow2 decides whether the browser's window may be.
TEST_F(Navigation, APagesNewWindowIsStoppedByACancelOfNewWindow2OrTakenOverByTheBrowserHandedOver) {
  server_.Add("/top.html", "<a id=n href=y.html target=_blank>n</a>");
  server_.Add("/y.html", "<p>y</p>");
  ASSERT_TRUE(tab_->Load(server_.Url("/top.html")));
  Tab& tab = *tab_->GetTab();
  const auto clickLink = [&] {
    tab.Call("Runtime.evaluate",
             {{"expression", "document.getElementById('n').click()"}, {"userGesture", true}},
             tab.SessionOf(tab.MainFrameId()));
  };
  const auto windowsAtY = [&] {
    const Json targets = tab.Call("Target.getTargets", Json::object(), {});
    std::vector<std::string> found;
    for (const Json& t : targets["targetInfos"]) {
      if (platform::W(t.value("url", "")) == server_.Url("/y.html")) found.push_back(t.value("targetId", ""));
    }
    return found;
  };
  const auto asksForY = [&] {
    int n = 0;
    for (const auto& request : server_.Requests()) n += request.Path == "/y.html";
    return n;
  };
  int asked = 0;
  bool cancel = true;
  ComPtr<ChromiumBrowser> other;
  events_->OnNewWindow2 = [&](auto&, ComPtr<PageBrowser>& supplied, bool& cancelIt) {
    ++asked;
    cancelIt = cancel;
    if (other) supplied = ComPtr<PageBrowser>(other.Get());
  };

  clickLink();
  ASSERT_TRUE(tab_->WaitUntil([&] { return asked == 1; }, 10s));
  tab_->WaitUntil([] { return false; }, 500ms);
  EXPECT_EQ(asksForY(), 0) << "a cancelled window never fetches its page";
  EXPECT_TRUE(windowsAtY().empty());

  // Neither cancelled nor taken over: the browser's window shows the page.
  cancel = false;
  clickLink();
  ASSERT_TRUE(tab_->WaitUntil([&] { return asked == 2 && windowsAtY().size() == 1; }, 10s));
  EXPECT_EQ(asksForY(), 1);
  for (const std::string& id : windowsAtY()) tab.Call("Target.closeTarget", {{"targetId", id}}, {});

  // Taken over: the browser handed over shows it, the browser's own goes.
  other = OpenTab();
  clickLink();
  ASSERT_TRUE(other->WaitUntil([&] { return other->CompletedLoads() == 1; }, 10s));
  EXPECT_EQ(other->LocationURL(), server_.Url("/y.html"));
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(asksForY(), 2);
  EXPECT_EQ(windowsAtY().size(), 1u) << "only the browser handed over shows it";
  EXPECT_EQ(tab_->LocationURL(), server_.Url("/top.html"));
}

TEST_F(Navigation, EveryBrowserHandsOutItsTopBrowserAsTheWebBrowserService) {
  server_.Add("/a.html", "<p>a</p>");
  server_.Add("/top.html", "<iframe src=a.html></iframe>");
  ASSERT_TRUE(tab_->Load(server_.Url("/top.html")));
  const auto document = tab_->Document().As<platform::PageDocument>();
  ASSERT_TRUE(document);
  ComPtr<PageBrowser> frame;
  const auto all = document->all();
  for (int32_t i = 0; all && i < all->length() && !frame; ++i) {
    if (auto element = all->item(i).As<platform::PageFrameElement>()) frame = element->contentBrowser();
  }
  ASSERT_TRUE(frame);
  const ComPtr<PageBrowser> top(tab_.Get());
  for (const ComPtr<PageBrowser>& asked : {frame, top}) {
    const auto service = platform::QueryService<PageBrowser>(asked.As<platform::IServiceProvider>(),
                                                             platform::SID_SWebBrowserApp);
    EXPECT_EQ(ComIdentity(service), ComIdentity(top));
  }
}

}  // namespace
}  // namespace qm::chromium::testing
