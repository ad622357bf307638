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

class DefaultRecognition : public ::testing::Test {
protected:
  DefaultRecognition() {
    BuildLexicon(SeedLexicon(DefaultContent()), lexicon_);
    recognizer_ = std::make_unique<TFieldRecognizer>(lexicon_, SeedFields(DefaultContent()));
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

// As the recogniser reads them ("birthday" is "birth day"), no two fields'
// synonyms may read alike, nor one like a phrase known to be no field.
TEST_F(DefaultRecognition, NoSynonymReadsLikeAnotherFieldsOrLikeNoField) {
  EXPECT_EQ(recognizer_->SharedSynonyms(), std::vector<String>{});
}

TEST(RecognitionRulesData, NamesWhereTheRulesAreWrong) {
  const TRecognitionRules& rules = DefaultRecognitionRules();
  EXPECT_EQ(rules.PathSeparators, u"$:.[]/");
  EXPECT_EQ(rules.DateFields.size(), 3u);
  ExpectThrowsExactly<EStoreError>(
      [] { ParseRecognitionRules(R"({"recognition": {"pathSeparators": "."}})"); },
      u"recognition.fillerWords: is missing");
  ExpectThrowsExactly<EStoreError>([] { ParseRecognitionRules(R"({"fields": []})"); },
                                   u"the default content.recognition: is missing");
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
  // Styles: paths, prefixes, glued and split words, context words.
  EXPECT_EQ(Caption(u"input", u"text", u"ctl00$Body$txtSurname"), "Last name");
  EXPECT_EQ(Caption(u"select", u"", u"ddlRegion"), "State / Province");
  EXPECT_EQ(Caption(u"input", u"text", u"ShipAddr1"), "Address line 1");
  EXPECT_EQ(Caption(u"input", u"text", u"streetLine2"), "Address line 2");
  EXPECT_EQ(Caption(u"input", u"text", u"profile.contact.zipOrPostal"), "ZIP / Postal code");
  EXPECT_EQ(Caption(u"input", u"text", u"home_page"), "Website") << "a glued synonym, split";
  EXPECT_EQ(Caption(u"input", u"text", u"customer[firstname]"), "First name");
  EXPECT_EQ(Caption(u"input", u"text", u"Vorname"), "First name");
  EXPECT_EQ(Caption(u"input", u"text", u"straße"), "Address line 1");
  EXPECT_EQ(Caption(u"input", u"text", u"codigo_postal"), "ZIP / Postal code");
}

TEST_F(DefaultRecognition, TheEndOfTheNameIsItsHead) {
  EXPECT_EQ(Caption(u"input", u"text", u"billing_first_name"), "First name");
  EXPECT_EQ(Caption(u"input", u"text", u"shipping[address_line_2]"), "Address line 2");
  EXPECT_EQ(Caption(u"input", u"text", u"address[city]"), "City");
  EXPECT_EQ(Caption(u"input", u"text", u"user[address][street2]"), "Address line 2");
  EXPECT_EQ(Caption(u"input", u"text", u"ctl00$Main$Shipping$town$txtTown"), "City");
  EXPECT_EQ(Caption(u"input", u"text", u"checkout.creditCard.lastName"), "Last name");
  EXPECT_EQ(Caption(u"input", u"text", u"login_email"), "E-mail");
  EXPECT_EQ(Caption(u"input", u"text", u"phone_mobile"), "Mobile phone");
  // What follows the head may only say what kind of box it is.
  EXPECT_EQ(Caption(u"input", u"text", u"phone_number_input"), "Phone");
  EXPECT_EQ(Caption(u"input", u"text", u"country_id"), "Country");
  EXPECT_EQ(Caption(u"input", u"text", u"email[value]"), "E-mail");
  EXPECT_EQ(Caption(u"input", u"text", u"phone_ext"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"text", u"company_size"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"text", u"email_login"), "(nothing)")
      << "'login' alone is too general after the name of another field";
  // Whole words only: "tel" is no word of "hotel".
  EXPECT_EQ(Caption(u"input", u"text", u"hotel"), "(nothing)");
}

TEST_F(DefaultRecognition, AGeneralWordNeedsAQuietContext) {
  EXPECT_EQ(Caption(u"input", u"text", u"user[name]"), "Full name");
  EXPECT_EQ(Caption(u"input", u"text", u"ctl00$PlaceHolderMain$txtName"), "Full name");
  EXPECT_EQ(Caption(u"input", u"text", u"your-name"), "Full name");
  EXPECT_EQ(Caption(u"input", u"text", u"product[name]"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"text", u"pet_name"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"text", u"company[name]"), "Company") << "across the parts";
  EXPECT_EQ(Caption(u"input", u"text", u"city_name"), "City");
  EXPECT_EQ(Caption(u"select", u"", u"ddlTitle"), "Title");
  EXPECT_EQ(Caption(u"input", u"text", u"post_title"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"text", u"wpforms[fields][0][first]"), "First name");
  EXPECT_EQ(Caption(u"input", u"text", u"q3_fullName3[last]"), "Last name")
      << "a part's generated number does not part 'name' from 'last'";
  EXPECT_EQ(Caption(u"select", u"", u"zone_id"), "State / Province");
  EXPECT_EQ(Caption(u"select", u"", u"time_zone"), "(nothing)");
}

TEST_F(DefaultRecognition, SomeWordsSayThereIsNoProfileField) {
  for (const char16_t* name :
       {u"ok_to_email", u"email_opt_in", u"user.profile.newsletter", u"gift_card_number",
        u"friend[email]", u"search[city]", u"coupon_code", u"remember_me", u"order_comments",
        u"emergency_phone", u"phoneCountryCode", u"captcha"}) {
    EXPECT_EQ(Caption(u"input", u"text", name), "(nothing)") << U8(name);
  }
  EXPECT_EQ(Caption(u"input", u"email", u"newsletter[email]"), "E-mail")
      << "an opt-in's own address box is the user's address";
  EXPECT_EQ(Caption(u"input", u"email", u"friend_email"), "(nothing)")
      << "and an e-mail input does not overrule a block word";
  EXPECT_EQ(Caption(u"select", u"", u"phone[country]"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"checkbox", u"is_company"), "(nothing)");
}

TEST_F(DefaultRecognition, ABoxToTickTakesAFieldOnlyByItsBareName) {
  EXPECT_EQ(Caption(u"input", u"radio", u"gender"), "Gender");
  EXPECT_EQ(Caption(u"input", u"radio", u"customer[gender]"), "Gender");
  EXPECT_EQ(Caption(u"input", u"checkbox", u"ship_to_different_address"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"text", u"different_address"), "Address line 1");
  const TRecognitionReport report =
      recognizer_->Explain(u"input", u"checkbox", u"ship_to_different_address");
  EXPECT_EQ(report.Why,
            "a check box or radio button takes a field only when its name says nothing else, "
            "and 'different' does");
}

TEST_F(DefaultRecognition, NumbersNameLinesAndIndexesCountFromZero) {
  EXPECT_EQ(Caption(u"input", u"text", u"address1"), "Address line 1");
  EXPECT_EQ(Caption(u"input", u"text", u"street_2"), "Address line 2");
  EXPECT_EQ(Caption(u"input", u"text", u"address3"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"text", u"billing[street][0]"), "Address line 1");
  EXPECT_EQ(Caption(u"input", u"text", u"billing[street][1]"), "Address line 2");
  EXPECT_EQ(Caption(u"input", u"text", u"billing[street][2]"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"tel", u"mobile2"), "Mobile phone");
  EXPECT_EQ(Caption(u"input", u"email", u"email2"), "E-mail");
}

TEST_F(DefaultRecognition, ConfirmationsAndDateParts) {
  EXPECT_EQ(Caption(u"input", u"email", u"txtEmailConfirm"), "E-mail");
  EXPECT_EQ(Caption(u"input", u"password", u"retypePassword"), "Password");
  EXPECT_EQ(Caption(u"input", u"text", u"phone_verification"), "(nothing)");
  EXPECT_EQ(Caption(u"select", u"", u"dob[day]"), "Birth day");
  EXPECT_EQ(Caption(u"select", u"", u"birthday_month"), "Birth month");
  EXPECT_EQ(Caption(u"select", u"", u"expiry_yyyy"), "Expiration year");
  EXPECT_EQ(Caption(u"select", u"", u"ctl00$CreditCard$ddlMonth"), "Expiration month");
  EXPECT_EQ(Caption(u"input", u"text", u"exp_mm_yy"), "Expiration date") << "a whole date";
  EXPECT_EQ(Caption(u"input", u"text", u"expiry_day"), "(nothing)") << "a card has no day";
}

TEST_F(DefaultRecognition, KeepsPasswordsAndOtherFieldsApart) {
  EXPECT_EQ(Caption(u"input", u"password", u"pass"), "Password");
  EXPECT_EQ(Caption(u"input", u"password", u"user_password_confirm"), "Password");
  // A password input is never filled with something else...
  EXPECT_EQ(Caption(u"input", u"password", u"email"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"password", u"pin"), "(nothing)");
  // A password's second box may be named by the confirmation alone, but
  // a masked card code is no password.
  EXPECT_EQ(Caption(u"input", u"password", u"confirm"), "Password");
  EXPECT_EQ(Caption(u"input", u"password", u"cvv"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"password", u"verify_code"), "(nothing)");
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
  // A name with a word of its own is no unnamed box.
  EXPECT_EQ(Caption(u"input", u"tel", u"otp"), "(nothing)");
  EXPECT_EQ(Caption(u"input", u"tel", u"sms_code"), "(nothing)");
}

TEST_F(DefaultRecognition, ExplainsWhatMatchedAndWhyNothingDid) {
  TRecognitionReport report = recognizer_->Explain(u"input", u"text", u"billing_First-Name");
  ASSERT_TRUE(report.Found);
  EXPECT_EQ(report.Words, u"billing first name");
  EXPECT_EQ(report.Found->Synonym, u"first name");
  EXPECT_EQ(report.Found->Matched, u"First-Name");
  EXPECT_EQ(report.Why,
            "'first name' (from 'First-Name') is a synonym of First name; other words: "
            "'billing' (context)");
  report = recognizer_->Explain(u"select", u"", u"dob_dd");
  ASSERT_TRUE(report.Found);
  EXPECT_EQ(report.Found->DatePart, u"dd");
  EXPECT_EQ(report.Why, "'dob' (from 'dob') is a synonym of a date, and 'dd' names its part");
  report = recognizer_->Explain(u"input", u"email", u"contact");
  ASSERT_TRUE(report.Found);
  EXPECT_EQ(report.Found->Via, TRecognition::TVia::InputType);
  EXPECT_EQ(report.Why,
            "an e-mail input whose name names no field takes the first field of its kind");

  const auto why = [&](const char16_t* type, const char16_t* name) {
    const TRecognitionReport nothing = recognizer_->Explain(u"input", type, name);
    EXPECT_FALSE(nothing.Found) << U8(name);
    return nothing.Why;
  };
  EXPECT_EQ(why(u"text", u"$$"), "the name holds no word");
  EXPECT_EQ(why(u"text", u"xyzzy"), "no field has a synonym in 'xyzzy'");
  EXPECT_EQ(why(u"text", u"promoCode"), "'promo' says this is no profile field");
  EXPECT_EQ(why(u"text", u"phone_ext"), "'phone' is followed by 'ext', which says something else");
  EXPECT_EQ(why(u"text", u"product[name]"),
            "'name' alone is too general, and 'product' says what it belongs to");
  EXPECT_EQ(why(u"text", u"address3"),
            "'address' is followed by the number '3', and no synonym has that number");
  EXPECT_EQ(why(u"text", u"phone_verify"), "'verify' confirms e-mail addresses and passwords only");
  EXPECT_EQ(why(u"text", u"phone_country_code"), "'phone country code' is no profile field");
  EXPECT_EQ(why(u"password", u"email"), "a password input takes password fields only");
  EXPECT_EQ(why(u"email", u"phone_ext"), "an e-mail input takes e-mail fields only");
  EXPECT_EQ(why(u"text", u"pwd"),
            "the name names only password fields, which fill password inputs only");
}

// The recogniser works on any lexicon: a user's own fields and synonyms
// are read like the default ones, and a synonym two fields share leaves
// their names unrecognised.
TEST(Recognition, ReadsAUsersSynonymsAndLeavesSharedOnesAlone) {
  TLexiconData data;
  data.Separators = u" _-";
  data.Goals = {{u"Shoe", {u"ShoeSize", u"Size"}},
                {u"Phone", {u"number"}},
                {u"Card", {u"number", u"CardNumber"}}};
  TLexicon lexicon;
  BuildLexicon(data, lexicon);
  const auto field = [](const char16_t* name, int32_t input) {
    TFieldDef def;
    def.Caption = name;
    def.FieldName = name;
    def.InputKind = input;
    return def;
  };
  const TFieldRecognizer recognizer(lexicon, {field(u"Shoe", InputKindText),
                                              field(u"Phone", InputKindTelephone),
                                              field(u"Card", InputKindText)});
  const auto caption = [&](const char16_t* type, const char16_t* name) {
    const std::optional<TRecognition> found = recognizer.Recognize(u"input", type, name);
    return found ? U8(found->Field.Caption) : "(nothing)";
  };
  EXPECT_EQ(caption(u"text", u"shoe_size"), "Shoe");
  EXPECT_EQ(caption(u"text", u"txtShoeSize"), "Shoe");
  EXPECT_EQ(caption(u"text", u"card-number"), "Card");
  EXPECT_EQ(caption(u"text", u"number"), "(nothing)") << "Phone and Card both";
  EXPECT_EQ(caption(u"tel", u"number"), "Phone") << "a telephone input settles the tie";
  EXPECT_EQ(recognizer.SharedSynonyms(), std::vector<String>{u"number"});
}

TEST(AssignSynonym, MovesAWordFromTheFieldThatHadIt) {
  TLexiconData data;
  data.Separators = u" _";
  data.Goals = {{u"Phone", {u"landline", u"phone"}}, {u"Fax", {u"fax"}}};
  TLexicon lexicon;
  BuildLexicon(data, lexicon);
  EXPECT_TRUE(AssignSynonym(data, lexicon, u"fax", u"LANDLINE"));
  EXPECT_EQ(data.Goals[0].Words, std::vector<String>{u"phone"});
  EXPECT_EQ(data.Goals[1].Words, (std::vector<String>{u"fax", u"LANDLINE"}));
  // Already there (in meaning): nothing changes.
  EXPECT_FALSE(AssignSynonym(data, lexicon, u"Fax", u"landline"));
  // A field without a goal gets one.
  EXPECT_TRUE(AssignSynonym(data, lexicon, u"Mobile", u"cell_phone"));
  EXPECT_EQ(data.Goals[2].Key, u"Mobile");
  // Words are compared as names are read: glued, split or in other letter
  // case, "CellPhone" is the synonym "cell_phone"...
  EXPECT_TRUE(AssignSynonym(data, lexicon, u"Fax", u"CellPhone"));
  EXPECT_TRUE(data.Goals[2].Words.empty());
  EXPECT_FALSE(AssignSynonym(data, lexicon, u"Fax", u"cellphone"));
  // ...and spellings of one word are one synonym: "tel" takes "phone" along.
  EXPECT_TRUE(AssignSynonym(data, lexicon, u"Fax", u"tel"));
  EXPECT_TRUE(data.Goals[0].Words.empty());
  ExpectThrowsExactly<platform::Exception>([&] { AssignSynonym(data, lexicon, u"Fax", u" _ "); },
                                           u"The synonym ' _ ' holds no word");
}

}  // namespace
}  // namespace qm::manager
