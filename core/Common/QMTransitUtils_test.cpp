#include "core/Common/QMTransitUtils.h"

#include <gtest/gtest.h>

#include <random>

#include "core/Common/TextUtils.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using Bytes = std::vector<uint8_t>;

TTransitField Field(int32_t index, std::u16string tag, std::u16string type, std::u16string name,
                    std::u16string value = {}) {
  TTransitField f;
  f.ElementIndex = index;
  f.TagName = std::move(tag);
  f.InputType = std::move(type);
  f.Name = std::move(name);
  f.Value = std::move(value);
  return f;
}

TTransitField Text(int32_t index, std::u16string name) {
  return Field(index, u"input", u"text", std::move(name));
}

TTransitField Hidden(std::u16string name, std::u16string value) {
  return Field(-1, u"input", u"hidden", std::move(name), std::move(value));
}

TTransitFormCard Card(std::u16string method, std::vector<TTransitField> fields,
                      std::u16string url = u"http://shop.test/order") {
  TTransitFormCard c;
  c.Url = std::move(url);
  c.Method = std::move(method);
  for (auto& f : fields) c.Fields.Add(std::move(f));
  return c;
}

// ---- Field matching -------------------------------------------------------

TEST(TransitMatches, HiddenAndSubmitInputsNeedAnEqualValue) {
  EXPECT_TRUE(Hidden(u"token", u"a1").Matches(Hidden(u"token", u"a1"), true));
  EXPECT_FALSE(Hidden(u"token", u"a1").Matches(Hidden(u"token", u"b2"), true));
  const auto submit = Field(3, u"input", u"submit", u"go", u"Buy");
  EXPECT_FALSE(submit.Matches(Field(3, u"input", u"submit", u"go", u"Sell"), true));
  // Locale-equal is not code-unit equal: a precomposed letter equals its
  // decomposed form.
  EXPECT_TRUE(Hidden(u"t", u"caf\u00E9").Matches(Hidden(u"t", u"cafe\u0301"), true));
  // ... but case still counts.
  EXPECT_FALSE(Hidden(u"t", u"abc").Matches(Hidden(u"t", u"ABC"), true));
}

TEST(TransitMatches, OtherControlsMatchOnTagTypeAndNameAlone) {
  auto stored = Text(0, u"email");
  stored.Value = u"old@example.test";
  EXPECT_TRUE(stored.Matches(Text(0, u"email"), true));
  EXPECT_TRUE(Field(1, u"textarea", u"", u"note", u"x").Matches(Field(1, u"textarea", u"", u"note", u"y"), true));
  // A select is not an input, whatever its type attribute says.
  EXPECT_TRUE(Field(2, u"select", u"hidden", u"c", u"x").Matches(Field(2, u"select", u"hidden", u"c", u"y"), true));
  EXPECT_FALSE(stored.Matches(Text(0, u"Email"), true));
  EXPECT_FALSE(stored.Matches(Field(0, u"input", u"password", u"email"), true));
  EXPECT_FALSE(stored.Matches(Field(0, u"textarea", u"text", u"email"), true));
}

TEST(TransitMatches, ElementIndexCountsOnlyWithTheIndexFlag) {
  EXPECT_FALSE(Text(0, u"a").Matches(Text(4, u"a"), true));
  EXPECT_TRUE(Text(0, u"a").Matches(Text(4, u"a"), false));
}

// ---- Card similarity ------------------------------------------------------

TEST(TransitCompare, ClickCardScoresOnMethodAndUrlAlone) {
  const auto stored = Card(u"click", {Text(0, u"a")}, u"http://a.test/");
  EXPECT_EQ(stored.Compare(Card(u"click", {Hidden(u"x", u"1"), Text(0, u"b")}, u"http://a.test/")), 100);
  EXPECT_EQ(stored.Compare(Card(u"click", {Text(0, u"a")}, u"http://b.test/")), 0);
  EXPECT_EQ(stored.Compare(Card(u"get", {Text(0, u"a")}, u"http://a.test/")), 0);
}

TEST(TransitCompare, CardsWithoutFieldsScore100OnlyWithTheSameMethod) {
  EXPECT_EQ(Card(u"post", {}).Compare(Card(u"post", {})), 100);
  EXPECT_EQ(Card(u"post", {}).Compare(Card(u"get", {})), 0);
  // Indexed fields alone, all pairing up, also give 100.
  EXPECT_EQ(Card(u"get", {Text(0, u"a"), Text(1, u"b")}).Compare(Card(u"get", {Text(0, u"a"), Text(1, u"b")})), 100);
}

TEST(TransitCompare, UnindexedMatchesScaleWithTheLargerCount) {
  const auto stored = Card(u"post", {Hidden(u"a", u"1"), Hidden(u"b", u"2"), Hidden(u"c", u"3")});
  EXPECT_EQ(stored.Compare(Card(u"post", {Hidden(u"b", u"2")})), 50);  // (1 + 1) * 100 / 4
  EXPECT_EQ(stored.Compare(Card(u"post", {Hidden(u"b", u"9")})), 25);  // (0 + 1) * 100 / 4
  // The same count measured from the other side: m is the larger card.
  EXPECT_EQ(Card(u"post", {Hidden(u"b", u"2")}).Compare(stored), 50);
  // 2 of 3: 300 / 4 truncates to 75.
  EXPECT_EQ(stored.Compare(Card(u"post", {Hidden(u"a", u"1"), Hidden(u"c", u"3")})), 75);
}

TEST(TransitCompare, IndexedFieldsMustPairUpInOrder) {
  const auto stored = Card(u"get", {Text(0, u"a"), Hidden(u"h", u"1"), Text(1, u"b")});
  EXPECT_EQ(stored.Compare(Card(u"get", {Text(0, u"a"), Text(1, u"b")})), 50);
  EXPECT_EQ(stored.Compare(Card(u"get", {Text(0, u"a")})), 0);                  // count differs
  EXPECT_EQ(stored.Compare(Card(u"get", {Text(0, u"b"), Text(1, u"a")})), 0);   // order differs
  EXPECT_EQ(stored.Compare(Card(u"get", {Text(0, u"a"), Text(2, u"b")})), 0);   // index differs
}

TEST(TransitCompare, EachProbeFieldPairsOnlyOnce) {
  // Two equal stored hidden fields against one probe field: one pair only.
  const auto stored = Card(u"get", {Hidden(u"h", u"1"), Hidden(u"h", u"1")});
  EXPECT_EQ(stored.Compare(Card(u"get", {Hidden(u"h", u"1")})), 66);  // (1 + 1) * 100 / 3
  EXPECT_EQ(stored.Compare(Card(u"get", {Hidden(u"h", u"1"), Hidden(u"h", u"1")})), 100);
}

// Random cards over a small alphabet, so that names, types and values
// collide often; values include locale-equal pairs that differ in code
// units, and unindexed fields with different negative indices. Crowded
// cards are all hidden inputs of one name, so that groups grow past the
// size where they are keyed by collation key.
TTransitField RandomField(std::mt19937& rng, bool crowded) {
  static const std::u16string tags[] = {u"input", u"select"};
  static const std::u16string types[] = {u"text", u"hidden", u"submit"};
  static const std::u16string names[] = {u"a", u"b", u""};
  static const std::u16string values[] = {u"x", u"X", u"caf\u00E9", u"cafe\u0301", u""};
  auto pick = [&](const auto& items) {
    return items[std::uniform_int_distribution<size_t>(0, std::size(items) - 1)(rng)];
  };
  if (crowded) return Hidden(u"a", pick(values));
  return Field(std::uniform_int_distribution<int>(-2, -1)(rng), pick(tags), pick(types), pick(names),
               pick(values));
}

TEST(TransitCompare, BucketedCountEqualsThePairwiseWalk) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 400; ++round) {
    const bool crowded = round % 2 == 1;
    std::vector<TTransitField> stored, probe;
    const int ns = std::uniform_int_distribution<int>(0, 60)(rng);
    const int np = std::uniform_int_distribution<int>(0, 60)(rng);
    for (int i = 0; i < ns; ++i) stored.push_back(RandomField(rng, crowded));
    for (int i = 0; i < np; ++i) probe.push_back(RandomField(rng, crowded));
    transit_detail::FieldRefs s, p;
    for (const auto& f : stored) s.push_back(&f);
    for (const auto& f : probe) p.push_back(&f);
    ASSERT_EQ(transit_detail::CountBucketed(s, p), transit_detail::CountPairwise(s, p))
        << "round " << round;
  }
}

TEST(TransitCompare, LargeCardsGiveTheSameScoreAsTheRuleSays) {
  // Above the bucketing threshold: 70 x 70 unindexed fields in groups of
  // 10 (large enough to be keyed by collation key), 50 of which pair: the
  // last 20 probe values differ only by case, and every fifth one is the
  // decomposed form of its stored value.
  std::vector<TTransitField> stored, probe;
  for (int i = 0; i < 70; ++i) {
    const std::u16string name = u"h" + IntToText(i % 7);
    stored.push_back(Hidden(name, u"v\u00E9" + IntToText(i)));
    const std::u16string e = i % 5 == 0 ? u"e\u0301" : u"\u00E9";
    probe.push_back(Hidden(name, (i < 50 ? u"v" : u"V") + e + IntToText(i)));
  }
  ASSERT_GT(70u * 70u, transit_detail::BucketThreshold);
  EXPECT_EQ(Card(u"get", stored).Compare(Card(u"get", probe)), 51 * 100 / 71);
}

// ---- Finding cards and fields ---------------------------------------------

TEST(TransitFindBestCard, TiesKeepTheEarlierCard) {
  TTransitFormSet set;
  set.Add(Card(u"get", {Hidden(u"a", u"1"), Hidden(u"b", u"2")}, u"first"));
  set.Add(Card(u"get", {Hidden(u"a", u"1"), Hidden(u"c", u"3")}, u"second"));
  set.Add(Card(u"get", {}, u"third"));
  auto probe = Card(u"get", {Hidden(u"a", u"1")});
  int index = 9;
  EXPECT_EQ(set.FindBestCard(probe, &index), 66);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(probe.Url, u"first");
}

TEST(TransitFindBestCard, AStrictlyBetterLaterCardWinsAnd100IsTaken) {
  TTransitFormSet set;
  set.Add(Card(u"get", {Hidden(u"a", u"1"), Hidden(u"b", u"2")}, u"half"));
  set.Add(Card(u"get", {Hidden(u"a", u"1")}, u"full"));
  set.Add(Card(u"get", {Hidden(u"a", u"1")}, u"also full"));
  auto probe = Card(u"get", {Hidden(u"a", u"1")});
  int index = -1;
  EXPECT_EQ(set.FindBestCard(probe, &index), 100);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(probe, set[1]);
}

TEST(TransitFindBestCard, TheProbeIsOverwrittenOnlyOnAPositiveScore) {
  TTransitFormSet set;
  set.Add(Card(u"post", {Text(0, u"a")}));
  auto probe = Card(u"get", {Text(0, u"a")}, u"mine");
  probe.FormSysID = platform::MakeGuid("{5838DE46-7072-4FCA-9A5C-C09D44D231FE}");
  const auto before = probe;
  int index = 7;
  EXPECT_EQ(set.FindBestCard(probe, &index), 0);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(probe, before);
  EXPECT_EQ(TTransitFormSet().FindBestCard(probe), 0);
  EXPECT_EQ(probe, before);

  set.Add(Card(u"get", {Text(0, u"a"), Hidden(u"h", u"1")}, u"stored"));
  set[1].CurrentForm = true;
  EXPECT_EQ(set.FindBestCard(probe, &index), 50);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(probe, set[1]);  // every field, the card's fields included
}

TEST(TransitFindField, TheFirstMatchInCardAndFieldOrderOverwritesTheProbe) {
  TTransitFormSet set;
  auto first = Card(u"get", {Text(0, u"zip"), Text(1, u"email")});
  first.Fields[1].ProfileField = u"E-mail";
  auto second = Card(u"get", {Text(5, u"email")});
  second.Fields[0].ProfileField = u"Other";
  set.Add(second);
  set.Add(first);
  TTransitField probe = Text(9, u"email");  // the index is not looked at
  EXPECT_TRUE(set.FindField(probe));
  EXPECT_EQ(probe.ProfileField, u"Other");
  EXPECT_EQ(probe.ElementIndex, 5);

  TTransitField missing = Text(0, u"phone");
  missing.Value = u"kept";
  EXPECT_FALSE(set.FindField(missing));
  EXPECT_EQ(missing.Value, u"kept");
  EXPECT_FALSE(first.FindMatchingField(missing));
}

TEST(TransitFieldsText, SixEntriesPerFieldAsCommaText) {
  auto card = Card(u"get", {Text(0, u"first name"), Hidden(u"t", u"a,b")});
  card.Fields[0].ProfileField = u"Name";
  card.Fields[0].Value = u"Jo";
  card.Fields[0].Values = u"not listed";
  EXPECT_EQ(card.FieldsText(), u"0,\"first name\",input,text,Name,Jo,-1,t,input,hidden,,\"a,b\"");
  EXPECT_EQ(Card(u"get", {}).FieldsText(), u"");
}

// ---- Copies ---------------------------------------------------------------

TEST(TransitCopy, AssignIsDeepAndSafeOnItself) {
  TTransitFormSet set;
  set.Add(Card(u"get", {Text(0, u"a")}));
  TTransitFormSet copy;
  copy.Add(Card(u"post", {}));
  copy.Assign(set);
  ASSERT_EQ(copy, set);
  copy[0].Fields[0].Name = u"changed";
  copy[0].Fields.Add(Text(1, u"b"));
  EXPECT_EQ(set[0].Fields.Count(), 1);
  EXPECT_EQ(set[0].Fields[0].Name, u"a");

  TTransitFormCard& card = set[0];
  card.Assign(card);
  EXPECT_EQ(card.Fields.Count(), 1);
  set.Assign(set);
  EXPECT_EQ(set.Count(), 1);
}

TEST(TransitCopy, ItemReferencesSurviveAddsAndBadIndicesRaise) {
  TTransitFormSet set;
  TTransitFormCard& first = set.Add(Card(u"get", {}, u"one"));
  for (int i = 0; i < 100; ++i) set.Add();
  EXPECT_EQ(first.Url, u"one");
  set.Delete(1);
  EXPECT_EQ(set.Count(), 100);
  EXPECT_EQ(set[1].Method, u"");
  testing::ExpectThrowsExactly<platform::Exception>([&] { (void)set[100]; },
                                                    u"List index out of bounds (100)");
  testing::ExpectThrowsExactly<platform::Exception>([&] { set.Delete(-1); },
                                                    u"List index out of bounds (-1)");
}

// ---- Stream format --------------------------------------------------------

Bytes WriteSet(const TTransitFormSet& set) {
  TMemoryStream s;
  set.WriteToStream(s);
  return s.Bytes();
}

void PutInt(Bytes& b, int32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

void PutText(Bytes& b, std::u16string_view t) {
  PutInt(b, static_cast<int32_t>(t.size()));
  for (char16_t c : t) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
}

TEST(TransitStream, AnEmptySetIsFourZeroBytes) {
  EXPECT_EQ(WriteSet(TTransitFormSet()), (Bytes{0, 0, 0, 0}));
}

TEST(TransitStream, ACardIsLaidOutInDeclarationOrder) {
  TTransitFormSet set;
  auto& card = set.Add(Card(u"post", {}, u"u"));
  card.Charset = u"utf-8";
  card.CurrentForm = true;
  card.SubmitFieldIndex = 1;
  card.FormSysID = platform::MakeGuid("{5838DE46-7072-4FCA-9A5C-C09D44D231FE}");
  auto& field = card.Fields.Add(Field(0, u"input", u"text", u"n", u"v"));
  field.ProfileField = u"P";
  field.ValueKind = ValueKindWords;
  field.Values = u"a,b";

  Bytes expected;
  PutInt(expected, 1);
  PutText(expected, u"u");
  PutText(expected, u"post");
  PutText(expected, u"utf-8");
  PutText(expected, u"");
  expected.push_back(1);
  PutInt(expected, 1);
  for (uint8_t b : {0x46, 0xDE, 0x38, 0x58, 0x72, 0x70, 0xCA, 0x4F,  // Data1, Data2, Data3 LE
                    0x9A, 0x5C, 0xC0, 0x9D, 0x44, 0xD2, 0x31, 0xFE}) {
    expected.push_back(b);
  }
  PutInt(expected, 1);
  PutInt(expected, 0);
  for (auto t : {u"n", u"input", u"text", u"P", u"v"}) PutText(expected, t);
  PutInt(expected, 4);
  PutText(expected, u"a,b");
  EXPECT_EQ(WriteSet(set), expected);
}

TTransitFormSet SampleSet() {
  TTransitFormSet set;
  auto& a = set.Add(Card(u"post", {Text(0, u"first"), Hidden(u"tok\u00E9n", u"\U0001F600")}));
  a.FormHtml = u"<input name=first>";
  a.SubmitFieldIndex = -7;
  a.FormSysID = platform::MakeGuid("{8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4A}");
  a.Fields[0].ValueKind = ValueKindLexicon;
  a.Fields[0].Values = u"\"New York\",Paris";
  auto& b = set.Add(Card(u"click", {}, u"http://x.test/"));
  b.CurrentForm = true;
  set.Add(Card(u"get", {Field(2, u"select", u"", u"c", u"x,y")}));
  return set;
}

TEST(TransitStream, ASetReadsBackEqualFieldByField) {
  const TTransitFormSet set = SampleSet();
  TMemoryStream s;
  set.WriteToStream(s);
  s.SetPosition(0);
  TTransitFormSet back;
  back.Add(Card(u"stale", {}));  // reading replaces the content
  const TTransitReadResult result = back.ReadFromStream(s);
  ASSERT_TRUE(result.Ok()) << platform::U8(result.Message());
  EXPECT_EQ(s.Position(), s.Size());
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back[0].FormHtml, u"<input name=first>");
  EXPECT_EQ(back[0].SubmitFieldIndex, -7);
  EXPECT_EQ(back[0].FormSysID, set[0].FormSysID);
  EXPECT_EQ(back[0].Fields[1].Value, u"\U0001F600");
  EXPECT_EQ(back[0].Fields[0].ValueKind, ValueKindLexicon);
  EXPECT_TRUE(back[1].CurrentForm);
  EXPECT_EQ(back, set);
}

TEST(TransitStream, EveryTruncationFailsAndKeepsOnlyWholeCards) {
  const TTransitFormSet set = SampleSet();
  const Bytes full = WriteSet(set);
  // Where each card ends in the stream.
  std::vector<size_t> ends;
  for (int i = 1; i <= set.Count(); ++i) {
    TTransitFormSet prefix;
    for (int j = 0; j < i; ++j) prefix.Add(set[j]);
    ends.push_back(WriteSet(prefix).size());
  }
  for (size_t cut = 0; cut < full.size(); ++cut) {
    TMemoryStream s(Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
    TTransitFormSet back;
    const TTransitReadResult result = back.ReadFromStream(s);
    ASSERT_FALSE(result.Ok()) << "cut " << cut;
    ASSERT_GE(result.FailOffset, 0);
    ASSERT_LE(result.FailOffset, static_cast<int64_t>(cut));
    int whole = 0;
    for (size_t end : ends) whole += end <= cut ? 1 : 0;
    ASSERT_EQ(back.Count(), whole) << "cut " << cut;
    for (int i = 0; i < whole; ++i) ASSERT_EQ(back[i], set[i]);
  }
}

TEST(TransitStream, AHugeCountFailsAtOnceWithoutAllocating) {
  Bytes b;
  PutInt(b, 2000000000);
  PutInt(b, 0);
  PutInt(b, 0);
  TMemoryStream s(b);
  TTransitFormSet set;
  const TTransitReadResult result = set.ReadFromStream(s);
  EXPECT_EQ(result.FailOffset, 0);
  EXPECT_EQ(result.Message(), u"Corrupt transit stream at byte 0: count larger than the data");
  EXPECT_EQ(set.Count(), 0);

  // The same for the field count inside a card.
  Bytes c;
  PutInt(c, 1);
  for (int i = 0; i < 4; ++i) PutText(c, u"");
  c.push_back(0);
  PutInt(c, -1);
  c.insert(c.end(), 16, 0);
  const auto fieldCountAt = static_cast<int64_t>(c.size());
  PutInt(c, 0x7FFFFFFF);
  c.insert(c.end(), 64, 0);
  TMemoryStream t(c);
  EXPECT_EQ(set.ReadFromStream(t).FailOffset, fieldCountAt);
  EXPECT_EQ(set.Count(), 0);
}

TEST(TransitStream, ABooleanByteOtherThanZeroOrOneIsCorrupt) {
  const TTransitFormSet sample = SampleSet();
  const TTransitFormCard& first = sample[0];
  Bytes b = WriteSet(sample);
  // After the count and the four strings Url, Method, Charset, FormHtml.
  const size_t flagAt = 4 + 4 * 4 + 2 * (first.Url.size() + first.Method.size() +
                                         first.Charset.size() + first.FormHtml.size());
  ASSERT_EQ(b[flagAt], 0);
  b[flagAt] = 2;
  TMemoryStream s(b);
  TTransitFormSet set;
  const TTransitReadResult result = set.ReadFromStream(s);
  EXPECT_EQ(result.FailOffset, static_cast<int64_t>(flagAt));
  EXPECT_EQ(result.FailReason, u"boolean byte is neither 0 nor 1");
}

TEST(TransitStream, ANegativeCountReadsAsNoItems) {
  Bytes b;
  PutInt(b, -3);
  TMemoryStream s(b);
  TTransitFormSet set;
  set.Add();
  EXPECT_TRUE(set.ReadFromStream(s).Ok());
  EXPECT_EQ(set.Count(), 0);
}

TEST(TransitStream, BytesAfterTheSetAreLeftUnread) {
  Bytes b = WriteSet(SampleSet());
  const auto end = static_cast<int64_t>(b.size());
  b.push_back(0xAB);
  TMemoryStream s(b);
  TTransitFormSet set;
  EXPECT_TRUE(set.ReadFromStream(s).Ok());
  EXPECT_EQ(s.Position(), end);
}

TEST(TransitStream, AFieldReportsWhetherItReadWhole) {
  TMemoryStream s;
  Text(3, u"name").WriteToStream(s);
  s.SetSize(s.Size() - 1);  // the last string loses a byte
  s.SetPosition(0);
  TTransitField f;
  EXPECT_FALSE(f.ReadFromStream(s));
  EXPECT_EQ(f.ElementIndex, 3);
  EXPECT_EQ(f.Name, u"name");

  Bytes negative;
  PutInt(negative, 0);
  PutInt(negative, -1);  // Name with a negative length
  TMemoryStream n(negative);
  TTransitFormCard card;
  card.Fields.Add();
  EXPECT_EQ(card.Fields[0].ReadFromStream(n), false);
}

}  // namespace
}  // namespace qm
