#include "manager/recognition/NameReader.h"

#include <gtest/gtest.h>

#include "core/Common/QMLexicon.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/recognition/LexiconBuilder.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

using platform::U8;

class NameReading : public ::testing::Test {
protected:
  NameReading() : reader_(Lexicon(), rules_) {
    reader_.LearnVocabulary({u"first_name", u"billing", u"name_on_card", u"card_number", u"e-mail"},
                            rules_);
  }
  static const TLexicon& Lexicon() {
    static const TLexicon* lexicon = [] {
      auto* built = new TLexicon;  // lives for the process, like the content
      BuildLexicon(DefaultContent().Lexicon, *built);
      return built;
    }();
    return *lexicon;
  }
  std::string Read(const char16_t* name) { return U8(ReadAs(reader_.Read(name))); }

  TRecognitionRules rules_ = [] {
    TRecognitionRules rules;
    rules.PathSeparators = u"$:.[]/";
    rules.FillerWords = {u"on", u"do"};
    rules.ContainerWords = {u"main"};
    rules.BlockWords = {u"gift", u"giftcard"};
    return rules;
  }();
  TNameReader reader_;
};

TEST_F(NameReading, CutsAtPathsSeparatorsLetterCaseAndDigits) {
  EXPECT_EQ(Read(u"ctl00$Main$txtTown"), "ctl 00 | main | txt town");
  EXPECT_EQ(Read(u"user[address][street2]"), "user | address | street 2");
  EXPECT_EQ(Read(u"billingFirstName"), "billing first name");
  EXPECT_EQ(Read(u"EMailAddress"), "e mail address");
  EXPECT_EQ(Read(u"ZIPCode"), "zip code");
  EXPECT_EQ(Read(u"ShipAddr1"), "ship addr 1");
  EXPECT_EQ(Read(u"profile.contact.zipOrPostal"), "profile | contact | zip postal")
      << "the lexicon's stop word goes";
  EXPECT_EQ(Read(u"  first-name:  "), "first name");
  EXPECT_EQ(Read(u"[]$."), "");
}

TEST_F(NameReading, AnIndexIsTheOrdinalOfThePartBeforeIt) {
  EXPECT_EQ(Read(u"billing[street][0]"), "billing | street 1");
  EXPECT_EQ(Read(u"billing.street.1"), "billing | street 2");
  EXPECT_EQ(Read(u"cart[12345][qty]"), "cart 12346 | qty");
  EXPECT_EQ(Read(u"7[email]"), "7 | email") << "nothing before it to index";
  EXPECT_EQ(Read(u"x[12345678901]"), "x 12345678901") << "too long to count";
}

TEST_F(NameReading, FoldsCaseAndAccents) {
  EXPECT_EQ(Read(u"Straße"), "strasse");
  EXPECT_EQ(Read(u"PRÉNOM"), "prenom");
  EXPECT_EQ(Read(u"città"), "citta");
  EXPECT_EQ(U8(FoldWord(u"Ñandú")), "nandu");
}

TEST_F(NameReading, CutsGluedWordsIntoKnownOnes) {
  EXPECT_EQ(Read(u"billingfirstname"), "billing first name");
  EXPECT_EQ(Read(u"FIRSTNAME"), "first name");
  // A filler joins others but never starts or ends a cut word.
  EXPECT_EQ(Read(u"nameoncard"), "name card");
  EXPECT_EQ(Read(u"onename"), "onename");
  EXPECT_EQ(Read(u"domain"), "domain");
  // A rule's word is a word of its own, though made of known words.
  EXPECT_EQ(Read(u"giftcard"), "giftcard");
  EXPECT_EQ(Read(u"giftcardnumber"), "giftcard number");
  EXPECT_EQ(Read(u"cardnumbergift"), "card number gift");
  // Only whole known words: "hotel" holds no word a synonym uses.
  EXPECT_EQ(Read(u"hotel"), "hotel");
  EXPECT_EQ(Read(u"email"), "email") << "single letters never make a piece";
}

TEST_F(NameReading, WordsKnowWhereTheyStand) {
  const std::vector<TNameWord> words = reader_.Read(u"ctl00$txtFirstName");
  ASSERT_EQ(words.size(), 5u);
  EXPECT_EQ(U8(words[3].Text), "first");
  EXPECT_EQ(words[3].Part, 1u);
  EXPECT_EQ(words[3].From, 9u);
  EXPECT_EQ(words[3].To, 14u);
  EXPECT_TRUE(words[1].Digits);
  EXPECT_EQ(U8(reader_.Phrase(u"First-Name")), "first name");
}

}  // namespace
}  // namespace qm::manager
