// A person's focus and typing on a real page: the page hears trusted key
// and input events for every key, change when the focus leaves, and the
// document the add-on reads sees the typed value.
#include "engines/chromium/UserInput.h"

#include <gtest/gtest.h>

#include "engines/chromium/ChromiumTesting.h"

namespace qm::chromium::testing {
namespace {

using platform::PageInputElement;
using platform::PageTextAreaElement;

// Every event of the page's controls, noted in #log as "type:id[:key]",
// with a "!" for an event the page made itself (a user's are trusted).
constexpr char Logging[] = R"(<div id=log></div><script>
const log = document.getElementById('log');
for (const type of ['focus', 'blur', 'keydown', 'keypress', 'keyup', 'input', 'change'])
  document.addEventListener(type, ev => {
    if (ev.target === log || !ev.target.id) return;
    log.textContent += type + ':' + ev.target.id + (ev.key ? ':' + ev.key : '') +
                       (ev.isTrusted ? '' : '!') + ' ';
  }, true);
</script>)";

class UserInput : public PageTest {
protected:
  // As the page shows it (its last space trimmed).
  std::string Log() { return platform::U8(ById(u"log")->innerText()); }
  std::u16string ValueOf(std::u16string_view id) {
    if (auto input = ById(id).As<PageInputElement>()) return input->value();
    if (auto area = ById(id).As<PageTextAreaElement>()) return area->value();
    return u"<none>";
  }
};

TEST_F(UserInput, TypingRaisesAUsersKeysAndEditsAndLeavingRaisesChange) {
  Load(std::string("<input id=f value=old><input id=g>") + Logging);
  ASSERT_EQ(ValueOf(u"f"), u"old");  // the mirror has been taken before
  ASSERT_TRUE(TypeText(ById(u"f"), u"ab", TypingMode::Replace));
  EXPECT_EQ(ValueOf(u"f"), u"ab") << "the document the add-on reads sees the typed text";
  EXPECT_EQ(Log(),
            "focus:f keydown:f:a keypress:f:a input:f keyup:f:a "
            "keydown:f:b keypress:f:b input:f keyup:f:b");
  ASSERT_TRUE(FocusElement(ById(u"g")));
  EXPECT_EQ(Log().substr(Log().find("keyup:f:b ") + 10), "change:f blur:f focus:g");
  EXPECT_EQ(platform::ComIdentity(doc_->activeElement()), platform::ComIdentity(ById(u"g")));
}

TEST_F(UserInput, TextIsAppendedLineBreaksAreEnterOnlyInATextAreaAndMaxLengthHolds) {
  Load(
      "<textarea id=t>x</textarea><input id=f value=1><input id=m maxlength=3>"
      "<input id=e type=email value='a@b.c'>");
  ASSERT_TRUE(TypeText(ById(u"t"), u"y\r\nz\u00E9\U0001F600"));
  EXPECT_EQ(ValueOf(u"t"), u"xy\nz\u00E9\U0001F600");
  // Enter in a field would submit its form: a line break is left out.
  ASSERT_TRUE(TypeText(ById(u"f"), u"2\n3"));
  EXPECT_EQ(ValueOf(u"f"), u"123");
  ASSERT_TRUE(TypeText(ById(u"m"), u"abcdef"));
  EXPECT_EQ(ValueOf(u"m"), u"abc");
  // A type without a caret of its own is replaced all the same.
  ASSERT_TRUE(TypeText(ById(u"e"), u"x@y.z", TypingMode::Replace));
  EXPECT_EQ(ValueOf(u"e"), u"x@y.z");
  // Nothing typed over the text empties the control.
  ASSERT_TRUE(TypeText(ById(u"t"), u"", TypingMode::Replace));
  EXPECT_EQ(ValueOf(u"t"), u"");
  ASSERT_TRUE(TypeText(ById(u"f"), u"\n", TypingMode::Replace));
  EXPECT_EQ(ValueOf(u"f"), u"");
}

TEST_F(UserInput, KeysNeverLandInAControlThatCantTakeTheFocusOrInTheOneBefore) {
  Load(
      "<input id=g><input id=d disabled value=keep><input id=h hidden value=keep>"
      "<select id=s><option>a</select>");
  ASSERT_TRUE(FocusElement(ById(u"g")));
  EXPECT_FALSE(TypeText(ById(u"d"), u"zz"));
  EXPECT_FALSE(TypeText(ById(u"h"), u"zz"));
  EXPECT_FALSE(TypeText(ById(u"s"), u"zz")) << "a list takes no text";
  EXPECT_FALSE(FocusElement(ById(u"h")));
  EXPECT_EQ(ValueOf(u"g"), u"");
  EXPECT_EQ(ValueOf(u"d"), u"keep");
  EXPECT_EQ(ValueOf(u"h"), u"keep");
}

TEST_F(UserInput, TypingReachesAControlInAFrameOfAnotherSite) {
  PageServer other{"localhost"};  // another site: the frame lives in its own process
  other.Add("/b.html", std::string("<input id=q>") + Logging);
  Load("<input id=top><iframe src='" + platform::U8(other.Url("/b.html")) + "'></iframe>");
  ComPtr<platform::PageBrowser> frame;
  ASSERT_TRUE(tab_->WaitUntil(
      [&] {
        const auto all = doc_->all();
        for (int32_t i = 0; all && i < all->length() && !frame; ++i) {
          if (auto element = all->item(i).As<platform::PageFrameElement>())
            frame = element->contentBrowser();
        }
        return frame && frame->Document() &&
               FindById(frame->Document().As<platform::PageDocument>(), u"q");
      },
      10s));
  const auto document = frame->Document().As<platform::PageDocument>();
  ASSERT_TRUE(FocusElement(ById(u"top")));
  ASSERT_TRUE(TypeText(FindById(document, u"q"), u"hi"));
  EXPECT_EQ(FindById(document, u"q").As<PageInputElement>()->value(), u"hi");
  EXPECT_EQ(platform::U8(FindById(document, u"log")->innerText()),
            "focus:q keydown:q:h keypress:q:h input:q keyup:q:h keydown:q:i keypress:q:i input:q "
            "keyup:q:i");
  EXPECT_EQ(ById(u"top").As<PageInputElement>()->value(), u"");
}

// The mouse events of the page noted in #log as "type:id", with a "!" for
// one the page made itself.
constexpr char MouseLogging[] = R"(<div id=log></div><script>
for (const type of ['mousedown', 'mouseup', 'click'])
  document.addEventListener(type, ev => {
    const log = document.getElementById('log');
    log.textContent += type + ':' + ev.target.id + (ev.isTrusted ? '' : '!') + ' ';
  }, true);
</script>)";

TEST_F(UserInput, AClickIsAPersonsMouseOnAnElementScrolledIntoView) {
  Load(std::string("<div style='height:3000px'></div><button id=b style='margin-left:600px'>b</button>"
                   "<div style='height:3000px'></div>") + MouseLogging);
  ASSERT_TRUE(ClickElement(ById(u"b")));
  EXPECT_EQ(Log(), "mousedown:b mouseup:b click:b");
  EXPECT_EQ(platform::ComIdentity(doc_->activeElement()), platform::ComIdentity(ById(u"b")))
      << "the button a person presses takes the focus";
}

TEST_F(UserInput, AnElementWithNoBoxIsNotClicked) {
  Load(std::string("<button id=h hidden>h</button><span id=e></span>"
                   "<button id=v style='visibility:hidden'>v</button>"
                   "<div style='display:none'><button id=n>n</button></div><button id=ok>ok</button>") +
       MouseLogging);
  for (const auto* id : {u"h", u"e", u"v", u"n"}) EXPECT_FALSE(ClickElement(ById(id))) << platform::U8(id);
  ASSERT_TRUE(ClickElement(ById(u"ok")));
  EXPECT_EQ(Log(), "mousedown:ok mouseup:ok click:ok") << "nothing else heard a click";
}

TEST_F(UserInput, AClickReachesALinkInAFrameOfAnotherSiteBelowTheFold) {
  PageServer other{"localhost"};
  other.Add("/b.html", std::string("<div style='height:900px'></div>"
                                   "<a id=l href=#there style='margin-left:150px'>go</a>"
                                   "<div style='height:900px'></div>") + MouseLogging);
  Load("<div style='height:1500px'></div><iframe style='margin-left:100px;border:7px solid;"
       "width:400px;height:300px' src='" + platform::U8(other.Url("/b.html")) + "'></iframe>"
       "<div style='height:1500px'></div>");
  ComPtr<platform::PageBrowser> frame;
  ASSERT_TRUE(tab_->WaitUntil(
      [&] {
        const auto all = doc_->all();
        for (int32_t i = 0; all && i < all->length() && !frame; ++i) {
          if (auto element = all->item(i).As<platform::PageFrameElement>())
            frame = element->contentBrowser();
        }
        return frame && frame->Document() &&
               FindById(frame->Document().As<platform::PageDocument>(), u"l");
      },
      10s));
  const auto document = frame->Document().As<platform::PageDocument>();
  ASSERT_TRUE(ClickElement(FindById(document, u"l")));
  EXPECT_EQ(platform::U8(FindById(document, u"log")->innerText()), "mousedown:l mouseup:l click:l");
  EXPECT_TRUE(tab_->WaitUntil([&] { return frame->LocationURL().ends_with(u"#there"); }, 5s))
      << platform::U8(frame->LocationURL());
}

TEST_F(UserInput, AClickReachesAButtonInAFrameOfTheSameSite) {
  // The same process draws both: the button's box already counts the frame's place.
  server_.Add("/inner.html", std::string("<div style='height:700px'></div>"
                                         "<button id=in style='margin-left:220px'>in</button>"
                                         "<div style='height:700px'></div>") + MouseLogging);
  Load("<div style='height:1200px'></div><iframe id=f style='margin-left:90px;width:450px;"
       "height:250px' src=inner.html></iframe><div style='height:1200px'></div>");
  ComPtr<platform::PageDocument> document;
  ASSERT_TRUE(tab_->WaitUntil(
      [&] {
        const auto frame = ById(u"f").As<platform::PageFrameElement>();
        const auto browser = frame ? frame->contentBrowser() : nullptr;
        document = browser ? browser->Document().As<platform::PageDocument>() : nullptr;
        return document && document->all() && FindById(document, u"in");
      },
      10s));
  ASSERT_TRUE(ClickElement(FindById(document, u"in")));
  EXPECT_EQ(platform::U8(FindById(document, u"log")->innerText()), "mousedown:in mouseup:in click:in");
}

}  // namespace
}  // namespace qm::chromium::testing
