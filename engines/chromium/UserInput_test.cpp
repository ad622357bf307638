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

}  // namespace
}  // namespace qm::chromium::testing
