#include "core/Common/QMAgentUtils.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using Names = std::vector<std::u16string>;

// (set name, card names, marks) of every set, for one-line checks.
std::vector<std::pair<std::u16string, Names>> Listing(const TFormCards& cards) {
  std::vector<std::pair<std::u16string, Names>> out;
  for (const TFormSet& set : cards) out.emplace_back(set.FormSetName(), set.CardNames().ToVector());
  return out;
}

TEST(FormCardListing, EntriesGroupBySetInOrderOfFirstAppearance) {
  TFormCards cards;
  cards.AddEntries({u"Shop=Home", u"Bank=Main", u" Shop=Work \t", u"Shop=Home"}, u"", u"");
  EXPECT_EQ(Listing(cards), (std::vector<std::pair<std::u16string, Names>>{
                                {u"Shop", {u"Home", u"Work"}}, {u"Bank", {u"Main"}}}));
}

TEST(FormCardListing, AnEntryWithoutEqualsNamesASetWithOneEmptyCard) {
  TFormCards cards;
  cards.AddEntries({u"Lonely", u"a=b=c"}, u"", u"");
  EXPECT_EQ(Listing(cards), (std::vector<std::pair<std::u16string, Names>>{
                                {u"Lonely", {u""}}, {u"a", {u"b=c"}}}));
}

TEST(FormCardListing, SetNamesAreExactButCardNamesIgnoreCase) {
  TFormCards cards;
  cards.AddEntries({u"Shop=Home", u"shop=Home", u"Shop=HOME"}, u"", u"");
  EXPECT_EQ(Listing(cards), (std::vector<std::pair<std::u16string, Names>>{
                                {u"Shop", {u"Home"}}, {u"shop", {u"Home"}}}));
}

TEST(FormCardListing, OnlyTheChosenCardOfTheChosenSetIsMarked) {
  TFormCards cards;
  cards.AddEntries({u"Other=Work", u"Shop=Home", u"Shop=Work", u"shop=Work"}, u"Shop", u"work");
  ASSERT_EQ(cards.Count(), 3);
  EXPECT_EQ(cards[0].CardNames().Objects(0), 0);
  EXPECT_EQ(cards[1].CardNames().Objects(0), 0);
  EXPECT_EQ(cards[1].CardNames().Objects(1), ChosenCardMark);
  EXPECT_EQ(cards[1].ChosenCard(), u"Work");
  EXPECT_EQ(cards[2].CardNames().Objects(0), 0);
  EXPECT_EQ(cards[0].ChosenCard(), u"");
}

TEST(FormCardListing, LaterCallsAddToTheListing) {
  TFormCards cards;
  cards.AddEntries({u"Shop=Home"}, u"Shop", u"Home");
  cards.AddEntries({u"Shop=Work", u"Bank=Main"}, u"", u"");
  EXPECT_EQ(Listing(cards), (std::vector<std::pair<std::u16string, Names>>{
                                {u"Shop", {u"Home", u"Work"}}, {u"Bank", {u"Main"}}}));
  EXPECT_EQ(cards[0].ChosenCard(), u"Home");
  TFormCards copy = cards;
  EXPECT_EQ(copy, cards);
  cards.Clear();
  EXPECT_EQ(copy.Count(), 2);
}

}  // namespace
}  // namespace qm
