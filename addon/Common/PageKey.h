// The page key's last step: a page address with its "www." host prefix
// stripped, the name under which the manager files a page's cards.
//
// Only the lower-case prefixes "http://www." and "https://www." are
// stripped (case significant); any other address comes back unchanged.
// A plain function; thread safe.
#pragma once

#include <string>
#include <string_view>

namespace qm {

std::u16string StripWwwPrefix(std::u16string_view url);

}  // namespace qm
