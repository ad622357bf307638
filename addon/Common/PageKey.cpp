#include "addon/Common/PageKey.h"

#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"

namespace qm {

std::u16string StripWwwPrefix(std::u16string_view url) {
  std::u16string key(url);
  // A failure here (only memory can fail) leaves the address as it was.
  Swallowed([&] {
    Reported(loc::StripWwwPrefix, [&] {
      for (std::u16string_view scheme : {u"http://", u"https://"}) {
        const std::u16string prefix = std::u16string(scheme) + u"www.";
        if (url.substr(0, prefix.size()) == prefix) {
          key = std::u16string(scheme) + std::u16string(url.substr(prefix.size()));
          return;
        }
      }
    });
  });
  return key;
}

}  // namespace qm
