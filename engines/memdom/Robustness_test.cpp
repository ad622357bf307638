#include <gtest/gtest.h>

#include <random>

#include "engines/memdom/HtmlCharset.h"
#include "engines/memdom/HtmlGuard.h"
#include "engines/memdom/MemdomTesting.h"

namespace qm::memdom {
namespace {

using namespace qm::memdom::testing;

std::string Repeat(std::string_view piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i)
    out += piece;
  return out;
}

int32_t MaxDepth(const ComPtr<MemDocument>& doc) {
  int32_t deepest = 0;
  for (MemElement* e : doc->Order()) {
    int32_t depth = 0;
    for (MemElement* p = e; p != nullptr; p = p->Parent())
      ++depth;
    deepest = std::max(deepest, depth);
  }
  return deepest;
}

TEST(MemRobustness, HundredThousandNestedElementsLoadShallowAndTearDown) {
  for (const std::string& nested : {Repeat("<div>", 100000), Repeat("<b>", 100000),
                                    Repeat("<table><tr><td>", 20000), Repeat("<svg><g>", 20000)}) {
    SCOPED_TRACE(nested.substr(0, 40));
    const std::string page = nested + "x<input id=last name=deep>";
    auto doc = LoadPage(page);
    EXPECT_TRUE(doc->InputWasLimited());
    EXPECT_LE(MaxDepth(doc), 1100);
    ASSERT_NE(doc->ElementById(u"last"), nullptr);
    // Serialising and reading the text of the whole tree walk without
    // recursion.
    EXPECT_GT(ComPtr<PageElement>(doc->Root())->innerHTML().size(), page.size() / 4);
    ComPtr<PageElement>(doc->Root())->innerText();
    doc->Close();
  }
}

TEST(MemRobustness, ReopenedFormattingElementsStayInProportionToThePage) {
  // Every paragraph would reopen every earlier bold element: quadratic.
  std::string page;
  for (int i = 0; i < 20000; ++i)
    page += "<p><b id=" + std::to_string(i) + "></p>";
  auto doc = LoadPage(page);
  EXPECT_TRUE(doc->InputWasLimited());
  EXPECT_LT(doc->Order().size(), page.size() / 2);
}

TEST(MemRobustness, ADeepTreeBuiltByThePageItselfTearsDownWithoutRecursion) {
  auto doc = LoadPage("<div id=top></div>");
  MemElement* parent = doc->ElementById(u"top");
  // AppendHtml goes through the guard each time, so build depth by hand.
  for (int i = 0; i < 200000; ++i) {
    ComPtr<MemElement> child =
        CreateElement(doc.Get(), ElementKind::Other, Namespace::Html, u"div");
    MemTree::AppendChild(*parent, child);
    parent = child.Get();
  }
  doc->StructureChanged();
  EXPECT_EQ(doc->Order().size(), 200004u);
  EXPECT_EQ(ById(doc, u"top")->innerHTML().size(), 200000u * 11);
  ComPtr<PageElement> held(parent);
  doc->RemoveElement(*doc->ElementById(u"top"));  // frees the removed chain bottom up
  EXPECT_FALSE(held->document());
}

TEST(MemRobustness, TagsWithHugeNumbersOfAttributesKeepTheFirstOnes) {
  std::string page = "<input id=i";
  for (int i = 0; i < 50000; ++i)
    page += " a" + std::to_string(i) + "=1";
  page += ">";
  auto doc = LoadPage(page);
  EXPECT_TRUE(doc->InputWasLimited());
  auto input = doc->ElementById(u"i");
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(input->Attributes().size(), GuardLimits{}.MaxAttributes);
  const std::string huge(3'000'000, 'v');
  auto big = LoadPage("<input id=i value='" + huge + "'>");
  EXPECT_EQ(ViewById<platform::PageInputElement>(big, u"i")->value().size(), huge.size());
}

TEST(MemRobustness, PagesWithinTheLimitsPassTheGuardUnchanged) {
  const std::string page =
      "<!DOCTYPE html><html><head><title>t</title><script>if (a<b) { x('</div>'); }</script>"
      "</head><body><!-- <div> --><table><form action=x><tr><td><input></td></tr></form>"
      "</table><select><option>a<option>b</select><textarea><b></textarea></body></html>";
  const GuardedHtml guarded = GuardHtml(page);
  EXPECT_FALSE(guarded.Limited);
  EXPECT_EQ(guarded.Text, page);
  ASSERT_EQ(guarded.FormSpans.size(), 1u);
  EXPECT_EQ(guarded.Text.substr(guarded.FormSpans[0].Start, 5), "<form");
  EXPECT_EQ(guarded.Text.substr(guarded.FormSpans[0].End, 7), "</form>");
}

TEST(MemRobustness, AnyBytesLoadWithoutFailing) {
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::string alphabet = "<>/=\"' !-abcdefrmoptinsl";
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const int length = 1 + round * 20;
    for (int i = 0; i < length; ++i) {
      bytes.push_back(round % 2 == 0
                          ? static_cast<char>(byte(random))
                          : alphabet[static_cast<size_t>(byte(random)) % alphabet.size()]);
    }
    auto doc = LoadPage(bytes);
    EXPECT_GE(doc->all()->length(), 3);
    ComPtr<PageElement>(doc->Root())->innerHTML();
    ComPtr<PageElement>(doc->Root())->innerText();
  }
  using namespace std::string_literals;
  auto odd = LoadPage("<p id=p>a\0b\xFF\xC3(</p><input id=i value='\0x'>"s);
  ASSERT_TRUE(ById(odd, u"i"));
  EXPECT_EQ(ById(odd, u"p")->innerText(), u"ab\uFFFD\uFFFD(");
  EXPECT_EQ(ViewById<platform::PageInputElement>(odd, u"i")->value(), u"\uFFFDx");
}

TEST(MemCharset, MetaCharsetHostCharsetAndByteOrderMarksDecide) {
  auto meta = LoadPage(
      "<meta http-equiv=Content-Type content='text/html; charset=iso-8859-1'>"
      "<p id=p>\xE4</p>");
  EXPECT_EQ(meta->charset(), u"windows-1252");
  EXPECT_EQ(ById(meta, u"p")->innerText(), u"\u00E4");
  auto plain = LoadPage("<p id=p>\xC3\xA4</p>");
  EXPECT_EQ(plain->charset(), u"utf-8");
  EXPECT_EQ(ById(plain, u"p")->innerText(), u"\u00E4");
  DocumentOptions options;
  options.Charset = u"koi8-r";
  auto hosted = MemDocument::Load("<meta charset=utf-8><p id=p>\xC1</p>", options);
  EXPECT_EQ(hosted->charset(), u"koi8-r");
  EXPECT_EQ(ById(hosted, u"p")->innerText(), u"\u0430");
  using namespace std::string_literals;
  const std::string utf16 = "\xFF\xFE<\0p\0 \0i\0d\0=\0p\0>\0\xE4\0"s;
  auto wide = MemDocument::Load(utf16, {});
  EXPECT_EQ(wide->charset(), u"utf-16le");
  EXPECT_EQ(ById(wide, u"p")->innerText(), u"\u00E4");
  EXPECT_EQ(CanonicalCharset(u"no-such-charset"), u"");
  auto unknown = LoadPage("<meta charset=no-such-charset><p id=p>\xC3\xA4</p>");
  EXPECT_EQ(unknown->charset(), u"utf-8");
}

}  // namespace
}  // namespace qm::memdom
