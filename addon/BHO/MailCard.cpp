#include "addon/BHO/MailCard.h"

#include "core/Common/VxSystem.h"

namespace qm {

TMailCard ParseMailto(std::u16string_view linkAddress) {
  constexpr std::u16string_view scheme = u"mailto:";
  TMailCard card;
  const size_t at = linkAddress.find(scheme);
  if (at == std::u16string_view::npos) return card;
  std::u16string_view address = linkAddress.substr(at + scheme.size());
  if (const size_t query = address.find(u'?'); query != std::u16string_view::npos) {
    address = address.substr(0, query);
  }
  card.Address = std::u16string(address);
  return card;
}

platform::Variant MailCardToVariant(const TMailCard& card) {
  TMemoryStream stream;
  TStreamWriter writer(stream);
  TMailCard copy = card;
  MailCardLayout(writer, copy);
  return StreamToVariant(stream);
}

std::optional<TMailCard> MailCardFromVariant(const platform::Variant& data) {
  if (!data.IsArray()) return std::nullopt;
  TMemoryStream stream;
  if (!Swallowed([&] { VariantToStream(data, stream); })) return std::nullopt;
  stream.SetPosition(0);
  TStreamReader reader(stream);
  TMailCard card;
  if (!MailCardLayout(reader, card)) return std::nullopt;
  return card;
}

}  // namespace qm
