// The page document layer on both engines: one fixture, the same pages and
// the same expectations for the built-in engine and for Chromium, so that
// the add-on behaves the same whichever engine shows the page.
#include <gtest/gtest.h>

#include "addon/BHO/ElementTracker.h"
#include "addon/BHO/Enumerators.h"
#include "addon/BHO/FillFormUtils.h"
#include "addon/BHO/MSHTMLUtils.h"
#include "engines/chromium/ChromiumTesting.h"
#include "engines/memdom/MemBrowser.h"

namespace qm::chromium::testing {
namespace {

using platform::PageBrowser;
using platform::PageDocument;
using platform::PageElement;
using platform::PageInputElement;
using platform::PageOptionElement;
using platform::PageSelectElement;

// Shows pages on one engine; pages are added by path and loaded by path.
class PageHost {
public:
  virtual ~PageHost() = default;
  virtual void Add(const std::string& path, const std::string& html) = 0;
  virtual ComPtr<PageBrowser> Load(const std::string& path) = 0;
  virtual std::u16string Url(const std::string& path) = 0;
  // Lets the engine finish what the last task started (queued writes).
  virtual void Settle() {}
};

class MemHost final : public PageHost {
public:
  void Add(const std::string& path, const std::string& html) override {
    loader_->Add(Url(path), html, u"text/html; charset=utf-8");
  }
  ComPtr<PageBrowser> Load(const std::string& path) override {
    browser_->Load(Url(path));
    return ComPtr<PageBrowser>(browser_.Get());
  }
  std::u16string Url(const std::string& path) override { return W("http://pages.test" + path); }

private:
  std::shared_ptr<memdom::MapResourceLoader> loader_ = std::make_shared<memdom::MapResourceLoader>();
  ComPtr<memdom::MemBrowser> browser_ = memdom::MemBrowser::Create(loader_);
};

class ChromiumHost final : public PageHost {
public:
  void Add(const std::string& path, const std::string& html) override { server_.Add(path, html); }
  ComPtr<PageBrowser> Load(const std::string& path) override {
    EXPECT_TRUE(tab_->Load(Url(path)));
    // Frames finish after the top's own document is in place.
    tab_->WaitUntil([] { return false; }, 50ms);
    return ComPtr<PageBrowser>(tab_.Get());
  }
  std::u16string Url(const std::string& path) override { return server_.Url(path); }
  void Settle() override { tab_->FlushWrites(); }

private:
  PageServer server_;
  ComPtr<ChromiumBrowser> tab_ = OpenTab();
};

enum class Engine { BuiltIn, Chromium };

class BothEngines : public ::testing::TestWithParam<Engine> {
protected:
  BothEngines() {
    if (GetParam() == Engine::BuiltIn) {
      host_ = std::make_unique<MemHost>();
    } else {
      host_ = std::make_unique<ChromiumHost>();
    }
  }
  void Load(const std::string& html) {
    host_->Add("/page.html", html);
    browser_ = host_->Load("/page.html");
    doc_ = browser_->Document().As<PageDocument>();
    ASSERT_TRUE(doc_);
  }
  ComPtr<PageElement> ById(std::u16string_view id) { return FindById(doc_, id); }
  std::u16string Value(std::u16string_view id) { return GetElementInfo(ById(id)).Value; }
  std::vector<std::u16string> Chosen(std::u16string_view id) {
    std::vector<std::u16string> texts;
    const auto select = ById(id).As<PageSelectElement>();
    for (int32_t i = 0; i < select->length(); ++i) {
      const auto option = select->item(i).As<PageOptionElement>();
      if (option->selected()) texts.push_back(option->text());
    }
    return texts;
  }
  TTransitField& AddField(TTransitFormCard& card, int32_t index, std::u16string name,
                          std::u16string tag, std::u16string type, std::u16string value,
                          std::u16string profile = {}) {
    TTransitField& field = card.Fields.Add();
    field.ElementIndex = index;
    field.Name = std::move(name);
    field.TagName = std::move(tag);
    field.InputType = std::move(type);
    field.Value = std::move(value);
    field.ProfileField = std::move(profile);
    return field;
  }
  using Texts = std::vector<std::u16string>;

  std::unique_ptr<PageHost> host_;
  ComPtr<PageBrowser> browser_;
  ComPtr<PageDocument> doc_;
  TLexicon lexicon_;
  TElementChangingTracker tracker_;
};

TEST_P(BothEngines, ExtractionReadsEveryControlAsThePageHoldsIt) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<form id=f action=/go method=post><input name=user value=jo>"
      "<input type=hidden name=tok value=t><input type=checkbox name=news checked>"
      "<input type=radio name=r value=a><select name=size><option>S<option selected>M</select>"
      "<select name=many multiple><option selected>x<option value=Y selected>y</select>"
      "<textarea name=note>hello</textarea><input type=submit name=go value=Go id=go></form>"));
  TTransitFormCard card;
  ReadFormFields(ById(u"f"), ById(u"go"), card);
  ASSERT_EQ(card.Fields.Count(), 8);
  const auto field = [&](int i) {
    const TTransitField& f = card.Fields[i];
    return platform::U8(f.Name + u"|" + f.TagName + u"|" + f.InputType + u"|" + f.Value + u"|") +
           std::to_string(f.ElementIndex);
  };
  EXPECT_EQ(field(0), "user|input|text|jo|0");
  EXPECT_EQ(field(1), "tok|input|hidden|t|-1");
  EXPECT_EQ(field(2), "news|input|checkbox|true|1");
  EXPECT_EQ(field(3), "r|input|radio|false|2");
  EXPECT_EQ(field(4), "size|select||M|3");
  EXPECT_EQ(field(5), "many|select||x,Y|4");
  EXPECT_EQ(field(6), "note|textarea||hello|5");
  EXPECT_EQ(field(7), "go|input|submit|Go|6");
  EXPECT_EQ(card.SubmitFieldIndex, 7);
}

TEST_P(BothEngines, ACardFillsByPositionAndMarksBoundFields) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<form id=f><input name=user><input type=hidden name=tok value=t>"
      "<select name=size><option>S<option>M</select><textarea name=note></textarea>"
      "<input type=checkbox name=news><input name=code maxlength=3></form>"));
  TTransitFormCard card;
  AddField(card, 0, u"user", u"input", u"text", u"jo", u"Login");
  AddField(card, -1, u"tok", u"input", u"hidden", u"changed");
  AddField(card, 1, u"size", u"select", u"", u"M");
  AddField(card, 2, u"note", u"textarea", u"", u"hello");
  AddField(card, 3, u"news", u"input", u"checkbox", u"true");
  AddField(card, 4, u"code", u"input", u"text", u"a\U0001F600bc");
  const TCardFillResult result = FillFormFromCard(ById(u"f"), card, tracker_, lexicon_);
  EXPECT_TRUE(result.Complete);
  host_->Settle();
  TTransitFormCard read;
  ReadFormFields(ById(u"f"), nullptr, read);
  ASSERT_EQ(read.Fields.Count(), 6);
  EXPECT_EQ(read.Fields[0].Value, u"jo");
  EXPECT_EQ(read.Fields[0].ProfileField, u"Login");
  EXPECT_EQ(read.Fields[1].Value, u"t") << "hidden inputs are never filled";
  EXPECT_EQ(read.Fields[2].Value, u"M");
  EXPECT_EQ(read.Fields[3].Value, u"hello");
  EXPECT_EQ(read.Fields[4].Value, u"true");
  EXPECT_EQ(read.Fields[5].Value, u"a\U0001F600") << "cut to maxLength, never half a pair";
  EXPECT_EQ(tracker_.Count(), 1);
  const ComPtr<PageElement> user = doc_->forms()->item(0).As<platform::PageFormElement>()->item(0);
  EXPECT_EQ(user->style()->backgroundColor(), BoundBackgroundColor);
  EXPECT_EQ(user->title(), u"bind with <Login>");
  EXPECT_EQ(user->getAttribute(SinkIDAttribute).GetKind(), platform::Variant::Kind::Int32);
}

TEST_P(BothEngines, ACardThatDoesNotFitTheFormIsIncompleteButFillsWhatFits) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<form id=f><input name=a><select name=s><option>A</select><input name=c>"
      "<textarea name=t></textarea></form>"));
  TTransitFormCard card;
  AddField(card, 0, u"a", u"input", u"text", u"1");
  AddField(card, 1, u"s", u"select", u"", u"Z");
  AddField(card, 2, u"other", u"input", u"text", u"3");
  AddField(card, 3, u"t", u"input", u"text", u"4");
  AddField(card, 9, u"x", u"input", u"text", u"5");
  EXPECT_FALSE(FillFormFromCard(ById(u"f"), card, tracker_, lexicon_).Complete);
  host_->Settle();
  TTransitFormCard read;
  ReadFormFields(ById(u"f"), nullptr, read);
  EXPECT_EQ(read.Fields[0].Value, u"1");
  EXPECT_EQ(read.Fields[2].Value, u"");
  EXPECT_EQ(read.Fields[3].Value, u"");
}

TEST_P(BothEngines, CheckboxesFollowTrueAndRadiosAreOnlyEverChecked) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<input type=checkbox id=a checked><input type=checkbox id=c>"
      "<input type=radio name=r id=r1 checked><input type=radio name=r id=r2>"));
  EXPECT_TRUE(FillInput(ById(u"a"), ValueKindLiteral, u"false", {}));
  EXPECT_TRUE(FillInput(ById(u"c"), ValueKindLiteral, u"true", {}));
  EXPECT_TRUE(FillInput(ById(u"r1"), ValueKindLiteral, u"false", {}));
  EXPECT_TRUE(FillInput(ById(u"r2"), ValueKindLiteral, u"true", {}));
  host_->Settle();
  EXPECT_EQ(Value(u"a"), u"false");
  EXPECT_EQ(Value(u"c"), u"true");
  EXPECT_EQ(Value(u"r1"), u"false");
  EXPECT_EQ(Value(u"r2"), u"true");
}

TEST_P(BothEngines, SelectsMatchByTextValueAndWords) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<select id=m multiple><option value=vc>Visa   Card<option value=mc>Master Card"
      "<option value=am>Amex</select>"
      "<select id=w><option>Visa Card<option>Visa<option>Other</select>"
      "<select id=miss><option selected>Peru<option>Chile</select>"));
  EXPECT_TRUE(FillSelect(ById(u"m"), ValueKindLiteral, u"\" VISA card \",AM", lexicon_, {}));
  EXPECT_TRUE(FillSelect(ById(u"w"), ValueKindWords, u"", lexicon_, {u"visa"}));
  EXPECT_FALSE(FillSelect(ById(u"miss"), ValueKindLiteral, u"Kiwi", lexicon_, {}));
  host_->Settle();
  EXPECT_EQ(Chosen(u"m"), (Texts{u"Visa Card", u"Amex"}));
  EXPECT_EQ(Chosen(u"w"), Texts{u"Visa"});
  EXPECT_EQ(ById(u"miss").As<PageSelectElement>()->selectedIndex(), -1);
}

TEST_P(BothEngines, AProgramChangeOfAMarkedControlRemovesTheMark) {
  ASSERT_NO_FATAL_FAILURE(Load("<form><input id=i name=city><input id=j name=zip></form>"));
  MarkBoundElement(ById(u"i"), u"City", tracker_);
  MarkBoundElement(ById(u"j"), u"Zip", tracker_);
  ASSERT_EQ(tracker_.Count(), 2);
  ById(u"i").As<PageInputElement>()->setValue(u"Bern");
  host_->Settle();
  EXPECT_EQ(ById(u"i")->style()->backgroundColor(), u"");
  EXPECT_EQ(ById(u"i")->getAttribute(ProfileFieldAttribute).ToText(), u"");
  EXPECT_FALSE(tracker_.Items(0).Connected());
  EXPECT_TRUE(tracker_.Items(1).Connected()) << "the other control keeps its mark";
  EXPECT_EQ(ById(u"j")->style()->backgroundColor(), BoundBackgroundColor);
}

TEST_P(BothEngines, FramesAreWalkedDepthFirstInDocumentOrder) {
  host_->Add("/a.html", "<button name=a>a</button><iframe name=a1 src=a1.html></iframe>");
  host_->Add("/a1.html", "<p><button name=a1>x</button></p>");
  host_->Add("/b.html", "<input type=button name=no><button name=b>b</button>");
  ASSERT_NO_FATAL_FAILURE(Load(
      "<button name=top>t</button><iframe name=a src=a.html></iframe>"
      "<iframe name=b src=b.html></iframe>"));
  std::vector<std::u16string> names;
  TElemEnumerator walker;
  walker.OnElement = [&](TWBEnumerator&, const ComPtr<PageElement>& element) {
    names.push_back(element.As<platform::PageButtonElement>()->name());
    return true;
  };
  EXPECT_TRUE(walker.Enumerate<platform::PageButtonElement>(browser_));
  EXPECT_EQ(names, (Texts{u"top", u"a", u"a1", u"b"}));
}

TEST_P(BothEngines, HyperlinksAndTheMetaRefresh) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<meta http-equiv=refresh content='30; URL=next.html'>"
      "<map><area href=map.html alt='The map'></map><a href=one.html>One <b>1</b></a>"
      "<a>no href</a>"));
  THyperlinks links;
  CollectHyperlinks(doc_, links);
  ASSERT_EQ(links.Count(), 3);
  EXPECT_EQ(links[0].Href, host_->Url("/one.html"));
  EXPECT_EQ(links[0].Text, u"One 1");
  EXPECT_EQ(links[1].Href, u"");
  EXPECT_EQ(links[1].Text, u"no href");
  EXPECT_EQ(links[2].Href, host_->Url("/map.html"));
  EXPECT_EQ(links[2].Text, u"The map");
  std::u16string refresh;
  EXPECT_FALSE(FindMetaRefresh(doc_, refresh)) << "not an immediate one";
  EXPECT_EQ(refresh, u"next.html");
}

INSTANTIATE_TEST_SUITE_P(PageLayer, BothEngines, ::testing::Values(Engine::BuiltIn, Engine::Chromium),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                           return info.param == Engine::BuiltIn ? "BuiltIn" : "Chromium";
                         });

}  // namespace
}  // namespace qm::chromium::testing
