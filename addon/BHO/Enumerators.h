// Walking a page made of frames: TWBEnumerator visits a browser and then,
// depth first in document order, every browser embedded in its document;
// TElemEnumerator uses it to visit every element of every frame's document
// that offers a requested interface (a view of platform/dom, e.g. the
// button view). Both report to a callback that answers whether to go on.
//
// Both hold nothing but their callbacks (and the interface asked for at
// the last walk); the owner sets the callbacks before walking and keeps
// the walker alive during the walk. The callbacks may be called with
// references that live only during the call. Everything here belongs to
// the page's user-interface thread.
#pragma once

#include <functional>

#include "platform/com/Guid.h"
#include "platform/dom/PageBrowser.h"
#include "platform/dom/PageDocument.h"

namespace qm {

using platform::ComPtr;
using platform::PageBrowser;
using platform::PageElement;

class TWBEnumerator {
public:
  // true: go on, and descend into this browser's frames.
  using TBrowserEvent = std::function<bool(TWBEnumerator& sender, const ComPtr<PageBrowser>&)>;
  TBrowserEvent OnBrowser;

  // Pre-order over browser and its frames. false when there is no
  // OnBrowser, when it stopped the walk, or when a document could not be
  // looked at (one that lists no embedded objects at all, such as a
  // picture). A failure at one embedded object skips just that object.
  bool Enumerate(const ComPtr<PageBrowser>& browser);
};

class TElemEnumerator {
public:
  // true: go on. walker is the browser walk in progress.
  using TElementEvent =
      std::function<bool(TWBEnumerator& walker, const ComPtr<PageElement>& element)>;
  TElementEvent OnElement;
  // The interface the elements of the last walk were asked for.
  platform::IID RequestedInterface;

  // Every element (in each document's order, the top document first, then
  // its frames depth first) that answers requestedInterface goes to
  // OnElement. false when there is no OnElement, when it stopped the walk,
  // or when a browser shows no HTML document (which ends the walk there).
  bool Enumerate(const ComPtr<PageBrowser>& browser, const platform::IID& requestedInterface);
  template <class View>
  bool Enumerate(const ComPtr<PageBrowser>& browser) {
    return Enumerate(browser, View::Iid);
  }

private:
  bool VisitDocument(TWBEnumerator& walker, const ComPtr<PageBrowser>& browser);
};

}  // namespace qm
