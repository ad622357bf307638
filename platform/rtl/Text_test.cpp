#include <gtest/gtest.h>

#include "platform/rtl/CodePage.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::platform {
namespace {

TEST(Utf, RoundTripsTextOutsideTheBasicPlane) {
  const std::u16string text = u"Stra\u00DFe \U0001F600 \u20AC";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(u"\u00E9"), "\xC3\xA9");
}

TEST(Utf, LenientConversionReplacesMalformedBytes) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
  // A lone surrogate cannot be written as UTF-8 either.
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Utf, StrictConversionNamesTheOffendingByte) {
  try {
    Utf8ToUtf16Strict("abc\xC3");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"Invalid UTF-8 at byte 3");
  }
  EXPECT_EQ(Utf8ToUtf16Strict("ok \xC3\xA9"), u"ok \u00E9");
}

TEST(CodePage, MapsWindows1252BytesBothWays) {
  EXPECT_EQ(AnsiToWide("\x80\xE9"), u"\u20AC\u00E9");
  EXPECT_EQ(WideToAnsi(u"\u20AC\u00E9"), "\x80\xE9");
}

TEST(CodePage, ReplacesCharactersTheCodePageLacksByQuestionMarks) {
  EXPECT_EQ(WideToAnsi(u"a\u0416b"), "a?b");
  EXPECT_EQ(WideToAnsi(u"\U0001F600"), "?");
}

TEST(Exception, WhatGivesTheMessageAsUtf8) {
  Exception e(u"na\u00EFve", 7);
  EXPECT_STREQ(e.what(), "na\xC3\xAFve");
  EXPECT_EQ(e.HelpContext(), 7);
}

}  // namespace
}  // namespace qm::platform
