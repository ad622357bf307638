#include "addon/BHO/MSHTMLUtils.h"

#include <utility>
#include <vector>

#include "core/Common/LocationCodes.h"
#include "core/Common/QMCommonUtils.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "platform/dom/PageBrowser.h"
#include "platform/net/AddressJoin.h"

namespace qm {

using platform::IUnknown;
using platform::PageAnchorElement;
using platform::PageAreaElement;
using platform::PageBrowser;
using platform::PageMetaElement;
using platform::PageObjectContainer;

namespace {

// The links of one document's tag ("a" or "area"), each in its own guard.
template <class View, class ReadText>
void CollectTag(const ComPtr<PageDocument>& document, std::u16string_view tag, THyperlinks& links,
                ReadText readText) {
  const auto elements = document->all()->tags(tag);
  if (!elements) return;
  const int32_t length = elements->length();
  for (int32_t i = 0; i < length; ++i) {
    Swallowed([&] {
      const ComPtr<PageElement> element = elements->item(i);
      THyperlink& link = links.Add();
      link.Element = element;
      const auto view = element.As<View>();
      if (!view) return;
      link.Href = view->href();
      link.Text = readText(element, view);
    });
  }
}

// The HTML documents of document's frames, in frame order.
std::vector<ComPtr<PageDocument>> FrameDocuments(const ComPtr<PageDocument>& document) {
  std::vector<ComPtr<PageDocument>> documents;
  const auto container = document.As<PageObjectContainer>();
  if (!container) return documents;
  for (const ComPtr<IUnknown>& object : container->embeddedObjects()) {
    Swallowed([&] {
      const auto browser = object.As<PageBrowser>();
      if (!browser) return;
      if (auto frameDocument = browser->Document().As<PageDocument>()) {
        documents.push_back(std::move(frameDocument));
      }
    });
  }
  return documents;
}

void CollectDocumentLinks(const ComPtr<PageDocument>& document, THyperlinks& links) {
  Swallowed([&] {
    CollectTag<PageAnchorElement>(
        document, u"a", links,
        [](const ComPtr<PageElement>& element, const auto&) { return element->innerText(); });
  });
  Swallowed([&] {
    CollectTag<PageAreaElement>(document, u"area", links,
                                [](const ComPtr<PageElement>&,
                                   const ComPtr<PageAreaElement>& area) { return area->alt(); });
  });
}

}  // namespace

void CollectHyperlinks(const ComPtr<PageDocument>& document, THyperlinks& links) {
  Swallowed([&] {
    // Depth first without recursion: a document's frames are pushed last
    // first, so the first frame comes next.
    std::vector<ComPtr<PageDocument>> pending;
    if (document) pending.push_back(document);
    while (!pending.empty()) {
      const ComPtr<PageDocument> current = std::move(pending.back());
      pending.pop_back();
      CollectDocumentLinks(current, links);
      std::vector<ComPtr<PageDocument>> frames;
      Swallowed([&] { frames = FrameDocuments(current); });
      pending.insert(pending.end(), std::make_move_iterator(frames.rbegin()),
                     std::make_move_iterator(frames.rend()));
    }
  });
}

TRefreshContent ParseRefreshContent(std::u16string_view content) {
  TRefreshContent refresh;
  TWideWords pieces(u",;");
  pieces.Split(content);
  if (pieces.Count() < 2) return refresh;
  refresh.Delay = TextToInt(Trim(pieces[0]));
  TWideWords parts(u"=");
  parts.Split(pieces[1]);
  refresh.Url = parts.Count() < 2 ? pieces[1] : parts[1];
  return refresh;
}

bool FindMetaRefresh(const ComPtr<PageDocument>& document, std::u16string& url) {
  url.clear();
  if (!document) return false;
  const auto metas = document->all()->tags(u"META");
  if (!metas || metas->length() == 0) return false;
  const auto meta = metas->item(0).As<PageMetaElement>();
  if (!meta || LowerCase(meta->httpEquiv()) != u"refresh") return false;
  const TRefreshContent refresh = ParseRefreshContent(meta->content());
  url = refresh.Url;
  return refresh.Delay == 0;
}

std::u16string CombineUrl(std::u16string_view base, std::u16string_view relative, uint32_t flags) {
  return Reported(loc::CombineUrl, [&] {
    try {
      if ((flags & ICU_BROWSER_MODE) == 0) return platform::CombineAddress(base, relative);
      const std::u16string trimmed = Trim(relative);
      const size_t cut = trimmed.find_first_of(u"?#");
      if (cut == std::u16string::npos) return platform::CombineAddress(base, trimmed);
      // The part before the mark resolves as usual, together with the mark
      // so that the query or fragment lands where it belongs; what follows
      // the mark goes on as written (only tabs and line breaks, which no
      // address holds, are dropped).
      std::u16string joined = platform::CombineAddress(base, trimmed.substr(0, cut + 1));
      if (joined.empty() || joined.back() != trimmed[cut]) joined += trimmed[cut];
      for (size_t i = cut + 1; i < trimmed.size(); ++i) {
        const char16_t c = trimmed[i];
        if (c != u'\t' && c != u'\r' && c != u'\n') joined += c;
      }
      return joined;
    } catch (const Exception&) {
      throw Exception(u"Error in InternetCombineUrl!");
    }
  });
}

std::u16string NormalizeUrl(std::u16string_view url) {
  return Reported(loc::NormalizeUrl, [&] {
    std::u16string normalized = Trim(url);
    const size_t query = normalized.find(u'?');
    if (query != std::u16string::npos) normalized.resize(query);
    if (!normalized.empty() && normalized.back() == u'/') normalized.pop_back();
    return normalized;
  });
}

}  // namespace qm
