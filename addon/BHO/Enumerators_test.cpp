#include "addon/BHO/Enumerators.h"

#include <gtest/gtest.h>

#include <memory>

#include "testsupport/BhoTesting.h"

namespace qm {
namespace {

using namespace bho_testing;
using memdom::MapResourceLoader;
using memdom::MemBrowser;
using platform::PageButtonElement;

class FrameWalks : public ::testing::Test {
protected:
  FrameWalks() : loader_(std::make_shared<MapResourceLoader>()) {
    loader_->Add(u"http://h/top.html",
                 "<button name=top>t</button><iframe name=a src=a.html></iframe>"
                 "<iframe name=b src=b.html></iframe>");
    loader_->Add(u"http://h/a.html",
                 "<button name=a>a</button><iframe name=a1 src=a1.html></iframe>");
    loader_->Add(u"http://h/a1.html", "<p><button name=a1>x</button></p>");
    loader_->Add(u"http://h/b.html", "<input type=button name=no><button name=b>b</button>");
    loader_->Add(u"http://h/pic.png", "\x89PNG", u"image/png");
    loader_->Add(u"http://h/withpic.html",
                 "<button name=top>t</button><iframe name=p src=pic.png></iframe>"
                 "<iframe name=b src=b.html></iframe>");
    browser_ = MemBrowser::Create(loader_);
  }
  ComPtr<PageBrowser> Top() { return ComPtr<PageBrowser>(browser_.Get()); }
  static std::u16string NameOf(const ComPtr<PageBrowser>& browser) {
    const std::u16string url = browser->LocationURL();
    return url.empty() ? url : url.substr(9);  // after "http://h/"
  }
  std::vector<std::u16string> ButtonNames(bool expected) {
    std::vector<std::u16string> names;
    TElemEnumerator walker;
    walker.OnElement = [&](TWBEnumerator&, const ComPtr<PageElement>& element) {
      names.push_back(element.As<PageButtonElement>()->name());
      return true;
    };
    EXPECT_EQ(walker.Enumerate<PageButtonElement>(Top()), expected);
    EXPECT_EQ(walker.RequestedInterface, PageButtonElement::Iid);
    return names;
  }
  using Names = std::vector<std::u16string>;
  // A browser walk that notes every browser and stops at stopAt ("*": the
  // first one); answers what Enumerate answered.
  bool WalkBrowsers(Names& visited, std::u16string_view stopAt = {}) {
    TWBEnumerator walker;
    walker.OnBrowser = [&](TWBEnumerator&, const ComPtr<PageBrowser>& browser) {
      visited.push_back(NameOf(browser));
      return !(stopAt == u"*" || (!stopAt.empty() && NameOf(browser) == stopAt));
    };
    return walker.Enumerate(Top());
  }

  std::shared_ptr<MapResourceLoader> loader_;
  ComPtr<MemBrowser> browser_;
};

TEST_F(FrameWalks, BrowsersAreVisitedDepthFirstInDocumentOrder) {
  browser_->Load(u"http://h/top.html");
  Names visited;
  EXPECT_TRUE(WalkBrowsers(visited));
  EXPECT_EQ(visited, (Names{u"top.html", u"a.html", u"a1.html", u"b.html"}));
}

TEST_F(FrameWalks, ABrowserThatStopsTheWalkEndsEveryWalkAboveIt) {
  browser_->Load(u"http://h/top.html");
  Names visited;
  EXPECT_FALSE(WalkBrowsers(visited, u"a1.html"));
  EXPECT_EQ(visited, (Names{u"top.html", u"a.html", u"a1.html"}));
  visited.clear();
  EXPECT_FALSE(WalkBrowsers(visited, u"*"));
  EXPECT_EQ(visited, Names{u"top.html"});
}

TEST_F(FrameWalks, AWalkWithoutCallbackVisitsNothing) {
  browser_->Load(u"http://h/top.html");
  TWBEnumerator walker;
  EXPECT_FALSE(walker.Enumerate(Top()));
  TElemEnumerator elements;
  EXPECT_FALSE(elements.Enumerate<PageButtonElement>(Top()));
}

TEST_F(FrameWalks, ElementsComeTopDocumentFirstThenFramesDepthFirst) {
  browser_->Load(u"http://h/top.html");
  EXPECT_EQ(ButtonNames(true), (Names{u"top", u"a", u"a1", u"b"}));
}

TEST_F(FrameWalks, AnElementThatStopsTheWalkEndsIt) {
  browser_->Load(u"http://h/top.html");
  Names names;
  TElemEnumerator walker;
  walker.OnElement = [&](TWBEnumerator&, const ComPtr<PageElement>& element) {
    names.push_back(element.As<PageButtonElement>()->name());
    return names.size() < 2;
  };
  EXPECT_FALSE(walker.Enumerate<PageButtonElement>(Top()));
  EXPECT_EQ(names, (Names{u"top", u"a"}));
}

TEST_F(FrameWalks, AFrameWithoutAnHtmlDocumentEndsTheWalks) {
  browser_->Load(u"http://h/withpic.html");
  EXPECT_EQ(ButtonNames(false), Names{u"top"}) << "the frame after the picture is not visited";
  Names visited;
  EXPECT_FALSE(WalkBrowsers(visited)) << "a picture lists no embedded objects";
  EXPECT_EQ(visited, (Names{u"withpic.html", u"pic.png"}));
}

TEST_F(FrameWalks, ABrowserWithoutDocumentIsDone) {
  Names visited;
  EXPECT_TRUE(WalkBrowsers(visited));
  EXPECT_EQ(visited, Names{u""});
  TElemEnumerator elements;
  elements.OnElement = [](TWBEnumerator&, const ComPtr<PageElement>&) { return true; };
  EXPECT_FALSE(elements.Enumerate<PageButtonElement>(Top())) << "no HTML document to look at";
}

}  // namespace
}  // namespace qm
