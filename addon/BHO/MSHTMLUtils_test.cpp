#include "addon/BHO/MSHTMLUtils.h"

#include <gtest/gtest.h>

#include <memory>

#include "testsupport/BhoTesting.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using namespace bho_testing;
using memdom::MapResourceLoader;
using memdom::MemBrowser;
using testing::ExpectThrowsExactly;
using testing::Trail;

TEST(Hyperlinks, AnchorsThenAreasThenTheLinksOfFramesInOrder) {
  auto loader = std::make_shared<MapResourceLoader>();
  loader->Add(u"http://h/top.html",
              "<map><area href=map.html alt='The map'></map><a href=one.html>One <b>1</b></a>"
              "<iframe src=f.html></iframe><iframe src=g.html></iframe>");
  loader->Add(u"http://h/f.html", "<a href='/two'>Two</a><a href='three?x=1'>Three</a>");
  loader->Add(u"http://h/g.html", "<a>no href</a>");
  auto browser = MemBrowser::Create(loader);
  browser->Load(u"http://h/top.html");
  THyperlinks links;
  links.Add().Text = u"kept";
  CollectHyperlinks(browser->HtmlDocument(), links);
  ASSERT_EQ(links.Count(), 6);
  EXPECT_EQ(links[0].Text, u"kept");
  EXPECT_EQ(links[1].Href, u"http://h/one.html");
  EXPECT_EQ(links[1].Text, u"One 1");
  EXPECT_EQ(links[2].Href, u"http://h/map.html");
  EXPECT_EQ(links[2].Text, u"The map");
  EXPECT_EQ(links[3].Href, u"http://h/two");
  EXPECT_EQ(links[4].Href, u"http://h/three?x=1");
  EXPECT_EQ(links[5].Href, u"");
  EXPECT_EQ(links[5].Text, u"no href");
  EXPECT_EQ(platform::ComIdentity(links[1].Element),
            platform::ComIdentity(browser->HtmlDocument()->all()->tags(u"a")->item(0)));
  EXPECT_NO_THROW(CollectHyperlinks(nullptr, links));
  EXPECT_EQ(links.Count(), 6);
}

TEST(RefreshContent, DelayAndAddressOfTheTwoPieces) {
  TRefreshContent refresh = ParseRefreshContent(u"0; URL=page2.html");
  EXPECT_EQ(refresh.Delay, 0);
  EXPECT_EQ(refresh.Url, u"page2.html");
  refresh = ParseRefreshContent(u"5");
  EXPECT_EQ(refresh.Delay, 1);
  EXPECT_EQ(refresh.Url, u"");
  refresh = ParseRefreshContent(u"5;url=x");
  EXPECT_EQ(refresh.Delay, 5);
  EXPECT_EQ(refresh.Url, u"x");
  refresh = ParseRefreshContent(u"0;url=a.asp?id=3");
  EXPECT_EQ(refresh.Url, u"a.asp?id") << "an equals sign in the query cuts the address";
  refresh = ParseRefreshContent(u" 3 ,next.html");
  EXPECT_EQ(refresh.Delay, 3);
  EXPECT_EQ(refresh.Url, u"next.html");
  ExpectThrowsExactly<Exception>([] { ParseRefreshContent(u"soon; url=x"); },
                                 u"'soon' is not a valid integer value");
}

TEST(RefreshContent, OnlyTheFirstMetaOfThePageCounts) {
  auto immediate = LoadPage("<meta http-equiv=REFRESH content='0; URL=page2.html'>");
  std::u16string url = u"stale";
  EXPECT_TRUE(FindMetaRefresh(immediate, url));
  EXPECT_EQ(url, u"page2.html");
  auto later = LoadPage("<meta http-equiv=refresh content='5;url=x'>");
  EXPECT_FALSE(FindMetaRefresh(later, url));
  EXPECT_EQ(url, u"x");
  auto second = LoadPage(
      "<meta name=description content='A page'><meta http-equiv=refresh content='0;url=y'>");
  EXPECT_FALSE(FindMetaRefresh(second, url));
  EXPECT_EQ(url, u"");
  EXPECT_FALSE(FindMetaRefresh(LoadPage("<p>no meta</p>"), url));
  EXPECT_FALSE(FindMetaRefresh(nullptr, url));
  auto broken = LoadPage("<meta http-equiv=refresh content='now;url=z'>");
  EXPECT_THROW(FindMetaRefresh(broken, url), Exception);
}

TEST(CombineUrl, BrowserModeTakesQueryAndFragmentAsWritten) {
  const std::u16string base = u"http://h/dir/page.html?old=1#top";
  EXPECT_EQ(CombineUrl(base, u"next.html?q=a b&x=%41#frag ment", ICU_BROWSER_MODE),
            u"http://h/dir/next.html?q=a b&x=%41#frag ment");
  EXPECT_EQ(CombineUrl(base, u"?q=1", ICU_BROWSER_MODE), u"http://h/dir/page.html?q=1");
  EXPECT_EQ(CombineUrl(base, u"#end", ICU_BROWSER_MODE), u"http://h/dir/page.html?old=1#end");
  EXPECT_EQ(CombineUrl(base, u" ../up.html ", ICU_BROWSER_MODE), u"http://h/up.html");
  EXPECT_EQ(CombineUrl(base, u"", ICU_BROWSER_MODE), u"http://h/dir/page.html?old=1");
  EXPECT_EQ(CombineUrl(base, u"next.html?q=a b", 0), u"http://h/dir/next.html?q=a%20b");
}

TEST(CombineUrl, AFailureRaisesItsOwnMessageWithItsCode) {
  ExpectThrowsExactly<Exception>([] { CombineUrl(u"no base", u"a.html", ICU_BROWSER_MODE); },
                                 Trail(u"Error in InternetCombineUrl!", {loc::CombineUrl}));
  ExpectThrowsExactly<Exception>([] { CombineUrl(u"", u"?x", 0); },
                                 Trail(u"Error in InternetCombineUrl!", {loc::CombineUrl}));
}

TEST(PageAddress, NormalizeUrlTrimsCutsTheQueryAndOneSlash) {
  EXPECT_EQ(NormalizeUrl(u" a/b/?x=1 "), u"a/b");
  EXPECT_EQ(NormalizeUrl(u"a//"), u"a/");
  EXPECT_EQ(NormalizeUrl(u"?x"), u"");
  EXPECT_EQ(NormalizeUrl(u"http://h/p.html#f"), u"http://h/p.html#f");
}

TEST(PageAddress, StripWwwPrefixStripsOnlyTheLowerCasePrefixes) {
  EXPECT_EQ(StripWwwPrefix(u"http://www.shop.example/a"), u"http://shop.example/a");
  EXPECT_EQ(StripWwwPrefix(u"https://www.shop.example"), u"https://shop.example");
  EXPECT_EQ(StripWwwPrefix(u"HTTP://WWW.shop.example"), u"HTTP://WWW.shop.example");
  EXPECT_EQ(StripWwwPrefix(u"http://WWW.shop.example"), u"http://WWW.shop.example");
  EXPECT_EQ(StripWwwPrefix(u"ftp://www.shop.example"), u"ftp://www.shop.example");
  EXPECT_EQ(StripWwwPrefix(u"http://www2.shop.example"), u"http://www2.shop.example");
}

}  // namespace
}  // namespace qm
