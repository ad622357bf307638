#include "platform/net/AddressJoin.h"

#include <gtest/gtest.h>

#include "platform/rtl/Exception.h"

namespace qm::platform {
namespace {

TEST(CombineAddress, ResolvesReferencesTheWayBrowsersDo) {
  const std::u16string base = u"http://Example.COM/dir/page.html?x=1#top";
  EXPECT_EQ(CombineAddress(base, u"next.html"), u"http://example.com/dir/next.html");
  EXPECT_EQ(CombineAddress(base, u"../up.html"), u"http://example.com/up.html");
  EXPECT_EQ(CombineAddress(base, u"../../../up.html"), u"http://example.com/up.html");
  EXPECT_EQ(CombineAddress(base, u"/root"), u"http://example.com/root");
  EXPECT_EQ(CombineAddress(base, u"?y=2"), u"http://example.com/dir/page.html?y=2");
  EXPECT_EQ(CombineAddress(base, u"#sec"), u"http://example.com/dir/page.html?x=1#sec");
  EXPECT_EQ(CombineAddress(base, u""), u"http://example.com/dir/page.html?x=1");
  EXPECT_EQ(CombineAddress(base, u"//other.org"), u"http://other.org/");
  EXPECT_EQ(CombineAddress(base, u"mailto:me@example.com"), u"mailto:me@example.com");
  EXPECT_EQ(CombineAddress(u"http://a", u"?q"), u"http://a/?q");
}

TEST(CombineAddress, EncodesWhatPagesWriteCarelessly) {
  const std::u16string base = u"http://h/d/";
  EXPECT_EQ(CombineAddress(base, u"  a b.html \r\n"), u"http://h/d/a%20b.html");
  EXPECT_EQ(CombineAddress(base, u"x\u00FC"), u"http://h/d/x%C3%BC");
  EXPECT_EQ(CombineAddress(base, u"p?a=50%&b=%41"), u"http://h/d/p?a=50%25&b=%41");
  EXPECT_EQ(CombineAddress(base, u"p#a#b"), u"http://h/d/p#a%23b");
  EXPECT_EQ(CombineAddress(base, u"li\nne"), u"http://h/d/line");
  EXPECT_EQ(CombineAddress(base, u"a[1]"), u"http://h/d/a%5B1%5D");
  // Brackets stay legal in the host (uriparser writes IPv6 hosts in full).
  EXPECT_EQ(CombineAddress(u"http://[::1]:8080/a", u"b"),
            u"http://[0000:0000:0000:0000:0000:0000:0000:0001]:8080/b");
}

TEST(CombineAddress, RaisesForARelativeOrBrokenBase) {
  EXPECT_THROW(CombineAddress(u"", u"a.html"), Exception);
  EXPECT_THROW(CombineAddress(u"dir/page.html", u"a.html"), Exception);
  try {
    CombineAddress(u"nobase", u"x");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"Joining 'x' to 'nobase': the base address is not absolute");
  }
}

TEST(FileAddress, RoundTripsPathsWithSpacesAndLetters) {
  const std::u16string address = AddressFromFilePath("/tmp/my pages/\xC3\xA4.html");
  EXPECT_EQ(address, u"file:///tmp/my%20pages/%C3%A4.html");
  EXPECT_EQ(FilePathFromAddress(address), "/tmp/my pages/\xC3\xA4.html");
  EXPECT_EQ(FilePathFromAddress(u"file:///a/b.html?x#y"), "/a/b.html");
  EXPECT_THROW(FilePathFromAddress(u"http://h/a"), Exception);
  EXPECT_THROW(AddressFromFilePath("relative/path"), Exception);
}

}  // namespace
}  // namespace qm::platform
