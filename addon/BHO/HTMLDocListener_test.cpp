// The document listener on real pages of the built-in engine.
#include <gtest/gtest.h>

#include "addon/BHO/HTMLDocListener.h"
#include "engines/memdom/MemBrowser.h"
#include "engines/memdom/UserActions.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::PageElement;

class DocListener : public ::testing::Test {
protected:
  DocListener() : pages(std::make_shared<memdom::MapResourceLoader>()) {
    browser = memdom::MemBrowser::Create(pages);
    listener.SetBrowser(ComPtr<PageBrowser>(browser.Get()));
    listener.OnClick = [this](const ComPtr<PageEvent>& e) { Log(u"click", e); };
    listener.OnMouseDown = [this](const ComPtr<PageEvent>& e) { Log(u"down", e); };
    listener.OnMouseUp = [this](const ComPtr<PageEvent>& e) { Log(u"up", e); };
  }
  void Log(const std::u16string& what, const ComPtr<PageEvent>& event) {
    const ComPtr<PageElement> source = event ? event->srcElement() : nullptr;
    const platform::Variant id = source ? source->getAttribute(u"id") : platform::Variant();
    log.push_back(what + u" " + id.ToText());
  }
  ComPtr<PageElement> InFrame(size_t frame, std::u16string_view id) {
    return ComPtr<PageElement>(browser->Frames()[frame]->HtmlDocument()->ElementById(id));
  }

  std::shared_ptr<memdom::MapResourceLoader> pages;
  ComPtr<memdom::MemBrowser> browser;
  THTMLDocListener listener;
  std::vector<std::u16string> log;
};

TEST_F(DocListener, HearsEveryHtmlDocumentOfThePageNestedToAnyDepth) {
  pages->Add(u"http://h/", "<frameset><frame src=a.html><frame src=pic.png></frameset>");
  pages->Add(u"http://h/a.html", "<iframe src=b.html></iframe><p id=pa>a</p>");
  pages->Add(u"http://h/b.html", "<iframe src=c.html></iframe><button id=bb>b</button>");
  pages->Add(u"http://h/c.html", "<p id=pc>c</p>");
  pages->Add(u"http://h/pic.png", "\x89PNG", u"image/png");
  browser->Load(u"http://h/");
  listener.Reattach();
  // The top document, a.html, b.html and c.html; the picture has none.
  EXPECT_EQ(listener.SinkCount(), 4);
  memdom::ClickAsUser(InFrame(0, u"pa"));
  const auto b = browser->Frames()[0]->Frames()[0];
  memdom::ClickAsUser(ComPtr<PageElement>(b->HtmlDocument()->ElementById(u"bb")));
  EXPECT_EQ(log, (std::vector<std::u16string>{u"down pa", u"up pa", u"click pa", u"down bb",
                                              u"up bb", u"click bb"}));
}

TEST_F(DocListener, AfterReattachNothingOfTheOldPageReachesAnyone) {
  pages->Add(u"http://h/1", "<iframe src=f.html></iframe>");
  pages->Add(u"http://h/f.html", "<p id=old>old</p>");
  pages->Add(u"http://h/2", "<p id=new>new</p>");
  browser->Load(u"http://h/1");
  listener.Reattach();
  EXPECT_EQ(listener.SinkCount(), 2);
  const ComPtr<PageElement> old = InFrame(0, u"old");
  const auto oldDocument = browser->Frames()[0]->HtmlDocument();
  browser->Load(u"http://h/2");
  listener.Reattach();
  EXPECT_EQ(listener.SinkCount(), 1);
  memdom::ClickAsUser(old);
  EXPECT_TRUE(log.empty());
  memdom::ClickAsUser(ComPtr<PageElement>(browser->HtmlDocument()->ElementById(u"new")));
  EXPECT_EQ(log.size(), 3u);
  listener.DetachAll();
  memdom::ClickAsUser(ComPtr<PageElement>(browser->HtmlDocument()->ElementById(u"new")));
  EXPECT_EQ(log.size(), 3u);
}

TEST_F(DocListener, AReattachFromInsideItsOwnEventIsSafe) {
  pages->Add(u"http://h/", "<p id=p>p</p>");
  browser->Load(u"http://h/");
  listener.Reattach();
  listener.OnClick = [this](const ComPtr<PageEvent>& e) {
    listener.Reattach();  // frees the sink that is calling
    Log(u"click", e);
  };
  memdom::ClickAsUser(ComPtr<PageElement>(browser->HtmlDocument()->ElementById(u"p")));
  EXPECT_EQ(log.back(), u"click p");
  EXPECT_EQ(listener.SinkCount(), 1);
}

}  // namespace
}  // namespace qm
