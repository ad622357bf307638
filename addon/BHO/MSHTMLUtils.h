// Small page and address utilities of the helper object and the agent: the
// hyperlinks of a page and all its frames, an immediate META refresh, the
// joining of a relative address to a base, and the page address rules that
// make the page key (NormalizeUrl here, StripWwwPrefix in
// addon/Common/PageKey.h).
//
// Addresses are UTF-16 throughout; nothing is squeezed through a
// single-byte code page, so addresses with letters outside it survive.
//
// THyperlinks owns its items; an item holds its element while it lives.
// Everything that touches a document belongs to the page's user-interface
// thread; the address functions are pure and thread safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "addon/Common/PageKey.h"
#include "core/Common/OwnedCollection.h"
#include "platform/dom/PageDocument.h"

namespace qm {

using platform::ComPtr;
using platform::PageDocument;
using platform::PageElement;

// One link of a page: an anchor (Text its innerText) or an area (Text its
// alt), with its resolved href.
struct THyperlink {
  ComPtr<PageElement> Element;
  std::u16string Text;
  std::u16string Href;

  void Assign(const THyperlink& source) { *this = source; }
  friend bool operator==(const THyperlink&, const THyperlink&) = default;
};

class THyperlinks : public TOwnedCollection<THyperlink> {};

// Appends the links of document and of all its frames: per document its
// anchors, then its areas, then the links of its frames in frame order
// (depth first). Never raises: what failed is left out, what was gathered
// stays.
void CollectHyperlinks(const ComPtr<PageDocument>& document, THyperlinks& links);

// The delay and address of a refresh META's content ("5; URL=next.html").
// Without a second piece the delay is 1 and there is no address.
struct TRefreshContent {
  int32_t Delay = 1;
  std::u16string Url;
};

// Raises the conversion error of a delay that is not a number.
TRefreshContent ParseRefreshContent(std::u16string_view content);

// Whether the document's first META element asks for an immediate (delay 0)
// refresh; url then holds its target as written. Only the first META is
// looked at. Raises what ParseRefreshContent raises.
bool FindMetaRefresh(const ComPtr<PageDocument>& document, std::u16string& url);

// The browser-mode flag of CombineUrl: what follows the first "?" or "#" of
// the relative address is taken as the page wrote it, neither encoded nor
// decoded.
inline constexpr uint32_t ICU_BROWSER_MODE = 33554432;

// relative resolved against base. Without ICU_BROWSER_MODE every character
// an address may not hold is encoded. Raises "Error in InternetCombineUrl!"
// (reported with CombineUrl) when base is no absolute address or the two
// don't make one.
std::u16string CombineUrl(std::u16string_view base, std::u16string_view relative, uint32_t flags);

// The page address as the helper object files it: trimmed of white space
// and control characters, cut before the first "?", and one trailing "/"
// dropped. Reports with NormalizeUrl.
std::u16string NormalizeUrl(std::u16string_view url);

}  // namespace qm
