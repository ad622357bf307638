#include "core/Common/QMTransitIndex.h"

#include <gtest/gtest.h>

#include <random>

namespace qm {
namespace {

// Random cards over small alphabets, so that many of them match, partly
// or wholly: hidden and submit inputs whose values differ only in case or
// accents, fields in other orders, click cards.
class RandomCards {
public:
  explicit RandomCards(unsigned seed) : random_(seed) {}

  TTransitFormCard Card() {
    TTransitFormCard card;
    card.Method = Pick({u"get", u"post", u"click"});
    card.Url = Pick({u"http://h/a", u"http://h/b"});
    const int fields = static_cast<int>(random_() % 5);
    int counted = 0;
    for (int i = 0; i < fields; ++i) {
      TTransitField& field = card.Fields.Add();
      field.TagName = Pick({u"input", u"input", u"select"});
      field.InputType = field.TagName == u"input" ? Pick({u"text", u"hidden", u"submit"}) : u"";
      field.Name = Pick({u"a", u"b"});
      field.Value = Pick({u"x", u"X", u"é", u"e", u""});
      field.ElementIndex = field.InputType == u"hidden" ? -1 : counted++;
    }
    // Sometimes the unindexed fields come in another order.
    if (random_() % 3 == 0 && card.Fields.Count() > 1) {
      TTransitField first = card.Fields[0];
      card.Fields.Delete(0);
      card.Fields.Add(first);
    }
    return card;
  }

private:
  std::u16string Pick(std::initializer_list<const char16_t*> choices) {
    return *(choices.begin() + random_() % choices.size());
  }
  std::mt19937 random_;
};

TEST(TransitCardIndex, AnswersAsTheSetsOwnWalkForEveryProbe) {
  RandomCards random(7);
  for (int round = 0; round < 40; ++round) {
    TTransitFormSet set;
    // Both ways: walked (few cards) and indexed (many).
    const int cards = round % 2 == 0 ? 10 : TTransitCardIndex::WalkedCards + 20;
    for (int i = 0; i < cards; ++i)
      set.Add(random.Card());
    const TTransitCardIndex index(set);
    for (int p = 0; p < 60; ++p) {
      TTransitFormCard byIndex = random.Card();
      TTransitFormCard byWalk = byIndex;
      int indexAt = -2;
      int walkAt = -2;
      ASSERT_EQ(index.FindBestCard(byIndex, &indexAt), set.FindBestCard(byWalk, &walkAt));
      ASSERT_EQ(indexAt, walkAt);
      ASSERT_EQ(byIndex, byWalk);
    }
  }
}

TEST(TransitCardIndex, KeysTellExactMatchesApart) {
  TTransitFormCard card;
  card.Method = u"post";
  TTransitField& hidden = card.Fields.Add();
  hidden.TagName = u"input";
  hidden.InputType = u"hidden";
  hidden.Name = u"token";
  hidden.Value = u"abc";
  TTransitFormCard other = card;
  other.Fields[0].Value = u"abd";
  EXPECT_NE(TTransitCardIndex::ExactKey(card), TTransitCardIndex::ExactKey(other));
  other.Fields[0].Value = u"abc";
  other.Url = u"http://elsewhere";  // a form's address plays no part
  EXPECT_EQ(TTransitCardIndex::ExactKey(card), TTransitCardIndex::ExactKey(other));
  other.Fields[0].InputType = u"text";  // a text's value plays none either
  other.Fields[0].Value = u"zzz";
  card.Fields[0].InputType = u"text";
  EXPECT_EQ(TTransitCardIndex::ExactKey(card), TTransitCardIndex::ExactKey(other));
}

}  // namespace
}  // namespace qm
