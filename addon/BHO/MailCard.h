// A mail card: the message stored for a "mailto" link of a page (the
// manager keeps it as a card of kind 2). Its data, the byte array
// exchanged with the manager, is three wide strings in this order:
// address, subject, body (StreamUtils.h). A card stored from a click
// holds the link's address only; the manager edits subject and body.
//
// Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/Common/StreamUtils.h"
#include "platform/com/Variant.h"

namespace qm {

struct TMailCard {
  std::u16string Address;
  std::u16string Subject;
  std::u16string Body;
  friend bool operator==(const TMailCard&, const TMailCard&) = default;
};

// The layout of the card's data, for reader and writer.
template <class Stream>
bool MailCardLayout(Stream& s, TMailCard& card) {
  s.WideString(card.Address);
  s.WideString(card.Subject);
  s.WideString(card.Body);
  return s.Ok();
}

// The address of a link's "mailto:" (letter case counts, found anywhere
// in the text): what follows it, up to a "?" that begins the link's
// query. Subject and body stay empty: a query's subject, cc or body are
// not the user's message. A text without "mailto:" gives an empty card.
TMailCard ParseMailto(std::u16string_view linkAddress);

// The card's data as a byte array.
platform::Variant MailCardToVariant(const TMailCard& card);
// The card in data; none when data is no byte array or doesn't hold all
// three texts whole.
std::optional<TMailCard> MailCardFromVariant(const platform::Variant& data);

}  // namespace qm
