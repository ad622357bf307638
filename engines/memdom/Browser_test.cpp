#include <gtest/gtest.h>

#include "engines/memdom/MemBrowser.h"
#include "engines/memdom/MemdomTesting.h"

namespace qm::memdom {
namespace {

using namespace qm::memdom::testing;
using platform::BrowserEventConnection;
using platform::BrowserEventHandlers;
using platform::ComIdentity;
using platform::PageBrowser;
using platform::PageDocument;
using platform::PageEventConnection;
using platform::PageEventSource;
using platform::PageEventType;

class MemBrowsing : public ::testing::Test {
protected:
  MemBrowsing() : loader_(std::make_shared<MapResourceLoader>()) {
    browser_ = MemBrowser::Create(loader_, scripts_);
    handlers_ = MakeCom<BrowserEventHandlers>();
    handlers_->OnBeforeNavigate2 = [this](auto&, const ComPtr<PageBrowser>& b,
                                          const std::u16string& url, int32_t, auto&,
                                          const Variant& post, auto&, bool& cancel) {
      Log.push_back(u"before " + Name(b) + u" " + url + (post.IsEmpty() ? u"" : u" post"));
      cancel = url == CancelUrl;
    };
    handlers_->OnNavigateComplete2 = [this](auto&, const ComPtr<PageBrowser>& b, auto& url) {
      Log.push_back(u"navigated " + Name(b) + u" " + url);
    };
    handlers_->OnDocumentComplete = [this](auto&, const ComPtr<PageBrowser>& b, auto& url) {
      Log.push_back(u"complete " + Name(b) + u" " + url);
    };
    handlers_->OnDownloadComplete = [this](auto&) { Log.push_back(u"download"); };
    handlers_->OnNewWindow2 = [this](auto&, ComPtr<PageBrowser>& b, bool&) {
      Log.push_back(u"new window");
      if (popup_) b = ComPtr<PageBrowser>(popup_.Get());
    };
    connection_.Connect(ComPtr<PageBrowser>(browser_.Get()),
                        ComPtr<platform::PageBrowserEvents>(handlers_.Get()));
  }

  std::u16string Name(const ComPtr<PageBrowser>& b) {
    if (ComIdentity(b) == ComIdentity(browser_)) return u"top";
    auto mem = b.As<IMemFrameContent>();
    return mem ? static_cast<MemBrowser*>(mem.Get())->FrameName() : u"?";
  }

  // Logs the window's load of the top document.
  void WatchLoad(const ComPtr<MemDocument>& document) {
    load_.Connect(ComPtr<PageEventSource>(document->parentWindow()),
                  platform::MakePageEventSink([this](PageEventType type, auto&) {
                    if (type == PageEventType::Load) Log.push_back(u"onload");
                    return true;
                  }));
  }

  std::shared_ptr<MapResourceLoader> loader_;
  std::shared_ptr<ScriptBindings> scripts_ = std::make_shared<ScriptBindings>();
  ComPtr<MemBrowser> browser_;
  ComPtr<MemBrowser> popup_;
  ComPtr<BrowserEventHandlers> handlers_;
  BrowserEventConnection connection_;
  PageEventConnection load_;
  std::vector<std::u16string> Log;
  std::u16string CancelUrl;
};

TEST_F(MemBrowsing, APageWithFramesRaisesTheEventsInBrowserOrder) {
  loader_->Add(u"http://h/top.html",
               "<frameset><frame name=left src=left.html><frame name=right src=pic.png>"
               "</frameset>");
  loader_->Add(u"http://h/left.html", "<iframe name=inner src=inner.html></iframe>");
  loader_->Add(u"http://h/inner.html", "<p>inner</p>");
  loader_->Add(u"http://h/pic.png", "\x89PNG", u"image/png");
  scripts_->Bind(u"x", [](ScriptContext&) {});
  browser_->Navigate(u"http://h/top.html", {}, {}, {}, {});
  EXPECT_EQ(Log, std::vector<std::u16string>{u"before top http://h/top.html"});
  EXPECT_TRUE(browser_->HasPendingNavigation());
  EXPECT_FALSE(browser_->Document());  // nothing shows before the queue runs
  EXPECT_EQ(browser_->RunPendingNavigations(), 1u);
  const std::vector<std::u16string> expected = {
      u"before top http://h/top.html",       u"navigated top http://h/top.html",
      u"before left http://h/left.html",     u"navigated left http://h/left.html",
      u"before inner http://h/inner.html",   u"navigated inner http://h/inner.html",
      u"complete inner http://h/inner.html", u"complete left http://h/left.html",
      u"before right http://h/pic.png",      u"navigated right http://h/pic.png",
      u"complete right http://h/pic.png",    u"download",
      u"complete top http://h/top.html",
  };
  EXPECT_EQ(Log, expected);
  // The frames are embedded browsers in document order; the picture's
  // document is not HTML and offers no listing of embedded objects.
  auto container = browser_->Document().As<platform::PageObjectContainer>();
  ASSERT_TRUE(container);
  const auto objects = container->embeddedObjects();
  ASSERT_EQ(objects.size(), 2u);
  auto right = objects[1].As<PageBrowser>();
  ASSERT_TRUE(right);
  ASSERT_TRUE(right->Document());
  EXPECT_FALSE(right->Document().As<PageDocument>());
  EXPECT_FALSE(right->Document().As<platform::PageObjectContainer>());
  EXPECT_EQ(right->Document().As<IMemPlainDocument>()->Bytes(), "\x89PNG");
  auto left = objects[0].As<PageBrowser>();
  EXPECT_EQ(left->Document().As<platform::PageObjectContainer>()->embeddedObjects().size(), 1u);
}

TEST_F(MemBrowsing, TheTopWindowsLoadComesLastAndACancelStopsTheNavigation) {
  loader_->Add(u"http://h/a.html", "<a id=l href=b.html>b</a><a id=m href=c.html>c</a>");
  loader_->Add(u"http://h/b.html", "b");
  browser_->Navigate(u"http://h/a.html", {}, {}, {}, {});
  // The window's load sink connects at NavigateComplete2, as the add-on does.
  handlers_->OnNavigateComplete2 = [this](auto&, const ComPtr<PageBrowser>&, auto& url) {
    Log.push_back(u"navigated " + url);
    WatchLoad(browser_->HtmlDocument());
  };
  browser_->RunPendingNavigations();
  EXPECT_EQ(Log.back(), u"onload");
  EXPECT_EQ(Log[Log.size() - 2], u"complete top http://h/a.html");
  Log.clear();
  auto oldLink = ComPtr<PageElement>(browser_->HtmlDocument()->ElementById(u"l"));
  CancelUrl = u"http://h/c.html";
  ComPtr<PageElement>(browser_->HtmlDocument()->ElementById(u"m"))->click();
  EXPECT_FALSE(browser_->HasPendingNavigation());
  oldLink->click();
  EXPECT_EQ(Log, std::vector<std::u16string>(
                     {u"before top http://h/c.html", u"before top http://h/b.html"}));
  browser_->RunPendingNavigations();
  EXPECT_EQ(browser_->LocationURL(), u"http://h/b.html");
  // The old page's elements are detached now.
  EXPECT_EQ(oldLink->sourceIndex(), -1);
  EXPECT_FALSE(oldLink->document());
}

TEST_F(MemBrowsing, FormPostsReachTheLoaderWithTheirBody) {
  loader_->Add(u"http://h/f.html",
               "<form method=post action=save><input name=a value=1><input type=submit id=s>"
               "</form>");
  loader_->Add(u"http://h/save", "saved");
  browser_->Load(u"http://h/f.html");
  Log.clear();
  ComPtr<PageElement>(browser_->HtmlDocument()->ElementById(u"s"))->click();
  EXPECT_EQ(Log, std::vector<std::u16string>{u"before top http://h/save post"});
  browser_->RunPendingNavigations();
  ASSERT_EQ(loader_->Requests.size(), 2u);
  EXPECT_EQ(loader_->Requests[1].Method, u"post");
  EXPECT_EQ(PostText(loader_->Requests[1]), "a=1");
  EXPECT_EQ(browser_->HtmlDocument()->url(), u"http://h/save");
}

TEST_F(MemBrowsing, TargetsPickFramesAndNewWindowsGoThroughNewWindow2) {
  loader_->Add(u"http://h/top.html",
               "<iframe name=side src=blank.html></iframe><a id=s href=x.html target=side>s</a>"
               "<a id=n href=y.html target=_blank>n</a>");
  loader_->Add(u"http://h/x.html", "x");
  loader_->Add(u"http://h/y.html", "y");
  browser_->Load(u"http://h/top.html");
  Log.clear();
  auto doc = browser_->HtmlDocument();
  ComPtr<PageElement>(doc->ElementById(u"s"))->click();
  browser_->RunPendingNavigations();
  EXPECT_EQ(Log, std::vector<std::u16string>({u"before side http://h/x.html",
                                              u"navigated side http://h/x.html", u"download",
                                              u"complete side http://h/x.html"}));
  EXPECT_EQ(browser_->LocationURL(), u"http://h/top.html");
  Log.clear();
  ComPtr<PageElement>(doc->ElementById(u"n"))->click();
  EXPECT_EQ(Log, std::vector<std::u16string>{u"new window"});  // nobody gave a window
  popup_ = MemBrowser::Create(loader_);
  ComPtr<PageElement>(doc->ElementById(u"n"))->click();
  popup_->RunPendingNavigations();
  EXPECT_EQ(popup_->LocationURL(), u"http://h/y.html");
  EXPECT_EQ(browser_->LocationURL(), u"http://h/top.html");
}

TEST_F(MemBrowsing, ScriptsCanNavigateAndPropertiesStayOnTheBrowser) {
  loader_->Add(u"http://h/a.html", "<body onload='go()'>");
  loader_->Add(u"http://h/b.html", "b");
  scripts_->Bind(u"go()", [](ScriptContext& context) { context.Navigate(u"b.html"); });
  const std::u16string name = u"{5838DE46-7072-4FCA-9A5C-C09D44D231FE}";
  EXPECT_TRUE(browser_->GetProperty(name).IsEmpty());
  browser_->PutProperty(name, Variant::FromInt32(5));
  EXPECT_EQ(browser_->GetProperty(name), Variant::FromInt32(5));
  browser_->Load(u"http://h/a.html");
  EXPECT_EQ(browser_->LocationURL(), u"http://h/b.html");
  browser_->SetWindowHandle(77);
  EXPECT_EQ(browser_->HWND(), 77);
  EXPECT_TRUE(browser_->Visible());
}

TEST_F(MemBrowsing, APageThatFramesItselfStopsAndMissingPagesShowEmpty) {
  loader_->Add(u"http://h/loop.html", "<iframe src=loop.html></iframe><iframe src=gone.html>");
  browser_->Load(u"http://h/loop.html");
  const auto frames = browser_->Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0]->LocationURL(), u"about:blank");
  ASSERT_TRUE(frames[1]->HtmlDocument());
  EXPECT_EQ(frames[1]->HtmlDocument()->all()->tags(u"body")->length(), 1);
}

TEST_F(MemBrowsing, FrameBrowsersOfAReplacedPageShowNothing) {
  loader_->Add(u"http://h/a.html", "<iframe src=b.html></iframe>");
  loader_->Add(u"http://h/b.html", "<a id=x href=c.html>c</a>");
  loader_->Add(u"http://h/c.html", "c");
  browser_->Load(u"http://h/a.html");
  ComPtr<MemBrowser> frame = browser_->Frames().at(0);
  ComPtr<PageElement> link(frame->HtmlDocument()->ElementById(u"x"));
  browser_->Load(u"http://h/c.html");
  EXPECT_FALSE(frame->Document());
  EXPECT_TRUE(frame->Closed());
  Log.clear();
  link->click();
  frame->Navigate(u"http://h/c.html", {}, {}, {}, {});
  EXPECT_TRUE(Log.empty());
}

TEST_F(MemBrowsing, EveryBrowserHandsOutItsTopBrowserAsTheWebBrowserService) {
  loader_->Add(u"http://h/a.html", "<iframe src=b.html></iframe>");
  loader_->Add(u"http://h/b.html", "b");
  browser_->Load(u"http://h/a.html");
  ComPtr<MemBrowser> frame = browser_->Frames().at(0);
  const auto provider = ComPtr<PageBrowser>(frame.Get()).As<platform::IServiceProvider>();
  ASSERT_TRUE(provider);
  const auto top = platform::QueryService<PageBrowser>(provider, platform::SID_SWebBrowserApp);
  EXPECT_EQ(ComIdentity(top), ComIdentity(browser_));
  EXPECT_FALSE(platform::QueryService<PageBrowser>(provider, platform::MakeGuid("{00000000-0000-0000-0000-000000000001}")));
}

}  // namespace
}  // namespace qm::memdom
