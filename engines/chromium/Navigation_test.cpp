// Navigation events on a real browser: their order for a page with frames
// from two origins, announcing and cancelling a submission with its body,
// and our own navigations with a body.
#include <gtest/gtest.h>

#include "engines/chromium/ChromiumTesting.h"

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
