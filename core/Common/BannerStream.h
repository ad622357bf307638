// What GetBanner carries, in the manager's byte streams (the primitives of
// StreamUtils.h), one description for the add-on and the manager:
//
//   request: int32 strip width, int32 strip height (pixels, both 1 to
//            MaxBannerSide)
//   reply:   wide string link address, wide string text; an empty stream
//            is no banner
//
// Readers answer nullopt for anything that does not read whole (short,
// negative lengths, bytes left over, sizes out of range) and never raise.
// Stateless; safe from any thread.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/com/Variant.h"

namespace qm {

inline constexpr int32_t MaxBannerSide = 10000;

struct TBannerRequest {
  int32_t Width = 0;
  int32_t Height = 0;
};

struct TBanner {
  std::u16string Link;  // opened when the strip is clicked
  std::u16string Text;  // shown on the strip
};

platform::Variant BannerRequestStream(const TBannerRequest& request);
std::optional<TBannerRequest> ReadBannerRequest(const platform::Variant& stream);

platform::Variant BannerStream(const TBanner& banner);
// nullopt also for an empty stream: no banner.
std::optional<TBanner> ReadBanner(const platform::Variant& stream);

}  // namespace qm
