#include "addon/BHO/MailCard.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using platform::Variant;

TEST(ParseMailto, KeepsTheAddressAndDropsTheQuery) {
  EXPECT_EQ(ParseMailto(u"mailto:desk@shop.example"), (TMailCard{u"desk@shop.example", u"", u""}));
  // A link's own subject, cc or body is not the user's message.
  EXPECT_EQ(ParseMailto(u"mailto:desk@shop.example?subject=Hi&cc=boss@shop.example").Address,
            u"desk@shop.example");
  EXPECT_EQ(ParseMailto(u"mailto:desk@shop.example?subject=Hi").Subject, u"");
  // Only the first "?" ends the address.
  EXPECT_EQ(ParseMailto(u"mailto:a@b?x=1?y=2").Address, u"a@b");
  // Several recipients stay as the link wrote them.
  EXPECT_EQ(ParseMailto(u"mailto:a@b,c@d").Address, u"a@b,c@d");
}

TEST(ParseMailto, WithoutTheSchemeOrAnAddressGivesAnEmptyAddress) {
  EXPECT_EQ(ParseMailto(u"http://shop.example/contact"), TMailCard{});
  EXPECT_EQ(ParseMailto(u""), TMailCard{});
  EXPECT_EQ(ParseMailto(u"mailto:"), TMailCard{});
  EXPECT_EQ(ParseMailto(u"mailto:?subject=Hi"), TMailCard{});
  // Letter case counts: the engines hand out the scheme in lower case.
  EXPECT_EQ(ParseMailto(u"MAILTO:a@b").Address, u"");
  // Found anywhere in the text, as a redirecting link writes it.
  EXPECT_EQ(ParseMailto(u"http://r.example/?to=mailto:a@b").Address, u"a@b");
}

TEST(MailCardStream, ReadsBackWhatItWroteAndRefusesWhatIsCutShort) {
  const TMailCard card{u"desk@shop.example", u"Order ✉", u"Line one\r\nLine two"};
  const Variant data = MailCardToVariant(card);
  ASSERT_TRUE(data.IsArray());
  EXPECT_EQ(MailCardFromVariant(data), card);

  // Three length-prefixed texts in order: the address comes first.
  const std::vector<uint8_t> bytes = data.AsByteArray().Items;
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], 17);  // "desk@shop.example"
  EXPECT_EQ(bytes[4], u'd');

  for (size_t cut : {size_t{0}, size_t{3}, size_t{4}, bytes.size() - 1}) {
    const std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + static_cast<long>(cut));
    EXPECT_FALSE(MailCardFromVariant(Variant::FromBytes(shorter))) << "cut at " << cut;
  }
  EXPECT_FALSE(MailCardFromVariant(Variant()));
  EXPECT_FALSE(MailCardFromVariant(Variant::FromString(u"desk@shop.example")));
  EXPECT_FALSE(MailCardFromVariant(Variant::FromStrings({u"desk@shop.example", u"", u""})));
}

}  // namespace
}  // namespace qm
