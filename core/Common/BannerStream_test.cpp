#include "core/Common/BannerStream.h"

#include <gtest/gtest.h>

#include "core/Common/StreamUtils.h"

namespace qm {
namespace {

using platform::Variant;

TEST(BannerStream, ReadsBackWhatItWrites) {
  const std::optional<TBannerRequest> request = ReadBannerRequest(BannerRequestStream({620, 68}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->Width, 620);
  EXPECT_EQ(request->Height, 68);
  const std::optional<TBanner> banner = ReadBanner(BannerStream({u"http://a.example/", u"Bread"}));
  ASSERT_TRUE(banner);
  EXPECT_EQ(banner->Link, u"http://a.example/");
  EXPECT_EQ(banner->Text, u"Bread");
}

TEST(BannerStream, AnythingThatDoesNotReadWholeIsNothing) {
  EXPECT_FALSE(ReadBanner(Variant()));
  EXPECT_FALSE(ReadBanner(Variant::FromBytes({})));
  EXPECT_FALSE(ReadBanner(Variant::FromStrings({u"link", u"text"})));
  std::vector<uint8_t> banner = BannerStream({u"l", u"t"}).AsByteArray().Items;
  banner.pop_back();
  EXPECT_FALSE(ReadBanner(Variant::FromBytes(banner)));
  banner.push_back(0);
  banner.push_back(0);
  EXPECT_FALSE(ReadBanner(Variant::FromBytes(banner))) << "a byte left over";

  EXPECT_FALSE(ReadBannerRequest(Variant::FromStrings({u"620", u"68"})));
  EXPECT_FALSE(ReadBannerRequest(BannerRequestStream({0, 68})));
  EXPECT_FALSE(ReadBannerRequest(BannerRequestStream({620, MaxBannerSide + 1})));
  TMemoryStream three;
  for (int32_t v : {620, 68, 1})
    WriteInt32(three, v);
  EXPECT_FALSE(ReadBannerRequest(StreamToVariant(three)));
}

}  // namespace
}  // namespace qm
