#include "manager/recognition/FieldRecognizer.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/Common/QMLexicon.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/recognition/LexiconBuilder.h"
#include "manager/store/SqliteError.h"
#include "platform/rtl/Utf.h"
#include "testsupport/QmTesting.h"

namespace qm::manager {
namespace {

using platform::U8;
using qm::testing::ExpectThrowsExactly;

std::vector<TFieldDef> FieldsOf(const TStoreSeed& seed) {
  std::vector<TFieldDef> fields;
  for (const TSeedField& field : seed.Fields)
    fields.push_back(field.Field);
  return fields;
}

TLexiconData LexiconOf(const TStoreSeed& seed) {
  TLexiconData lexicon = seed.Lexicon;
  for (const TSeedField& field : seed.Fields) {
    lexicon.Goals.push_back({field.Field.FieldName, field.Synonyms});
  }
  return lexicon;
}

class DefaultRecognition : public ::testing::Test {
protected:
  DefaultRecognition() {
    BuildLexicon(LexiconOf(DefaultContent()), lexicon_);
    recognizer_ = std::make_unique<TFieldRecognizer>(lexicon_, FieldsOf(DefaultContent()));
  }
  std::string Caption(const char16_t* tag, const char16_t* type, const char16_t* name) {
    const std::optional<TRecognition> found = recognizer_->Recognize(tag, type, name);
    return found ? U8(found->Field.Caption) : "(nothing)";
  }

  TLexicon lexicon_;
  std::unique_ptr<TFieldRecognizer> recognizer_;
};

TEST(DefaultContentData, HoldsAboutFortyFieldsInTheSixGroups) {
  const TStoreSeed& seed = DefaultContent();
  EXPECT_GE(seed.Fields.size(), 38u);
  std::set<std::string> groups;
  for (const TSeedField& field : seed.Fields)
    groups.insert(U8(field.Field.Group));
  EXPECT_EQ(groups, (std::set<std::string>{"Personal", "Contact", "Address", "Login", "Credit card",
                                           "Business"}));
  EXPECT_EQ(seed.Lexicon.Separators.size(), 33u);
  EXPECT_EQ(seed.Lexicon.StopWords, (std::vector<String>{u"or", u"and"}));
  EXPECT_EQ(seed.Profiles, std::vector<String>{u"Default"});
}

// A synonym that two fields share makes recognition depend on the order of
// the data file; one that normalises like another of its own field is dead
// weight that the lexicon drops.
TEST(DefaultContentData, EverySynonymMeansOneFieldOnce) {
  TLexicon lexicon;
  BuildLexicon(DefaultContent().Lexicon, lexicon);
  std::map<String, std::string> owner;
  for (const TSeedField& field : DefaultContent().Fields) {
    std::vector<String> own = field.Synonyms;
    own.push_back(field.Field.Caption);
    own.push_back(field.Field.FieldName);
    std::set<String> seen;
    for (const String& synonym : field.Synonyms) {
      const String normalized = lexicon.Normalize(synonym);
      EXPECT_FALSE(normalized.empty()) << U8(synonym);
      EXPECT_TRUE(seen.insert(normalized).second)
          << U8(field.Field.Caption) << " repeats " << U8(normalized);
    }
    for (const String& synonym : own) {
      const String normalized = lexicon.Normalize(synonym);
      const auto [it, fresh] = owner.emplace(normalized, U8(field.Field.Caption));
      EXPECT_TRUE(fresh || it->second == U8(field.Field.Caption))
          << U8(normalized) << " means both " << it->second << " and " << U8(field.Field.Caption);
    }
  }
}

TEST(DefaultContentData, NamesWhereADocumentIsWrong) {
  ExpectThrowsExactly<EStoreError>(
      [] {
        ParseDefaultContent(R"({"separators": " ", "stopWords": [], "substitutions": [],
                                   "profiles": [], "fields": [{"group": "G", "caption": "C",
                                   "synonyms": ["a", 3]}]})");
      },
      u"fields[0].name: is missing");
  ExpectThrowsExactly<EStoreError>(
      [] {
        ParseDefaultContent(R"({"separators": " ", "stopWords": [], "substitutions": [],
                                   "profiles": [], "fields": [{"group": "G", "caption": "C",
                                   "name": "N", "input": "phone", "synonyms": []}]})");
      },
      u"fields[0].input: unknown input kind 'phone'");
  const EStoreError e = ExpectThrowsExactly<EStoreError>(
      [] { ParseDefaultContent("{\"fields\": ["); },
      u"the default content: not valid JSON: parse error at line 1, column 13: syntax error "
      u"while parsing value - unexpected end of input; expected '[', '{', or a literal");
  EXPECT_EQ(e.ErrorKind(), EStoreError::Kind::Invalid);
}

TEST_F(DefaultRecognition, TakesTheNamesSitesUse) {
  EXPECT_EQ(Caption(u"input", u"text", u"first_name"), "First name");
  EXPECT_EQ(Caption(u"input", u"text", u"firstName"), "First name");
  EXPECT_EQ(Caption(u"input", u"text", u"given-name"), "First name");
  EXPECT_EQ(Caption(u"input", u"text", u"surname"), "Last name");
  EXPECT_EQ(Caption(u"input", u"text", u"postal_code"), "ZIP / Postal code");
  EXPECT_EQ(Caption(u"INPUT", u"TEXT", u"E-Mail"), "E-mail");
  EXPECT_EQ(Caption(u"select", u"", u"country"), "Country");
  EXPECT_EQ(Caption(u"textarea", u"", u"street_address"), "Address line 1");
}

TEST_F(DefaultRecognition, PrefersTheLongestSynonymFoundAsWholeWords) {
  EXPECT_EQ(Caption(u"input", u"text", u"billing_first_name"), "First name");
  EXPECT_EQ(Caption(u"input", u"text", u"shipping[address_line_2]"), "Address line 2");
  EXPECT_EQ(Caption(u"input", u"text", u"cc-exp-month"), "Expiration month");
  EXPECT_EQ(Caption(u"input", u"text", u"cc_name"), "Card holder");
  // Whole words only: "tel" is no word of "hotel".
  EXPECT_EQ(Caption(u"input", u"text", u"hotel"), "(nothing)");
  // Equally long: the one further right is the head of the name.
  EXPECT_EQ(Caption(u"input", u"text", u"login_email"), "E-mail");
  EXPECT_EQ(Caption(u"input", u"text", u"email_login"), "User name");
}

TEST_F(DefaultRecognition, KeepsPasswordsAndOtherFieldsApart) {
  EXPECT_EQ(Caption(u"input", u"password", u"pass"), "Password");
  EXPECT_EQ(Caption(u"input", u"password", u"user_password_confirm"), "Password");
  // A password input is never filled with something else...
  EXPECT_EQ(Caption(u"input", u"password", u"email"), "(nothing)");
  // ...and the password never lands in a visible input.
  EXPECT_EQ(Caption(u"input", u"text", u"password"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"text", u"password_hint_question"), "Security question");
}

TEST_F(DefaultRecognition, LetsEmailAndTelephoneInputsPreferTheirFields) {
  EXPECT_EQ(Caption(u"input", u"email", u"contact"), "E-mail");
  EXPECT_EQ(Caption(u"input", u"email", u"login_id"),
            "E-mail");  // "login" alone would be user name
  EXPECT_EQ(Caption(u"input", u"tel", u"x1"), "Phone");
  EXPECT_EQ(Caption(u"input", u"tel", u"work_phone"), "Work phone");
  // A numeric keypad for a card number is still the card number.
  EXPECT_EQ(Caption(u"input", u"tel", u"cc-number"), "Card number");
  EXPECT_EQ(Caption(u"input", u"text", u"contact"), "(nothing)");
}

TEST_F(DefaultRecognition, ExplainsWhatMatched) {
  std::optional<TRecognition> found =
      recognizer_->Recognize(u"input", u"text", u"billing_First-Name");
  ASSERT_TRUE(found);
  EXPECT_EQ(DescribeRecognition(*found), "the synonym 'first name' inside 'billing first name'");
  found = recognizer_->Recognize(u"input", u"email", u"contact");
  ASSERT_TRUE(found);
  EXPECT_EQ(DescribeRecognition(*found), "the input type, as the name 'contact' matches nothing");
}

TEST(AssignSynonym, MovesAWordFromTheFieldThatHadIt) {
  TLexiconData data;
  data.Separators = u" _";
  data.Goals = {{u"Phone", {u"tel", u"phone"}}, {u"Fax", {u"fax"}}};
  TLexicon lexicon;
  BuildLexicon(data, lexicon);
  EXPECT_TRUE(AssignSynonym(data, lexicon, u"fax", u"TEL"));
  EXPECT_EQ(data.Goals[0].Words, std::vector<String>{u"phone"});
  EXPECT_EQ(data.Goals[1].Words, (std::vector<String>{u"fax", u"TEL"}));
  // Already there (in meaning): nothing changes.
  EXPECT_FALSE(AssignSynonym(data, lexicon, u"Fax", u"tel"));
  // A field without a goal gets one.
  EXPECT_TRUE(AssignSynonym(data, lexicon, u"Mobile", u"cell_phone"));
  EXPECT_EQ(data.Goals[2].Key, u"Mobile");
  ExpectThrowsExactly<platform::Exception>([&] { AssignSynonym(data, lexicon, u"Fax", u" _ "); },
                                           u"The synonym ' _ ' holds no word");
}

}  // namespace
}  // namespace qm::manager
