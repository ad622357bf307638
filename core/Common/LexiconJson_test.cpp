#include "core/Common/LexiconJson.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using platform::Exception;
using testing::ExpectThrowsExactly;
using Texts = std::vector<std::u16string>;

TEST(LexiconJson, WritesTheFourKeysInOrderAndReadsBackAnEqualLexicon) {
  TLexicon lexicon;
  TGoalList& goal = lexicon.AddGoal();
  goal.SetKey(u"Stra\u00DFe");
  goal.AddWords({u"street", u"\U0001F3E0 road"});
  goal.Renormalize();
  const std::string text = LexiconToJsonText(lexicon);
  EXPECT_EQ(text.rfind("{\n  \"Separators\": \" ~`!@#$%^&*()_-+=|\\\\}]{[:;\\\"'?/.,><\",\n"
                       "  \"StopWords\": [\n    \"and\",\n    \"or\"\n  ],\n"
                       "  \"Substitutions\": [\n    {\n      \"Key\": \"plugins\",",
                       0),
            0u)
      << text;
  EXPECT_EQ(text.back(), '\n');
  TLexicon read;
  LexiconFromJsonText(text, read);
  EXPECT_TRUE(read == lexicon);
}

TEST(LexiconJson, TakesWordsAsTheyStandAndNormalisesWithTheDocumentsRules) {
  TLexicon lexicon;
  int notified = 0;
  lexicon.OnChange = [&](TLexicon&) { ++notified; };
  LexiconFromJsonText(R"({"Separators": "/", "StopWords": ["Of"],
      "Goals": [{"Key": "Date of birth", "Words": ["Birth/Date", "birth/date", "of/x"]},
                {"Key": "Empty"}]})",
                      lexicon);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(lexicon.StopWords().ToVector(), (Texts{u"Of"}));
  EXPECT_TRUE(lexicon.Substitutions().Empty());
  ASSERT_EQ(lexicon.Goals().Count(), 2);
  EXPECT_EQ(lexicon.Goals()[0].NormalizedKey(), u"date of birth");  // space is no separator here
  EXPECT_EQ(lexicon.Goals()[0].Words().ToVector(), (Texts{u"Birth/Date", u"of/x"}));
  EXPECT_EQ(lexicon.Goals()[0].NormalizedWords().ToVector(), (Texts{u"birth date", u"x"}));
  EXPECT_TRUE(lexicon.Goals()[1].Words().Empty());

  LexiconFromJsonText("{}", lexicon);
  EXPECT_TRUE(lexicon.Separators().empty() && lexicon.Goals().Empty());
}

TEST(LexiconJson, BadInputNamesThePlaceAndLeavesTheLexiconAlone) {
  const std::pair<const char*, const char16_t*> cases[] = {
      {"[]", u"Lexicon JSON: the document: must be an object"},
      {R"({"Separator": ""})", u"Lexicon JSON: the document: unknown key 'Separator'"},
      {R"({"Separators": 5})", u"Lexicon JSON: Separators: must be a text"},
      {R"({"StopWords": "or"})", u"Lexicon JSON: StopWords: must be a list"},
      {R"({"StopWords": ["or", null]})", u"Lexicon JSON: StopWords[1]: must be a text"},
      {R"({"StopWords": ["or", "OR"]})",
       u"Lexicon JSON: StopWords[1]: 'OR' repeats a stop word (letter case aside)"},
      {R"({"Substitutions": [{"Words": []}]})", u"Lexicon JSON: Substitutions[0]: has no \"Key\""},
      {R"({"Substitutions": ["x"]})",
       u"Lexicon JSON: Substitutions[0]: must be an object with \"Key\" and \"Words\""},
      {R"({"Goals": [{"Key": "a"}, {"Key": "b", "Words": [1]}]})",
       u"Lexicon JSON: Goals[1].Words[0]: must be a text"},
      {R"({"Goals": [{"Key": "a", "words": []}]})", u"Lexicon JSON: Goals[0]: unknown key 'words'"},
      {R"({"Goals": )",
       u"Lexicon JSON: parse error at line 1, column 11: syntax error while parsing value - "
       u"unexpected end of input; expected '[', '{', or a literal"},
  };
  for (const auto& c : cases) {
    TLexicon lexicon;
    ExpectThrowsExactly<Exception>([&] { LexiconFromJsonText(c.first, lexicon); }, c.second);
    EXPECT_TRUE(lexicon == TLexicon()) << c.first;
  }
}

TEST(LexiconJson, AnUnpairedSurrogateIsRefusedRatherThanAltered) {
  TLexicon lexicon;
  lexicon.AddSubstitution(u"k", {u"ok", u"x\xD800"});
  ExpectThrowsExactly<Exception>(
      [&] { LexiconToJson(lexicon); },
      u"Lexicon JSON: Substitutions[2].Words[1]: holds an unpaired surrogate at code unit 1, "
      u"which JSON text cannot carry");
}

}  // namespace
}  // namespace qm
