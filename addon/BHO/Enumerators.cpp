#include "addon/BHO/Enumerators.h"

#include <utility>
#include <vector>

#include "core/Common/VxSystem.h"

namespace qm {

using platform::IUnknown;
using platform::PageDocument;
using platform::PageObjectContainer;

namespace {

// The browsers embedded in browser's document, in document order. Raises
// when the document offers no listing of embedded objects; a listing that
// fails counts as empty, and an object that can't be looked at is skipped.
std::vector<ComPtr<PageBrowser>> FramesOf(const ComPtr<PageBrowser>& browser) {
  std::vector<ComPtr<PageBrowser>> frames;
  const ComPtr<IUnknown> document = browser->Document();
  if (!document) return frames;
  const auto container = document.As<PageObjectContainer>();
  if (!container) throw Exception(u"Interface not supported");
  std::vector<ComPtr<IUnknown>> objects;
  if (!Swallowed([&] { objects = container->embeddedObjects(); })) return frames;
  for (const ComPtr<IUnknown>& object : objects) {
    Swallowed([&] {
      if (auto frame = object.As<PageBrowser>()) frames.push_back(std::move(frame));
    });
  }
  return frames;
}

bool Offers(const ComPtr<PageElement>& element, const platform::IID& iid) {
  void* view = nullptr;
  if (platform::Failed(element->QueryInterface(iid, &view)) || view == nullptr) return false;
  ComPtr<IUnknown>::Adopt(static_cast<IUnknown*>(view));  // released at once
  return true;
}

}  // namespace

bool TWBEnumerator::Enumerate(const ComPtr<PageBrowser>& browser) {
  if (!OnBrowser || !browser) return false;
  // Pre-order with a stack of our own: the frames of a browser are pushed
  // last first, so the first frame is walked next.
  std::vector<ComPtr<PageBrowser>> pending{browser};
  while (!pending.empty()) {
    const ComPtr<PageBrowser> current = std::move(pending.back());
    pending.pop_back();
    if (!OnBrowser(*this, current)) return false;
    std::vector<ComPtr<PageBrowser>> frames;
    if (!Swallowed([&] { frames = FramesOf(current); })) return false;
    pending.insert(pending.end(), std::make_move_iterator(frames.rbegin()),
                   std::make_move_iterator(frames.rend()));
  }
  return true;
}

bool TElemEnumerator::Enumerate(const ComPtr<PageBrowser>& browser,
                                const platform::IID& requestedInterface) {
  RequestedInterface = requestedInterface;
  if (!OnElement) return false;
  TWBEnumerator walker;
  walker.OnBrowser = [this](TWBEnumerator& sender, const ComPtr<PageBrowser>& current) {
    return VisitDocument(sender, current);
  };
  return walker.Enumerate(browser);
}

bool TElemEnumerator::VisitDocument(TWBEnumerator& walker, const ComPtr<PageBrowser>& browser) {
  bool goOn = false;
  Swallowed([&] {
    const auto document = browser->Document().As<PageDocument>();
    if (!document) return;
    const auto all = document->all();
    const int32_t length = all->length();
    for (int32_t i = 0; i < length; ++i) {
      const ComPtr<PageElement> element = all->item(i);
      if (!element || !Offers(element, RequestedInterface)) continue;
      if (!OnElement(walker, element)) return;
    }
    goOn = true;
  });
  return goOn;
}

}  // namespace qm
