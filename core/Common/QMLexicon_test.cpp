#include "core/Common/QMLexicon.h"

#include <gtest/gtest.h>

#include "core/Common/LocationCodes.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using platform::Exception;
using Texts = std::vector<std::u16string>;

const std::u16string Mark(1, PlaceholderMark);

std::u16string Placeholder(std::u16string_view key) {
  return Mark + std::u16string(key) + Mark;
}

Texts Items(const TWideStringList& list) {
  return list.ToVector();
}

// Builds lexicon streams by hand, so that the reader is checked against
// bytes rather than against the writer.
struct StreamBuilder {
  TMemoryStream Stream;
  StreamBuilder& Int(int32_t v) {
    WriteInt32(Stream, v);
    return *this;
  }
  StreamBuilder& Text(std::u16string_view t) {
    WriteWideString(Stream, t);
    return *this;
  }
  StreamBuilder& List(const Texts& texts) {
    Int(static_cast<int32_t>(texts.size()));
    for (const auto& t : texts)
      Text(t);
    return *this;
  }
  StreamBuilder& Record(std::u16string_view key, const Texts& words) {
    Text(key);
    return List(words);
  }
  TMemoryStream& Rewound() {
    Stream.SetPosition(0);
    return Stream;
  }
};

TEST(LexiconInitialContent, HoldsTheStandardSeparatorsStopWordsAndSubstitutions) {
  const TLexicon lexicon;
  const std::vector<int> codes = {32, 126, 96, 33, 64, 35, 36,  37, 94,  38, 42,
                                  40, 41,  95, 45, 43, 61, 124, 92, 125, 93, 123,
                                  91, 58,  59, 34, 39, 63, 47,  46, 44,  62, 60};
  ASSERT_EQ(lexicon.Separators().size(), codes.size());
  for (size_t i = 0; i < codes.size(); ++i)
    EXPECT_EQ(lexicon.Separators()[i], codes[i]) << i;
  EXPECT_EQ(Items(lexicon.StopWords()), (Texts{u"and", u"or"}));
  ASSERT_EQ(lexicon.Substitutions().Count(), 2);
  const TSubstitution& addons = lexicon.Substitutions()[1];
  EXPECT_EQ(addons.Key(), u"addons");
  EXPECT_EQ(addons.NormalizedKey(), u"addons");
  EXPECT_EQ(Items(addons.Words()), (Texts{u"add-on's", u"add-ons"}));
  EXPECT_EQ(Items(addons.NormalizedWords()), (Texts{u"add on s", u"add ons"}));
  EXPECT_TRUE(lexicon.Goals().Empty());
  EXPECT_EQ(lexicon.UpdateCount(), 0);
}

TEST(LexiconNormalize, TrimsLowerCasesSplitsAndDropsStopWords) {
  const TLexicon lexicon;
  EXPECT_EQ(lexicon.Normalize(u"  First-Name:  "), u"first name");
  EXPECT_EQ(lexicon.Normalize(u"Street or P.O. Box"), u"street p o box");
  EXPECT_EQ(lexicon.Normalize(u"plug-in's"), u"plug in s");
  EXPECT_EQ(lexicon.Normalize(u"\u00C9COLE / \u0130"), u"\u00E9cole i\u0307");
}

TEST(LexiconNormalize, NothingSurvivingGivesTheEmptyText) {
  const TLexicon lexicon;
  EXPECT_EQ(lexicon.Normalize(u""), u"");
  EXPECT_EQ(lexicon.Normalize(u" \t\r\n"), u"");
  EXPECT_EQ(lexicon.Normalize(u"-- :: ,."), u"");
  EXPECT_EQ(lexicon.Normalize(u"or AND Or"), u"");
  EXPECT_EQ(lexicon.Normalize(u"OR"), u"");  // the stop word matches after lower-casing
}

TEST(LexiconNormalize, ControlCharactersGoOnlyAtTheEnds) {
  const TLexicon lexicon;
  EXPECT_EQ(lexicon.Normalize(u"\tZip\tCode\x01"), u"zip\tcode");
  EXPECT_EQ(lexicon.Normalize(u"orange"), u"orange");  // a stop word is a whole piece
}

TEST(LexiconNormalize, AfterClearOnlyTrimsAndLowerCases) {
  TLexicon lexicon;
  lexicon.Clear();
  EXPECT_EQ(lexicon.Normalize(u"  Zip Code "), u"zip code");
  EXPECT_EQ(lexicon.Normalize(u"First-Name: or"), u"first-name: or");
}

TEST(LexiconNormalize, SeparatorsBeyondAsciiSplit) {
  TLexicon lexicon;
  lexicon.SetSeparators(u"\u00B7\uFFFF");
  EXPECT_EQ(lexicon.Normalize(u"A\u00B7B\uFFFFc d"), u"a b c d");
  EXPECT_TRUE(lexicon.IsSeparator(u'\uFFFF'));
  EXPECT_FALSE(lexicon.IsSeparator(u' '));
}

TEST(LexiconSetStopWords, KeepsOnlySingleNormalisedWordsOnce) {
  TLexicon lexicon;
  int notified = 0;
  lexicon.OnChange = [&](TLexicon& sender) {
    EXPECT_EQ(&sender, &lexicon);
    ++notified;
  };
  lexicon.SetStopWords({u"e-mail", u" The ", u"the", u"THE", u"", u"-"});
  EXPECT_EQ(Items(lexicon.StopWords()), (Texts{u"the"}));
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(lexicon.Normalize(u"Or the town"), u"or town");
}

TEST(LexiconSetStopWords, RenormalisesEveryItem) {
  TLexicon lexicon;
  TGoalList& goal = lexicon.AddGoal();
  goal.SetKey(u"Phone or Fax");
  goal.AddWords({u"fax number"});
  goal.Renormalize();
  EXPECT_EQ(goal.NormalizedKey(), u"phone fax");
  lexicon.SetStopWords({u"ins", u"number"});
  EXPECT_EQ(goal.NormalizedKey(), u"phone or fax");
  EXPECT_EQ(Items(goal.NormalizedWords()), (Texts{u"fax"}));
  EXPECT_EQ(Items(lexicon.Substitutions()[0].NormalizedWords()), (Texts{u"plug", u"plug in s"}));
}

TEST(LexiconAddSubstitution, FindsTheKeyByItsNormalisedFormAndIgnoresCaseOfWords) {
  TLexicon lexicon;
  int notified = 0;
  lexicon.OnChange = [&](TLexicon&) { ++notified; };
  lexicon.AddSubstitution(u"Plugins", {u"Plug-Ins"});
  ASSERT_EQ(lexicon.Substitutions().Count(), 2);
  EXPECT_EQ(Items(lexicon.Substitutions()[0].Words()), (Texts{u"plug-in's", u"plug-ins"}));
  EXPECT_EQ(lexicon.Substitutions()[0].Key(), u"plugins");
  // One from the item's AddWords, one from the lexicon itself.
  EXPECT_EQ(notified, 2);

  lexicon.AddSubstitution(u"Add-Ons!", {u"add ons", u"Extras", u"extras"});
  ASSERT_EQ(lexicon.Substitutions().Count(), 3);  // "add ons" is not the key "addons"
  const TSubstitution& added = lexicon.Substitutions()[2];
  EXPECT_EQ(added.Key(), u"Add-Ons!");
  EXPECT_EQ(added.NormalizedKey(), u"add ons");
  EXPECT_EQ(Items(added.Words()), (Texts{u"add ons", u"Extras"}));

  // A word that means what another word of the list means is not added.
  lexicon.AddSubstitution(u"addons", {u"add_ons", u"ADD-ONS"});
  EXPECT_EQ(lexicon.Substitutions()[1].Words().Count(), 2);
}

TEST(LexiconExpandSubstitutions, GivesTheKeyThenTheSortedNormalisedWords) {
  const TLexicon lexicon;
  EXPECT_EQ(lexicon.ExpandSubstitutions({u"a" + Placeholder(u"addons") + u"b"}),
            (Texts{u"aaddonsb", u"aadd on sb", u"aadd onsb"}));
}

TEST(LexiconExpandSubstitutions, DropsUnmatchedMarksAndUnknownKeysAndCopiesPlainTexts) {
  const TLexicon lexicon;
  EXPECT_EQ(lexicon.ExpandSubstitutions({u"x" + Mark + u"addons", u"plain", Placeholder(u"Addons"),
                                         Placeholder(u"nothing")}),
            (Texts{u"plain"}));
  EXPECT_TRUE(lexicon.ExpandSubstitutions({}).empty());
}

TEST(LexiconExpandSubstitutions, TwoPlaceholdersGiveTheProductInOrder) {
  const TLexicon lexicon;
  TWideStringList templates{Placeholder(u"plugins") + u"+" + Placeholder(u"addons"), u"z"};
  TWideStringList result;
  result.Add(u"stale");
  lexicon.ExpandSubstitutions(templates, result);
  EXPECT_EQ(Items(result),
            (Texts{u"plugins+addons", u"plugins+add on s", u"plugins+add ons", u"plug in s+addons",
                   u"plug in s+add on s", u"plug in s+add ons", u"plug ins+addons",
                   u"plug ins+add on s", u"plug ins+add ons", u"z"}));
}

TEST(LexiconExpandSubstitutions, AMarkInsideAWordIsNotExpandedAgain) {
  // A loaded word holding placeholders for its own key would otherwise
  // expand forever.
  TLexicon lexicon;
  lexicon.Clear();
  TSubstitution& item = lexicon.AddSubstitutionItem();
  item.SetKey(u"k");
  item.LoadWord(u"<" + Placeholder(u"k") + u">");
  item.Renormalize();
  EXPECT_EQ(lexicon.ExpandSubstitutions({Placeholder(u"k") + u"!"}),
            (Texts{u"k!", u"<" + Placeholder(u"k") + u">!"}));
}

TEST(LexiconExpandSubstitutions, ManyPlaceholdersStopAtTheCapWithTheFirstExpansionsInOrder) {
  // 30 placeholders of three texts each would be 3^30 expansions.
  const TLexicon lexicon;
  std::u16string many;
  for (int i = 0; i < 30; ++i)
    many += Placeholder(u"addons") + u"/";
  const Texts result = lexicon.ExpandSubstitutions({many, u"after the cap"});
  ASSERT_EQ(result.size(), TLexicon::MaxExpansions);
  std::u16string first;
  for (int i = 0; i < 30; ++i)
    first += u"addons/";
  EXPECT_EQ(result[0], first);
  EXPECT_EQ(result[1], first.substr(0, first.size() - 7) + u"add on s/")
      << "the last turns fastest";
  EXPECT_EQ(result[3], first.substr(0, first.size() - 14) + u"add on s/addons/");
  EXPECT_EQ(lexicon.ExpandSubstitutions({u"plain", many}).front(), u"plain");
}

TEST(BaseListRenormalize, DeletesWordsThatBecameDuplicates) {
  TLexicon lexicon;
  lexicon.SetSeparators({});
  TGoalList& goal = lexicon.AddGoal();
  goal.SetKey(u"E-Mail");
  goal.AddWords({u"e_mail", u"e-mail", u"mail"});
  EXPECT_EQ(goal.Words().Count(), 3);
  lexicon.SetSeparators(u"-_");
  lexicon.Renormalize();
  EXPECT_EQ(goal.NormalizedKey(), u"e mail");
  EXPECT_EQ(Items(goal.Words()), (Texts{u"e-mail", u"mail"}));
  EXPECT_EQ(Items(goal.NormalizedWords()), (Texts{u"e mail", u"mail"}));
}

TEST(BaseListRenormalize, KeepsOneWordThatNormalisesToNothing) {
  TLexicon lexicon;
  TGoalList& goal = lexicon.AddGoal();
  for (const char16_t* w : {u"or", u"--", u"x"})
    goal.LoadWord(w);
  goal.Renormalize();
  EXPECT_EQ(Items(goal.Words()), (Texts{u"--", u"x"}));
  EXPECT_EQ(Items(goal.NormalizedWords()), (Texts{u"", u"x"}));
}

TEST(BaseList, WithoutHandlersATextIsItsOwnFormAndAddWordsNotifiesOnce) {
  TBaseList list;
  int notified = 0;
  list.OnChange = [&](TBaseList& sender) {
    EXPECT_EQ(&sender, &list);
    ++notified;
  };
  list.SetKey(u"Key");
  list.AddWords({u"B", u"a", u"b"});
  EXPECT_EQ(notified, 1);
  list.Renormalize();
  EXPECT_EQ(list.NormalizedKey(), u"Key");
  EXPECT_EQ(Items(list.NormalizedWords()), (Texts{u"a", u"B"}));
  list.Clear();
  EXPECT_TRUE(list.Key().empty() && list.Words().Empty() && list.NormalizedWords().Empty());
}

TEST(LexiconAssignTo, CopiesAsTheyStandAndNotifiesTheSource) {
  TLexicon source;
  TGoalList& goal = source.AddGoal();
  goal.SetKey(u"City");
  goal.SetNormalizedKey(u"by hand");
  goal.LoadWord(u"Town");
  int sourceNotified = 0;
  int destNotified = 0;
  source.OnChange = [&](TLexicon& sender) {
    EXPECT_EQ(&sender, &source);
    ++sourceNotified;
  };
  TLexicon dest;
  dest.AddGoal();
  dest.OnChange = [&](TLexicon&) { ++destNotified; };
  source.AssignTo(dest);
  EXPECT_TRUE(dest == source);
  EXPECT_EQ(dest.Goals()[0].NormalizedKey(), u"by hand");
  EXPECT_TRUE(dest.Goals()[0].NormalizedWords().Empty());
  EXPECT_EQ(sourceNotified, 1);
  EXPECT_EQ(destNotified, 3);  // one per item copied

  // The copies belong to the destination: they normalise with its rules.
  dest.SetStopWords({u"town"});
  EXPECT_EQ(dest.Goals()[0].NormalizedKey(), u"city");
  EXPECT_EQ(source.Goals()[0].NormalizedKey(), u"by hand");

  source.AssignTo(source);
  EXPECT_EQ(source.Goals().Count(), 1);
}

TEST(LexiconUpdateCount, HoldsNotificationsUntilTheLastEndUpdate) {
  TLexicon lexicon;
  int notified = 0;
  lexicon.OnChange = [&](TLexicon&) { ++notified; };
  lexicon.BeginUpdate();
  lexicon.BeginUpdate();
  lexicon.AddSubstitution(u"a", {u"b"});
  lexicon.EndUpdate();
  EXPECT_EQ(notified, 0);
  lexicon.EndUpdate();
  EXPECT_EQ(notified, 1);
  lexicon.EndUpdate();  // unbalanced: nothing
  EXPECT_EQ(lexicon.UpdateCount(), 0);
  EXPECT_EQ(notified, 1);
}

// A lexicon whose normalisation fails, for the location trail.
class TFailingLexicon : public TLexicon {
public:
  bool Fail = false;

protected:
  bool IsStopWord(std::u16string_view piece) const override {
    if (Fail) throw Exception(u"M");
    return TLexicon::IsStopWord(piece);
  }
};

TEST(LexiconReporting, FailuresCarryTheTrailOfTheHandlersPassed) {
  TFailingLexicon lexicon;
  int notified = 0;
  lexicon.OnChange = [&](TLexicon&) { ++notified; };
  lexicon.Fail = true;
  using testing::ExpectThrowsExactly;
  using testing::Trail;
  ExpectThrowsExactly<Exception>([&] { lexicon.AddSubstitution(u"k", {u"w"}); },
                                 Trail(u"M", {loc::LexiconNormalize, loc::LexiconAddSubstitution}));
  EXPECT_EQ(notified, 1);  // notified although it failed
  ExpectThrowsExactly<Exception>([&] { lexicon.SetStopWords({u"w"}); },
                                 Trail(u"M", {loc::LexiconNormalize, loc::LexiconSetStopWords}));
  lexicon.Fail = false;
  lexicon.SetStopWords({u"or"});
  lexicon.Fail = true;
  ExpectThrowsExactly<Exception>([&] { lexicon.Substitutions()[0].Renormalize(); },
                                 Trail(u"M", {loc::LexiconNormalize, loc::BaseListRenormalize}));
}

TEST(LexiconStream, FormatBWithoutGoalsLoads) {
  StreamBuilder b;
  b.Text(u" -").List({u"Or", u"the"}).Int(1).Record(u"Addons", {u"Add-Ons", u"extras"}).Int(0);
  TLexicon lexicon;
  ASSERT_TRUE(lexicon.LoadFromStream(b.Rewound(), 10));
  EXPECT_EQ(lexicon.Separators(), u" -");
  EXPECT_EQ(Items(lexicon.StopWords()), (Texts{u"Or", u"the"}));  // as they stand
  ASSERT_EQ(lexicon.Substitutions().Count(), 1);
  EXPECT_EQ(lexicon.Substitutions()[0].Key(), u"Addons");
  EXPECT_EQ(lexicon.Substitutions()[0].NormalizedKey(), u"addons");
  EXPECT_EQ(Items(lexicon.Substitutions()[0].NormalizedWords()), (Texts{u"add ons", u"extras"}));
  EXPECT_TRUE(lexicon.Goals().Empty());
  EXPECT_EQ(b.Stream.Remaining(), 0);
}

TEST(LexiconStream, FormatAEndsAfterTheSubstitutions) {
  StreamBuilder b;
  b.Text(u" ").List({}).Int(-3).Int(77);
  TLexicon lexicon;
  ASSERT_TRUE(lexicon.LoadFromStream(b.Rewound(), 9));
  EXPECT_TRUE(lexicon.Substitutions().Empty());
  EXPECT_EQ(b.Stream.Remaining(), 4);  // the goals count of a newer stream is not read
  EXPECT_FALSE(lexicon.LoadFromStream(b.Rewound(), 10));  // 77 goals do not fit
}

TEST(LexiconStream, ACutInsideAGoalsWordsKeepsWhatWasRead) {
  StreamBuilder b;
  b.Text(u" ").List({}).Int(0).Int(2).Record(u"City", {u"town"}).Text(u"Zip Code").Int(2);
  b.Text(u"Postal code");
  const int64_t cut = b.Stream.Size();
  b.Text(u"zip");
  b.Stream.SetSize(b.Stream.Size() - 3);
  TLexicon lexicon;
  TStreamReader reader(b.Rewound());
  EXPECT_FALSE(lexicon.LoadFromReader(reader, 10));
  EXPECT_EQ(reader.FailOffset(), cut);
  ASSERT_EQ(lexicon.Goals().Count(), 2);
  const TGoalList& partial = lexicon.Goals()[1];
  EXPECT_EQ(partial.Key(), u"Zip Code");
  EXPECT_EQ(partial.NormalizedKey(), u"zip code");
  EXPECT_EQ(Items(partial.Words()), (Texts{u"Postal code"}));
  EXPECT_EQ(Items(partial.NormalizedWords()), (Texts{u"postal code"}));
}

TEST(LexiconStream, BadLengthsAndCountsFailWithoutReadingOn) {
  TLexicon lexicon;
  StreamBuilder negative;
  negative.Text(u" ").Int(1).Int(-1);
  TStreamReader reader(negative.Rewound());
  EXPECT_FALSE(lexicon.LoadFromReader(reader, 10));
  EXPECT_EQ(reader.FailOffset(), 10);
  EXPECT_EQ(lexicon.Separators(), u" ");

  StreamBuilder huge;
  huge.Text(u"").Int(0).Int(0x7FFFFFFF).Text(u"k");
  EXPECT_FALSE(lexicon.LoadFromStream(huge.Rewound(), 10));
  EXPECT_TRUE(lexicon.Substitutions().Empty());

  TMemoryStream empty;
  EXPECT_FALSE(lexicon.LoadFromStream(empty, 10));
  EXPECT_TRUE(lexicon.StopWords().Empty());  // cleared first
}

TEST(LexiconStream, ARepeatedStopWordRaisesTheListsError) {
  StreamBuilder b;
  b.Text(u"").List({u"or", u"and", u"OR"}).Int(0).Int(0);
  TLexicon lexicon;
  TStreamReader reader(b.Rewound());
  testing::ExpectThrowsExactly<Exception>([&] { lexicon.LoadFromReader(reader, 10); },
                                          u"String list does not allow duplicates");
  EXPECT_EQ(reader.FailOffset(), 4 + 4 + 8 + 10);
  EXPECT_EQ(Items(lexicon.StopWords()), (Texts{u"and", u"or"}));
}

TEST(LexiconStream, SaveThenLoadGivesAnEqualLexicon) {
  TLexicon lexicon;
  lexicon.SetStopWords({u"the", u"of"});
  lexicon.AddSubstitution(u"Zip", {u"Postal code", u"\u00C9-code"});
  TGoalList& goal = lexicon.AddGoal();
  goal.SetKey(u"Last name");
  goal.AddWords({u"Surname", u"family name", u"Family-Name"});
  goal.Renormalize();

  TMemoryStream stream;
  lexicon.SaveToStream(stream);
  stream.SetPosition(0);
  TLexicon loaded;
  ASSERT_TRUE(loaded.LoadFromStream(stream, LexiconStreamVersion));
  EXPECT_TRUE(loaded == lexicon);
  EXPECT_EQ(stream.Remaining(), 0);

  TMemoryStream again;
  loaded.SaveToStream(again);
  EXPECT_EQ(again.Bytes(), stream.Bytes());

  goal.LoadWord(u"x");
  EXPECT_FALSE(loaded == lexicon);
}

TEST(BaseListStream, ARecordLoadsAndRenormalisesOnItsOwn) {
  TLexicon lexicon;
  TSubstitution& item = lexicon.AddSubstitutionItem();
  StreamBuilder b;
  b.Record(u"E-Mail", {u"Mail", u"MAIL", u"e mail"});
  item.LoadWord(u"stale");
  ASSERT_TRUE(item.LoadFromStream(b.Rewound()));
  EXPECT_EQ(item.NormalizedKey(), u"e mail");
  EXPECT_EQ(Items(item.Words()), (Texts{u"e mail", u"Mail"}));
  EXPECT_EQ(Items(item.NormalizedWords()), (Texts{u"e mail", u"mail"}));
}

}  // namespace
}  // namespace qm
