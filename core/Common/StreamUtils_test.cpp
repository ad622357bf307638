#include "core/Common/StreamUtils.h"

#include <gtest/gtest.h>

#include "core/Common/LocationCodes.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using Bytes = std::vector<uint8_t>;
using platform::Exception;

TEST(WideString, IsACountOfCodeUnitsThenLittleEndianText) {
  TMemoryStream s;
  WriteWideString(s, u"abc");
  EXPECT_EQ(s.Bytes(), (Bytes{3, 0, 0, 0, 0x61, 0, 0x62, 0, 0x63, 0}));
  TMemoryStream e;
  WriteWideString(e, u"");
  EXPECT_EQ(e.Bytes(), (Bytes{0, 0, 0, 0}));

  s.SetPosition(0);
  std::u16string text;
  EXPECT_TRUE(ReadWideString(s, text));
  EXPECT_EQ(text, u"abc");
}

TEST(WideString, NegativeLengthFailsAfterTheFourBytesAndLeavesTheTextAlone) {
  TMemoryStream s(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x61, 0});
  std::u16string text = u"kept";
  EXPECT_FALSE(ReadWideString(s, text));
  EXPECT_EQ(text, u"kept");
  EXPECT_EQ(s.Position(), 4);
}

TEST(WideString, ShortPrefixFailsAndLeavesTheTextAlone) {
  TMemoryStream s(Bytes{3, 0});
  std::u16string text = u"kept";
  EXPECT_FALSE(ReadWideString(s, text));
  EXPECT_EQ(text, u"kept");
}

TEST(WideString, HugePrefixOnAShortStreamFailsWithoutAllocatingIt) {
  TMemoryStream s(Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0x61, 0, 0x62, 0, 0x63, 0});
  std::u16string text;
  EXPECT_FALSE(ReadWideString(s, text));
  EXPECT_EQ(text, u"abc");  // what arrived
  EXPECT_EQ(s.Position(), s.Size());
}

TEST(AnsiString, ReadsWindows1252Bytes) {
  TMemoryStream s;
  WriteAnsiString(s, std::u16string(u"\u20AC5"));
  EXPECT_EQ(s.Bytes(), (Bytes{2, 0, 0, 0, 0x80, 0x35}));
  s.SetPosition(0);
  std::u16string text;
  EXPECT_TRUE(ReadAnsiString(s, text));
  EXPECT_EQ(text, u"\u20AC5");

  TMemoryStream shortStream(Bytes{5, 0, 0, 0, 0x41});
  std::string bytes;
  EXPECT_FALSE(ReadAnsiString(shortStream, bytes));
  EXPECT_EQ(bytes, "A");
  TMemoryStream negative(Bytes{0xFE, 0xFF, 0xFF, 0xFF});
  text = u"kept";
  EXPECT_FALSE(ReadAnsiString(negative, text));
  EXPECT_EQ(text, u"kept");
}

TEST(WideStrings, ListIsCountThenStrings) {
  TMemoryStream s;
  WriteWideStrings(s, {u"a", u""});
  EXPECT_EQ(s.Bytes(), (Bytes{2, 0, 0, 0, 1, 0, 0, 0, 0x61, 0, 0, 0, 0, 0}));
  s.SetPosition(0);
  std::vector<std::u16string> items;
  EXPECT_TRUE(ReadWideStrings(s, items));
  EXPECT_EQ(items, (std::vector<std::u16string>{u"a", u""}));
}

TEST(WideStrings, ACountBeyondTheDataFailsAtOnce) {
  TMemoryStream s(Bytes{0x00, 0x94, 0x35, 0x77, 0, 0, 0, 0});  // 2,000,000,000 strings
  std::vector<std::u16string> items;
  EXPECT_FALSE(ReadWideStrings(s, items));
  EXPECT_TRUE(items.empty());
}

TEST(StreamToVariant, GivesAByteArrayFromZeroAndLeavesThePositionAtTheEnd) {
  TMemoryStream s;
  for (uint8_t i = 0; i < 10; ++i) s.Write(&i, 1);
  s.SetPosition(3);
  platform::Variant v = StreamToVariant(s);
  EXPECT_EQ(v.LowBound(), 0);
  EXPECT_EQ(v.HighBound(), 9);
  EXPECT_EQ(s.Position(), 10);

  TMemoryStream back;
  VariantToStream(v, back);
  EXPECT_EQ(back.Bytes(), s.Bytes());
  EXPECT_EQ(back.Position(), 10);
}

TEST(StreamToVariant, EmptyStreamGivesAnEmptyArray) {
  TMemoryStream s;
  platform::Variant v = StreamToVariant(s);
  EXPECT_TRUE(v.IsArray());
  EXPECT_EQ(v.ArrayCount(), 0);
}

TEST(VariantToStream, ReplacesTheContentButIgnoresNonArrays) {
  TMemoryStream s(Bytes{9, 9, 9});
  VariantToStream(platform::Variant::FromInt32(4), s);
  EXPECT_EQ(s.Bytes(), (Bytes{9, 9, 9}));
  VariantToStream(platform::Variant(), s);
  EXPECT_EQ(s.Bytes(), (Bytes{9, 9, 9}));
  VariantToStream(platform::Variant::FromBytes({1}, 7), s);
  EXPECT_EQ(s.Bytes(), (Bytes{1}));
}

TEST(VariantToStream, ReportsAnArrayThatIsNotOfBytes) {
  TMemoryStream s;
  testing::ExpectThrowsExactly<Exception>(
      [&] { VariantToStream(platform::Variant::FromStrings({u"a"}), s); },
      testing::Trail(u"Invalid variant type conversion", {loc::VariantToStream}));
}

TEST(MemoryStream, ReadAnswersTheBytesThatArrived) {
  TMemoryStream s(Bytes{1, 2, 3});
  uint8_t buffer[8] = {};
  s.SetPosition(1);
  EXPECT_EQ(s.Read(buffer, 8), 2);
  EXPECT_EQ(buffer[1], 3);
  EXPECT_EQ(s.Read(buffer, 8), 0);
  s.SetPosition(10);  // beyond the end
  EXPECT_EQ(s.Read(buffer, 1), 0);
  s.Write(buffer, 1);
  EXPECT_EQ(s.Size(), 11);
}

TEST(StreamReader, FailureIsStickyAndNamesItsOffset) {
  TMemoryStream s;
  TStreamWriter w(s);
  w.Int32(7);
  w.WideString(u"ok");
  w.Int32(-5);  // then a negative string length
  s.SetPosition(0);
  TStreamReader r(s);
  int32_t n = 0;
  std::u16string text;
  EXPECT_TRUE(r.Int32(n));
  EXPECT_TRUE(r.WideString(text));
  EXPECT_FALSE(r.WideString(text));
  EXPECT_EQ(r.FailOffset(), 12);
  EXPECT_EQ(r.FailReason(), u"negative string length");
  EXPECT_FALSE(r.Int32(n));  // sticky
  EXPECT_EQ(r.FailOffset(), 12);
}

TEST(StreamReader, GuidAndBooleanRoundTrip) {
  constexpr auto id = platform::MakeGuid("{5838DE46-7072-4FCA-9A5C-C09D44D231FE}");
  TMemoryStream s;
  TStreamWriter w(s);
  w.Guid(id);
  w.Bool8(true);
  EXPECT_EQ(s.Size(), 17);
  EXPECT_EQ(s.Bytes()[0], 0x46);
  s.SetPosition(0);
  TStreamReader r(s);
  platform::GUID g;
  bool b = false;
  EXPECT_TRUE(r.Guid(g));
  EXPECT_TRUE(r.Bool8(b));
  EXPECT_EQ(g, id);
  EXPECT_TRUE(b);
  EXPECT_FALSE(r.Bool8(b));
}

TEST(StreamReader, NegativeCountReadsAsNone) {
  TMemoryStream s(Bytes{0xFF, 0xFF, 0xFF, 0xFF});
  TStreamReader r(s);
  int32_t count = 99;
  EXPECT_TRUE(r.Count(count, 4));
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace qm
