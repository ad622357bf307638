// The mail card's reader: any byte array reads as a whole card or as none,
// and a card read writes back to the same bytes it was read from, up to
// what followed it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "addon/BHO/MailCard.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  const std::optional<qm::TMailCard> card =
      qm::MailCardFromVariant(qm::platform::Variant::FromBytes(bytes));
  if (!card) return 0;
  const std::vector<uint8_t> written = qm::MailCardToVariant(*card).AsByteArray().Items;
  Check(written.size() <= bytes.size());
  Check(std::equal(written.begin(), written.end(), bytes.begin()));
  Check(qm::MailCardFromVariant(qm::MailCardToVariant(*card)) == card);
  // Whatever the card holds, its link address parses without trouble.
  (void)qm::ParseMailto(card->Address);
  return 0;
}
