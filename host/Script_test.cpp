#include "host/Script.h"

#include <gtest/gtest.h>

#include "platform/rtl/Utf.h"

namespace qm::host {
namespace {

using platform::U8;

std::string ErrorOf(std::string_view text) {
  try {
    ParseScript(text);
  } catch (const EScriptError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(ScriptParser, QuotesKeepSpacesAndEscapesAndCommentsAndBlankLinesAreSkipped) {
  const auto script = ParseScript(
      "# a comment\n"
      "\n"
      "open {serve}/signup.html\r\n"
      "   # indented comment\n"
      "type #email \"ann \\\"the\\\" \\\\ smith\"\n"
      "answer Quillora OK \"Form card name=My card\" flag=1\n"
      "expect value name=first \"\"\n");
  ASSERT_EQ(script.size(), 4u);
  EXPECT_EQ(script[0].Line, 3u);
  EXPECT_EQ(script[0].Verb, "open");
  EXPECT_EQ(U8(script[0].Args[0]), "{serve}/signup.html");
  EXPECT_EQ(script[1].Line, 5u);
  EXPECT_EQ(U8(script[1].Args[1]), "ann \"the\" \\ smith");
  EXPECT_EQ(script[2].Args.size(), 4u);
  EXPECT_EQ(U8(script[2].Args[2]), "Form card name=My card");
  EXPECT_EQ(script[3].Verb, "expect");
  EXPECT_EQ(script[3].Args, (std::vector<std::u16string>{u"value", u"name=first", u""}));
}

TEST(ScriptParser, EveryMistakeIsRefusedWithItsLine) {
  EXPECT_EQ(ErrorOf("open a\nfly away\n"), "line 2: unknown command 'fly'");
  EXPECT_EQ(ErrorOf("type #a\n"), "line 1: usage: type SEL TEXT");
  EXPECT_EQ(ErrorOf("\n\nclick email\n"), "line 3: 'email' is not a selector (#ID or name=NAME)");
  EXPECT_EQ(ErrorOf("type #a \"open\n"), "line 1: a quoted argument is not closed");
  EXPECT_EQ(ErrorOf("expect colour #a red\n"), "line 1: unknown expectation 'colour'");
  EXPECT_EQ(ErrorOf("expect\n"), "line 1: usage: expect value|checked|unchecked|text|url|bound|message|button ...");
  EXPECT_EQ(ErrorOf("expect url\n"), "line 1: usage: expect url TEXT");
  EXPECT_EQ(ErrorOf("answer Question Yes novalue\n"), "line 1: answer values are NAME=VALUE");
  EXPECT_EQ(ErrorOf("type #a \"\xff\"\n"), "line 1: Invalid UTF-8 at byte 0");
}

TEST(ScriptParser, SelectorsAndTheServedRoot) {
  EXPECT_TRUE(ParseSelector(u"#x").ById);
  EXPECT_EQ(ParseSelector(u"name=a b").Key, u"a b");
  EXPECT_THROW(ParseSelector(u"#"), EScriptError);
  EXPECT_THROW(ParseSelector(u"name="), EScriptError);
  EXPECT_EQ(ExpandServe(u"{serve}/a.html", u"http://127.0.0.1:9"), u"http://127.0.0.1:9/a.html");
  EXPECT_EQ(ExpandServe(u"file:///x/{serve}", u"http://h"), u"file:///x/{serve}");
}

}  // namespace
}  // namespace qm::host
